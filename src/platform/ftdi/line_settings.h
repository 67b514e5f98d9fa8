#pragma once
// Decisions about the bridge's port settings that every back end shares: what the driver's codes for
// flow control, word length, stop bits and parity mean, and how a device's place on the USB bus becomes
// its location id.
#include <cstdint>

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

// Location id of a device from its bus number and the port numbers on the way to it (at most 6 are
// used, each as one hex digit below the bus number in the top byte). Never 0 for a bus number above 0.
uint32_t MakeLocationId(uint8_t bus, const uint8_t* ports, int depth);

// The bridge's chip type code from the release number of its USB device descriptor.
uint32_t DeviceTypeFromRelease(uint16_t bcdDevice);

}  // namespace platform::ftdi
