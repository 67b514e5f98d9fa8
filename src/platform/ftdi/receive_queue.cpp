#include "platform/ftdi/receive_queue.h"

#include <algorithm>
#include <cstring>

#include "platform/clock.h"

namespace platform::ftdi {

ReceiveQueue::ReceiveQueue(size_t capacity) : ring_(capacity) {}

size_t ReceiveQueue::Push(const uint8_t* bytes, size_t count) {
  std::lock_guard lock(mutex_);
  const size_t n = std::min(count, ring_.size() - count_);
  size_t tail = (head_ + count_) % ring_.size();
  const size_t first = std::min(n, ring_.size() - tail);
  std::memcpy(ring_.data() + tail, bytes, first);
  std::memcpy(ring_.data(), bytes + first, n - first);
  count_ += n;
  return n;
}

size_t ReceiveQueue::Take(uint8_t* out, size_t count) {
  std::lock_guard lock(mutex_);
  const size_t n = std::min(count, count_);
  const size_t first = std::min(n, ring_.size() - head_);
  std::memcpy(out, ring_.data() + head_, first);
  std::memcpy(out + first, ring_.data(), n - first);
  head_ = (head_ + n) % ring_.size();
  count_ -= n;
  return n;
}

size_t ReceiveQueue::Count() const {
  std::lock_guard lock(mutex_);
  return count_;
}

size_t ReceiveQueue::Room() const {
  std::lock_guard lock(mutex_);
  return ring_.size() - count_;
}

void ReceiveQueue::Clear() {
  std::lock_guard lock(mutex_);
  head_ = 0;
  count_ = 0;
}

uint32_t ReadWithin(ReceiveQueue& queue, uint8_t* out, uint32_t count, uint32_t timeoutMs,
                    const std::function<bool()>& refill, bool& deviceGone) {
  deviceGone = false;
  const uint32_t start = GetTickCount();
  uint32_t got = 0;
  for (;;) {
    if (refill && !refill()) {
      deviceGone = true;
      return got;
    }
    got += static_cast<uint32_t>(queue.Take(out + got, count - got));
    if (got == count || TicksSince(start, GetTickCount()) >= timeoutMs) return got;
    Sleep(1);
  }
}

}  // namespace platform::ftdi
