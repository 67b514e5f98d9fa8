#include "emulator/output_line.h"

#include <gtest/gtest.h>

#include <vector>

#include "emulator/device_state.h"
#include "platform/clock.h"

namespace emulator {
namespace {

class OutputLineTest : public ::testing::Test {
 protected:
  std::vector<uint8_t> Bytes(size_t n) {
    std::vector<uint8_t> b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i);
    return b;
  }
  platform::TestClock clock{0xFFFFFFF0u};  // the pacing must survive the counter's wrap
  platform::ScopedClock scoped{clock};
  platform::ftdi::ReceiveQueue queue{1000};
  OutputLine line;
};

TEST_F(OutputLineTest, DeliversAtItsRateOnTheClock) {
  line.SetRate(1000);  // a byte a millisecond
  line.Append(Bytes(100));
  EXPECT_EQ(line.Release(queue), 0u);
  clock.Advance(10);
  EXPECT_EQ(line.Release(queue), 10u);
  clock.Advance(25);
  EXPECT_EQ(line.Release(queue), 25u);
  clock.Advance(500);
  EXPECT_EQ(line.Release(queue), 65u);
  EXPECT_TRUE(line.Empty());
  std::vector<uint8_t> got(100);
  ASSERT_EQ(queue.Take(got.data(), 100), 100u);
  EXPECT_EQ(got, Bytes(100));
  // An idle line does not save up time for the next bytes.
  clock.Advance(1000);
  line.Append(Bytes(50));
  clock.Advance(5);
  EXPECT_EQ(line.Release(queue), 5u);
}

TEST_F(OutputLineTest, GapsAndStallsHoldTheStream) {
  line.SetRate(0);
  line.Append(Bytes(10));
  line.AppendGap(20);
  line.Append(Bytes(10));
  EXPECT_EQ(line.Release(queue), 10u);
  clock.Advance(19);
  EXPECT_EQ(line.Release(queue), 0u);
  clock.Advance(1);
  EXPECT_EQ(line.Release(queue), 10u);

  line.Append(Bytes(10));
  line.Stall(true);
  clock.Advance(100);
  EXPECT_EQ(line.Release(queue), 0u);
  EXPECT_EQ(line.Pending(), 10u);
  line.Stall(false);
  EXPECT_EQ(line.Release(queue), 10u);
}

TEST_F(OutputLineTest, AFullQueueHoldsTheRestBack) {
  line.SetRate(0);
  line.Append(Bytes(1500));
  EXPECT_EQ(line.Release(queue), 1000u);
  EXPECT_EQ(line.Pending(), 500u);
  std::vector<uint8_t> got(600);
  queue.Take(got.data(), 600);
  EXPECT_EQ(line.Release(queue), 500u);
}

TEST(DeviceStateTest, PagesAreFoundOnlyWhereTheMemoryReaches) {
  DeviceState state;
  state.card.assign(3 * kPageBytes - 1, 0);
  EXPECT_EQ(PageAt(state.card, 0), state.card.data());
  EXPECT_EQ(PageAt(state.card, 1), state.card.data() + kPageBytes);
  EXPECT_EQ(PageAt(state.card, 2), nullptr);  // one byte short
  EXPECT_EQ(PageAt(state.dataFlash, 0), nullptr);
}

}  // namespace
}  // namespace emulator
