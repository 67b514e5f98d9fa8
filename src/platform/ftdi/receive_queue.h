#pragma once
// The receive queue of an open bridge device: bytes that came from the device and wait to be read.
// Shared by the back ends so that queue status and reads behave alike on real and emulated recorders.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace platform::ftdi {

// Room of a device's receive queue in both back ends: about six seconds of a recorder's stream.
inline constexpr size_t kReceiveQueueBytes = 64 * 1024;

class ReceiveQueue {
 public:
  explicit ReceiveQueue(size_t capacity);

  // Appends up to `count` bytes; returns how many fitted.
  size_t Push(const uint8_t* bytes, size_t count);
  // Takes up to `count` bytes from the front; returns how many were taken.
  size_t Take(uint8_t* out, size_t count);
  size_t Count() const;
  size_t Room() const;
  size_t Capacity() const { return ring_.size(); }
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<uint8_t> ring_;
  size_t head_ = 0;
  size_t count_ = 0;
};

// Reads up to `count` bytes from `queue`, waiting on the current clock until all of them have come or
// `timeoutMs` has passed since the call began. `refill` runs before every look at the queue (a back end
// moves newly arrived bytes in there) and returns false when the device is gone, which ends the read.
// Returns the bytes read; `deviceGone` tells whether refill reported the device gone.
uint32_t ReadWithin(ReceiveQueue& queue, uint8_t* out, uint32_t count, uint32_t timeoutMs,
                    const std::function<bool()>& refill, bool& deviceGone);

}  // namespace platform::ftdi
