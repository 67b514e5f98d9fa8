// The zero calibration's arithmetic: blocks refused by their header, per-channel counts over partial
// rounds, the offsets stored for every gain-table entry of a channel's gain (also a gain that occurs
// twice), channels without values left alone, the reset, and the progress list.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <span>

#include "recorder/card_sum.h"
#include "recorder/zero_calibration.h"

namespace recorder {
namespace {

// A data block of `values` values cycling over `channels` channels, value i of channel c = zero + base[c] + i.
std::array<uint8_t, 513> Block(unsigned channels, unsigned values, const std::array<int, 8>& base, uint16_t serial) {
  std::array<uint8_t, 513> b{};
  b[0] = 0x20;
  b[1] = static_cast<uint8_t>(channels - 1);
  b[8] = static_cast<uint8_t>(serial);
  b[9] = static_cast<uint8_t>(serial >> 8);
  b[11] = static_cast<uint8_t>(values);
  b[15] = static_cast<uint8_t>(0u - CardSum(std::span<const uint8_t>(b.data(), 16)));
  for (unsigned i = 0; i < values && 18 + 3 * i < 512; ++i) {
    const auto v = static_cast<uint32_t>(0x800000 + base[i % channels] + static_cast<int>(i / channels));
    b[16 + 3 * i] = static_cast<uint8_t>(v);
    b[17 + 3 * i] = static_cast<uint8_t>(v >> 8);
    b[18 + 3 * i] = static_cast<uint8_t>(v >> 16);
  }
  return b;
}

TEST(ZeroCalibration, OnlyGoodHeadersCountAndTheFirstTwoAreNotSummed) {
  CalSnapshot s;
  const std::array<int, 8> base{100, -200, 7};
  auto nine = Block(3, 30, base, 1);
  nine[1] = 8;
  nine[15] = 0;
  nine[15] = static_cast<uint8_t>(0u - CardSum(std::span<const uint8_t>(nine.data(), 16)));
  auto many = Block(3, 30, base, 1);
  many[11] = 200;
  many[15] = 0;
  many[15] = static_cast<uint8_t>(0u - CardSum(std::span<const uint8_t>(many.data(), 16)));
  auto badSum = Block(3, 30, base, 1);
  badSum[15] ^= 1;
  auto fat = Block(3, 30, base, 1);
  fat[0] = 'c';
  fat[15] = 0;
  fat[15] = static_cast<uint8_t>(0u - CardSum(std::span<const uint8_t>(fat.data(), 16)));
  for (const auto* refused : {&nine, &many, &badSum, &fat}) EXPECT_FALSE(AccumulateBlock(s, refused->data(), 513, 7));
  EXPECT_FALSE(AccumulateBlock(s, Block(3, 30, base, 1).data(), 241, 7));  // a status reply
  EXPECT_FALSE(AccumulateBlock(s, Block(3, 30, base, 1).data(), 513, 1));  // more channels than the status
  EXPECT_EQ(s.Blocks, 0);

  for (uint16_t serial = 1; serial <= 2; ++serial) EXPECT_TRUE(AccumulateBlock(s, Block(3, 30, {9, 9, 9}, serial).data(), 513, 2));
  EXPECT_EQ(s.Blocks, 2);
  EXPECT_EQ(s.Counts[0], 0u);
  // 31 values: channel 0 gets one more than the others, and a partial round is no round.
  EXPECT_TRUE(AccumulateBlock(s, Block(3, 31, base, 3).data(), 513, 2));
  EXPECT_TRUE(AccumulateBlock(s, Block(3, 31, base, 4).data(), 513, 2));
  EXPECT_EQ(s.Counts[0], 22u);
  EXPECT_EQ(s.Counts[1], 20u);
  EXPECT_EQ(s.Rounds, 20);
  EXPECT_EQ(s.LastSerial, 4);
  double mean = 0;
  ASSERT_TRUE(s.Mean(0, mean));
  EXPECT_DOUBLE_EQ(mean, 100 + 5.0);  // 0..10 twice
  ASSERT_TRUE(s.Mean(1, mean));
  EXPECT_DOUBLE_EQ(mean, -200 + 4.5);
  EXPECT_FALSE(s.Mean(3, mean));
}

TEST(ZeroCalibration, StoreWritesEveryEntryOfTheChannelsGainAndResetMakesThemNeutral) {
  StatusBlock status{};
  const uint16_t gains[8] = {1, 10, 100, 1000, 10, 0, 0, 0};
  std::copy(std::begin(gains), std::end(gains), status.K_yc);
  YSTANOV s{};
  s.ChannelCode = 2;
  s.K_yc[0] = 10;  // entries 1 and 4
  s.K_yc[1] = 100;
  s.K_yc[2] = 1;
  for (int e = 0; e < 64; ++e) s.ZeroOffsets[e] = (static_cast<uint32_t>(e % 8) << 24) + 0x800000;
  const YSTANOV neutral = s;
  EXPECT_FALSE(HasCalibration(s, status, 3));

  CalSnapshot sums;
  sums.Sums[0] = -250.5 * 4;
  sums.Counts[0] = 4;
  sums.Sums[1] = 1000.9 * 2;
  sums.Counts[1] = 2;  // channel 2: nothing summed
  StoreOffsets(s, status, sums, 3);
  EXPECT_EQ(s.ZeroOffsets[8 * 1 + 0], 0x800000u - 251);  // truncated after the zero is added
  EXPECT_EQ(s.ZeroOffsets[8 * 4 + 0], 0x800000u - 251);
  EXPECT_EQ(s.ZeroOffsets[8 * 2 + 1], (1u << 24) + 0x800000u + 1000);
  for (int e = 0; e < 64; ++e) {
    if (e == 8 || e == 32 || e == 17) continue;
    EXPECT_EQ(s.ZeroOffsets[e], neutral.ZeroOffsets[e]) << e;
  }
  EXPECT_TRUE(HasCalibration(s, status, 3));
  EXPECT_FALSE(HasCalibration(s, status, 0));

  const CalProgress p = CalibrationProgress(sums, s, status);
  ASSERT_EQ(p.Lines.size(), 6u);
  EXPECT_EQ(p.Lines[2], "k_0 * 10:  -0000250 / -0000251 ");
  EXPECT_EQ(p.Lines[3], "k_1 * 100:  +0001001 / +0001000 ");
  EXPECT_EQ(p.Lines[4], "k_2 * 01:  +0000000 / +0000000 ");

  ResetOffsets(s, status, 3);
  EXPECT_EQ(std::memcmp(&s, &neutral, sizeof s), 0);
}

TEST(ZeroCalibration, TheSharedValuesKeepTheFirstEnd) {
  CalShared shared;
  shared.End(kCalNoData);
  shared.End(kCalStopped);
  EXPECT_EQ(shared.State(), kCalNoData);
  shared.Reset();
  EXPECT_EQ(shared.State(), kCalRunning);
}

}  // namespace
}  // namespace recorder
