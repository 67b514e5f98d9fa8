#include "analysis/checked_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "analysis/response_tables.h"
#include "analysis/spectrum_values.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"
#include "toolkit/killed_writer.h"

namespace analysis {
namespace {

namespace fs = std::filesystem;

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The result files of the analysis commands ("%s.kog", "%s.s%d", "for_ACF.txt", the selection
// exports) never go through a link planted at their name, and a failed write keeps the earlier file.
TEST(CheckedFileTest, ResultFilesAreNeverWrittenThroughALink) {
  struct Row {
    const char* name;
    bool link;
    bool (*write)(const std::string&, const std::string&, std::string&);
    bool ok;
    const char* after;
  } rows[] = {
      {"a.kog", false, WriteTextFile, true, "new"},
      {"a.kog", true, WriteTextFile, false, "precious"},
      {"for_ACF.txt", false, AppendTextFile, true, "oldnew"},
      {"for_ACF.txt", true, AppendTextFile, false, "precious"},
  };
  for (const Row& r : rows) {
    support::TempDir dir;
    std::ofstream(dir.File("target")) << "precious";
    const std::string path = dir.File(r.name);
    if (r.link) {
      fs::create_symlink(dir.File("target"), path);
    } else {
      std::ofstream(path) << "old";
    }
    std::string error;
    EXPECT_EQ(r.write(path, "new", error), r.ok) << r.name;
    EXPECT_EQ(Read(path), r.after) << r.name;
    EXPECT_EQ(Read(dir.File("target")), "precious");
    if (!r.ok) {
      EXPECT_NE(error.find(path), std::string::npos) << error;
    }
  }
}

TEST(CheckedFileTest, AFailedReplacementKeepsTheEarlierFile) {
  support::TempDir dir;
  const std::string path = dir.File("export.txt");
  std::ofstream(path) << "earlier";
  {
    support::FileSizeLimit full(1000);
    CheckedFile f;
    ASSERT_TRUE(f.Open(path, "w"));
    f.Write(std::string(5000, 'x').data(), 5000);
    EXPECT_FALSE(f.Close());
  }
  EXPECT_EQ(Read(path), "earlier");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
  // Killed at a chosen byte: the earlier file stays whole, and what the killed writer left goes with the
  // next result file written in the folder.
  ASSERT_TRUE(toolkit_test::KilledAtByte(1000, [&] {
    CheckedFile f;
    if (f.Open(path, "w")) f.Write(std::string(5000, 'x').data(), 5000) && f.Close();
  }));
  EXPECT_EQ(Read(path), "earlier");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 2);
  std::string error;
  EXPECT_TRUE(WriteTextFile(dir.File("a.kog"), "new", error)) << error;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 2);
  EXPECT_EQ(Read(dir.File("a.kog")), "new");
}

// "wx" replaces nothing: a taken name is refused, and a name taken while the file is written leaves the
// new file beside it.
TEST(CheckedFileTest, ACreatedFileReplacesNothing) {
  support::TempDir dir;
  const std::string path = dir.File("12310000.0A");
  std::ofstream(path) << "first";
  CheckedFile taken;
  EXPECT_FALSE(taken.Open(path, "wbx"));
  EXPECT_NE(taken.ErrorText().find(path + " — такое имя уже занято"), std::string::npos) << taken.ErrorText();
  fs::remove(path);
  CheckedFile f;
  ASSERT_TRUE(f.Open(path, "wbx"));
  f.Write("second", 6);
  std::ofstream(path) << "first";
  EXPECT_TRUE(f.Close());
  EXPECT_EQ(f.Written(), path + "_2");
  EXPECT_EQ(Read(path), "first");
  EXPECT_EQ(Read(path + "_2"), "second");
}

}  // namespace
}  // namespace analysis
