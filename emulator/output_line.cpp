#include "emulator/output_line.h"

#include <algorithm>

#include "platform/clock.h"

namespace emulator {

void OutputLine::Restart() {
  lastTick_ = platform::GetTickCount();
  credit_ = 0;
}

void OutputLine::Append(const uint8_t* bytes, size_t count) {
  if (count == 0) return;
  if (segments_.empty()) Restart();
  if (!segments_.empty() && segments_.back().gapMs == 0 && segments_.back().offset == 0) {
    segments_.back().bytes.insert(segments_.back().bytes.end(), bytes, bytes + count);
    return;
  }
  segments_.push_back({std::vector<uint8_t>(bytes, bytes + count), 0, 0});
}

void OutputLine::AppendGap(uint32_t ms) {
  if (ms == 0) return;
  if (segments_.empty()) Restart();
  segments_.push_back({{}, 0, ms});
}

void OutputLine::Stall(bool stalled) {
  if (stalled_ && !stalled) Restart();
  stalled_ = stalled;
}

size_t OutputLine::Release(platform::ftdi::ReceiveQueue& queue) {
  const uint32_t now = platform::GetTickCount();
  uint32_t elapsed = platform::TicksSince(lastTick_, now);
  lastTick_ = now;
  if (stalled_) return 0;
  size_t moved = 0;
  while (!segments_.empty()) {
    Segment& s = segments_.front();
    if (s.bytes.empty()) {
      const uint32_t used = std::min(s.gapMs, elapsed);
      s.gapMs -= used;
      elapsed -= used;
      if (s.gapMs > 0) break;
      segments_.pop_front();
      credit_ = 0;  // the bytes after a gap start when it ends
      continue;
    }
    size_t allowed = s.bytes.size() - s.offset;
    if (rate_ != 0) {
      credit_ += static_cast<uint64_t>(elapsed) * rate_;
      elapsed = 0;
      allowed = static_cast<size_t>(std::min<uint64_t>(allowed, credit_ / 1000));
    }
    const size_t pushed = queue.Push(s.bytes.data() + s.offset, allowed);
    s.offset += pushed;
    moved += pushed;
    if (rate_ != 0) credit_ = pushed < allowed ? 0 : credit_ - pushed * 1000;
    if (s.offset < s.bytes.size()) break;
    segments_.pop_front();
  }
  if (segments_.empty()) credit_ = 0;
  return moved;
}

size_t OutputLine::Pending() const {
  size_t n = 0;
  for (const Segment& s : segments_) n += s.bytes.size() - s.offset;
  return n;
}

void OutputLine::Clear() {
  segments_.clear();
  credit_ = 0;
}

}  // namespace emulator
