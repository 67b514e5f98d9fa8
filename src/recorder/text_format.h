#pragma once
// printf-style formatting into an owned string (C locale numbers, UTF-8 texts).
#include <cstdint>
#include <string>

namespace recorder {

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// " %02X" for each byte: the hex dumps of records and headers.
std::string HexBytes(const uint8_t* bytes, size_t count);

// "dd.mm.yy hh:mm:ss" of a count of seconds since 1899-12-30 00:00:00.
std::string SecondsSince1899Text(int64_t seconds);
// "dd.mm.yy hh:mm:ss" of a recorder time (GPS seconds), without wrapping.
inline std::string GpsSecondsText(uint32_t gpsSeconds) {
  return SecondsSince1899Text(int64_t{gpsSeconds} + 2'525'126'400);
}

}  // namespace recorder
