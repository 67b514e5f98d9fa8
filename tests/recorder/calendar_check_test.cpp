#include "recorder/calendar_check.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace recorder {
namespace {

std::unique_ptr<YSTANOV> Calendar(std::initializer_list<CalendarEntry> entries) {
  auto s = std::make_unique<YSTANOV>();
  std::memset(s.get(), 0, sizeof *s);
  for (auto& e : s->Calendar) FreeEntry(e);
  int i = 0;
  for (const auto& e : entries) s->Calendar[i++] = e;
  return s;
}

constexpr uint32_t T = 1'000'000'030;  // next whole minute: 1,000,000,080

TEST(CalendarCheck, BegunFirstPeriodMovesAfterTheNextMinute) {
  auto s = Calendar({{T - 100, T + 50}, {T + 10'000, T + 11'000}});
  const CalendarCheck r = CheckCalendar(*s, T);
  EXPECT_TRUE(r.Changed);
  EXPECT_EQ(s->Calendar[0].On, 1'000'000'380u);
  EXPECT_EQ(s->Calendar[0].Off, 1'000'000'500u);  // at least 120 s
  EXPECT_EQ(s->Calendar[1].On, T + 10'000);
  EXPECT_NE(r.Report.find("печать календаря:   T(unit) 1000000080; "), std::string::npos);
  EXPECT_NE(r.Report.find("\n\n0: прошло время    999999930  1000000080 ->_1000000380  1000000500"),
            std::string::npos);

  // A long first period keeps its end.
  auto longer = Calendar({{T - 100, T + 5000}});
  CheckCalendar(*longer, T);
  EXPECT_EQ(longer->Calendar[0].On, 1'000'000'380u);
  EXPECT_EQ(longer->Calendar[0].Off, T + 5000);
}

TEST(CalendarCheck, PeriodStartingTooSoonIsMergedIntoThePreviousOne) {
  auto s = Calendar({{T + 1000, T + 2000},
                     {T + 2040, T + 3000},  // starts 40 s after the previous end, ends later
                     {T + 5000, T + 6000},
                     {T + 6010, T + 6050},  // starts too soon, ends within 100 s
                     {T + 9000, T + 9500}});
  const CalendarCheck r = CheckCalendar(*s, T);
  EXPECT_TRUE(r.Changed);
  EXPECT_EQ(s->Calendar[0].On, T + 1000);
  EXPECT_EQ(s->Calendar[0].Off, T + 3000);
  EXPECT_EQ(s->Calendar[1].On, T + 5000);
  EXPECT_EQ(s->Calendar[1].Off, T + 6000);
  EXPECT_EQ(s->Calendar[2].On, T + 9000);
  EXPECT_TRUE(IsFree(s->Calendar[3]));
  EXPECT_TRUE(IsFree(s->Calendar[255]));
  EXPECT_NE(r.Report.find(
                "\n001: новая вкл. рано 1000002070  1000003030 и кончилась позже -> 1000005030  1000006030 "),
            std::string::npos);
}

TEST(CalendarCheck, ChainsAreMergedInLaterPasses) {
  // Each start lies 30 s after the previous end: the whole chain ends up as one period.
  auto s = Calendar({{T + 1000, T + 1200}, {T + 1230, T + 1400}, {T + 1430, T + 1600}, {T + 1630, T + 1800}});
  EXPECT_TRUE(CheckCalendar(*s, T).Changed);
  EXPECT_EQ(s->Calendar[0].Off, T + 1800);
  EXPECT_TRUE(IsFree(s->Calendar[1]));
}

TEST(CalendarCheck, SoundCalendarIsLeftAlone) {
  auto s = Calendar({{T + 1000, T + 2000}, {T + 2100, T + 3000}});
  auto before = std::make_unique<YSTANOV>(*s);
  const CalendarCheck r = CheckCalendar(*s, T);
  EXPECT_FALSE(r.Changed);
  EXPECT_EQ(0, std::memcmp(s.get(), before.get(), sizeof *s));
  EXPECT_NE(r.Report.find("\n1:  1000002130  1000003030;"), std::string::npos);
}

TEST(CalendarCheck, ReportsOfOneKindStopAfterThirty) {
  auto s = Calendar({});
  for (int i = 0; i < 100; ++i) s->Calendar[i] = {T + 1000 + 10u * i, T + 1005 + 10u * i};
  const CalendarCheck r = CheckCalendar(*s, T);
  size_t count = 0;
  for (size_t at = r.Report.find("новая вкл. рано"); at != std::string::npos;
       at = r.Report.find("новая вкл. рано", at + 1)) {
    ++count;
  }
  EXPECT_EQ(count, 30u);
  // The passes go on until no period starts within 50 s of the previous end.
  EXPECT_EQ(s->Calendar[0].Off, T + 1005);
  ASSERT_FALSE(IsFree(s->Calendar[1]));
  for (int r = 1; r < 256 && !IsFree(s->Calendar[r]); ++r) {
    EXPECT_GE(s->Calendar[r].On, s->Calendar[r - 1].Off + 50) << r;
  }
}

TEST(CalendarCheck, SystemTimeIsOfferedWhenTheRecorderLags) {
  EXPECT_FALSE(OfferSystemTime(1'000'000'000, 1'000'001'200));
  EXPECT_TRUE(OfferSystemTime(1'000'000'000, 1'000'001'201));
  EXPECT_FALSE(OfferSystemTime(1'000'000'000, 900'000'000));
  EXPECT_EQ(SystemTimeQuestionTitle(0, 86400), "T(unit)=06.01.80 00:00:00;  T(SYS)=07.01.80 00:00:00;");
}

}  // namespace
}  // namespace recorder
