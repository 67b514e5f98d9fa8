#pragma once
// Line faults of a page stream: chosen card pages reach the PC with one byte of their reply frame
// flipped, as a noisy cable delivers them. The card itself stays intact.
#include <cstddef>
#include <cstdint>
#include <set>
#include <span>

#include "emulator/recorder.h"

namespace emulator {

struct PageLineFaults {
  std::set<uint32_t> Pages;  // card page numbers whose frame is garbled
  // The byte flipped, counted from the frame's first byte (the 6-byte header, then the body): by default
  // a sample byte of the page, so the header still leads to the frame and its body check fails.
  size_t FrameOffset = 6 + 200;
  uint8_t Mask = 0x10;
};

// Sends card page `number` as a page reply with `code`, garbled when `faults` name it.
void SendCardPage(Recorder& recorder, uint8_t type, uint8_t code, uint32_t number,
                  std::span<const uint8_t> page, const PageLineFaults& faults);

}  // namespace emulator
