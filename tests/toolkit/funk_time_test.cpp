#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <sstream>

#include "python_reference.h"
#include "toolkit/funk.h"
#include "toolkit/parse_number.h"
#include "toolkit/time_texts.h"

namespace toolkit {
namespace {

constexpr int64_t kTps = 256'000'000;
constexpr int64_t kDay = 86400 * kTps;

// ---- Number parser ----

TEST(ParseNumber, ValuesCarryTheBiasTowardsTheirSign) {
  struct Case {
    const char* text;
    double expected;
  };
  const Case cases[] = {
      {"12.5", 12.5 + 1e-10},   {"-3", -3 - 1e-10},     {"3,25", 3.25 + 1e-10}, {" +7", 7 + 1e-10},
      {"0.001", 0.001 + 1e-10}, {"-0,5", -0.5 - 1e-10}, {"007", 7 + 1e-10},     {"+-2", -2 - 1e-10},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(ParseNumber(c.text), c.expected) << c.text;
    EXPECT_DOUBLE_EQ(TFunk::ParseNumber(c.text), c.expected) << c.text;
  }
}

TEST(ParseNumber, ScanStopsAtTheFirstCharacterItCannotTake) {
  struct Case {
    std::string text;
    double expected;
  };
  const Case cases[] = {
      {"1.2.3", 1.2 + 1e-10},                 // a second separator
      {"1e5", 1 + 1e-10},                     // an exponent is not read
      {"5-", 5 + 1e-10},                      // a minus after the digits signs only digits that follow
      {"5-3", -53 - 1e-10},                   // ... which then take the sign
      {"2--3", 2 + 1e-10},                    // a second minus; the first signed no digit
      {"4\xD0\xB0", 4 + 1e-10},               // bytes from 0x80 up are not digits
      {"\2615", 0.0},                         // 0xB1 then 5
      {std::string("3\0009", 3), 3 + 1e-10},  // a NUL ends the text
      {"", 0.0},
      {"abc", 0.0},
      {"0", 0.0},  // below 1.1e-10 after the bias
      {"-0.0", 0.0},
      {"  .", 0.0},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(ParseNumber(c.text), c.expected) << c.text;
}

TEST(ParseNumber, OnlyTheFirstNineOrTenPositionsHoldDigits) {
  EXPECT_DOUBLE_EQ(ParseNumber("1234567890"), 123456789 + 1e-10);
  EXPECT_DOUBLE_EQ(ParseNumber("-1234567890"), -123456789 - 1e-10);
  EXPECT_DOUBLE_EQ(ParseNumber(" 1234567890"), 123456789 + 1e-10);
  EXPECT_DOUBLE_EQ(ParseNumber("1.234567891"), 1.23456789 + 1e-10);  // the separator opens position 10 only
  EXPECT_DOUBLE_EQ(ParseNumber("999999999"), 999999999 + 1e-10);
  EXPECT_DOUBLE_EQ(ParseNumber("   999999999999"), 9999999 + 1e-10);
}

// ---- Calendar fields and file-name texts ----

TEST(DecodeTimeStamp, FillsTheCalendarWithCountsPast32Bits) {
  TFunk funk;
  EXPECT_EQ(funk.DecodeTimeStamp(0, 0.0, 1), "8001010000.0");
  EXPECT_EQ(funk.Calendar.Year, 1980);
  EXPECT_EQ(funk.Calendar.Month, 1);
  EXPECT_EQ(funk.Calendar.Day, 1);
  EXPECT_EQ(funk.Calendar.WholeSeconds, int64_t{2'524'694'400});
  EXPECT_EQ(funk.Calendar.Microseconds, 0);
  EXPECT_EQ(funk.Calendar.DateTime, 29221.0);

  // 2000-03-04 05:06:37.000123 (+ a few ticks under the next microsecond).
  const int64_t ticks = 7368 * kDay + (5 * 3600 + 6 * 60 + 37) * kTps + 123 * 256 + 255;
  EXPECT_EQ(funk.DecodeTimeStamp(ticks, 0.0, 1), "0003040506.3");
  EXPECT_EQ(funk.DecodeTimeStamp(ticks, 0.0, 0), "03040506.3");
  EXPECT_EQ(funk.Calendar.Year, 2000);
  EXPECT_EQ(funk.Calendar.Month, 3);
  EXPECT_EQ(funk.Calendar.Day, 4);
  EXPECT_EQ(funk.Calendar.Hour, 5);
  EXPECT_EQ(funk.Calendar.Minute, 6);
  EXPECT_EQ(funk.Calendar.Microseconds, 123);
  EXPECT_DOUBLE_EQ(funk.Calendar.Seconds, 37.000123);
  EXPECT_EQ(funk.Calendar.WholeSeconds, int64_t{2'524'694'400} + 7368 * 86400 + 5 * 3600 + 6 * 60 + 37);
  EXPECT_NEAR(funk.Calendar.DateTime, 29221 + 7368 + (5 * 3600 + 6 * 60 + 37.000123) / 86400, 1e-10);

  // 2019-12-31 23:59:59 plus one second of offset: a new year, two-digit year 20.
  const int64_t lastSecond = (14609 + 1) * kDay - kTps;
  EXPECT_EQ(funk.DecodeTimeStamp(lastSecond, 0.0, 1), "1912312359.5");
  EXPECT_EQ(funk.DecodeTimeStamp(lastSecond, 1.0, 1), "2001010000.0");
}

// ---- Display texts ----

TEST(TimeTexts, OffsetsMoveTheInstantAcrossSecondsAndDays) {
  TFunk funk;
  EXPECT_EQ(funk.DateTimeText(0, 0.0), "01.01.1980 00:00:00.00000");
  EXPECT_EQ(funk.DateTimeText(kTps / 4, -0.5), "31.12.1979 23:59:59.75000");
  EXPECT_EQ(funk.TimeText(kTps / 4, -0.5), "23:59:59.75000");
  EXPECT_EQ(funk.DateTimeText(kTps - 1, 0.5), "01.01.1980 00:00:01.49999");
  EXPECT_EQ(funk.DateTimeText(0, 86400.00001), "02.01.1980 00:00:00.00001");
  EXPECT_EQ(funk.DateTimeText(0, -1e-8), "31.12.1979 23:59:59.99999");
  // An offset that is no number counts as none.
  EXPECT_EQ(funk.DateTimeText(kTps, std::numeric_limits<double>::quiet_NaN()), "01.01.1980 00:00:01.00000");
  EXPECT_EQ(funk.TimeText(kTps, std::numeric_limits<double>::infinity()), "00:00:01.00000");
}

TEST(TimeTexts, FormatTimeStampShowsTenThousandths) {
  TFunk funk;
  EXPECT_EQ(funk.FormatTimeStamp(59 * kDay + 12 * 3600 * kTps + kTps / 4), "29/02/1980 12:00:00.2500");
  EXPECT_EQ(funk.FormatTimeStamp(-1), "31/12/1979 23:59:59.9999");
}

TEST(TimeTexts, SignedHoursMinutesSeconds) {
  TFunk funk;
  EXPECT_EQ(funk.FormatSignedDms(-3725.5), "-1:02:5.50000");
  EXPECT_EQ(funk.FormatSignedDms(59.25), " 0:00:59.25000");
  EXPECT_EQ(funk.FormatSignedDms(0.0), " 0:00:0.00000");
  EXPECT_EQ(funk.FormatSignedDms(3600.0), " 1:00:0.00000");
  // The seconds round as "%02.5f" rounds the stored value: 0.015625 is exact and goes to even, the
  // double nearest 86399.000015 lies just below it.
  EXPECT_EQ(funk.FormatSignedDms(0.015625), " 0:00:0.01562");
  EXPECT_EQ(funk.FormatSignedDms(-0.046875), "-0:00:0.04688");
  EXPECT_EQ(funk.FormatSignedDms(3661.015625), " 1:01:1.01562");
  EXPECT_EQ(funk.FormatSignedDms(-86399.000015), "-23:59:59.00001");
  // Just under a minute rounds up to it instead of showing 60 seconds.
  EXPECT_EQ(funk.FormatSignedDms(59.999999), " 0:01:0.00000");
  EXPECT_EQ(funk.FormatSignedDms(7199.999996), " 2:00:0.00000");
  EXPECT_EQ(funk.FormatSignedDms(3599.999996), " 1:00:0.00000");
}

TEST(TimeTexts, InstantsFrom1980To2035MatchPython) {
  // Python's datetime on the integer split of the ticks: whole seconds, the last tick before one,
  // and random instants over the whole range.
  const auto lines = toolkit_test::RunPython("time_texts", R"(
import datetime, random
random.seed(11)
T = 256000000
epoch = datetime.datetime(1980, 1, 1)
span = (datetime.datetime(2036, 1, 1) - epoch).days * 86400
ticks = [0, 1, T - 1, T, 86400 * T - 1, 86400 * T]
for _ in range(600):
    s = random.randrange(span)
    ticks += [s * T, s * T - 1, s * T + random.randrange(T)]
for x in ticks:
    s, r = divmod(x, T)
    t = epoch + datetime.timedelta(seconds=s)
    print(x, t.strftime('%d.%m.%Y_%H:%M:%S') + '.%05d' % (r // 2560),
          t.strftime('%d/%m/%Y_%H:%M:%S') + '.%04d' % (r // 25600),
          '%02d%02d%02d%02d%02d.%d' % (t.year % 100, t.month, t.day, t.hour, t.minute, t.second // 10))
)");
  ASSERT_EQ(lines.size(), 1806u);
  TFunk funk;
  for (const std::string& line : lines) {
    std::istringstream in(line);
    int64_t ticks = 0;
    std::string dateTime, stamp, fileName;
    in >> ticks >> dateTime >> stamp >> fileName;
    dateTime[10] = ' ';
    stamp[10] = ' ';
    ASSERT_EQ(funk.DateTimeText(ticks, 0.0), dateTime) << ticks;
    ASSERT_EQ(funk.TimeText(ticks, 0.0), dateTime.substr(11)) << ticks;
    ASSERT_EQ(funk.FormatTimeStamp(ticks), stamp) << ticks;
    ASSERT_EQ(funk.DecodeTimeStamp(ticks, 0.0, 1), fileName) << ticks;
  }
}

}  // namespace
}  // namespace toolkit
