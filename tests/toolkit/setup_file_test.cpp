// Loading and saving "qvd.0": defaults for a file of any other size, the round trip, failures reported.
#include "toolkit/setup_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "support/file_size_limit.h"
#include "support/planted_fifo.h"
#include "toolkit/funk.h"

namespace fs = std::filesystem;

namespace {

using toolkit::SetupRecord;

class SetupFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("setup_file_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / "qvd.0").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  void WriteBytes(const std::vector<uint8_t>& bytes) {
    std::ofstream(path_, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  std::vector<uint8_t> ReadBytes() const {
    std::ifstream in(path_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  static std::vector<uint8_t> Bytes(const SetupRecord& s) {
    const auto* p = reinterpret_cast<const uint8_t*>(&s);
    return {p, p + sizeof s};
  }

  fs::path dir_;
  std::string path_;
};

TEST_F(SetupFileTest, MissingFileGivesDefaultsAndWritesThemWhole) {
  auto setup = std::make_unique<SetupRecord>();
  const auto r = toolkit::LoadSetupFile(path_, *setup, "/prog/");
  EXPECT_FALSE(r.error.failed);
  EXPECT_EQ(r.how, toolkit::SetupLoad::Defaults);
  EXPECT_EQ(toolkit::FieldText(setup->DataDir), "/prog/");
  EXPECT_EQ(setup->SpectrumLastBin, 2046);
  const auto onDisk = ReadBytes();
  ASSERT_EQ(onDisk.size(), 15384u);
  EXPECT_EQ(onDisk, Bytes(*setup));
  EXPECT_FALSE(fs::exists(path_ + ".tmp"));
}

TEST_F(SetupFileTest, FileOneByteShortOrLongIsReplacedByDefaults) {
  for (size_t size : {15383u, 15385u, 0u}) {
    WriteBytes(std::vector<uint8_t>(size, 0x77));
    auto setup = std::make_unique<SetupRecord>();
    const auto r = toolkit::LoadSetupFile(path_, *setup, "/p/");
    EXPECT_EQ(r.how, toolkit::SetupLoad::Defaults) << size;
    EXPECT_EQ(setup->FftLength, 4096u) << size;
    EXPECT_EQ(setup->Gap4608[0], 0) << "nothing of the foreign file is kept, size " << size;
    EXPECT_EQ(fs::file_size(path_), 15384u) << size;
  }
}

TEST_F(SetupFileTest, SavedRecordLoadsBackToTheSameBytes) {
  auto setup = std::make_unique<SetupRecord>();
  toolkit::SetSetupDefaults(*setup, "/data/");
  setup->Dt = 0.002;
  setup->Nn = 123;
  setup->Nk = 4567;
  setup->Gap4608[7] = 0x5A;  // unnamed bytes are carried through
  setup->Gap15381 = 0x11;
  ASSERT_FALSE(toolkit::SaveSetupFile(path_, *setup).failed);
  EXPECT_FALSE(fs::exists(path_ + ".tmp"));

  auto back = std::make_unique<SetupRecord>();
  const auto r = toolkit::LoadSetupFile(path_, *back, "/elsewhere/");
  EXPECT_EQ(r.how, toolkit::SetupLoad::FromFile);
  EXPECT_EQ(r.fieldsMended, 0);
  EXPECT_EQ(Bytes(*back), Bytes(*setup));
  EXPECT_EQ(ReadBytes(), Bytes(*setup));
}

TEST_F(SetupFileTest, RightSizedFileWithBadFieldsIsMendedNotRejected) {
  auto setup = std::make_unique<SetupRecord>();
  toolkit::SetSetupDefaults(*setup, "/d/");
  setup->Dt = 0.004;
  std::memset(setup->FileName, 'x', sizeof setup->FileName);
  setup->ChannelCount = 300;
  WriteBytes(Bytes(*setup));

  auto back = std::make_unique<SetupRecord>();
  const auto r = toolkit::LoadSetupFile(path_, *back, "/d/");
  EXPECT_EQ(r.how, toolkit::SetupLoad::FromFile);
  EXPECT_EQ(r.fieldsMended, 2);
  EXPECT_EQ(back->Dt, 0.004);
  EXPECT_EQ(back->ChannelCount, 64);
  EXPECT_EQ(back->FileName[63], 0);
}

TEST_F(SetupFileTest, FailedSaveIsReportedAndLeavesTheOldFile) {
  auto setup = std::make_unique<SetupRecord>();
  toolkit::SetSetupDefaults(*setup, "/d/");
  const auto missingDir = (dir_ / "no_such_dir" / "qvd.0").string();
  const auto e = toolkit::SaveSetupFile(missingDir, *setup);
  EXPECT_TRUE(e.failed);
  EXPECT_EQ(e.text, "Can't open <qvd.0>");
  EXPECT_EQ(e.caption, "ERROR");

  // A full disk: the short write is reported and the previous file is kept whole.
  WriteBytes(Bytes(*setup));
  setup->Dt = 0.5;
  {
    support::FileSizeLimit full(4096);
    const auto e2 = toolkit::SaveSetupFile(path_, *setup);
    EXPECT_TRUE(e2.failed);
    EXPECT_EQ(e2.text, "Can't wtite <qvd.0>");
  }
  EXPECT_EQ(fs::file_size(path_), 15384u);
  auto back = std::make_unique<SetupRecord>();
  toolkit::LoadSetupFile(path_, *back, "/d/");
  EXPECT_EQ(back->Dt, 0.01);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 1);  // no temporary file left
}

TEST_F(SetupFileTest, PlantedLinksAreNeitherFollowedNorReplaced) {
  auto setup = std::make_unique<SetupRecord>();
  toolkit::SetSetupDefaults(*setup, "/d/");
  { std::ofstream(dir_ / "target") << "precious"; }
  // At the old temporary name: the save goes on beside it and leaves the target alone.
  fs::create_symlink(dir_ / "target", path_ + ".tmp");
  EXPECT_FALSE(toolkit::SaveSetupFile(path_, *setup).failed);
  EXPECT_EQ(fs::file_size(path_), 15384u);
  // At "qvd.0" itself: refused.
  fs::remove(path_);
  fs::create_symlink(dir_ / "target", path_);
  EXPECT_EQ(toolkit::SaveSetupFile(path_, *setup).text, "Can't open <qvd.0>");
  EXPECT_TRUE(fs::is_symlink(path_));
  EXPECT_EQ(fs::file_size(dir_ / "target"), 8u);
}

TEST_F(SetupFileTest, DefaultsThatCannotBeWrittenAreAFailure) {
  auto setup = std::make_unique<SetupRecord>();
  const auto r = toolkit::LoadSetupFile((dir_ / "absent" / "qvd.0").string(), *setup, "/d/");
  EXPECT_TRUE(r.error.failed);
  EXPECT_EQ(r.error.text, "Can't write setup file!!!");
  EXPECT_EQ(setup->LoadChannels, 3);  // the defaults are still in memory

  // A FIFO at the name is neither waited on nor read, nor replaced: defaults, and the start is refused.
  toolkit::SetupLoadResult fifo;
  EXPECT_TRUE(support::FifoLeftUnread(path_, [&] { fifo = toolkit::LoadSetupFile(path_, *setup, "/d/"); }));
  EXPECT_EQ(fifo.how, toolkit::SetupLoad::Defaults);
  EXPECT_EQ(fifo.error.text,
            "Can't write setup file!!!\nФайл не записан: " + path_ + " — это не обычный файл");
}

TEST_F(SetupFileTest, ReadWriteSetupUsesTheProgramDirectoryAndTheLiveRecord) {
  auto setup = std::make_unique<SetupRecord>();
  toolkit::Setup = setup.get();
  toolkit::ProgramDir = dir_.string() + "/";
  toolkit::TFunk funk;
  EXPECT_FALSE(funk.ReadWriteSetup(0).failed);
  EXPECT_EQ(toolkit::FieldText(setup->DataDir), toolkit::ProgramDir);
  setup->Nk = 99;
  EXPECT_FALSE(funk.ReadWriteSetup(1).failed);
  setup->Nk = 0;
  EXPECT_FALSE(funk.ReadWriteSetup(0).failed);
  EXPECT_EQ(setup->Nk, 99);
  toolkit::Setup = nullptr;
  toolkit::ProgramDir.clear();
}

}  // namespace
