#pragma once
// Line faults of a page stream: chosen card pages reach the PC with their reply frame spoiled as a noisy
// or slow cable delivers it: a byte flipped or lost, the frame cut short, stray bytes among its bytes, or
// a pause inside it. The card itself stays intact.
#include <cstddef>
#include <cstdint>
#include <set>
#include <span>
#include <vector>

#include "emulator/recorder.h"

namespace emulator {

enum class LineFault {
  Flip,    // the byte at FrameOffset is flipped with Mask
  Drop,    // the byte at FrameOffset never arrives
  Cut,     // only the first FrameOffset bytes of the frame are sent
  Insert,  // Stray is sent before the byte at FrameOffset
  Pause,   // the line pauses PauseMs before the byte at FrameOffset
};

struct PageLineFaults {
  // Card page numbers whose frame is spoiled, each the next time it is sent: a page asked for again
  // comes whole, as after a passing fault of the line.
  std::set<uint32_t> Pages;
  LineFault Fault = LineFault::Flip;
  // Counted from the frame's first byte (the 6-byte header, then the body): by default a sample byte of
  // the page, so the header still leads to the frame and its body check fails.
  size_t FrameOffset = 6 + 200;
  uint8_t Mask = 0x10;
  // Pause: its length. Any other fault: a pause of the line after the spoiled frame (0: none).
  uint32_t PauseMs = 0;
  std::vector<uint8_t> Stray;
};

// Sends the reply `frame` down the recorder's line, spoiled as `faults` say.
void SendSpoiledFrame(Recorder& recorder, std::vector<uint8_t> frame, const PageLineFaults& faults);

// Sends card page `number` as a page reply with `code`, spoiled when `faults` name it (the page is then
// taken off their list).
void SendCardPage(Recorder& recorder, uint8_t type, uint8_t code, uint32_t number,
                  std::span<const uint8_t> page, PageLineFaults& faults);

}  // namespace emulator
