#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "link_fixture.h"

namespace recorder {
namespace {

using emulator::DeviceInfo;
using emulator::Op;
using platform::ftdi::FT_IO_ERROR;
using platform::ftdi::FT_OK;

class DeviceListTest : public testing::LinkTest {
 protected:
  // The fixture's device stays first; these follow it on the bus.
  void AttachDevice(const std::string& description, uint32_t locationId, const std::string& serial = "S") {
    DeviceInfo info;
    info.description = description;
    info.locationId = locationId;
    info.serial = serial;
    driver.Attach(info);
  }
};

TEST_F(DeviceListTest, OnlyTheFirstEightDevicesAreExamined) {
  for (int i = 1; i < 9; ++i)
    AttachDevice("T-9XV Unit #" + std::to_string(i), 0x2000u + i, "SER" + std::to_string(i));
  ASSERT_TRUE(link.ListDevices());
  EXPECT_EQ(link.DeviceCount, 8u);
  EXPECT_STREQ(link.Descriptions[7], "T-9XV Unit #7");
  EXPECT_STREQ(link.SerialNumbers[7], "SER7");
  EXPECT_EQ(link.LocIds[7], 0x2007u);
  const auto& calls = driver.Calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "GetDeviceInfoDetail 8"), 0);
  EXPECT_NE(link.Log.find("подключено FTDI устройств - 8; можно открыть - 8;"), std::string::npos);
}

TEST_F(DeviceListTest, AcceptsBothPrefixesExactlyAndPacksTheAcceptedAtTheFront) {
  AttachDevice("t-9XV lower case", 0x11);
  AttachDevice("TK-41 field unit", 0x12, "TK");
  AttachDevice("T-9XV no location", 0);
  AttachDevice("FT232R USB UART", 0x14);
  AttachDevice("Tk-41 wrong case", 0x15);
  AttachDevice("T-9XV", 0x16, "LAST");
  ASSERT_TRUE(link.ListDevices());
  ASSERT_EQ(link.DeviceCount, 3u);
  EXPECT_STREQ(link.Descriptions[0], "T-9XV Unit");
  EXPECT_STREQ(link.Descriptions[1], "TK-41 field unit");
  EXPECT_STREQ(link.Descriptions[2], "T-9XV");
  EXPECT_STREQ(link.SerialNumbers[2], "LAST");
  EXPECT_EQ(link.LocIds[2], 0x16u);
  EXPECT_NE(link.Log.find(
                "\nFlag 0000;  Type 5;  ID 4036001;  SerNum TK;  Description TK-41 field unit;  Handle 0; "
                "Loc_Id 12"),
            std::string::npos)
      << link.Log;
  EXPECT_NE(link.Log.find("подключено FTDI устройств - 7; можно открыть - 3;"), std::string::npos);
}

TEST_F(DeviceListTest, BridgesPresentButNoRecorderIsAnEmptyListNotAFailure) {
  device.info.description = "USB Serial";
  ASSERT_TRUE(link.ListDevices());
  EXPECT_EQ(link.DeviceCount, 0u);
  EXPECT_TRUE(messages.empty());
}

TEST_F(DeviceListTest, AFailedDetailCallRejectsThatDeviceOnly) {
  AttachDevice("T-9XV second", 0x22);
  driver.FailNext(Op::GetDeviceInfoDetail, FT_IO_ERROR);
  ASSERT_TRUE(link.ListDevices());
  ASSERT_EQ(link.DeviceCount, 1u);
  EXPECT_STREQ(link.Descriptions[0], "T-9XV second");
}

TEST_F(DeviceListTest, NoBridgeAtAllAndAFailedListAreReported) {
  device.unplugged = true;
  EXPECT_FALSE(link.ListDevices());
  EXPECT_EQ(messages, std::vector<std::string>{" |Не обнаружено ни одного FTDI устройства!"});
  EXPECT_TRUE(exitCodes.empty());

  messages.clear();
  device.unplugged = false;
  driver.FailNext(Op::CreateDeviceInfoList, FT_IO_ERROR);
  EXPECT_FALSE(link.ListDevices());
  EXPECT_EQ(messages, std::vector<std::string>{"|Error:   CreateDeviceInfoList"});
  EXPECT_EQ(exitCodes, std::vector<int>{1});
}

