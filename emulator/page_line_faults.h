#pragma once
// Line faults of a page stream: chosen card pages reach the PC with their reply frame spoiled as a noisy
// or slow cable delivers it: a byte flipped or lost, the frame cut short, stray bytes among its bytes, or
// a pause inside it. The card itself stays intact.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
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
  // Before the byte at FrameOffset comes a well-formed page-reply header (length 512, code this frame's
  // + Mask as a signed step) and then Stray: a header found in line noise.
  FakeHeader,
  // Before the frame comes the whole frame of the card page Mask pages back, with its code then: a frame
  // of an earlier stream.
  Stale,
  // This frame and every later one carry codes Mask (a signed step) away from where they were.
  CodeJump,
};

// One spoil of a frame, at a byte counted from the frame's first byte as the recorder sends it.
struct LineSpoil {
  LineFault Fault = LineFault::Flip;
  size_t FrameOffset = 0;
  uint8_t Mask = 0x10;
  uint32_t PauseMs = 0;  // Pause only
  std::vector<uint8_t> Stray;
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
  // Pages spoiled each in a way of its own, by several spoils at once, each the next time it is sent: a
  // line that is noisy and busy at random places.
  std::map<uint32_t, std::vector<LineSpoil>> Spoils;
};

// The mask for one more flip of a frame already spoiled by `spoils`: `wanted` unless another flip there
// has it, else the next bit no flip has. Two flips of one bit, one setting and one clearing it, leave
// every byte sum of the frame whole: no check could see them.
uint8_t FreeFlipMask(std::span<const LineSpoil> spoils, uint8_t wanted);

// Sends the reply `frame` down the recorder's line with all of `spoils` done to it; their offsets count
// the bytes of the frame as it was built.
void SendSpoiledFrame(Recorder& recorder, const std::vector<uint8_t>& frame,
                      std::span<const LineSpoil> spoils);

// The 512 bytes of an earlier card page, for stale frames (nullptr: none there).
using EarlierPage = std::function<const uint8_t*(uint32_t number)>;

// Sends card page `number` as a page reply with `code`, spoiled when `faults` name it (the page is then
// taken off their lists). Returns the code the frame went with (a code jump moves it and what follows).
uint8_t SendCardPage(Recorder& recorder, uint8_t type, uint8_t code, uint32_t number,
                     std::span<const uint8_t> page, PageLineFaults& faults, const EarlierPage& earlier = {});

}  // namespace emulator
