#include "recorder/session_texts.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>

namespace recorder {
namespace {

TEST(SessionTexts, DataDirectoryAndLogNamesFollowSeriesAndNumber) {
  EXPECT_EQ(DataDirName(0x1a, 7), "Unit_1a_007");
  EXPECT_EQ(LogFileBaseName(0x1a, 7), "log_1a_007.txt");
  EXPECT_EQ(DataDirName(0, 255), "Unit_00_255");
  EXPECT_EQ(DataDirPath("/home/field", 0x02, 41), "/home/field/Unit_02_041");
  EXPECT_EQ(DataDirPath("/home/field/", 0x02, 41), "/home/field/Unit_02_041");
  EXPECT_EQ(LogFilePath("/home/field/Unit_02_041", 0x02, 41), "/home/field/Unit_02_041/log_02_041.txt");
}

TEST(SessionTexts, TheDataDirectoryIsCreatedOnlyWhereItCanBeAndRefusedWhenPlanted) {
  namespace fs = std::filesystem;
  const fs::path base = fs::path(::testing::TempDir()) / ("session_dir_" + std::to_string(::getpid()));
  fs::remove_all(base);
  const std::string dir = DataDirPath(base.string(), 1, 2);
  EXPECT_EQ(PrepareDataDirectory(dir), "");
  EXPECT_TRUE(fs::is_directory(dir));
  EXPECT_EQ(PrepareDataDirectory(dir), "") << "an existing directory is fine";
  std::ofstream((base / "plain").string()) << "x";
  // Nothing can be made below a plain file, not even by root.
  EXPECT_EQ(PrepareDataDirectory((base / "plain" / "Unit_01_002").string()), "") << "the log's failure tells";
  fs::create_directory(base / "elsewhere");
  fs::create_symlink(base / "elsewhere", base / "Unit_01_003");
  fs::create_directory(base / "Unit_01_004");
  // Another user's folder: root gives one away; any other user finds one in the root folder.
  const bool root = ::geteuid() == 0;
  if (root) {
    EXPECT_EQ(::chown((base / "Unit_01_004").c_str(), 65534, 65534), 0);
  }
  const std::string othersFolder = root ? DataDirPath(base.string(), 1, 4) : "/";
  struct stat st {};
  ASSERT_EQ(::stat(othersFolder.c_str(), &st), 0);
  if (st.st_uid == ::geteuid()) GTEST_SKIP() << "the user owns the root folder: no folder of another user";
  struct Row {
    std::string dir;
    const char* why;
  } rows[] = {
      {(base / "plain").string(), "не папка"},
      {DataDirPath(base.string(), 1, 3), "символическая ссылка"},
      {othersFolder, "другому пользователю"},
  };
  for (const Row& r : rows) {
    const std::string refusal = PrepareDataDirectory(r.dir);
    EXPECT_NE(refusal.find(r.why), std::string::npos) << r.dir << ": " << refusal;
    EXPECT_NE(refusal.find(r.dir), std::string::npos) << refusal;
  }
  fs::remove_all(base);
}

TEST(SessionTexts, BuildStampHasTheCompilersShape) {
  EXPECT_TRUE(std::regex_match(BuildDate(), std::regex("[A-Z][a-z]{2} [ 0-9][0-9] [0-9]{4}"))) << BuildDate();
  EXPECT_TRUE(std::regex_match(BuildTime(), std::regex("[0-9]{2}:[0-9]{2}:[0-9]{2}"))) << BuildTime();
}

TEST(SessionTexts, PcTimesAreUtcCalendarTimes) {
  // 1,700,000,000 s after 1970-01-01 is 2023-11-14 22:13:20 UTC.
  EXPECT_EQ(PcTimeText({1'700'000'000, 999'999}), "14.11.23 22:13:20");
  EXPECT_EQ(PcClockCaption({0, 0}), "ПК   01.01.70 00:00:00");
  EXPECT_EQ(PcTimeText({951'782'400, 0}), "29.02.00 00:00:00");
}

TEST(SessionTexts, ChooserListsTitleDevicesAndExit) {
  const std::vector<ChooserDevice> devices = {{"FT1A", "T-9XV Unit", 0x21}, {"FT2B", "TK-41 box", 0x1234}};
  const auto lines = ChooserLines(devices);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "N:                 SerNum           Description;   лок.адр");
  EXPECT_EQ(lines[1], "0:                   FT1A            T-9XV Unit;   0x0021 ");
  EXPECT_EQ(lines[2], "1:                   FT2B             TK-41 box;   0x1234 ");
  EXPECT_EQ(lines[3], "                e  x  i  t ");
  EXPECT_EQ(ChosenDevice(1, 2), 0);
  EXPECT_EQ(ChosenDevice(2, 2), 1);
  EXPECT_EQ(ChosenDevice(0, 2), -1) << "title line";
  EXPECT_EQ(ChosenDevice(3, 2), -1) << "exit line";
  EXPECT_EQ(ChosenDevice(-1, 2), -1) << "nothing chosen";
}

TEST(SessionTexts, FirmwareTextIsBoundedByItsLengthTheNulAndTheBody) {
  uint8_t body[513];
  std::memset(body, 'A', sizeof body);
  std::memcpy(body + 338, "v3.14 2009-xy-long-tail", 23);
  EXPECT_EQ(FirmwareText(body, sizeof body, "T-9XV Unit"), "v3.14 2009-xy- ");
  EXPECT_EQ(FirmwareText(body, sizeof body, "TK-41 Unit"), "v3.14 2009-xy-long- ");
  EXPECT_EQ(FirmwareText(body, sizeof body, "TK-4"), "v3.14 2009-xy- ") << "the prefix must be whole";
  body[343] = 0;
  EXPECT_EQ(FirmwareText(body, sizeof body, "T-9XV"), "v3.14 ");
  EXPECT_EQ(FirmwareText(body, 341, "T-9XV"), "v3. ") << "never beyond the bytes received";
  EXPECT_EQ(FirmwareText(body, 100, "T-9XV"), " ");
  std::memcpy(body + 338, "\xC2\xE5\xF0 2", 5);  // Windows-1251 letters
  EXPECT_EQ(FirmwareText(body, sizeof body, "T-9XV"), "Вер 2 ");
  std::memcpy(body + 338, "v1\nv\r\x85", 7);  // it goes into the work log: one line of text
  EXPECT_EQ(FirmwareText(body, sizeof body, "T-9XV"), "v1 v … ");
}

TEST(SessionTexts, CaptionAndSessionLines) {
  EXPECT_EQ(MainCaption("Jul 22 2010", "FT1A", "T-9XV Unit", "v3.14 "),
            "   прог. от Jul 22 2010;    SerNum:  FT1A;   Descr: T-9XV Unit;  v3.14 ;");
  StatusBlock st{};
  st.Id = 0x1a07;
  EXPECT_EQ(SessionStartLine("Jul 22 2010", "11:11:35", st, "v3.14 ", {1'700'000'000, 0}),
            "  ПК( Jul 22 2010 11:11:35 );   UNIT 007(1a) - v3.14 ;     начало в 14.11.23 22:13:20(пк)");
  EXPECT_EQ(SessionEndLine({1'700'000'000, 0}), "\n  *   конец:  T(ПК) - 14.11.23 22:13:20");
  EXPECT_EQ(SessionSeparator().substr(0, 11), "\n\n\n\n       ");
  EXPECT_EQ(SessionSeparator().size(), 4u + 7u + 16u * 5u - 2u);
}

TEST(SessionTexts, TheGpsLineGivesThePositionOnlyWithAValidFix) {
  StatusBlock st{};
  st.Time = 1'000'000'000;  // 2011-09-14 01:46:40 in recorder seconds
  st.LON = 0.5f;            // radians: 28.6478898 degrees
  st.LAT = -0.25f;          // -14.3239449 degrees
  st.Valid = 0xF0;          // only the low nibble counts
  EXPECT_EQ(SessionGpsLine(st), "GPS: 14.09.11 01:46:40;  28.64789;  -14.32394; ");
  st.Valid = 0x08;
  EXPECT_EQ(SessionGpsLine(st), "GPS: No usable satellites");
}

TEST(SessionTexts, ControlCaptionsOfTheStartOfWork) {
  const auto items = HighPassItems();
  ASSERT_EQ(items.size(), 11u);
  EXPECT_EQ(items[0], " 0.00 Hz");
  EXPECT_EQ(items[3], " 0.15 Hz");
  EXPECT_EQ(items[10], " 0.50 Hz");
  EXPECT_EQ(ReadPortionCaption(4096, 0), "буфер 4096 стр.");
  EXPECT_EQ(ReadPortionCaption(61440, 1), " 61440 pages");
  EXPECT_EQ(FileLengthCaption(0), " весь файл");
  EXPECT_EQ(FileLengthCaption(15), " файлы по 15 мин.");
}

}  // namespace
}  // namespace recorder
