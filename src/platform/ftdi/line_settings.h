#pragma once
// Decisions about the bridge's port settings that every back end shares: what the driver's codes for
// flow control, word length, stop bits and parity mean, and how a device's place on the USB bus becomes
// its location id.
#include <cstdint>
#include <vector>

namespace platform::ftdi {

enum class FlowMode { None, RtsCts, DtrDsr, XonXoff, Invalid };
// The flow control a SetFlowControl code selects; Invalid for a code the bridge does not know.
FlowMode FlowModeOf(uint16_t flow);

enum class Parity { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };

struct LineFormat {
  uint8_t dataBits = 8;  // 7 or 8
  uint8_t stopBits = 1;  // 1 or 2
  Parity parity = Parity::None;
};
// Interprets the arguments of SetDataCharacteristics; false when one of them is out of range.
bool LineFormatOf(uint8_t wordLength, uint8_t stopBits, uint8_t parity, LineFormat& format);

// A device's place on the USB bus: its bus number and the port numbers on the way to it from the root
// hub (libusb gives at most 7). Two devices are at one place only when the whole path is the same.
struct UsbPlace {
  static constexpr int kMaxDepth = 7;
  uint8_t bus = 0;
  uint8_t depth = 0;
  uint8_t ports[kMaxDepth] = {};
  bool operator==(const UsbPlace&) const = default;
};
// The place from libusb's bus number and port numbers (ports beyond the 7th are not kept).
UsbPlace PlaceOf(uint8_t bus, const uint8_t* ports, int depth);

// The location id of a place, as the user sees it: the bus number in the top byte, then one hex digit per
// port when at most 6 ports, none above 15, lead there (port 2 of a hub on root port 1 of bus 1 is
// 0x01120000). Any other place has the digit 0 there, which no such path begins with, and 20 bits folded
// from its whole path. Never 0 for a bus number above 0.
uint32_t LocationIdOf(const UsbPlace& place);

// The location ids of the places of one device list, in its order: each place's own id, unless an earlier
// place of the list already has it; then the next free id of the folded kind. So every device of a list
// has an id of its own, by which it, and no other, is opened.
std::vector<uint32_t> LocationIds(const std::vector<UsbPlace>& places);

// The bridge's chip type code from the release number of its USB device descriptor.
uint32_t DeviceTypeFromRelease(uint16_t bcdDevice);

}  // namespace platform::ftdi
