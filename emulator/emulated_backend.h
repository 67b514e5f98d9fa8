#pragma once
// Makes the emulated recorders available to the program: after InstallEmulatedBackend the driver
// layer chooses them when TOVREL_EMULATED_UNITS asks for them.
#include <memory>

#include "emulator/emulated_driver.h"

namespace emulator {

// A bus of `units` emulated recorders ("T-9XV Unit 1", ...), each with its own serial number and
// location id, set up as the default device (numbered 1, 2, ...) and answering the command set.
std::unique_ptr<EmulatedDriver> MakeEmulatedBus(int units);

void InstallEmulatedBackend();

}  // namespace emulator
