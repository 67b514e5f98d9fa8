#include "platform/ftdi/line_settings.h"

#include "platform/ftdi/driver.h"

namespace platform::ftdi {

FlowMode FlowModeOf(uint16_t flow) {
  switch (flow) {
    case kFlowNone:
      return FlowMode::None;
    case kFlowRtsCts:
      return FlowMode::RtsCts;
    case kFlowDtrDsr:
      return FlowMode::DtrDsr;
    case kFlowXonXoff:
      return FlowMode::XonXoff;
    default:
      return FlowMode::Invalid;
  }
}

bool LineFormatOf(uint8_t wordLength, uint8_t stopBits, uint8_t parity, LineFormat& format) {
  if (wordLength != 7 && wordLength != 8) return false;
  if (stopBits != kStopBits1 && stopBits != kStopBits2) return false;
  if (parity > static_cast<uint8_t>(Parity::Space)) return false;
  format.dataBits = wordLength;
  format.stopBits = stopBits == kStopBits2 ? 2 : 1;
  format.parity = static_cast<Parity>(parity);
  return true;
}

uint32_t MakeLocationId(uint8_t bus, const uint8_t* ports, int depth) {
  uint32_t id = static_cast<uint32_t>(bus) << 24;
  for (int i = 0; i < depth && i < 6; ++i) id |= static_cast<uint32_t>(ports[i] & 0x0F) << (20 - 4 * i);
  return id;
}

uint32_t DeviceTypeFromRelease(uint16_t bcdDevice) {
  switch (bcdDevice & 0xFF00) {
    case 0x0200:
      return 1;  // AM
    case 0x0400:
      return 0;  // BM
    case 0x0500:
      return 4;  // 2232C
    case 0x0600:
      return 5;  // 232R
    case 0x0700:
      return 6;  // 2232H
    case 0x0800:
      return 7;  // 4232H
    case 0x0900:
      return 8;  // 232H
    case 0x1000:
      return 9;  // X series
    default:
      return 3;  // unknown
  }
}

}  // namespace platform::ftdi
