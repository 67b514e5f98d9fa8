#pragma once
// The words in which a back end names a bridge device it could not read or open: its place on the bus and
// the cause, so that the user can tell which device it is and what to do about it.
#include <cstdint>
#include <string>

namespace platform::ftdi {

// The cause when the system refuses the user access to the device: on Linux, no udev rule gives it.
inline constexpr const char* kNoAccessCause =
    "нет доступа (правило udev для FTDI не установлено: sudo scripts/install-udev-rule, "
    "см. README, раздел \"A real recorder\")";

// "FTDI устройство: шина 001, адрес 005: <cause>".
std::string DeviceProblemText(uint8_t bus, uint8_t address, const std::string& cause);

}  // namespace platform::ftdi
