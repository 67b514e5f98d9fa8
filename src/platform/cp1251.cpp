#include "platform/cp1251.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace platform {
namespace {

// One conversion descriptor per direction and thread (a descriptor keeps shift state and must not be
// shared between threads).
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in`; at a byte sequence that cannot be converted, `skip(rest)` tells how many input
  // bytes to drop and `replacement` is written instead.
  template <typename Skip>
  std::string Run(std::string_view in, std::string_view replacement, Skip skip) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    out.reserve(in.size() * 2 + 8);
    char buffer[256];
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    while (srcLeft > 0) {
      char* dst = buffer;
      std::size_t dstLeft = sizeof buffer;
      const std::size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(buffer, static_cast<std::size_t>(dst - buffer));
      if (r != static_cast<std::size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      // EILSEQ, or EINVAL for a sequence cut off at the end of the input.
      const std::size_t n = std::min(srcLeft, std::max<std::size_t>(1, skip(std::string_view(src, srcLeft))));
      src += n;
      srcLeft -= n;
      out.append(replacement);
    }
    return out;
  }

 private:
  iconv_t cd_;
};

Converter& FromCp1251() {
  thread_local Converter c("UTF-8", "CP1251");
  return c;
}

Converter& ToCp1251() {
  thread_local Converter c("CP1251", "UTF-8");
  return c;
}

// Length of the well-formed UTF-8 sequence at the start of `s`, or 1 when it is malformed (an overlong
// form, a surrogate and a code point above U+10FFFF are malformed).
std::size_t Utf8SequenceLength(std::string_view s) {
  const auto lead = static_cast<unsigned char>(s[0]);
  std::size_t n = 1;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  }
  if (n > s.size()) return 1;
  for (std::size_t i = 1; i < n; ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (i == 1 ? b < low || b > high : (b & 0xC0) != 0x80) return 1;
  }
  return n;
}

// True when `s` is well-formed UTF-8 throughout.
bool WellFormedUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      ++i;
    } else if (const std::size_t n = Utf8SequenceLength(s.substr(i)); n > 1) {
      i += n;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string Cp1251ToUtf8(std::string_view cp1251) {
  return FromCp1251().Run(cp1251, "\xEF\xBF\xBD", [](std::string_view) { return std::size_t{1}; });
}

std::string Utf8ToCp1251(std::string_view utf8) { return ToCp1251().Run(utf8, "?", Utf8SequenceLength); }

std::string FieldToUtf8(const char* field, std::size_t size) {
  const void* nul = std::memchr(field, 0, size);
  const std::size_t length = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - field) : size;
  return Cp1251ToUtf8(std::string_view(field, length));
}

bool Utf8ToField(std::string_view utf8, char* field, std::size_t size) {
  // Windows-1251 holds one character a byte, so any cut of the converted text falls between
  // characters.
  const std::string bytes = Utf8ToCp1251(utf8);
  if (size == 0) return bytes.empty();
  const std::size_t n = std::min(bytes.size(), size);
  std::memcpy(field, bytes.data(), n);
  std::memset(field + n, 0, size - n);
  return n == bytes.size();
}

}  // namespace platform

namespace platform {

std::string WithoutControlCharacters(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x20 || b == 0x7F) {
      out.push_back(' ');
    } else if (b == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
      out.push_back(' ');  // U+0080 ... U+009F
      ++i;
    } else {
      out.push_back(static_cast<char>(b));
    }
  }
  return out;
}

std::string FieldToTextLine(const char* field, std::size_t size) {
  return WithoutControlCharacters(FieldToUtf8(field, size));
}

std::string NameToTextLine(std::string_view name) {
  // Each component of a path on its own: a folder named in UTF-8 may hold a file named in Windows-1251.
  std::string text;
  text.reserve(name.size());
  for (std::size_t at = 0; at <= name.size();) {
    const std::size_t end = std::min(name.find('/', at), name.size());
    const std::string_view component = name.substr(at, end - at);
    text += WellFormedUtf8(component) ? std::string(component) : Cp1251ToUtf8(component);
    if (end < name.size()) text += '/';
    at = end + 1;
  }
  return WithoutControlCharacters(text);
}

}  // namespace platform
