#include "platform/output_file.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>

#include "platform/cp1251.h"
#include "platform/output_folder.h"
#include "support/planted_fifo.h"
#include "support/temp_dir.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

class OutputFileTest : public ::testing::Test {
 protected:
  // A fresh folder (the one before goes with everything in it).
  void SetUp() override {
    scratch.emplace();
    dir = scratch->path();
    Put(dir / "target", "precious");
    Put(dir / "plain", "old");
    fs::create_symlink(dir / "target", dir / "link");
    fs::create_symlink(dir / "nowhere", dir / "dangling");
    fs::create_directory(dir / "folder");
  }

  static void Put(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }
  static std::string Get(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  // Only the names the fixture planted and the writes under test made are left: no temporary files.
  size_t Entries() const { return static_cast<size_t>(std::distance(fs::directory_iterator(dir), {})); }

  std::optional<support::TempDir> scratch;
  fs::path dir;
};

bool WriteNew(const std::string& p, OutputError* e) {
  std::FILE* f = CreateNewFile(p, e);
  if (!f) return false;
  const bool ok = std::fputs("new", f) >= 0;
  return std::fclose(f) == 0 && ok;
}
bool Append(const std::string& p, OutputError* e) {
  std::FILE* f = OpenForAppend(p, e);
  if (!f) return false;
  const bool ok = std::fputs("new", f) >= 0;
  return std::fclose(f) == 0 && ok;
}
bool Replace(const std::string& p, OutputError* e) { return ReplaceFileContent(p, "new", 3, e); }
bool WriteWhole(const std::string& p, OutputError* e) {
  NewWholeFile f;
  return f.Open(p, e) && std::fputs("new", f.get()) >= 0 && f.Commit(e);
}
bool Read(const std::string& p, OutputError* e) {
  std::FILE* f = OpenForReading(p, e);
  if (!f) return false;
  char text[8] = {};
  const bool ok = std::fread(text, 1, sizeof text, f) == 3 && std::string(text) == "old";
  return std::fclose(f) == 0 && ok;
}
bool Update(const std::string& p, OutputError* e) {
  std::FILE* f = OpenForUpdate(p, e);
  if (!f) return false;
  const bool ok = std::fputs("n", f) >= 0;
  return std::fclose(f) == 0 && ok;
}

TEST_F(OutputFileTest, NoWriteGoesThroughALinkOrOverAnExistingEntry) {
  using Write = std::function<bool(const std::string&, OutputError*)>;
  const std::string longest(255, 'n');  // the longest name a folder holds
  struct Row {
    const char* what;
    Write write;
    const char* name;
    bool ok;
    int code;
    const char* after;  // the content of the name afterwards ("" when it is no regular file)
  } rows[] = {
      {"create", WriteNew, "fresh", true, 0, "new"},
      {"create", WriteNew, "plain", false, EEXIST, "old"},
      {"create", WriteNew, "link", false, EEXIST, "precious"},
      {"create", WriteNew, "dangling", false, EEXIST, ""},
      {"create", WriteNew, "folder", false, EEXIST, ""},
      {"whole", WriteWhole, "fresh", true, 0, "new"},
      {"whole", WriteWhole, "plain", false, EEXIST, "old"},
      {"whole", WriteWhole, "link", false, EEXIST, "precious"},
      {"whole", WriteWhole, "dangling", false, EEXIST, ""},
      {"whole", WriteWhole, "folder", false, EEXIST, ""},
      {"whole", WriteWhole, longest.c_str(), true, 0, "new"},
      {"whole", WriteWhole, "missing/fresh", false, ENOENT, ""},
      {"append", Append, "fresh", true, 0, "new"},
      {"append", Append, "plain", true, 0, "oldnew"},
      {"append", Append, "link", false, ELOOP, "precious"},
      {"append", Append, "dangling", false, ELOOP, ""},
      {"replace", Replace, "fresh", true, 0, "new"},
      {"replace", Replace, "plain", true, 0, "new"},
      {"replace", Replace, "link", false, ELOOP, "precious"},
      {"replace", Replace, "dangling", false, ELOOP, ""},
      {"replace", Replace, "folder", false, EINVAL, ""},
      {"replace", Replace, longest.c_str(), true, 0, "new"},
      {"update", Update, "plain", true, 0, "nld"},
      {"update", Update, "link", false, ELOOP, "precious"},
      {"update", Update, "dangling", false, ELOOP, ""},
      {"update", Update, "folder", false, EISDIR, ""},
      {"read", Read, "plain", true, 0, "old"},
      {"read", Read, "link", false, ELOOP, "precious"},
      {"read", Read, "dangling", false, ELOOP, ""},
      {"read", Read, "folder", false, EINVAL, ""},
      {"read", Read, "fresh", false, ENOENT, ""},
  };
  for (const Row& r : rows) {
    SetUp();  // a fresh folder for each row
    SCOPED_TRACE(std::string(r.what) + " " + r.name);
    const size_t before = Entries();
    const fs::path p = dir / r.name;
    const bool existed = NameTaken(p.string());
    OutputError e;
    EXPECT_EQ(r.write(p.string(), &e), r.ok);
    EXPECT_EQ(e.code, r.code);
    if (!r.ok) {
      EXPECT_NE(e.text.find(p.string()), std::string::npos) << e.text;
    }
    if (*r.after) {
      EXPECT_EQ(Get(p), r.after);
    }
    EXPECT_EQ(Get(dir / "target"), "precious");
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
    EXPECT_EQ(Entries(), before + (r.ok && !existed ? 1 : 0));
  }
  OutputError e;
  EXPECT_TRUE(support::FifoLeftUnread(
      (dir / "fifo").string(), [&] { EXPECT_EQ(OpenForReading((dir / "fifo").string(), &e), nullptr); }));
  EXPECT_EQ(e.code, EINVAL);
}

TEST_F(OutputFileTest, FoldersBesideTheDataAreMadeOrRefused) {
  const uid_t me = ::geteuid();
  struct Row {
    const char* name;
    uid_t user;
    FolderRefusal why;
    const char* text;
  } rows[] = {
      {"made", me, FolderRefusal::None, ""},
      {"folder", me, FolderRefusal::None, ""},
      {"link", me, FolderRefusal::Link, " — символическая ссылка; файлы в неё не пишутся"},
      {"dangling", me, FolderRefusal::Link, " — символическая ссылка; файлы в неё не пишутся"},
      {"plain", me, FolderRefusal::NotFolder, " — не папка; файлы в неё не пишутся"},
      {"folder", me + 1, FolderRefusal::OtherUser,
       " принадлежит другому пользователю; файлы в неё не пишутся"},
      {"missing/made", me, FolderRefusal::None, ""},  // cannot be made: the files written there tell
  };
  for (const Row& r : rows) {
    const std::string p = (dir / r.name).string();
    EXPECT_EQ(PrepareOutputFolder(p, r.user), r.why) << r.name;
    EXPECT_EQ(FolderRefusalText("Папка", p, r.why), *r.text ? "Папка " + p + r.text : "") << r.name;
  }
  EXPECT_TRUE(fs::is_directory(dir / "made"));
  EXPECT_FALSE(fs::exists(dir / "nowhere"));
  // Asked for, the reason a folder could not be made is told rather than that of its first file.
  for (const auto& [name, code] : {std::pair{"missing/made", ENOENT}, std::pair{"plain/made", ENOTDIR}}) {
    const std::string p = (dir / name).string();
    int why = 0;
    EXPECT_EQ(PrepareOutputFolder(p, &why), FolderRefusal::NotMade) << name;
    EXPECT_EQ(why, code) << name;
    EXPECT_EQ(FolderRefusalText("Папка", p, FolderRefusal::NotMade, why),
              "Папка " + p + " не создана (" + std::strerror(code) + ")");
  }
  EXPECT_EQ(PrepareOutputFolder((dir / "folder").string()), FolderRefusal::None);
}

TEST_F(OutputFileTest, FreeNameCountsEveryEntryAsTaken) {
  EXPECT_EQ(FreeName((dir / "fresh").string()), (dir / "fresh").string());
  fs::create_symlink(dir / "nowhere2", dir / "dangling_2");
  Put(dir / "dangling_3", "");
  EXPECT_EQ(FreeName((dir / "dangling").string()), (dir / "dangling_4").string());
  EXPECT_EQ(FreeName((dir / "folder").string()), (dir / "folder_2").string());
  EXPECT_TRUE(NameTaken((dir / "dangling").string()));
  EXPECT_FALSE(NameTaken((dir / "nowhere").string()));
}

TEST_F(OutputFileTest, AReplacementKeepsPermissionsAndAnAbandonedOneLeavesTheFile) {
  ::chmod((dir / "plain").c_str(), 0640);
  ASSERT_TRUE(ReplaceFileContent((dir / "plain").string(), "x", 1));
  struct stat st {};
  ASSERT_EQ(::stat((dir / "plain").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  const size_t before = Entries();
  {
    ReplacingFile out;
    ASSERT_TRUE(out.Open((dir / "plain").string()));
    std::fputs("half", out.get());
    EXPECT_EQ(Entries(), before + 1);
    // The temporary is hidden from every reader of the folder, whatever the file's name.
    for (const auto& e : fs::directory_iterator(dir)) {
      const std::string name = e.path().filename().string();
      if (name != "plain" && !fs::is_symlink(e.path()) && !fs::is_directory(e.path()) && name != "target") {
        EXPECT_TRUE(IsOutputTemporaryName(name)) << name;
      }
    }
  }
  EXPECT_EQ(Get(dir / "plain"), "x");
  EXPECT_EQ(Entries(), before);
}

TEST_F(OutputFileTest, AKilledWritersTemporaryGoesWithTheNextWriteAndALiveOneStays) {
  using Write = std::function<bool(const std::string&, OutputError*)>;
  for (const auto& [what, write] :
       {std::pair<const char*, Write>{"whole", WriteWhole}, {"replace", Replace}}) {
    SCOPED_TRACE(what);
    SetUp();
    Put(dir / ".qtmpKilled", "half of a file");  // left by a writer that was killed
    Put(dir / ".qtmpHolder", "being written");   // a live writer in another process holds it
    const int holder = ::open((dir / ".qtmpHolder").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    fs::create_symlink(dir / "target", dir / ".qtmpALink0");
    fs::create_directory(dir / ".qtmpFolder");
    Put(dir / ".qtmpLonger1", "not one of ours");
    NewWholeFile live;  // a writer of this process, still writing
    ASSERT_TRUE(live.Open((dir / "live").string()));
    std::fputs("live", live.get());

    OutputError e;
    EXPECT_TRUE(support::FifoLeftUnread((dir / ".qtmpAFifo0").string(),
                                        [&] { EXPECT_TRUE(write((dir / "out").string(), &e)) << e.text; }));
    EXPECT_FALSE(fs::exists(dir / ".qtmpKilled"));
    for (const char* kept : {".qtmpHolder", ".qtmpAFifo0", ".qtmpALink0", ".qtmpFolder", ".qtmpLonger1"})
      EXPECT_TRUE(fs::exists(fs::symlink_status(dir / kept))) << kept;
    EXPECT_EQ(Get(dir / "target"), "precious");
    EXPECT_EQ(Get(dir / "out"), "new");
    EXPECT_TRUE(live.Commit(&e)) << e.text;
    EXPECT_EQ(Get(dir / "live"), "live");
    ::close(holder);
    // Unlocked now, it goes with the next write in the folder; nothing else of the writers is left.
    const size_t before = Entries();
    EXPECT_TRUE(write((dir / "out2").string(), &e)) << e.text;
    EXPECT_FALSE(fs::exists(dir / ".qtmpHolder"));
    EXPECT_EQ(Entries(), before);
  }
  // A name taken while a new whole file is written is not replaced: the write is refused, nothing left.
  NewWholeFile late;
  ASSERT_TRUE(late.Open((dir / "late").string()));
  std::fputs("new", late.get());
  const size_t before = Entries();
  Put(dir / "late", "old");
  OutputError e;
  EXPECT_FALSE(late.Commit(&e));
  EXPECT_EQ(e.code, EEXIST);
  EXPECT_FALSE(late.InPlace());
  EXPECT_EQ(Get(dir / "late"), "old");
  EXPECT_EQ(Entries(), before);
}

TEST(TextLineTest, NamesFromDataBecomeOneLineOfUtf8) {
  struct Row {
    std::string field;  // Windows-1251
    std::string line;
  } rows[] = {
      {"Z", "Z"},
      {"\xCA\xE0\xED\xE0\xEB", "Канал"},
      {"Z\nrm -rf ~/x", "Z rm -rf ~/x"},
      {std::string("\t\r\x7F"
                   "a\x1B",
                   5),
       "   a "},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(FieldToTextLine(r.field.data(), r.field.size()), r.line);
  }
  EXPECT_EQ(WithoutControlCharacters("a\xC2\x85z\xC2\xA0"), "a z\xC2\xA0");
}

}  // namespace
}  // namespace platform
