#include "recorder/setup_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "recorder/recorder_time.h"
#include "support/planted_fifo.h"
#include "support/file_size_limit.h"

namespace recorder {
namespace {

namespace fs = std::filesystem;

class SetupFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("setup_files_" + std::to_string(getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  void WriteText(const char* name, const std::string& text) const { std::ofstream(dir_ / name) << text; }

  static std::unique_ptr<YSTANOV> Block(uint8_t fill) {
    auto s = std::make_unique<YSTANOV>();
    std::memset(s.get(), fill, sizeof *s);
    std::strcpy(s->Station, "OLD");
    return s;
  }

  fs::path dir_;
};

TEST_F(SetupFiles, SetupFileIsNeverWrittenThroughALink) {
  WriteText("target", "precious");
  fs::create_symlink(dir_ / "target", dir_ / kSetupFileName);
  std::string error;
  EXPECT_FALSE(SaveSetupFile(*Block(0x21), Path(kSetupFileName), error));
  EXPECT_NE(error.find("символическая ссылка"), std::string::npos) << error;
  EXPECT_EQ(fs::file_size(dir_ / "target"), 8u);
}

TEST_F(SetupFiles, SetupFileRoundTripKeepsTheStation) {
  auto saved = Block(0x21);
  std::strcpy(saved->Station, "NEWST");
  std::string error;
  ASSERT_TRUE(SaveSetupFile(*saved, Path(kSetupFileName), error));
  EXPECT_EQ(fs::file_size(Path(kSetupFileName)), 2560u);

  auto whole = Block(0x00);
  ASSERT_TRUE(LoadSetupFile(*whole, Path(kSetupFileName), SetupFilePart::Whole, error));
  EXPECT_EQ(StationName(*whole), "OLD");
  const auto before = Block(0x00);
  EXPECT_EQ(0, std::memcmp(whole->Station, before->Station, sizeof whole->Station));
  std::memcpy(saved->Station, before->Station, sizeof saved->Station);
  EXPECT_EQ(0, std::memcmp(whole.get(), saved.get(), 2560));

  auto calendarOnly = Block(0x00);
  ASSERT_TRUE(LoadSetupFile(*calendarOnly, Path(kSetupFileName), SetupFilePart::Calendar, error));
  auto untouched = Block(0x00);
  EXPECT_EQ(0, std::memcmp(calendarOnly.get(), untouched.get(), 512));
  EXPECT_EQ(0, std::memcmp(SetupBytes(*calendarOnly) + 512, SetupBytes(*saved) + 512, 2048));
}

TEST_F(SetupFiles, SetupFileOfAnotherSizeOrMissingIsRefused) {
  std::string error;
  auto s = Block(0x33);
  EXPECT_FALSE(LoadSetupFile(*s, Path(kSetupFileName), SetupFilePart::Whole, error));
  EXPECT_EQ(error, "error open  FILE <" + Path(kSetupFileName) + ">");
  for (size_t size : {size_t{2559}, size_t{2561}, size_t{0}}) {
    WriteText(kSetupFileName, std::string(size, '\x44'));
    EXPECT_FALSE(LoadSetupFile(*s, Path(kSetupFileName), SetupFilePart::Whole, error)) << size;
    EXPECT_EQ(error, "error size  FILE <" + Path(kSetupFileName) + ">");
    EXPECT_EQ(s->SampleRate, 0x3333);
  }
  // A FIFO at the name is refused as a missing file is, without waiting on it.
  fs::remove(Path(kSetupFileName));
  bool loaded = true;
  EXPECT_TRUE(support::FifoLeftUnread(Path(kSetupFileName), [&] {
    loaded = LoadSetupFile(*s, Path(kSetupFileName), SetupFilePart::Whole, error);
  }));
  EXPECT_FALSE(loaded);
  EXPECT_EQ(error, "error open  FILE <" + Path(kSetupFileName) + ">");
}

TEST_F(SetupFiles, FailedCreateIsReported) {
  std::string error;
  auto s = Block(0x01);
  const std::string path = (dir_ / "missing" / kSetupFileName).string();
  EXPECT_FALSE(SaveSetupFile(*s, path, error));
  EXPECT_EQ(error, "error create  FILE <" + path + ">");
  // A disk that fills up: the write fails and the earlier file stays whole.
  WriteText(kSetupFileName, "earlier");
  {
    support::FileSizeLimit full(100);
    EXPECT_FALSE(SaveSetupFile(*s, Path(kSetupFileName), error));
  }
  EXPECT_EQ(error, "error write  FILE <" + Path(kSetupFileName) + ">");
  EXPECT_EQ(fs::file_size(Path(kSetupFileName)), 7u);
}

TEST_F(SetupFiles, KalendExampleGivesAlternatingDailyPeriods) {
  WriteText(kKalendFileName, "120406\n1520012\n1930111\n");
  KalendFile k;
  std::string error;
  ASSERT_TRUE(ReadKalendFile(Path(kKalendFileName), k, error)) << error;
  EXPECT_EQ(k.Day, 12u);
  EXPECT_EQ(k.Month, 4u);
  EXPECT_EQ(k.Year, 2006u);
  ASSERT_EQ(k.Lines.size(), 2u);
  EXPECT_EQ(k.ReplyText, std::string(kKalendFormatText) +
                             "\n\n  а у Вас:  начиная с 12:04:2006  включать в:"
                             "\n15:20:00   12 min \n19:30:00   111 min ");
  EXPECT_TRUE(k.Warning.empty());

  // 2026-12-08 21:37:13: both periods of that day are past.
  const int64_t now = UnitSecondsFromUtc({1'796'765'833, 0});
  const auto rows = GenerateCalendarRows(k, now);
  ASSERT_EQ(rows.size(), 256u);
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_GE(rows[i].Start, now);
    EXPECT_EQ(rows[i].Minutes, i % 2 == 0 ? 12u : 111u);
    if (i > 0) {
      EXPECT_EQ(rows[i].Start - rows[i - 1].Start, i % 2 == 1 ? 15000 : 71400);
    }
  }
  EXPECT_EQ(UnitTimeText(static_cast<uint32_t>(rows[0].Start)), "09.12.26 15:20:00");
  EXPECT_EQ(UnitTimeText(static_cast<uint32_t>(rows[1].Start)), "09.12.26 19:30:00");
  EXPECT_EQ(UnitTimeText(static_cast<uint32_t>(rows[255].Start)), "15.04.27 19:30:00");

  // Between the two periods of a day: the day's second one comes first.
  const auto midday = GenerateCalendarRows(k, UnitSecondsFromDate(2026, 12, 8) + 16 * 3600);
  EXPECT_EQ(UnitTimeText(static_cast<uint32_t>(midday[0].Start)), "08.12.26 19:30:00");
  // A start date in the future begins at its first line.
  const auto ahead = GenerateCalendarRows(k, UnitSecondsFromDate(2006, 1, 1));
  EXPECT_EQ(UnitTimeText(static_cast<uint32_t>(ahead[0].Start)), "12.04.06 15:20:00");
}

// The file's year is 2000 + yy; its periods reach the calendar to the second, and none passes the end
// of the recorder's clock (2116-02-12 06:28:15), however many hours a line gives.
TEST_F(SetupFiles, KalendPeriodsKeepTheirCenturyAndEndWithinTheRecordersClock) {
  const int64_t now = UnitSecondsFromDate(2026, 12, 9);
  struct Case {
    const char* text;
    size_t rows;
    int64_t first;
  };
  const Case cases[] = {
      {"010185\n1520012\n", 256, UnitSecondsFromDate(2085, 1, 1) + 15 * 3600 + 20 * 60},
      // From 1 January 2099 plus 149,736 hours (2116-02-01 00:00) for 999 minutes: eleven days fit, the
      // twelfth would end past the clock.
      {"010199\n14973600999\n", 11, UnitSecondsFromDate(2116, 2, 1)},
      // Hours that start every period past the clock's end.
      {"010199\n15000000000000\n", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    WriteText(kKalendFileName, c.text);
    KalendFile k;
    std::string error;
    ASSERT_TRUE(ReadKalendFile(Path(kKalendFileName), k, error)) << error;
    const auto rows = GenerateCalendarRows(k, now);
    ASSERT_EQ(rows.size(), c.rows);
    YSTANOV s{};
    CalendarFromRows(s, rows);
    for (size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(s.Calendar[i].On, rows[i].Start);
      EXPECT_EQ(int64_t{s.Calendar[i].Off}, rows[i].Start + int64_t{rows[i].Minutes} * 60);
      EXPECT_LT(int64_t{s.Calendar[i].Off}, int64_t{0xFFFF'FFFF});
    }
    for (size_t i = rows.size(); i < 256; ++i) EXPECT_TRUE(IsFree(s.Calendar[i]));
    if (c.rows > 0) {
      EXPECT_EQ(s.Calendar[0].On, c.first);
    }
  }
}

TEST_F(SetupFiles, KalendWithBadDateOrNoTimesIsRefused) {
  KalendFile k;
  std::string error;
  EXPECT_FALSE(ReadKalendFile(Path(kKalendFileName), k, error));
  EXPECT_EQ(error, "Open error!");
  bool read = true;
  EXPECT_TRUE(support::FifoLeftUnread(Path(kKalendFileName),
                                      [&] { read = ReadKalendFile(Path(kKalendFileName), k, error); }));
  EXPECT_FALSE(read);
  EXPECT_EQ(error, "Open error!");
  fs::remove(Path(kKalendFileName));
  WriteText(kKalendFileName, "");
  EXPECT_FALSE(ReadKalendFile(Path(kKalendFileName), k, error));
  EXPECT_EQ(error, "error read date!");
  for (const char* date : {"001306", "000406", "120006", "310206", "290223", "321206", "abc", "-120406"}) {
    WriteText(kKalendFileName, std::string(date) + "\n1520012\n");
    EXPECT_FALSE(ReadKalendFile(Path(kKalendFileName), k, error)) << date;
    EXPECT_EQ(error, "error data!") << date;
  }
  WriteText(kKalendFileName, "290224\n1520012\n");
  EXPECT_TRUE(ReadKalendFile(Path(kKalendFileName), k, error));
  WriteText(kKalendFileName, "120406\n");
  EXPECT_FALSE(ReadKalendFile(Path(kKalendFileName), k, error));
  EXPECT_EQ(error, "error read time!");
  WriteText(kKalendFileName, "120406\n\n  \n");
  EXPECT_FALSE(ReadKalendFile(Path(kKalendFileName), k, error));
  EXPECT_EQ(error, "error read time!");
  EXPECT_TRUE(GenerateCalendarRows(KalendFile{}, 0).empty());
}

TEST_F(SetupFiles, KalendKeepsAtMost256Lines) {
  std::string text = "010126\n";
  for (int i = 0; i < 300; ++i) text += std::to_string(100000 + i) + "\n";
  WriteText(kKalendFileName, text);
  KalendFile k;
  std::string error;
  ASSERT_TRUE(ReadKalendFile(Path(kKalendFileName), k, error));
  EXPECT_EQ(k.Lines.size(), 256u);
  EXPECT_EQ(k.Warning, "kalend: Больше 256 строк");
  EXPECT_EQ(k.Lines[255].Minutes, 255u);
  EXPECT_EQ(k.Lines[255].Hour, 1u);

  text = "010126\n";
  for (int i = 0; i < 256; ++i) text += "1000010\n";
  WriteText(kKalendFileName, text);
  ASSERT_TRUE(ReadKalendFile(Path(kKalendFileName), k, error));
  EXPECT_EQ(k.Lines.size(), 256u);
  EXPECT_TRUE(k.Warning.empty());
}

}  // namespace
}  // namespace recorder
