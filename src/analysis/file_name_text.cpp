#include "analysis/file_name_text.h"

#include "platform/cp1251.h"

namespace analysis {

namespace {

// Windows-1251 letters: Ё (0xA8), ё (0xB8), Є Ї І і є ї ґ Ґ and the block А ... я (0xC0 ... 0xFF).
bool Cp1251Letter(unsigned char c) {
  if (c >= 0xC0) return true;
  switch (c) {
    case 0xA8: case 0xB8: case 0xAA: case 0xBA: case 0xAF: case 0xBF:
    case 0xB2: case 0xB3: case 0xA5: case 0xB4: case 0xA1: case 0xA2:
      return true;
    default:
      return false;
  }
}

bool AsciiNameChar(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' || c == '_';
}

}  // namespace

std::string SafeNamePart(std::string_view cp1251, size_t chars) {
  std::string out;
  for (size_t i = 0; i < cp1251.size() && i < chars; ++i) {
    const auto c = static_cast<unsigned char>(cp1251[i]);
    if (c < 0x80) {
      out.push_back(AsciiNameChar(c) ? static_cast<char>(c) : '_');
    } else if (Cp1251Letter(c)) {
      out += platform::Cp1251ToUtf8(cp1251.substr(i, 1));
    } else {
      out.push_back('_');
    }
  }
  return out;
}

}  // namespace analysis
