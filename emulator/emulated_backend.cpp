#include "emulator/emulated_backend.h"

#include <cstdio>

#include "emulator/command_set.h"
#include "emulator/default_device.h"
#include "platform/ftdi/backend.h"

namespace emulator {

std::unique_ptr<EmulatedDriver> MakeEmulatedBus(int units) {
  auto driver = std::make_unique<EmulatedDriver>();
  for (int i = 1; i <= units; ++i) {
    DeviceInfo info;
    char text[32];
    std::snprintf(text, sizeof text, "T-9XV Unit %d", i);
    info.description = text;
    std::snprintf(text, sizeof text, "UNIT%04d", i);
    info.serial = text;
    info.locationId = 0x1000u + static_cast<uint32_t>(i);
    EmulatedDevice& device = driver->Attach(info);
    // A recorder as it comes from the field, answering the whole command set.
    DefaultDeviceOptions unit;
    unit.number = static_cast<uint8_t>(i);
    SetUpDefaultDevice(device.recorder.State(), unit);
    CommandSet::Install(device.recorder);
  }
  return driver;
}

void InstallEmulatedBackend() {
  platform::ftdi::RegisterEmulatedBackend(
      [](int units) -> std::unique_ptr<platform::ftdi::Driver> { return MakeEmulatedBus(units); });
}

}  // namespace emulator
