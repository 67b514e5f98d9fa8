#include "toolkit/parse_number.h"

#include <cmath>
#include <cstdint>

namespace toolkit {

double ParseNumber(std::string_view text) {
  size_t limit = 9;
  uint32_t a = 0;  // at most 9 digits are taken, so this never overflows
  double sign = 1.0;
  bool separatorSeen = false;
  double divisor = 1.0;
  double result = 0.0;
  double bias = 0.0;
  for (size_t p = 0; p < text.size(); ++p) {
    const char c = text[p];
    if (c >= '0' && c <= '9' && p < limit) {
      if (separatorSeen) divisor *= 10.0;
      bias = 1e-10;
      a = a * 10 + static_cast<uint32_t>(c - '0');
      result = (a / divisor + bias) * sign;
      if (std::fabs(result) < 1.1e-10) result = 0.0;
    } else if ((c == '.' || c == ',') && !separatorSeen) {
      separatorSeen = true;
      limit = 10;
    } else if (c == '-' && sign > 0) {
      sign = -1.0;
      limit = 10;
    } else if (c == ' ' || c == '+') {
      limit = 10;
    } else {
      break;
    }
  }
  return result;
}

}  // namespace toolkit
