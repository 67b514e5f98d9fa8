#pragma once
// What a download from the emulated recorder must yield: the values the recorder stored for its card
// files, and the page requests it received.
#include <cstdint>
#include <utility>
#include <vector>

#include "emulator/card_image.h"
#include "emulator/command_set.h"
#include "emulator/recorder.h"

namespace acquisition_test {

// The recorder's values of file `number`, frames [from, from + frames), channel after channel.
inline std::vector<int32_t> Stored(uint8_t number, uint32_t from, uint32_t frames, unsigned channels) {
  std::vector<int32_t> v;
  for (uint32_t f = from; f < from + frames; ++f)
    for (unsigned c = 0; c < channels; ++c)
      v.push_back(emulator::CardImageBuilder::Sample(number, f, static_cast<uint8_t>(c)));
  return v;
}

// (first page, count) of every page request `recorder` received.
inline std::vector<std::pair<uint32_t, uint32_t>> PageRequests(const emulator::Recorder& recorder) {
  std::vector<std::pair<uint32_t, uint32_t>> out;
  for (const auto& c : recorder.Received())
    if (c.type == emulator::kCommandPages && c.payload.size() >= 6) {
      const uint8_t* b = c.payload.data();
      out.emplace_back(b[0] | b[1] << 8 | b[2] << 16 | uint32_t{b[3]} << 24, b[4] | b[5] << 8);
    }
  return out;
}

}  // namespace acquisition_test
