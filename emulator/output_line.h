#pragma once
// The line from the recorder to the PC: bytes the recorder has sent, delivered into the bridge's
// receive queue at the line's rate, measured on the current (injectable) clock. Gaps hold the stream
// for a while; a stall holds it until released.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "platform/ftdi/receive_queue.h"

namespace emulator {

// 115200 baud with a start and a stop bit per byte.
inline constexpr uint32_t kLineBytesPerSecond = 11520;

class OutputLine {
 public:
  // Bytes a second; 0 delivers at once.
  void SetRate(uint32_t bytesPerSecond) { rate_ = bytesPerSecond; }
  uint32_t Rate() const { return rate_; }

  void Append(const uint8_t* bytes, size_t count);
  void Append(const std::vector<uint8_t>& bytes) { Append(bytes.data(), bytes.size()); }
  // Nothing after this point is delivered until `ms` milliseconds after the bytes before it.
  void AppendGap(uint32_t ms);
  // A stalled line delivers nothing until it is released.
  void Stall(bool stalled);
  bool Stalled() const { return stalled_; }

  // Moves the bytes that are due by now into `queue`, as far as it has room; returns how many moved.
  size_t Release(platform::ftdi::ReceiveQueue& queue);
  // Bytes sent but not yet delivered.
  size_t Pending() const;
  bool Empty() const { return segments_.empty(); }
  void Clear();

 private:
  struct Segment {
    std::vector<uint8_t> bytes;
    size_t offset = 0;
    uint32_t gapMs = 0;  // a gap when bytes is empty
  };
  void Restart();

  std::deque<Segment> segments_;
  uint32_t rate_ = kLineBytesPerSecond;
  bool stalled_ = false;
  uint32_t lastTick_ = 0;
  uint64_t credit_ = 0;  // thousandths of a byte the line could have sent
};

}  // namespace emulator
