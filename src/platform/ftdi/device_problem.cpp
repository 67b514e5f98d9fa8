#include "platform/ftdi/device_problem.h"

#include <cstdio>

namespace platform::ftdi {

std::string DeviceProblemText(uint8_t bus, uint8_t address, const std::string& cause) {
  char place[64];
  std::snprintf(place, sizeof place, "FTDI устройство: шина %03u, адрес %03u: ", static_cast<unsigned>(bus),
                static_cast<unsigned>(address));
  return place + cause;
}

}  // namespace platform::ftdi
