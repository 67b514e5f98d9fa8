#include "recorder/status_block.h"

#include <cstring>

namespace recorder {

bool DecodeStatus(const uint8_t* bytes, size_t count, StatusBlock& out) {
  if (bytes == nullptr || count < kStatusReplySize) return false;
  std::memcpy(&out, bytes, kStatusReplySize);
  return true;
}

bool EncodeStatus(const StatusBlock& status, uint8_t* out, size_t capacity) {
  if (out == nullptr || capacity < kStatusReplySize) return false;
  std::memcpy(out, &status, kStatusReplySize);
  return true;
}

ChannelList ChannelsFromMask(uint8_t mask) {
  ChannelList list;
  for (uint8_t ch = 0; ch < 8; ++ch) {
    if (mask & (1u << ch)) list.Numbers[list.Count++] = ch;
  }
  return list;
}

uint32_t SampleClock(const StatusBlock& s) {
  uint32_t best = 0;
  for (int i = 0; i < 8; ++i) {
    const uint32_t f = s.Freq[i];
    if (f > best) best = f;
  }
  return best;
}

StatusBlock& GlobalStatus() {
  static StatusBlock status{};
  return status;
}

}  // namespace recorder
