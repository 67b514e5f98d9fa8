#include "recorder/card_sum.h"

#include "toolkit/format_text.h"

namespace recorder {

uint8_t CardSum(std::span<const uint8_t> bytes, uint8_t seed) {
  uint8_t sum = seed;
  for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
  return sum;
}

std::string HexBytes(std::span<const uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() * 3);
  for (uint8_t b : bytes) out += toolkit::FormatText(" %02X", b);
  return out;
}

}  // namespace recorder
