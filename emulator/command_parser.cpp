#include "emulator/command_parser.h"

#include <numeric>

namespace emulator {

namespace {
uint8_t SumOf(const uint8_t* bytes, size_t count) {
  return static_cast<uint8_t>(std::accumulate(bytes, bytes + count, 0u));
}
}  // namespace

void CommandParser::Feed(const uint8_t* bytes, size_t count, std::vector<Command>& out) {
  pending_.insert(pending_.end(), bytes, bytes + count);
  size_t at = 0;
  while (pending_.size() - at >= 4) {
    const uint8_t* p = pending_.data() + at;
    if (p[0] != 0x55 || SumOf(p, 4) != 0) {
      ++skipped_;
      ++at;
      continue;
    }
    const size_t length = static_cast<size_t>(p[1] >> 4) << 8 | p[2];
    const size_t frame = 4 + length + 1;
    if (pending_.size() - at < frame) break;
    if (length < 2 || SumOf(p + 4, length + 1) != 0) {
      ++badFrames_;
    } else {
      Command c;
      c.type = p[1] & 0x0F;
      c.code = p[4];
      c.subCode = p[5];
      c.payload.assign(p + 6, p + 4 + length);
      out.push_back(std::move(c));
    }
    at += frame;
  }
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(at));
}

}  // namespace emulator
