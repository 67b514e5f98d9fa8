#include "recorder/recorder_time.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace recorder {
namespace {

TEST(RecorderTime, TextsAroundTheOld32BitLimit) {
  EXPECT_EQ(UnitTimeText(0), "06.01.80 00:00:00");
  EXPECT_EQ(UnitTimeText(1'769'840'879), "05.02.36 06:27:59");
  // The first value whose 32-bit sum with the epoch wrapped: exact now.
  EXPECT_EQ(UnitTimeText(1'769'840'896), "05.02.36 06:28:16");
  EXPECT_EQ(UnitTimeText(0xFFFF'FFFF), "12.02.16 06:28:15");
}

TEST(RecorderTime, FreeCalendarEntryAndScheduleClamp) {
  EXPECT_EQ(CalendarOnText(kFreeEntry), "05.02.36 06:28:00");
  EXPECT_EQ(CalendarOnText(1'000'000'000), "14.09.11 01:46:40");
  EXPECT_EQ(CalendarOnText(1'769'840'896), "05.02.36 06:28:16");
  EXPECT_EQ(ScheduleTimeText(1'000'000'000), "14.09.11 01:46:40");
  EXPECT_EQ(ScheduleTimeText(0xFFFF'FFFF), "31.12.49 00:00:00");
}

TEST(RecorderTime, DateTextsAgreeWithPython) {
  const char* python = std::getenv("SUITE_PYTHON");
  if (python == nullptr) python = "/usr/bin/python3";
  std::vector<uint32_t> values;
  uint64_t x = 12345;
  for (int i = 0; i < 400; ++i) {
    x = x * 6364136223846793005ull + 1442695040888963407ull;
    values.push_back(static_cast<uint32_t>(x >> 32));
  }
  values.push_back(0);
  values.push_back(0xFFFF'FFFF);
  support::TempDir dir;
  const std::string in = dir.File("recorder_time_in");
  {
    std::ofstream f(in);
    for (uint32_t v : values) f << v << "\n";
    f.close();
    ASSERT_TRUE(f) << "cannot write " << in;
  }
  const support::ChildResult run = support::RunChild(
      {python, "-c",
       "import sys,datetime as d\n"
       "e=d.datetime(1980,1,6)\n"
       "for l in open(sys.argv[1]): print((e+d.timedelta(seconds=int(l))).strftime('%d.%m.%y %H:%M:%S'))",
       in},
      true);
  ASSERT_TRUE(run.ok()) << run.problem;
  std::istringstream f(run.output);
  std::string line;
  for (uint32_t v : values) {
    ASSERT_TRUE(std::getline(f, line));
    EXPECT_EQ(UnitTimeText(v), line) << v;
  }
}

TEST(RecorderTime, DatesAndUtc) {
  EXPECT_EQ(UnitSecondsFromDate(1980, 1, 6), 0);
  EXPECT_EQ(UnitSecondsFromDate(1980, 1, 5), -86400);
  EXPECT_EQ(UnitSecondsFromDate(2006, 4, 12), UnitSecondsFromUtc({1'144'800'000, 0}));
  EXPECT_TRUE(IsValidDate(2024, 2, 29));
  EXPECT_FALSE(IsValidDate(2023, 2, 29));
  EXPECT_FALSE(IsValidDate(2100, 2, 29));
  EXPECT_TRUE(IsValidDate(2000, 2, 29));
  EXPECT_FALSE(IsValidDate(2006, 4, 31));
  EXPECT_FALSE(IsValidDate(2006, 0, 1));
  EXPECT_FALSE(IsValidDate(2006, 13, 1));
  EXPECT_FALSE(IsValidDate(2006, 1, 0));
  // Microseconds never round a second up.
  EXPECT_EQ(UnitSecondsFromUtc({kUnitEpochFromUnix + 10, 999'999}), 10);
  EXPECT_EQ(UtcFromUnitSeconds(10).unixSeconds, kUnitEpochFromUnix + 10);
}

TEST(RecorderTime, TickFractions) {
  // 1024 ticks a second: half a second is 512 ticks, in 1/65536 tick.
  EXPECT_DOUBLE_EQ(TickMicroseconds(512u * 65536u, 1023), 500'000.0);
  EXPECT_DOUBLE_EQ(TickMicroseconds(65536, 0), 1'000'000.0);
}

TEST(RecorderTime, PcClockRefusesImplausibleReadings) {
  EXPECT_FALSE(PcClockFromUnitTime(0).has_value());
  EXPECT_FALSE(PcClockFromUnitTime(600'000'000).has_value());  // 1999
  const auto t = PcClockFromUnitTime(1'480'801'033);           // 2026-12-08 21:37:13
  ASSERT_TRUE(t.has_value());
  EXPECT_EQ(t->unixSeconds, 1'796'765'833);
  // After 2036 the value stays exact.
  const auto late = PcClockFromUnitTime(1'900'000'000);
  ASSERT_TRUE(late.has_value());
  EXPECT_EQ(late->unixSeconds, 1'900'000'000 + kUnitEpochFromUnix);
  EXPECT_FALSE(PcClockFromUnitTime(0xFFFF'FFFF).has_value());  // 2116
}

}  // namespace
}  // namespace recorder
