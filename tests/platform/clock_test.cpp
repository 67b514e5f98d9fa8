#include "platform/clock.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(ClockTest, ElapsedTimeSurvivesTheCounterWrap) {
  TestClock clock(0xFFFFFF00u);
  const uint32_t start = clock.GetTickCount();
  clock.Advance(0x200);
  EXPECT_LT(clock.GetTickCount(), start);  // the counter wrapped
  EXPECT_EQ(TicksSince(start, clock.GetTickCount()), 0x200u);
}

TEST(ClockTest, TestClockSleepAdvancesTicksAndWallClock) {
  TestClock clock(100, {1'000'000'000, 999'500});
  clock.Sleep(1500);
  EXPECT_EQ(clock.GetTickCount(), 1600u);
  const UtcTime t = clock.NowUtc();
  EXPECT_EQ(t.unixSeconds, 1'000'000'002);
  EXPECT_EQ(t.microseconds, 499'500);
  clock.SetSleepAdvances(false);
  clock.Sleep(1000);
  EXPECT_EQ(clock.GetTickCount(), 1600u);
  EXPECT_EQ(clock.SleepCalls(), 2u);
}

TEST(ClockTest, ScopedClockInstallsAndRestores) {
  TestClock outer(5), inner(77);
  {
    ScopedClock a(outer);
    EXPECT_EQ(GetTickCount(), 5u);
    {
      ScopedClock b(inner);
      Sleep(3);
      EXPECT_EQ(GetTickCount(), 80u);
    }
    EXPECT_EQ(GetTickCount(), 5u);
  }
  EXPECT_NE(&CurrentClock(), &outer);
}

TEST(ClockTest, RefusedClockSetIsReported) {
  TestClock clock;
  clock.SetRefuseSetUtc(true);
  EXPECT_FALSE(clock.SetUtc({42, 0}));
  clock.SetRefuseSetUtc(false);
  EXPECT_TRUE(clock.SetUtc({42, 0}));
  EXPECT_EQ(clock.NowUtc().unixSeconds, 42);
}

TEST(ClockTest, SystemClockMovesForward) {
  SystemClock clock;
  const uint32_t a = clock.GetTickCount();
  clock.Sleep(2);
  EXPECT_GE(TicksSince(a, clock.GetTickCount()), 2u);
  EXPECT_GT(clock.NowUtc().unixSeconds, 1'600'000'000);
}

}  // namespace
}  // namespace platform
