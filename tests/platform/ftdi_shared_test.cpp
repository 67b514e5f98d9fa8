#include <gtest/gtest.h>

#include <vector>

#include "platform/clock.h"
#include "platform/ftdi/backend.h"
#include "platform/ftdi/line_settings.h"
#include "platform/ftdi/receive_queue.h"

namespace platform::ftdi {
namespace {

TEST(ReceiveQueueTest, KeepsOrderAcrossTheWrapAndRefusesWhatDoesNotFit) {
  ReceiveQueue q(8);
  const uint8_t a[6] = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(q.Push(a, 6), 6u);
  uint8_t out[8] = {};
  EXPECT_EQ(q.Take(out, 4), 4u);
  const uint8_t b[6] = {7, 8, 9, 10, 11, 12};
  EXPECT_EQ(q.Push(b, 6), 6u);  // wraps
  EXPECT_EQ(q.Push(b, 1), 0u);
  EXPECT_EQ(q.Room(), 0u);
  EXPECT_EQ(q.Take(out, 8), 8u);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 8), (std::vector<uint8_t>{5, 6, 7, 8, 9, 10, 11, 12}));
  EXPECT_EQ(q.Take(out, 1), 0u);
}

TEST(ReceiveQueueTest, ReadWithinWaitsOnTheClockForLateBytes) {
  TestClock clock(0);
  ScopedClock scoped(clock);
  ReceiveQueue q(64);
  const uint8_t bytes[4] = {1, 2, 3, 4};
  int looks = 0;
  bool late = false;
  uint8_t out[4] = {};
  bool gone = true;
  // Two bytes at once, the other two 50 ms later.
  const auto refill = [&] {
    if (looks++ == 0) q.Push(bytes, 2);
    if (clock.GetTickCount() >= 50 && !late) late = q.Push(bytes + 2, 2) == 2;
    return true;
  };
  EXPECT_EQ(ReadWithin(q, out, 4, 300, refill, gone), 4u);
  EXPECT_FALSE(gone);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_GE(clock.GetTickCount(), 50u);
  EXPECT_LT(clock.GetTickCount(), 60u);

  const uint32_t start = clock.GetTickCount();
  EXPECT_EQ(ReadWithin(
                q, out, 4, 300, [] { return true; }, gone),
            0u);
  EXPECT_GE(clock.GetTickCount() - start, 300u);
  EXPECT_EQ(ReadWithin(
                q, out, 4, 300, [] { return false; }, gone),
            0u);
  EXPECT_TRUE(gone);
}

TEST(LineSettingsTest, DriverCodesAndLocationIds) {
  EXPECT_EQ(FlowModeOf(kFlowRtsCts), FlowMode::RtsCts);
  EXPECT_EQ(FlowModeOf(kFlowDtrDsr), FlowMode::DtrDsr);
  EXPECT_EQ(FlowModeOf(kFlowXonXoff), FlowMode::XonXoff);
  EXPECT_EQ(FlowModeOf(kFlowNone), FlowMode::None);
  EXPECT_EQ(FlowModeOf(0x300), FlowMode::Invalid);

  LineFormat f;
  ASSERT_TRUE(LineFormatOf(7, kStopBits2, 2, f));
  EXPECT_EQ(f.dataBits, 7);
  EXPECT_EQ(f.stopBits, 2);
  EXPECT_EQ(f.parity, Parity::Even);
  EXPECT_FALSE(LineFormatOf(9, kStopBits1, 0, f));
  EXPECT_FALSE(LineFormatOf(8, 1, 0, f));
  EXPECT_FALSE(LineFormatOf(8, kStopBits1, 5, f));

  // Places of one list, and the ids they are shown and opened by: every one its own.
  const std::vector<std::vector<uint8_t>> paths = {{1, 4}, {1, 3}, {1}, {17}, {1, 2, 3, 4, 5, 6, 7},
                                                   {1, 2, 3, 4, 5, 6, 8}, {1, 2, 3, 4, 5, 6}, {}};
  std::vector<UsbPlace> places;
  for (const auto& p : paths) places.push_back(PlaceOf(1, p.data(), static_cast<int>(p.size())));
  places.push_back(PlaceOf(2, paths[0].data(), 2));
  const std::vector<uint32_t> ids = LocationIds(places);
  ASSERT_EQ(ids.size(), places.size());
  for (size_t i = 0; i < ids.size(); ++i) {
    EXPECT_NE(ids[i], 0u) << i;
    for (size_t j = 0; j < i; ++j) EXPECT_NE(ids[i], ids[j]) << i << " " << j;
  }
  EXPECT_EQ(ids[0], 0x01140000u);
  EXPECT_EQ(ids[2], 0x01100000u);
  EXPECT_EQ(ids[6], 0x01123456u);
  EXPECT_EQ(ids[3] & 0xFFF00000u, 0x01000000u) << "a port above 15 is not shown as a digit";
  EXPECT_EQ(ids[4] & 0xFFF00000u, 0x01000000u);
  // The same places listed again have the same ids.
  EXPECT_EQ(LocationIds(places), ids);
  EXPECT_FALSE(places[4] == places[5]);

  EXPECT_EQ(DeviceTypeFromRelease(0x0600), 5u);
  EXPECT_EQ(DeviceTypeFromRelease(0x0700), 6u);
  EXPECT_EQ(DeviceTypeFromRelease(0x4200), 3u);
}

TEST(BackendTest, OnlyANumberFromOneToEightAsksForEmulatedRecorders) {
  EXPECT_EQ(EmulatedUnitsRequested(nullptr), 0);
  EXPECT_EQ(EmulatedUnitsRequested(""), 0);
  EXPECT_EQ(EmulatedUnitsRequested("0"), 0);
  EXPECT_EQ(EmulatedUnitsRequested("9"), 0);
  EXPECT_EQ(EmulatedUnitsRequested("12"), 0);
  EXPECT_EQ(EmulatedUnitsRequested("yes"), 0);
  EXPECT_EQ(EmulatedUnitsRequested("1"), 1);
  EXPECT_EQ(EmulatedUnitsRequested("8"), 8);
}

TEST(BackendTest, AValueThatNamesNoEmulatedRecorderIsAProblem) {
  for (const char* quiet : {static_cast<const char*>(nullptr), "1", "8"})
    EXPECT_EQ(EmulatedUnitsProblem(quiet), "") << (quiet ? quiet : "unset");
  for (const char* wrong : {"", "0", "9", "abc", "12", " 1"})
    EXPECT_EQ(EmulatedUnitsProblem(wrong), std::string("TOVREL_EMULATED_UNITS = \"") + wrong +
                                               "\": число эмулируемых Unit'ов задаётся цифрой от 1 до 8!");
  EXPECT_EQ(EmulatedUnitsProblem(std::string(100, '7').c_str()).size(),
            EmulatedUnitsProblem(std::string(40, '7').c_str()).size());
}

TEST(BackendTest, StatusNamesAreBounded) {
  EXPECT_STREQ(StatusName(FT_OK), "FT_OK");
  EXPECT_STREQ(StatusName(FT_IO_ERROR), "FT_IO_ERROR");
  EXPECT_STREQ(StatusName(FT_OTHER_ERROR), "FT_OTHER_ERROR");
  EXPECT_STREQ(StatusName(1000), "FT_UNKNOWN_STATUS");
}

}  // namespace
}  // namespace platform::ftdi
