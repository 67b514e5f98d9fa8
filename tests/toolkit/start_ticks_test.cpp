#include "toolkit/start_ticks.h"

#include <gtest/gtest.h>

#include <limits>

namespace toolkit {
namespace {

constexpr int64_t kTps = 256'000'000;

TEST(StartTicks, SecondsOfAnyEpochConvertBothWays) {
  // The recorder's clock counts from 1980-01-06: its second 0 is five days into StartTicks.
  int64_t ticks = 0;
  ASSERT_TRUE(StartTicksFromSeconds(0, kDayGpsEpoch, 17, ticks));
  EXPECT_EQ(ticks, 5 * 86400 * kTps + 17);
  const TickInstant back = SplitStartTicks(ticks);
  EXPECT_EQ(back.WholeSeconds, kDayGpsEpoch * 86400);
  EXPECT_EQ(back.Ticks, 17);
  EXPECT_EQ(back.DayNumber(), kDayGpsEpoch);

  // Seconds since 1899-12-30 past 2^32 (2036), and instants before 1980.
  const int64_t seconds = (int64_t{1} << 32) + 5;
  ASSERT_TRUE(StartTicksFromSeconds(seconds, 0, kTps - 1, ticks));
  EXPECT_EQ(SplitStartTicks(ticks).WholeSeconds, seconds);
  EXPECT_EQ(SplitStartTicks(ticks).Ticks, kTps - 1);
  ASSERT_TRUE(StartTicksFromSeconds(-1, kDay1980, 0, ticks));
  EXPECT_EQ(ticks, -kTps);
  EXPECT_EQ(SplitStartTicks(-1).WholeSeconds, kDay1980 * 86400 - 1);
  EXPECT_EQ(SplitStartTicks(-1).Ticks, kTps - 1);

  // Out of the int64 range: refused, the output untouched.
  ticks = 99;
  EXPECT_FALSE(StartTicksFromSeconds(int64_t{1} << 40, kDay1980, 0, ticks));
  EXPECT_FALSE(StartTicksFromSeconds(0, std::numeric_limits<int64_t>::min(), 0, ticks));
  EXPECT_FALSE(StartTicksFromSeconds(-1, kDay1980, std::numeric_limits<int64_t>::min(), ticks));
  EXPECT_EQ(ticks, 99);
}

TEST(StartTicks, OffsetsAreTakenToTheNearestTickAndBounded) {
  EXPECT_EQ(SplitStartTicks(0, 1.5).Ticks, kTps / 2);
  EXPECT_EQ(SplitStartTicks(0, -2.5).WholeSeconds, kDay1980 * 86400 - 3);
  EXPECT_EQ(SplitStartTicks(0, -2.5).Ticks, kTps / 2);
  // 0.6 ticks of offset round up to one, carrying into the next second.
  EXPECT_EQ(SplitStartTicks(kTps - 1, 0.6 / kTps).Ticks, 0);
  EXPECT_EQ(SplitStartTicks(kTps - 1, 0.6 / kTps).WholeSeconds, kDay1980 * 86400 + 1);
  EXPECT_EQ(SplitStartTicks(0, 1e300).WholeSeconds, kDay1980 * 86400 + int64_t{100'000'000'000});
  EXPECT_EQ(SplitStartTicks(0, -1e300).WholeSeconds, kDay1980 * 86400 - int64_t{100'000'000'000});
  // An offset that is no finite number counts as none.
  EXPECT_EQ(SplitStartTicks(5, -std::numeric_limits<double>::infinity()).WholeSeconds, kDay1980 * 86400);
  EXPECT_EQ(SplitStartTicks(5, std::numeric_limits<double>::quiet_NaN()).Ticks, 5);
  EXPECT_DOUBLE_EQ(DateTimeValue(SplitStartTicks(43200 * kTps)), kDay1980 + 0.5);
  EXPECT_DOUBLE_EQ(DateTimeValue(SplitStartTicks(-6 * 3600 * kTps)), kDay1980 - 0.25);
}

}  // namespace
}  // namespace toolkit
