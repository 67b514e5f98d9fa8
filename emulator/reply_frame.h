#pragma once
// The recorder's replies: a 6-byte header (0x55, type, body length N little-endian, code, a check that
// makes the six bytes sum to 0), the N body bytes and a check byte that makes the body sum to 0. The
// faults let tests send replies the PC must refuse.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace emulator {

struct ReplyFault {
  bool badHeaderCheck = false;
  bool badBodyCheck = false;
  // Length written into the header instead of the body's size (-1: the true size).
  int lengthField = -1;
  // Send only this many body bytes and no check byte (-1: the whole body).
  int truncateBody = -1;
};

// Appends the reply's bytes to `out`.
void AppendReply(std::vector<uint8_t>& out, uint8_t type, uint8_t code, const uint8_t* body, size_t count,
                 const ReplyFault& fault = {});

}  // namespace emulator
