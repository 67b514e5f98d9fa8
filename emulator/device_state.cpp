#include "emulator/device_state.h"

namespace emulator {

uint8_t* PageAt(std::vector<uint8_t>& memory, size_t page) {
  return (page + 1) * kPageBytes <= memory.size() ? memory.data() + page * kPageBytes : nullptr;
}

const uint8_t* PageAt(const std::vector<uint8_t>& memory, size_t page) {
  return (page + 1) * kPageBytes <= memory.size() ? memory.data() + page * kPageBytes : nullptr;
}

}  // namespace emulator
