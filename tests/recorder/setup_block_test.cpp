#include "recorder/setup_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "recorder/recorder_time.h"

namespace recorder {
namespace {

// The recorder's DataFlash pages 0..4 as the page I/O sees them.
struct FakeFlash {
  uint8_t pages[5][512] = {};
  int failRead = -1;
  int failWrite = -1;
  std::vector<int> reads, writes;

  DfPageIo Io() {
    return [this](uint8_t direction, uint8_t page, uint8_t* buffer) -> uint8_t {
      if (page >= 5) return 255;
      if (direction == 1) {
        writes.push_back(page);
        if (page == failWrite) return 1;
        std::memcpy(pages[page], buffer, 512);
        return 0;
      }
      reads.push_back(page);
      if (page == failRead) return 255;
      std::memcpy(buffer, pages[page], 512);
      buffer[512] = 0;
      return 0;
    };
  }
};

std::unique_ptr<YSTANOV> EmptyBlock() {
  auto s = std::make_unique<YSTANOV>();
  std::memset(s.get(), 0, sizeof *s);
  for (auto& e : s->Calendar) FreeEntry(e);
  return s;
}

uint8_t RawSum(const uint8_t* p, size_t n) {
  unsigned sum = 0;
  for (size_t i = 0; i < n; ++i) sum += p[i];
  return static_cast<uint8_t>(sum);
}

TEST(SetupBlock, PageChecksFollowTheRecorderRule) {
  auto s = EmptyBlock();
  s->SampleRate = 250;
  s->Calendar[0] = {1000, 2000};
  s->Calendar[100] = {5000, 6000};
  ComputePageChecks(*s);
  const uint8_t* bytes = SetupBytes(*s);
  EXPECT_EQ(RawSum(bytes, 512), 0);
  for (int n = 1; n < 5; ++n) {
    EXPECT_EQ(static_cast<uint8_t>(RawSum(bytes + 512 * n, 512) + bytes[504 + n]), 0) << n;
    EXPECT_EQ(PageSum(*s, n), 0);
  }
  s->Coefficients[3] = 2.0f;
  EXPECT_NE(PageSum(*s, 0), 0);
  UpdatePageZeroCheck(*s);
  EXPECT_EQ(RawSum(bytes, 512), 0);
}

TEST(SetupBlock, PageCountCoversTheHighestUsedEntry) {
  auto s = EmptyBlock();
  s->Calendar[0] = {1, 2};
  EXPECT_EQ(PagesNeeded(*s), 2);  // entry 0 alone
  for (int r = 0; r < 64; ++r) s->Calendar[r] = {10u + r, 20u + r};
  EXPECT_EQ(PagesNeeded(*s), 3);  // first free entry 64
  for (int r = 0; r < 256; ++r) s->Calendar[r] = {10u + r, 20u + r};
  EXPECT_EQ(PagesNeeded(*s), 5);  // full
  s->Calendar[255] = {kFreeEntry, kFreeEntry};
  EXPECT_EQ(PagesNeeded(*s), 5);  // first free entry 255
  // A freed period in the middle no longer hides the later ones.
  auto gap = EmptyBlock();
  for (int r = 0; r < 3; ++r) gap->Calendar[r] = {100u + r, 200u + r};
  for (int r = 70; r <= 80; ++r) gap->Calendar[r] = {1000u + r, 2000u + r};
  EXPECT_EQ(PagesNeeded(*gap), 3);
}

TEST(SetupBlock, WriteThenReadIsByteExact) {
  FakeFlash flash;
  auto s = EmptyBlock();
  s->SampleRate = 500;
  std::strcpy(s->Station, "ST01");
  for (int r = 0; r < 3; ++r) s->Calendar[r] = {100u + r, 200u + r};
  for (int r = 70; r <= 80; ++r) s->Calendar[r] = {1000u + r, 2000u + r};
  std::vector<std::pair<int, int>> progress;
  SetupMessage message;
  ASSERT_TRUE(WriteSetupPages(*s, flash.Io(), message, [&](int pos, int max) {
    progress.push_back({pos, max});
  }));
  EXPECT_EQ(s->Marker, 100);
  EXPECT_EQ(s->PageCount, 3);
  EXPECT_EQ(flash.writes, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{1, 4}, {2, 4}, {3, 4}}));

