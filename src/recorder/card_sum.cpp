#include "recorder/card_sum.h"

namespace recorder {

uint8_t CardSum(std::span<const uint8_t> bytes, uint8_t seed) {
  uint8_t sum = seed;
  for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
  return sum;
}

}  // namespace recorder
