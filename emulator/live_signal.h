#pragma once
// A settable signal for the emulated recorder's live data blocks: per channel a constant zero offset
// and uniform noise of a given amplitude, drawn from a seeded generator, and the number of values a
// block carries (which need not be whole channel rounds).
#include <array>
#include <cstdint>
#include <functional>

namespace emulator {

struct LiveSignal {
  std::array<int32_t, 8> Offset{};  // added to the converter's zero
  std::array<int32_t, 8> Noise{};   // values spread uniformly over -Noise .. +Noise
  uint64_t Seed = 1;
  // Values in a block, all channels together (at most 165); 0: as many whole rounds as fit.
  unsigned ValuesPerBlock = 0;
  // Runs on every block after its check bytes were set (block number from 0), to spoil or alter it.
  std::function<void(uint32_t block, uint8_t* page)> Tamper;
};

// Writes the values of one block from page byte 16 on, channel after channel from channel 0, as 3-byte
// offset-binary values; `drawn` counts the values drawn so far (the generator's position). Returns the
// number of values written.
unsigned FillLiveValues(const LiveSignal& signal, unsigned channels, uint64_t& drawn, uint8_t* page);

}  // namespace emulator
