#include "emulator/reply_frame.h"

namespace emulator {

void AppendReply(std::vector<uint8_t>& out, uint8_t type, uint8_t code, const uint8_t* body, size_t count,
                 const ReplyFault& fault) {
  const unsigned length =
      fault.lengthField >= 0 ? static_cast<unsigned>(fault.lengthField) : static_cast<unsigned>(count);
  uint8_t header[6] = {
      0x55, type, static_cast<uint8_t>(length & 0xFF), static_cast<uint8_t>(length >> 8 & 0xFF), code, 0};
  unsigned sum = 0;
  for (int i = 0; i < 5; ++i) sum += header[i];
  header[5] = static_cast<uint8_t>(0u - sum);
  if (fault.badHeaderCheck) header[5] ^= 0x01;
  out.insert(out.end(), header, header + 6);

  const size_t sent = fault.truncateBody >= 0 && static_cast<size_t>(fault.truncateBody) < count
                          ? static_cast<size_t>(fault.truncateBody)
                          : count;
  out.insert(out.end(), body, body + sent);
  if (fault.truncateBody >= 0) return;  // cut short: no check byte either
  unsigned bodySum = 0;
  for (size_t i = 0; i < count; ++i) bodySum += body[i];
  uint8_t check = static_cast<uint8_t>(0u - bodySum);
  if (fault.badBodyCheck) check ^= 0x80;
  out.push_back(check);
}

}  // namespace emulator
