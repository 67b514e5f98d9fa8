#pragma once
// Everything the emulated recorder remembers, in one place that tests set up and inspect and that the
// command handlers read and change.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace emulator {

inline constexpr size_t kStatusBytes = 240;
inline constexpr size_t kPageBytes = 512;

struct DeviceState {
  // The status block as the recorder sends it (without its check byte).
  std::array<uint8_t, kStatusBytes> status{};
  // DataFlash pages of 512 bytes, page p at p * 512.
  std::vector<uint8_t> dataFlash;
  // The flash card image, 512-byte pages, page p at p * 512; pages beyond it read as erased.
  std::vector<uint8_t> card;
  // The recorder's RAM.
  std::vector<uint8_t> ram;
  // Current mode: 0 stop, 1 transmission, 2 registration, 3 registration after erasing the FAT.
  uint8_t mode = 0;
};

// Page `page` of a memory of 512-byte pages, or nullptr when the memory does not reach that far.
uint8_t* PageAt(std::vector<uint8_t>& memory, size_t page);
const uint8_t* PageAt(const std::vector<uint8_t>& memory, size_t page);

}  // namespace emulator
