#pragma once
// The two frame formats of the recorder link.
//
// Command frame (PC to recorder), n payload bytes, L = n + 2:
//   0      0x55
//   1      high nibble: bits 8..11 of L; low nibble: command type
//   2      bits 0..7 of L
//   3      header check: bytes 0..3 sum to 0
//   4, 5   code, sub-code
//   6..    payload
//   6+n    body check: bytes 4..6+n sum to 0
// Reply frame (recorder to PC): a 6-byte header (0x55, type, body length N little-endian 1..512, code,
// a check that makes the six bytes sum to 0), then the N body bytes and a check byte that makes them
// sum to 0.
#include <cstddef>
#include <cstdint>

namespace recorder {

inline constexpr uint8_t kFrameStart = 0x55;
// Offset of the payload in a command frame.
inline constexpr size_t kPayloadOffset = 6;
// The 12-bit length field holds at most 4095, code and sub-code included.
inline constexpr uint16_t kMaxCommandPayload = 4093;
inline constexpr uint16_t kMaxReplyBody = 512;

struct ReplyHeader {
  uint8_t Start;
  uint8_t Type;
  uint8_t LengthLow;
  uint8_t LengthHigh;
  uint8_t Code;
  uint8_t Check;
};
static_assert(sizeof(ReplyHeader) == 6);
static_assert(offsetof(ReplyHeader, Type) == 1);
static_assert(offsetof(ReplyHeader, LengthLow) == 2);
static_assert(offsetof(ReplyHeader, LengthHigh) == 3);
static_assert(offsetof(ReplyHeader, Code) == 4);
static_assert(offsetof(ReplyHeader, Check) == 5);

inline uint16_t BodyLength(const ReplyHeader& h) {
  return static_cast<uint16_t>(h.LengthLow | h.LengthHigh << 8);
}

// Sum of `count` bytes modulo 256.
uint8_t ByteSum(const uint8_t* bytes, size_t count);

// Reads a reply header from the first bytes of `bytes`; true when they hold one: at least six bytes,
// the start byte and a zero sum.
bool ReadReplyHeader(const uint8_t* bytes, size_t count, ReplyHeader& header);

// Completes a command frame in place around the payload already at `frame` + 6: header, code, sub-code
// and body check. Returns the frame's length (payload + 7), or 0 when the payload is too long for the
// length field or the frame would not fit into `capacity` bytes.
size_t CompleteCommandFrame(uint8_t* frame, size_t capacity, uint8_t type, uint8_t code, uint8_t subCode,
                            uint16_t payloadCount);

// Reception error words.
enum ReceiveError : uint16_t {
  kReceiveOk = 0,
  kNoHeader = 0xFFF0,        // bytes came but no valid header in time, or more than 1000 dropped
  kBodyIncomplete = 0xFFF1,  // a header came but not the whole body in time
  kReadStatus = 0xFFF2,      // the read returned a failure status
  kReadShort = 0xFFF3,       // the read delivered fewer bytes than asked
  kBadLength = 0xFFF4,       // header length 0 or above 512
  kBadBodyCheck = 0xFFF5,    // body check failed
  kQueueStatus = 0xFFF6,     // queue status could not be read
};

}  // namespace recorder
