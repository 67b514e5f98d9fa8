#include "recorder/frames.h"

#include <cstring>

namespace recorder {

uint8_t ByteSum(const uint8_t* bytes, size_t count) {
  unsigned sum = 0;
  for (size_t i = 0; i < count; ++i) sum += bytes[i];
  return static_cast<uint8_t>(sum);
}

bool ReadReplyHeader(const uint8_t* bytes, size_t count, ReplyHeader& header) {
  if (count < sizeof(ReplyHeader) || bytes[0] != kFrameStart || ByteSum(bytes, sizeof(ReplyHeader)) != 0)
    return false;
  std::memcpy(&header, bytes, sizeof header);
  return true;
}

size_t CompleteCommandFrame(uint8_t* frame, size_t capacity, uint8_t type, uint8_t code, uint8_t subCode,
                            uint16_t payloadCount) {
  const size_t length = static_cast<size_t>(payloadCount) + 7;
  if (payloadCount > kMaxCommandPayload || length > capacity) return 0;
  const unsigned l = payloadCount + 2u;
  frame[0] = kFrameStart;
  frame[1] = static_cast<uint8_t>(((l >> 8) & 0x0F) << 4 | (type & 0x0F));
  frame[2] = static_cast<uint8_t>(l & 0xFF);
  frame[3] = static_cast<uint8_t>(0u - ByteSum(frame, 3));
  frame[4] = code;
  frame[5] = subCode;
  frame[kPayloadOffset + payloadCount] = static_cast<uint8_t>(0u - ByteSum(frame + 4, 2u + payloadCount));
  return length;
}

}  // namespace recorder
