#pragma once
// A recorder as it comes from the field: synchronised to GPS with a position, three channels set up, a
// valid setup block in DataFlash pages 0..4, its firmware text in RAM, and a 2000 MB card made by the
// card-image builder that holds a day's FAT and four recordings (3 channels at 100 Hz for 2 min, 2 at
// 200 Hz for 1 min, 1 at 50 Hz for 5 min cut short by a power loss, 3 at 500 Hz for 10 s), each
// followed by a GPS synchronisation; the status tells the same card. Tests change any byte afterwards.
#include <cstdint>
#include <string>

#include "emulator/device_state.h"

namespace emulator {

struct DefaultDeviceOptions {
  uint8_t number = 5;
  uint8_t series = 0x1A;
  // A "TK-41" device carries a 19-character firmware text, the others 14.
  bool tk41 = false;
};

// The firmware text at RAM byte 512 + 338 (byte 338 of the RAM block read at 512).
std::string FirmwareText(bool tk41);

// Fills `state` with the default recorder; its clocks are taken from the current UTC clock.
void SetUpDefaultDevice(DeviceState& state, const DefaultDeviceOptions& options = {});

// Stores the check bytes of setup pages 0..4 in DataFlash page 0 (byte 504 + n): page 0 sums to 0,
// page n = 1..4 with its check byte sums to 0.
void SealSetupPages(DeviceState& state);

}  // namespace emulator
