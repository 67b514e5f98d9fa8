#include "platform/ftdi/line_settings.h"

#include <algorithm>

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

UsbPlace PlaceOf(uint8_t bus, const uint8_t* ports, int depth) {
  UsbPlace place;
  place.bus = bus;
  place.depth = static_cast<uint8_t>(std::clamp(depth, 0, UsbPlace::kMaxDepth));
  std::copy_n(ports, place.depth, place.ports);
  return place;
}

namespace {

constexpr uint32_t kFoldedMask = 0xFFFFF;

// 20 bits of an FNV-1a hash of the whole path.
uint32_t Folded(const UsbPlace& place) {
  uint32_t h = 2166136261u;
  const auto mix = [&h](uint8_t byte) { h = (h ^ byte) * 16777619u; };
  mix(place.depth);
  for (int i = 0; i < place.depth; ++i) mix(place.ports[i]);
  return (h ^ (h >> 20)) & kFoldedMask;
}

}  // namespace

uint32_t LocationIdOf(const UsbPlace& place) {
  const uint32_t id = static_cast<uint32_t>(place.bus) << 24;
  const bool digits = place.depth <= 6 && std::all_of(place.ports, place.ports + place.depth,
                                                      [](uint8_t port) { return port >= 1 && port <= 15; });
  if (!digits) return id | Folded(place);
  uint32_t path = 0;
  for (int i = 0; i < place.depth; ++i) path |= static_cast<uint32_t>(place.ports[i]) << (20 - 4 * i);
  return id | path;
}

std::vector<uint32_t> LocationIds(const std::vector<UsbPlace>& places) {
  std::vector<uint32_t> ids;
  for (const UsbPlace& place : places) {
    uint32_t id = LocationIdOf(place);
    while (std::find(ids.begin(), ids.end(), id) != ids.end())
      id = (id & 0xFF000000u) | ((id + 1) & kFoldedMask);
    ids.push_back(id);
  }
  return ids;
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
