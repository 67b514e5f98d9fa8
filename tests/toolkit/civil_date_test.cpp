#include "toolkit/civil_date.h"

#include <gtest/gtest.h>

#include <sstream>

#include "python_reference.h"

namespace toolkit {
namespace {

TEST(CivilDate, EveryDayFrom1980To2035MatchesPython) {
  // Day numbers of every day 1980-01-01 ... 2035-12-31 with their dates, from Python's datetime.
  const auto lines = toolkit_test::RunPython("civil_days", R"(
import datetime
origin = datetime.date(1899, 12, 30)
d = datetime.date(1980, 1, 1)
while d <= datetime.date(2035, 12, 31):
    print((d - origin).days, d.year, d.month, d.day)
    d += datetime.timedelta(days=1)
)");
  ASSERT_EQ(lines.size(), 20454u);
  for (const std::string& line : lines) {
    std::istringstream in(line);
    int64_t day = 0;
    CivilDate expected;
    in >> day >> expected.Year >> expected.Month >> expected.Day;
    const CivilDate got = CivilFromDays(day);
    ASSERT_EQ(got.Year, expected.Year) << line;
    ASSERT_EQ(got.Month, expected.Month) << line;
    ASSERT_EQ(got.Day, expected.Day) << line;
    ASSERT_EQ(DaysFromCivil(expected), day) << line;
    ASSERT_TRUE(IsValidDate(expected)) << line;
  }
}

TEST(CivilDate, SecondsSince1980MatchPython) {
  // Instants spread over 1980 ... 2035, and the counts where 32-bit seconds since 1980 and (in 2036)
  // unsigned 32-bit seconds since 1899 run out.
  const auto lines = toolkit_test::RunPython("civil_seconds", R"(
import datetime, random
random.seed(7)
epoch = datetime.datetime(1980, 1, 1)
for s in [0, 1, 86399, 86400, 5 * 86400, 2**31 - 1, 2**31, 2**32 - 2524694400 - 1, 2**32 - 2524694400] + \
         [random.randrange(0, 56 * 366 * 86400) for _ in range(2000)]:
    t = epoch + datetime.timedelta(seconds=s)
    print(s, t.year, t.month, t.day, t.hour, t.minute, t.second)
)");
  ASSERT_EQ(lines.size(), 2009u);
  for (const std::string& line : lines) {
    std::istringstream in(line);
    int64_t seconds = 0;
    CivilDateTime e;
    in >> seconds >> e.Date.Year >> e.Date.Month >> e.Date.Day >> e.Time.Hour >> e.Time.Minute >>
        e.Time.Second;
    const CivilDateTime got = CivilFromSecondsSince1980(seconds);
    ASSERT_EQ(got.Date.Year, e.Date.Year) << line;
    ASSERT_EQ(got.Date.Month, e.Date.Month) << line;
    ASSERT_EQ(got.Date.Day, e.Date.Day) << line;
    ASSERT_EQ(SecondsOfDay(got.Time), SecondsOfDay(e.Time)) << line;
    ASSERT_EQ(SecondsSince1980(e), seconds) << line;
  }
}

TEST(CivilDate, InstantsBeforeAnEpochFallIntoTheDayBefore) {
  const CivilDateTime last = CivilFromSecondsSince1980(-1);
  EXPECT_EQ(last.Date.Year, 1979);
  EXPECT_EQ(last.Date.Month, 12u);
  EXPECT_EQ(last.Date.Day, 31u);
  EXPECT_EQ(SecondsOfDay(last.Time), 86399);
  // The recorder's clock starts five days after StartTicks' origin.
  EXPECT_EQ(SecondsFromCivil(CivilFromSecondsSince1980(0), kDayGpsEpoch), -5 * 86400);
  const CivilDateTime gps = CivilFromSeconds(0, kDayGpsEpoch);
  EXPECT_EQ(gps.Date.Day, 6u);
  EXPECT_EQ(FloorDiv(-86401, 86400), -2);
  EXPECT_EQ(FloorMod(-86401, 86400), 86399);
}

TEST(CivilDate, OutOfRangeMonthAndDayNormalise) {
  // Month 0 is December of the year before; a day past the month's end runs into the next month.
  EXPECT_EQ(DaysFromCivil({2000, 0, 15}), DaysFromCivil({1999, 12, 15}));
  EXPECT_EQ(DaysFromCivil({1999, 2, 31}), DaysFromCivil({1999, 3, 3}));
  EXPECT_EQ(DaysFromCivil({2000, 2, 31}), DaysFromCivil({2000, 3, 2}));
  EXPECT_FALSE(IsValidDate({1999, 2, 29}));
  EXPECT_TRUE(IsValidDate({2000, 2, 29}));
  EXPECT_FALSE(IsValidDate({1900, 2, 29}));
  EXPECT_FALSE(IsValidDate({2001, 0, 1}));
  EXPECT_FALSE(IsValidDate({2001, 4, 31}));
}

}  // namespace
}  // namespace toolkit
