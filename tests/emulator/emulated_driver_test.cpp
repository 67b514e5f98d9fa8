#include "emulator/emulated_driver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "emulator/emulated_backend.h"
#include "platform/clock.h"
#include "platform/ftdi/backend.h"
#include "platform/ftdi/libftdi_driver.h"

namespace emulator {
namespace {

using namespace platform::ftdi;

class EmulatedDriverTest : public ::testing::Test {
 protected:
  FtHandle OpenFirst() {
    uint32_t count = 0;
    EXPECT_EQ(driver.CreateDeviceInfoList(count), FT_OK);
    FtHandle h = 0;
    EXPECT_EQ(driver.OpenEx(driver.Device(0).info.description.c_str(), kOpenByDescription, h), FT_OK);
    return h;
  }
  platform::TestClock clock{100};
  platform::ScopedClock scoped{clock};
  EmulatedDriver driver;
};

TEST_F(EmulatedDriverTest, HandlersAnswerCommandsByTypeAndCode) {
  Recorder& unit = driver.Attach().recorder;
  unit.Line().SetRate(0);
  unit.SetHandler(2, 36, [](Recorder& r, const Command& c) {
    r.State().mode = c.subCode;
    const uint8_t body[2] = {c.code, c.subCode};
    r.SendReply(2, 9, body);
  });
  const FtHandle h = OpenFirst();
  const uint8_t status[] = {0x55, 0x02, 0x03, 0xA6, 0x24, 0x05, 0x44, 0x93};
  const uint8_t other[] = {0x55, 0x03, 0x03, 0xA5, 0x24, 0x05, 0x44, 0x93};  // type 3: no handler
  uint32_t written = 0, rx = 0, tx = 0, ev = 0;
  ASSERT_EQ(driver.Write(h, other, sizeof other, written), FT_OK);
  ASSERT_EQ(driver.GetStatus(h, rx, tx, ev), FT_OK);
  EXPECT_EQ(rx, 0u);
  ASSERT_EQ(driver.Write(h, status, sizeof status, written), FT_OK);
  ASSERT_EQ(driver.GetStatus(h, rx, tx, ev), FT_OK);
  EXPECT_EQ(rx, 9u);
  std::vector<uint8_t> got(9);
  uint32_t n = 0;
  ASSERT_EQ(driver.Read(h, got.data(), 9, n), FT_OK);
  EXPECT_EQ(got, (std::vector<uint8_t>{0x55, 2, 2, 0, 9, 0x9E, 36, 5, 0xD7}));
  EXPECT_EQ(unit.State().mode, 5);
  EXPECT_EQ(unit.Received().size(), 2u);

  unit.SetAnswering(false);
  ASSERT_EQ(driver.Write(h, status, sizeof status, written), FT_OK);
  ASSERT_EQ(driver.GetStatus(h, rx, tx, ev), FT_OK);
  EXPECT_EQ(rx, 0u);
  EXPECT_EQ(unit.Received().size(), 3u);
  unit.SetHandler(2, 36, {});
  EXPECT_FALSE(unit.HasHandler(2, 36));
}

TEST_F(EmulatedDriverTest, AReadWaitsItsTimeOutOnTheClockAndMayComeBackShort) {
  EmulatedDevice& d = driver.Attach();
  const FtHandle h = OpenFirst();
  ASSERT_EQ(driver.SetTimeouts(h, 300, 300), FT_OK);
  d.recorder.Line().SetRate(0);
  d.recorder.SendRaw(std::vector<uint8_t>{1, 2, 3});
  uint8_t buffer[8];
  uint32_t got = 0;
  const uint32_t start = clock.GetTickCount();
  EXPECT_EQ(driver.Read(h, buffer, 8, got), FT_OK);
  EXPECT_EQ(got, 3u);
  EXPECT_GE(clock.GetTickCount() - start, 300u);
  EXPECT_LT(clock.GetTickCount() - start, 310u);
}

TEST_F(EmulatedDriverTest, APulledCableFailsEveryCallAndLeavesTheList) {
  EmulatedDevice& d = driver.Attach();
  driver.Attach(DeviceInfo{.description = "T-9XV other"});
  const FtHandle h = OpenFirst();
  d.unplugged = true;
  uint32_t rx = 0, tx = 0, ev = 0, n = 0;
  uint8_t b[4] = {};
  EXPECT_EQ(driver.GetStatus(h, rx, tx, ev), FT_IO_ERROR);
  EXPECT_EQ(driver.Read(h, b, 4, n), FT_IO_ERROR);
  EXPECT_EQ(driver.Write(h, b, 4, n), FT_IO_ERROR);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(driver.SetBaudRate(h, 9600), FT_IO_ERROR);
  uint32_t count = 0;
  ASSERT_EQ(driver.CreateDeviceInfoList(count), FT_OK);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(driver.GetStatus(h + 100, rx, tx, ev), FT_INVALID_HANDLE);
}

TEST_F(EmulatedDriverTest, SeveralRecordersOpenIndependentlyByDescription) {
  std::unique_ptr<EmulatedDriver> bus = MakeEmulatedBus(2);
  uint32_t count = 0;
  ASSERT_EQ(bus->CreateDeviceInfoList(count), FT_OK);
  ASSERT_EQ(count, 2u);
  FtHandle a = 0, b = 0, again = 0;
  ASSERT_EQ(bus->OpenEx("T-9XV Unit 2", kOpenByDescription, b), FT_OK);
  ASSERT_EQ(bus->OpenEx("T-9XV Unit 1", kOpenByDescription, a), FT_OK);
  EXPECT_NE(a, b);
  EXPECT_EQ(bus->DeviceOf(b), &bus->Device(1));
  EXPECT_NE(bus->OpenEx("T-9XV Unit 1", kOpenByDescription, again), FT_OK);
  EXPECT_EQ(bus->OpenEx("T-9XV Unit 3", kOpenByDescription, again), FT_DEVICE_NOT_FOUND);
  EXPECT_NE(bus->Device(0).info.locationId, bus->Device(1).info.locationId);
  EXPECT_NE(bus->Device(0).info.serial, bus->Device(1).info.serial);
  ASSERT_EQ(bus->Close(a), FT_OK);
  EXPECT_EQ(bus->OpenEx("T-9XV Unit 1", kOpenByDescription, again), FT_OK);
}

TEST_F(EmulatedDriverTest, InjectedFailuresLastTheirCount) {
  driver.Attach();
  const FtHandle h = OpenFirst();
  driver.FailNext(Op::SetBaudRate, FT_INVALID_BAUD_RATE, 2);
  EXPECT_EQ(driver.SetBaudRate(h, 1), FT_INVALID_BAUD_RATE);
  EXPECT_EQ(driver.SetBaudRate(h, 2), FT_INVALID_BAUD_RATE);
  EXPECT_EQ(driver.SetBaudRate(h, 3), FT_OK);
  EXPECT_EQ(driver.Device(0).baud, 3u);
}

TEST(EmulatedBackendTest, TheEnvironmentChoosesTheEmulatorOnlyWhenAsked) {
  InstallEmulatedBackend();
  ::setenv(kEmulatedUnitsVariable, "3", 1);
  std::unique_ptr<Driver> d = MakeDriverFromEnvironment();
  auto* emulated = dynamic_cast<EmulatedDriver*>(d.get());
  ASSERT_NE(emulated, nullptr);
  EXPECT_EQ(emulated->DeviceCountAttached(), 3u);
  ::unsetenv(kEmulatedUnitsVariable);
  d = MakeDriverFromEnvironment();
  EXPECT_NE(dynamic_cast<LibftdiDriver*>(d.get()), nullptr);
}

}  // namespace
}  // namespace emulator
