#include "emulator/emulated_backend.h"

#include <cstdio>

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
    driver->Attach(info);
  }
  return driver;
}

void InstallEmulatedBackend() {
  platform::ftdi::RegisterEmulatedBackend(
      [](int units) -> std::unique_ptr<platform::ftdi::Driver> { return MakeEmulatedBus(units); });
}

}  // namespace emulator
