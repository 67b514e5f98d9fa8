#include "recorder/status_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace recorder {
namespace {

// Writes little-endian values at the offsets of the recorder's status layout.
struct Bytes {
  std::vector<uint8_t> b = std::vector<uint8_t>(kStatusReplySize, 0);
  void u8(size_t at, uint8_t v) { b.at(at) = v; }
  void u16(size_t at, uint16_t v) {
    b.at(at) = v & 0xFF;
    b.at(at + 1) = v >> 8;
  }
  void u32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.at(at + i) = (v >> (8 * i)) & 0xFF;
  }
  void f32(size_t at, float v) {
    uint32_t u;
    std::memcpy(&u, &v, 4);
    u32(at, u);
  }
};

TEST(StatusBlock, DecodesEveryFieldFromItsOffset) {
  Bytes w;
  w.u16(0, 0x1A05);
  w.u8(2, 0x27);
  w.u8(3, 0x02);
  w.u8(6, 0x15);
  w.u16(20, 1000);
  w.u8(22, 0x10);
  w.u8(23, 0x40);
  w.u16(28, 1023);
  w.u8(41, 0x07);
  w.u32(48, 900'000'001);
  w.u32(56, 3600);
  w.u32(60, 900'000'100);
  w.u32(64, 0x12345678);
  w.u32(68, 900'000'002);
  w.u32(72, 0x00010000);
  w.u32(76, 900'000'200);
  w.u16(80, 0xABCD);
  w.u16(82, 77);
  w.f32(84, 123.5f);
  w.f32(88, 2.5f);
  w.f32(92, -0.75f);
  w.u8(101, 0x38);
  w.u32(104, 0x00123456);
  w.u16(108, 0x1005);
  w.u8(110, 9);
  w.u8(111, 5);
  w.u8(112, 3);
  w.u8(113, 17);
  w.u32(116, 1'480'801'033);
  for (int i = 0; i < 8; ++i) {
    w.u16(120 + 2 * i, static_cast<uint16_t>(1 << i));
    w.u16(136 + 2 * i, static_cast<uint16_t>(100 * (i + 1)));
  }
  w.u32(152, 11);
  w.u32(156, 22);
  w.u16(160, 1001);
  w.u16(162, 1002);
  w.u16(164, 1003);
  w.u16(166, 1004);
  w.u16(168, 250);
  w.u16(170, 500);
  w.u8(240, 0x5A);

  StatusBlock s{};
  ASSERT_TRUE(DecodeStatus(w.b.data(), w.b.size(), s));
  EXPECT_EQ(UnitNumber(s), 0x05);
  EXPECT_EQ(UnitSeries(s), 0x1A);
  EXPECT_EQ(s.sysRG, 0x27);
  EXPECT_EQ(s.sysFL, 0x02);
  EXPECT_EQ(s.crtFL, 0x15);
  EXPECT_EQ(s.FCmax, 1000);
  EXPECT_EQ(s.FT_PG, 0x10);
  EXPECT_EQ(s.ST_PG, 0x40);
  EXPECT_EQ(s.TikInSek, 1023);
  EXPECT_EQ(s.ChannelMask, 0x07);
  EXPECT_EQ(s.Cap_GPS_o, 900'000'001u);
  EXPECT_EQ(s.Dt_Ot_P_Cor, 3600u);
  EXPECT_EQ(s.Time, 900'000'100u);
  EXPECT_EQ(s.Cap_Tik_o, 0x12345678u);
  EXPECT_EQ(s.Cap_Time_o, 900'000'002u);
  EXPECT_EQ(s.Cap_Tik, 0x10000u);
  EXPECT_EQ(s.Cap_Time, 900'000'200u);
  EXPECT_EQ(s.GPS[0], 0xABCD);
  EXPECT_EQ(s.GPS[1], 77);
  EXPECT_FLOAT_EQ(s.ALT, 123.5f);
  EXPECT_FLOAT_EQ(s.LON, 2.5f);
  EXPECT_FLOAT_EQ(s.LAT, -0.75f);
  EXPECT_EQ(s.Valid, 0x38);
  EXPECT_EQ(s.Last_pg, 0x123456u);
  EXPECT_EQ(s.LastPgFat, 0x1005);
  EXPECT_EQ(s.Rows, 9);
  EXPECT_EQ(s.Channels, 5);
  EXPECT_EQ(s.Schedule, 3);
  EXPECT_EQ(s.Files, 17);
  EXPECT_EQ(s.T_Unit, 1'480'801'033u);
  EXPECT_EQ(s.K_yc[7], 128);
  EXPECT_EQ(s.Freq[0], 100);
  EXPECT_EQ(s.Freq[7], 800);
  EXPECT_EQ(s.T_start, 11u);
  EXPECT_EQ(s.T_End, 22u);
  EXPECT_EQ(s.BatteryReading1, 1001);
  EXPECT_EQ(s.AccuReading1, 1002);
  EXPECT_EQ(s.BatteryReading2, 1003);
  EXPECT_EQ(s.AccuReading2, 1004);
  EXPECT_EQ(s.BatteryScale, 250);
  EXPECT_EQ(s.AccuScale, 500);
  EXPECT_EQ(s.Check, 0x5A);
  EXPECT_EQ(SampleClock(s), 800u);

  std::vector<uint8_t> back(kStatusReplySize);
  ASSERT_TRUE(EncodeStatus(s, back.data(), back.size()));
  EXPECT_EQ(back, w.b);
}

TEST(StatusBlock, ShortInputIsRefusedAndLeavesTheCopy) {
  std::vector<uint8_t> bytes(kStatusReplySize, 0xEE);
  StatusBlock s{};
  s.sysRG = 0x21;
  EXPECT_FALSE(DecodeStatus(bytes.data(), kStatusReplySize - 1, s));
  EXPECT_FALSE(DecodeStatus(nullptr, kStatusReplySize, s));
  EXPECT_EQ(s.sysRG, 0x21);
  uint8_t small[240];
  EXPECT_FALSE(EncodeStatus(s, small, sizeof small));
}

TEST(StatusBlock, ChannelListFromMask) {
  const ChannelList a = ChannelsFromMask(0x05);
  EXPECT_EQ(a.Count, 2);
  const uint8_t expectA[8] = {0, 2, 15, 15, 15, 15, 15, 15};
  EXPECT_EQ(0, std::memcmp(a.Numbers, expectA, 8));
  const ChannelList b = ChannelsFromMask(0xC1);
  EXPECT_EQ(b.Count, 3);
  const uint8_t expectB[8] = {0, 6, 7, 15, 15, 15, 15, 15};
  EXPECT_EQ(0, std::memcmp(b.Numbers, expectB, 8));
  EXPECT_EQ(ChannelsFromMask(0).Count, 0);
  EXPECT_EQ(ChannelsFromMask(0xFF).Count, 8);
}

}  // namespace
}  // namespace recorder
