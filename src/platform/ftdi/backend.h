#pragma once
// Which driver back end the link talks to. Real recorders through libftdi1 by default; the emulated
// recorder only when the environment variable TOVREL_EMULATED_UNITS asks for it (its value is the number
// of emulated recorders to attach, 1 to 8). The emulator library registers its factory here, so this
// layer does not depend on it.
#include <memory>
#include <string>

#include "platform/ftdi/driver.h"

namespace platform::ftdi {

inline constexpr const char* kEmulatedUnitsVariable = "TOVREL_EMULATED_UNITS";

// Makes a driver with `units` emulated recorders attached.
using EmulatedFactory = std::unique_ptr<Driver> (*)(int units);
void RegisterEmulatedBackend(EmulatedFactory factory);

// The number of emulated recorders a value of the variable asks for: 0 for none (unset, empty, "0"
// or anything that is not a number from 1 to 8).
int EmulatedUnitsRequested(const char* value);

// What is wrong with a value of the variable that names no usable number of emulated recorders (anything
// set but 1 to 8, the empty value included); empty when the value is usable or the variable unset.
std::string EmulatedUnitsProblem(const char* value);
// The same for the program's own environment, while no driver has been installed by SetCurrentDriver.
std::string EnvironmentDriverProblem();

// The driver chosen by the environment: the emulated back end when the variable asks for it and a
// factory is registered, the libftdi1 back end otherwise.
std::unique_ptr<Driver> MakeDriverFromEnvironment();

// The driver the program's link uses: one installed by SetCurrentDriver, else the one made once from
// the environment.
Driver& CurrentDriver();
// Installs `driver` (nullptr goes back to the environment's choice). The caller keeps it alive.
void SetCurrentDriver(Driver* driver);

class ScopedDriver {
 public:
  explicit ScopedDriver(Driver& driver);
  ~ScopedDriver();
  ScopedDriver(const ScopedDriver&) = delete;
  ScopedDriver& operator=(const ScopedDriver&) = delete;

 private:
  Driver* previous_;
};

}  // namespace platform::ftdi