TEST_F(DeviceListTest, ADescriptionFillingItsWholeFieldIsReadBounded) {
  device.info.description = "T-9XV" + std::string(80, 'x');
  ASSERT_TRUE(link.ListDevices());
  ASSERT_EQ(link.DeviceCount, 1u);
  EXPECT_EQ(strnlen(link.Descriptions[0], platform::ftdi::kDescriptionSize), 63u);
  // A serial number and description with a line end and a Windows-1251 letter enter the log as one line.
  device.info.description = "T-9XV\n\xE0";
  device.info.serial = "S\r1";
  link.Log.clear();
  ASSERT_TRUE(link.ListDevices());
  EXPECT_NE(link.Log.find("SerNum S 1;  Description T-9XV \xD0\xB0;"), std::string::npos) << link.Log;
}

class OpenLinkTest : public testing::LinkTest {};

const std::vector<std::string> kOpenCalls = {"OpenByLocation 0x1001",
                                             "ResetDevice",
                                             "SetBaudRate 115200",
                                             "SetDataCharacteristics 8 0 0",
                                             "SetFlowControl 0x100 0 0",
                                             "SetChars 0 0 0 0",
                                             "SetEventNotification 0x0",
                                             "SetDtr",
                                             "SetRts",
                                             "SetTimeouts 300 300",
                                             "Purge 3",
                                             "GetModemStatus"};

TEST_F(OpenLinkTest, OpensTheChosenDeviceAndConfiguresItInOrder) {
  DeviceInfo second;
  second.description = "T-9XV Unit";  // the same description as the first: the chosen one opens
  second.locationId = 0x1001;
  second.serial = "UNIT0002";
  driver.Attach(second).modemStatus = platform::ftdi::kModemCts;
  ASSERT_TRUE(link.ListDevices());
  driver.ClearCalls();
  link.Chosen = 1;
  ASSERT_TRUE(link.OpenLink());
  EXPECT_EQ(driver.Calls(), kOpenCalls);
  EXPECT_NE(link.Settings->Handle, 0u);
  EXPECT_EQ(driver.DeviceOf(link.Settings->Handle), &driver.Device(1));
  EXPECT_EQ(link.Settings->Cts, 1u);
  EXPECT_EQ(link.Settings->Dsr, 0u);
  EXPECT_TRUE(driver.Device(1).rts);
  EXPECT_EQ(driver.Device(0).handle, 0u);
  EXPECT_TRUE(link.OpenFailure.empty());
}

TEST_F(OpenLinkTest, TheSecondOfTwoLikeRecordersOpensWhileTheFirstIsInUse) {
  DeviceInfo second;
  second.locationId = 0x1001;
  second.serial = "UNIT0002";
  driver.Attach(second);
  ASSERT_TRUE(link.ListDevices());
  ASSERT_EQ(link.DeviceCount, 2u);
  platform::ftdi::FtHandle elsewhere = 0;  // another program holds the first
  ASSERT_EQ(driver.OpenEx("UNIT0001", platform::ftdi::kOpenBySerialNumber, elsewhere), FT_OK);
  link.Chosen = 1;
  ASSERT_TRUE(link.OpenLink());
  EXPECT_EQ(driver.DeviceOf(link.Settings->Handle), &driver.Device(1));
}

TEST_F(OpenLinkTest, ADeviceThatCannotBeReadOrOpenedIsNamedWithItsCause) {
  DeviceInfo other;
  other.description = "FT232R USB UART";
  other.locationId = 0x1002;
  driver.Attach(other);
  DeviceInfo denied;
  denied.locationId = 0x1003;
  denied.bus = 3;
  denied.address = 17;
  driver.Attach(denied).accessDenied = true;
  ASSERT_TRUE(link.ListDevices());
  EXPECT_EQ(link.DeviceCount, 1u);
  EXPECT_EQ(link.Examined, 3u);
  ASSERT_EQ(link.Unreadable.size(), 1u);  // the other bridge is no problem, the denied one is
  EXPECT_EQ(link.Unreadable[0].rfind("FTDI устройство: шина 003, адрес 017: нет доступа", 0), 0u)
      << link.Unreadable[0];
  EXPECT_NE(link.Unreadable[0].find("README"), std::string::npos);

  // The first one, listed when it could be read, denied by the time it is opened.
  device.accessDenied = true;
  link.Chosen = 0;
  EXPECT_FALSE(link.OpenLink());
  EXPECT_EQ(link.OpenFailure.rfind("FTDI устройство: шина 001, адрес 002: нет доступа", 0), 0u)
      << link.OpenFailure;
}

