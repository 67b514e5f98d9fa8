#pragma once
// The recorder's side of the command frames: collects the bytes the PC writes and cuts them into
// checked commands. A frame starts with 0x55; byte 1 holds bits 8..11 of the length L in its high nibble
// and the command type in its low nibble, byte 2 bits 0..7 of L; bytes 0..3 sum to 0. Then come L bytes
// (code, sub-code, payload) and a check byte that makes them sum to 0.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace emulator {

struct Command {
  uint8_t type = 0;
  uint8_t code = 0;
  uint8_t subCode = 0;
  std::vector<uint8_t> payload;
};

class CommandParser {
 public:
  // Adds bytes from the line; every complete, checked command is appended to `out`.
  void Feed(const uint8_t* bytes, size_t count, std::vector<Command>& out);

  // Bytes skipped while looking for a frame start or a valid header.
  uint32_t SkippedBytes() const { return skipped_; }
  // Frames with a good header whose body check failed, or that were too short to hold a code.
  uint32_t BadFrames() const { return badFrames_; }
  // Bytes of an incomplete frame still waiting for the rest.
  size_t Pending() const { return pending_.size(); }

 private:
  std::vector<uint8_t> pending_;
  uint32_t skipped_ = 0;
  uint32_t badFrames_ = 0;
};

}  // namespace emulator
