#include "emulator/live_signal.h"

#include <algorithm>

namespace emulator {
namespace {

constexpr unsigned kMostValues = 165;

uint64_t SplitMix(uint64_t x) {
  x += 0x9E37'79B9'7F4A'7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58'476D'1CE4'E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D0'49BB'1331'11EBull;
  return x ^ (x >> 31);
}

}  // namespace

unsigned FillLiveValues(const LiveSignal& signal, unsigned channels, uint64_t& drawn, uint8_t* page) {
  channels = std::clamp(channels, 1u, 8u);
  const unsigned values = signal.ValuesPerBlock ? std::min(signal.ValuesPerBlock, kMostValues)
                                                : kMostValues / channels * channels;
  for (unsigned i = 0; i < values; ++i) {
    const unsigned c = i % channels;
    const int64_t spread = int64_t{signal.Noise[c]} * 2 + 1;
    const int64_t noise =
        signal.Noise[c] ? static_cast<int64_t>(SplitMix(signal.Seed * 0x1000'0000ull + drawn) % spread) - signal.Noise[c]
                        : 0;
    ++drawn;
    const auto v = static_cast<uint32_t>(0x800000 + int64_t{signal.Offset[c]} + noise);
    page[16 + 3 * i] = static_cast<uint8_t>(v);
    page[17 + 3 * i] = static_cast<uint8_t>(v >> 8);
    page[18 + 3 * i] = static_cast<uint8_t>(v >> 16);
  }
  return values;
}

}  // namespace emulator