TEST_F(OpenLinkTest, EachOfTheFirstFiveSettingsEndsTheOpenAndClosesTheHandle) {
  const Op essential[] = {Op::ResetDevice, Op::SetBaudRate, Op::SetDataCharacteristics, Op::SetFlowControl,
                          Op::SetChars};
  ASSERT_TRUE(link.ListDevices());
  link.Chosen = 0;
  for (size_t i = 0; i < std::size(essential); ++i) {
    SCOPED_TRACE(i);
    driver.ClearCalls();
    driver.FailNext(essential[i], FT_IO_ERROR);
    EXPECT_FALSE(link.OpenLink());
    ASSERT_EQ(driver.Calls().size(), i + 3);  // open, the settings up to the failing one, close
    EXPECT_EQ(driver.Calls().back(), "Close");
    EXPECT_EQ(device.handle, 0u);
    EXPECT_EQ(link.Settings->Handle, 0u);
  }
}

TEST_F(OpenLinkTest, LaterSettingsMayFailWithoutEndingTheOpen) {
  ASSERT_TRUE(link.ListDevices());
  link.Chosen = 0;
  driver.FailNext(Op::SetEventNotification, FT_IO_ERROR);
  driver.FailNext(Op::SetTimeouts, FT_IO_ERROR);
  driver.FailNext(Op::Purge, FT_IO_ERROR);
  EXPECT_TRUE(link.OpenLink());
}

TEST_F(OpenLinkTest, ModemStatusFailureOrAFailedOpenLeavesNoHandle) {
  ASSERT_TRUE(link.ListDevices());
  link.Chosen = 0;
  driver.FailNext(Op::GetModemStatus, FT_IO_ERROR);
  EXPECT_FALSE(link.OpenLink());
  EXPECT_EQ(driver.Calls().back(), "Close");
  EXPECT_EQ(device.handle, 0u);

  driver.ClearCalls();
  driver.FailNext(Op::OpenByLocation, platform::ftdi::FT_DEVICE_NOT_FOUND);
  EXPECT_FALSE(link.OpenLink());
  EXPECT_EQ(driver.Calls().size(), 1u);
  EXPECT_EQ(link.OpenFailure, "FT_DEVICE_NOT_FOUND");

  link.Chosen = -1;
  EXPECT_FALSE(link.OpenLink());
  link.Chosen = 1;  // beyond the accepted list
  EXPECT_FALSE(link.OpenLink());
}

TEST_F(OpenLinkTest, PortSettingsMapToTheDriversCodes) {
  Open();
  PortSettings& s = *link.Settings;
  s.BaudIndex = 14;
  s.DataBits = 0;
  s.StopBits = 1;
  s.Parity = 0x102;
  s.Flow = 3;
  s.EventChar = 0x0D;
  s.EventCharOn = 5;
  s.Dtr = 0;
  s.Rts = 0;
  ASSERT_TRUE(link.ConfigurePort());
  EXPECT_EQ(driver.Calls(), (std::vector<std::string>{
                                "ResetDevice", "SetBaudRate 115200", "SetDataCharacteristics 7 2 2",
                                "SetFlowControl 0x400 17 19", "SetChars 13 1 0 0", "SetEventNotification 0x0",
                                "ClrDtr", "ClrRts", "SetTimeouts 300 300", "Purge 3"}));
  const std::pair<uint32_t, std::string> flows[] = {
      {1, "SetFlowControl 0x100 0 0"}, {2, "SetFlowControl 0x200 0 0"}, {4, "SetFlowControl 0x0 0 0"}};
  for (const auto& [flow, call] : flows) {
    driver.ClearCalls();
    s.Flow = flow;
    ASSERT_TRUE(link.ConfigurePort());
    EXPECT_EQ(driver.Calls()[3], call);
  }
  EXPECT_EQ(BaudRateOf(0), 300u);
  EXPECT_EQ(BaudRateOf(13), 921600u);
  EXPECT_EQ(BaudRateOf(0xFFFFFFFFu), 115200u);
}

TEST_F(OpenLinkTest, ConstructorStateAndStatusNames) {
  EXPECT_EQ(link.Chosen, -1);
  EXPECT_TRUE(link.Log.empty());
  EXPECT_EQ(link.WriteErrors, 0u);
  EXPECT_STREQ(link.StatusNames[0], "FT_OK");
  EXPECT_STREQ(link.StatusNames[10], "FT_FAILED_TO_WRITE_DEVICE");
  EXPECT_STREQ(link.StatusNames[18], "FT_OTHER_ERROR");
  EXPECT_STREQ(link.StatusName(19), "FT_UNKNOWN_STATUS");
}

}  // namespace
}  // namespace recorder
