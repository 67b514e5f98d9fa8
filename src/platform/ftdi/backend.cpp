#include "platform/ftdi/backend.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/ftdi/libftdi_driver.h"

namespace platform::ftdi {

namespace {
std::atomic<EmulatedFactory> emulatedFactory{nullptr};
std::atomic<Driver*> installed{nullptr};
}  // namespace

void RegisterEmulatedBackend(EmulatedFactory factory) { emulatedFactory.store(factory); }

int EmulatedUnitsRequested(const char* value) {
  if (value == nullptr || value[0] < '1' || value[0] > '8' || value[1] != '\0') return 0;
  return value[0] - '0';
}

std::string EmulatedUnitsProblem(const char* value) {
  // Set but empty is refused as "0" is: only an unset variable means real recorders.
  if (value == nullptr || EmulatedUnitsRequested(value) > 0) return {};
  std::string text = std::string(kEmulatedUnitsVariable) + " = \"";
  // A value typed by hand: shown as it is, but not beyond a line.
  text.append(value, strnlen(value, 40));
  return text + "\": число эмулируемых Unit'ов задаётся цифрой от 1 до 8!";
}

std::string EnvironmentDriverProblem() {
  if (installed.load(std::memory_order_acquire) != nullptr) return {};
  return EmulatedUnitsProblem(std::getenv(kEmulatedUnitsVariable));
}

std::unique_ptr<Driver> MakeDriverFromEnvironment() {
  const int units = EmulatedUnitsRequested(std::getenv(kEmulatedUnitsVariable));
  if (units > 0) {
    if (EmulatedFactory factory = emulatedFactory.load()) return factory(units);
    std::fprintf(stderr, "%s is set, but this program has no emulated recorder; using USB devices\n",
                 kEmulatedUnitsVariable);
  }
  return std::make_unique<LibftdiDriver>();
}

Driver& CurrentDriver() {
  if (Driver* d = installed.load(std::memory_order_acquire)) return *d;
  static std::once_flag once;
  static std::unique_ptr<Driver> fromEnvironment;
  std::call_once(once, [] { fromEnvironment = MakeDriverFromEnvironment(); });
  return *fromEnvironment;
}

void SetCurrentDriver(Driver* driver) { installed.store(driver, std::memory_order_release); }

ScopedDriver::ScopedDriver(Driver& driver) : previous_(installed.load()) { SetCurrentDriver(&driver); }
ScopedDriver::~ScopedDriver() { SetCurrentDriver(previous_); }

}  // namespace platform::ftdi