  auto back = EmptyBlock();
  back->Calendar[200] = {7, 8};  // left over from before; must come back free
  ASSERT_TRUE(ReadSetupPages(*back, flash.Io(), message));
  EXPECT_EQ(flash.reads, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(0, std::memcmp(back.get(), s.get(), sizeof *s));
  EXPECT_EQ(back->Calendar[75].On, 1075u);
  EXPECT_TRUE(IsFree(back->Calendar[200]));
}

TEST(SetupBlock, ShortCalendarClearsTheUnwrittenEntries) {
  FakeFlash flash;
  auto s = EmptyBlock();
  s->Calendar[0] = {100, 200};
  SetupMessage message;
  ASSERT_TRUE(WriteSetupPages(*s, flash.Io(), message));
  EXPECT_EQ(s->PageCount, 2);
  // Stale calendar pages on the recorder are not read.
  std::memset(flash.pages[2], 0x11, 512);
  auto back = EmptyBlock();
  for (auto& e : back->Calendar) e = {1, 2};
  ASSERT_TRUE(ReadSetupPages(*back, flash.Io(), message));
  EXPECT_EQ(flash.reads, (std::vector<int>{0, 1}));
  EXPECT_EQ(back->Calendar[0].On, 100u);
  for (int r = 64; r < 256; ++r) EXPECT_TRUE(IsFree(back->Calendar[r])) << r;
}

TEST(SetupBlock, PageCountOutsideTheRangeReadsAllPages) {
  for (uint8_t count : {uint8_t{0}, uint8_t{9}}) {
    FakeFlash flash;
    auto s = EmptyBlock();
    for (int r = 0; r < 256; ++r) s->Calendar[r] = {10u + r, 20u + r};
    s->PageCount = count;
    ComputePageChecks(*s);
    for (int n = 0; n < 5; ++n) std::memcpy(flash.pages[n], SetupBytes(*s) + 512 * n, 512);
    auto back = EmptyBlock();
    SetupMessage message;
    ASSERT_TRUE(ReadSetupPages(*back, flash.Io(), message));
    EXPECT_EQ(flash.reads.size(), 5u);
    EXPECT_EQ(back->Calendar[255].On, 265u);
  }
  FakeFlash flash;
  auto s = EmptyBlock();
  s->PageCount = 1;
  s->Calendar[0] = {5, 6};
  ComputePageChecks(*s);
  std::memcpy(flash.pages[0], SetupBytes(*s), 512);
  auto back = EmptyBlock();
  SetupMessage message;
  ASSERT_TRUE(ReadSetupPages(*back, flash.Io(), message));
  EXPECT_EQ(flash.reads, (std::vector<int>{0}));
  EXPECT_TRUE(IsFree(back->Calendar[0]));
}

TEST(SetupBlock, ReadFailuresLeaveTheBlockUnchanged) {
  FakeFlash flash;
  auto s = EmptyBlock();
  for (int r = 0; r < 256; ++r) s->Calendar[r] = {10u + r, 20u + r};
  SetupMessage message;
  ASSERT_TRUE(WriteSetupPages(*s, flash.Io(), message));
  ASSERT_EQ(s->PageCount, 5);

  flash.pages[3][17] ^= 0x01;  // one calendar byte of page 3, its check byte not updated
  auto back = EmptyBlock();
  back->SampleRate = 1234;
  EXPECT_FALSE(ReadSetupPages(*back, flash.Io(), message));
  const uint8_t sum = static_cast<uint8_t>(RawSum(flash.pages[3], 512) + flash.pages[0][507]);
  char expected[64];
  std::snprintf(expected, sizeof expected, "ошибка на стр. 3: ks = 0x%02X", sum);
  EXPECT_EQ(message.Text, expected);
  EXPECT_EQ(message.Caption, "Error");
  EXPECT_TRUE(message.ErrorIcon);
  EXPECT_EQ(back->SampleRate, 1234);

  flash.pages[3][17] ^= 0x01;
  flash.failRead = 2;
  EXPECT_FALSE(ReadSetupPages(*back, flash.Io(), message));
  EXPECT_EQ(message.Text, "ошибка чтения стр. 2");
  EXPECT_EQ(back->SampleRate, 1234);
}

TEST(SetupBlock, WriteFailureNamesThePage) {
  FakeFlash flash;
  flash.failWrite = 1;
  auto s = EmptyBlock();
  s->Calendar[0] = {1, 2};
  SetupMessage message;
  EXPECT_FALSE(WriteSetupPages(*s, flash.Io(), message));
  EXPECT_EQ(message.Text, "ошибка на стр. 1");
  EXPECT_EQ(flash.writes, (std::vector<int>{0, 1}));
}

TEST(SetupBlock, DefaultsOnTheInjectedClock) {
  // 2026-12-08 21:37:13 UTC.
  platform::TestClock clock(0, {1'796'765'833, 250'000});
  platform::ScopedClock scoped(clock);
  StatusBlock status{};
  status.Id = 0x1A05;
  status.Channels = 5;
  status.Freq[0] = 100;
  status.Freq[1] = 0;
  uint8_t channelCount = 4;
  auto s = EmptyBlock();
  std::memset(s.get(), 0xAB, sizeof *s);
  const platform::UtcTime ref = DefaultSetup(*s, status, channelCount);
  EXPECT_EQ(ref.unixSeconds, 1'796'765'700);  // 21:35:00
  const int64_t g = UnitSecondsFromUtc(ref) + 540;
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(s->Calendar[i].On, static_cast<uint32_t>(g - 1200 + 600 * i));
    EXPECT_EQ(s->Calendar[i].Off, s->Calendar[i].On + 180);
  }
  EXPECT_EQ(UnitTimeText(s->Calendar[0].On), "08.12.26 21:24:00");
  for (int i = 5; i < 256; ++i) EXPECT_TRUE(IsFree(s->Calendar[i]));
  EXPECT_EQ(StationName(*s), "U1a05V");
  EXPECT_EQ(ChannelName(*s, 7), "K07");
  EXPECT_EQ(s->Marker, 100);
  EXPECT_EQ(s->ChannelCode, 5);
  EXPECT_EQ(s->ChannelMask, 63);
  EXPECT_EQ(s->EventChannels, 4);
  EXPECT_EQ(channelCount, 6);
  EXPECT_EQ(s->SampleRate, 100);
  EXPECT_EQ(s->EventWindow, 20);
  EXPECT_EQ(s->SmoothPoints, 3);
  EXPECT_EQ(s->ChartCompression, 5);
  EXPECT_EQ(s->FatStart, 16);
  EXPECT_EQ(s->DataStart, 64);
  EXPECT_EQ(s->Thresholds[3], 0x4000);
  EXPECT_FLOAT_EQ(s->Coefficients[3], 1.0f);
  EXPECT_EQ(s->K_yc[3], 1);
  EXPECT_EQ(s->ZeroOffsets[8 * 5 + 3], 0x03800000u);
  EXPECT_EQ(s->Filler[7], 0x77);
  EXPECT_EQ(s->Reserved288[0], 0);
  EXPECT_EQ(s->PageCount, 0);

  status.Channels = 2;
  status.Freq[1] = 250;
  DefaultSetup(*s, status, channelCount);
  EXPECT_EQ(s->ChannelMask, 7);
  EXPECT_EQ(s->SampleRate, 250);
  EXPECT_EQ(s->EventChannels, 6);
  EXPECT_EQ(channelCount, 3);
}

TEST(SetupBlock, NamesAreReadWithinTheirFields) {
  auto s = EmptyBlock();
  std::memset(s->Station, 'Q', sizeof s->Station);
  std::memset(s->ChannelNames, 'N', sizeof s->ChannelNames);
  EXPECT_EQ(StationName(*s), std::string(28, 'Q'));
  EXPECT_EQ(ChannelName(*s, 0), std::string(8, 'N'));
  EXPECT_EQ(ChannelName(*s, 8), "");
}

}  // namespace
}  // namespace recorder
