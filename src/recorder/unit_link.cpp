#include "recorder/unit_link.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/cp1251.h"

namespace recorder {

using namespace platform::ftdi;

namespace {

constexpr uint32_t kBaudTable[] = {300,   600,   1200,  2400,   4800,   9600,   14400,
                                   19200, 38400, 57600, 115200, 230400, 460800, 921600};

// A recorder's bridge describes itself with one of these five-character prefixes, exactly in this case.
bool IsRecorderDescription(const char (&description)[kDescriptionSize]) {
  return std::strncmp(description, "T-9XV", 5) == 0 || std::strncmp(description, "TK-41", 5) == 0;
}

LinkNotices DefaultNotices() {
  LinkNotices n;
  n.Message = [](const std::string& text, const std::string& caption, LinkNotices::Icon) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  };
  n.Terminate = [](int code) { std::exit(code); };
  return n;
}

}  // namespace

uint32_t BaudRateOf(uint32_t index) { return index < std::size(kBaudTable) ? kBaudTable[index] : 115200; }

UnitLink::UnitLink(platform::ftdi::Driver& driver)
    : Settings(std::make_unique<PortSettings>()), Notices(DefaultNotices()), driver_(driver) {
  for (uint32_t i = 0; i < kStatusCount; ++i) StatusNames[i] = platform::ftdi::StatusName(i);
  // Room for the error texts of a reception, so that a failing exchange does not allocate.
  Log.reserve(4096);
}

UnitLink::~UnitLink() = default;

bool UnitLink::ListDevices() {
  Log.clear();
  Unreadable.clear();
  Examined = 0;
  if (driver_.CreateDeviceInfoList(DeviceCount) != FT_OK) {
    Notices.Message("Error:   CreateDeviceInfoList", "", LinkNotices::Icon::None);
    Notices.Terminate(1);
    DeviceCount = 0;
    return false;  // reached only when the program is not ended (tests)
  }
  if (DeviceCount == 0) {
    Notices.Message("Не обнаружено ни одного FTDI устройства!", " ", LinkNotices::Icon::Error);
    return false;
  }
  const uint32_t examined = DeviceCount > kMaxDevices ? kMaxDevices : DeviceCount;
  Examined = examined;
  uint32_t k = 0;
  for (uint32_t i = 0; i < examined; ++i) {
    const FtStatus status = driver_.GetDeviceInfoDetail(i, Flags[k], Types[k], Ids[k], LocIds[k],
                                                        SerialNumbers[k], Descriptions[k], Handles[k]);
    if (status != FT_OK || LocIds[k] == 0 || !IsRecorderDescription(Descriptions[k])) {
      // A device that could not be read may well be a recorder: it is named, not passed over in silence.
      if (std::string problem = driver_.DeviceProblem(i); !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        Unreadable.push_back(std::move(problem));
      }
      continue;
    }
    // The serial number and description are the bridge's own bytes: converted and blanked for the log.
    char head[64], tail[64];
    std::snprintf(head, sizeof head, "\nFlag %04x;  Type %x;  ID %x;  SerNum ", Flags[k], Types[k], Ids[k]);
    std::snprintf(tail, sizeof tail, ";  Handle %x; Loc_Id %x", Handles[k], LocIds[k]);
    Log += head + platform::FieldToTextLine(SerialNumbers[k], kSerialSize) + ";  Description " +
           platform::FieldToTextLine(Descriptions[k], kDescriptionSize) + tail;
    ++k;
  }
  char summary[96];
  std::snprintf(summary, sizeof summary, "\n\nподключено FTDI устройств - %d; можно открыть - %d;",
                static_cast<int>(examined), static_cast<int>(k));
  Log += summary;
  DeviceCount = k;
  return true;
}

bool UnitLink::OpenLink() {
  OpenFailure.clear();
  if (Chosen < 0 || static_cast<uint32_t>(Chosen) >= DeviceCount) return false;
  FtHandle handle = 0;
  if (const FtStatus status = driver_.OpenByLocation(LocIds[Chosen], handle); status != FT_OK) {
    OpenFailure = driver_.OpenProblem();
    if (OpenFailure.empty()) OpenFailure = StatusName(status);
    std::fprintf(stderr, "%s\n", OpenFailure.c_str());
    return false;
  }

  PortSettings& s = *Settings;
  s.BaudIndex = 10;
  s.DataBits = 1;
  s.StopBits = 0;
  s.Parity = 0;
  s.Flow = 0;
  s.XonChar = 17;
  s.XoffChar = 19;
  s.EventChar = 0;
  s.ErrorChar = 0;
  s.EventCharOn = 0;
  s.ErrorCharOn = 0;
  s.Rts = 1;
  // The recorder does not look at DTR; it is raised like RTS so that both lines are in a known state.
  s.Dtr = 1;
  s.ReadTimeout = 300;
  s.WriteTimeout = 300;
  s.EventMask = 0;
  s.Handle = handle;

  const bool configured = ConfigurePort();
  uint32_t modem = 0;
  if (!configured || driver_.GetModemStatus(handle, modem) != FT_OK) {
    driver_.Close(handle);
    s.Handle = 0;
    return false;
  }
  s.Cts = (modem & kModemCts) ? 1 : 0;
  s.Dsr = (modem & kModemDsr) ? 1 : 0;
  return true;
}

bool UnitLink::ConfigurePort() {
  const PortSettings& s = *Settings;
  const FtHandle h = s.Handle;
  if (driver_.ResetDevice(h) != FT_OK) return false;
  if (driver_.SetBaudRate(h, BaudRateOf(s.BaudIndex)) != FT_OK) return false;
  if (driver_.SetDataCharacteristics(h, static_cast<uint8_t>(s.DataBits + 7),
                                     s.StopBits == 1 ? kStopBits2 : kStopBits1,
                                     static_cast<uint8_t>(s.Parity & 0xFF)) != FT_OK)
    return false;
  uint16_t flow = kFlowNone;
  uint8_t xon = 0, xoff = 0;
  switch (s.Flow) {
    case 0:
    case 1:
      flow = kFlowRtsCts;
      break;
    case 2:
      flow = kFlowDtrDsr;
      break;
    case 3:
      flow = kFlowXonXoff;
      xon = s.XonChar;
      xoff = s.XoffChar;
      break;
    default:
      break;
  }
  if (driver_.SetFlowControl(h, flow, xon, xoff) != FT_OK) return false;
  if (driver_.SetChars(h, s.EventChar, s.EventCharOn ? 1 : 0, s.ErrorChar, s.ErrorCharOn ? 1 : 0) != FT_OK)
    return false;
  // The results of the remaining settings are not tested: the line works without them.
  driver_.SetEventNotification(h, s.EventMask, nullptr);
  if (s.Dtr) {
    driver_.SetDtr(h);
  } else {
    driver_.ClrDtr(h);
  }
  if (s.Rts) {
    driver_.SetRts(h);
  } else {
    driver_.ClrRts(h);
  }
  driver_.SetTimeouts(h, s.ReadTimeout, s.WriteTimeout);
  driver_.Purge(h, kPurgeRx | kPurgeTx);
  DropHeld();
  return true;
}

}  // namespace recorder

