#pragma once
// Byte-level images of recording file headers, built from the layout table field by field
// (little-endian), independent of the project's structs and writers.
#include <bit>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "support/fixture_file.h"

namespace toolkit_test {

class Bytes {
 public:
  explicit Bytes(size_t size) : b_(size, 0) {}
  Bytes& U16(size_t at, uint16_t v) { return Le(at, v, 2); }
  Bytes& I16(size_t at, int16_t v) { return Le(at, static_cast<uint16_t>(v), 2); }
  Bytes& I64(size_t at, int64_t v) { return Le(at, static_cast<uint64_t>(v), 8); }
  Bytes& F64(size_t at, double v) { return Le(at, std::bit_cast<uint64_t>(v), 8); }
  Bytes& Text(size_t at, std::string_view s) {
    for (size_t i = 0; i < s.size(); ++i) b_.at(at + i) = static_cast<uint8_t>(s[i]);
    return *this;
  }
  uint16_t GetU16(size_t at) const { return static_cast<uint16_t>(b_.at(at) | b_.at(at + 1) << 8); }
  uint64_t GetU64(size_t at) const {
    uint64_t v = 0;
    for (size_t i = 0; i < 8; ++i) v |= uint64_t{b_.at(at + i)} << (8 * i);
    return v;
  }
  double GetF64(size_t at) const { return std::bit_cast<double>(GetU64(at)); }
  const std::vector<uint8_t>& data() const { return b_; }
  void Append(const Bytes& other) { b_.insert(b_.end(), other.b_.begin(), other.b_.end()); }

 private:
  Bytes& Le(size_t at, uint64_t v, size_t n) {
    for (size_t i = 0; i < n; ++i) b_.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
    return *this;
  }
  std::vector<uint8_t> b_;
};

// Main header offsets: Channels 0, Format 4, Day 6, Month 8, Year 10, Synced 16, Bits 18, Rate 22,
// Mark1 24, Mark2 26, Station 32 (16 bytes), dt 48, to 56, SyncDt 64, Latitude 72, Longitude 80,
// StartTicks 104; 120 bytes in all.
inline Bytes MainHeaderBytes(uint16_t channels, uint16_t format, uint16_t rate, int64_t startTicks) {
  Bytes h(120);
  h.U16(0, channels).U16(4, format).U16(12, 12).I16(18, 24).U16(22, rate).U16(24, 0x5566).U16(26, 0x7788);
  h.F64(48, rate != 0 ? 1.0 / rate : 0.0).I64(104, startTicks);
  return h;
}

// An older-layout main header: the date, Bits, dt and to are what counts.
inline Bytes OlderMainHeaderBytes(uint16_t format, uint16_t year, uint16_t month, uint16_t day, double dt,
                                  double to) {
  Bytes h(120);
  h.U16(0, 3).U16(4, format).U16(6, day).U16(8, month).U16(10, year).I16(18, 24).F64(48, dt).F64(56, to);
  return h;
}

// Channel header offsets: Number 0, marks 2/4/6, Name 8 (24 bytes), tip 32 (24 bytes), Coef 56,
// Coef2 64; 72 bytes in all.
inline Bytes ChannelHeaderBytes(uint16_t number, std::string_view name, double coef) {
  Bytes c(72);
  c.U16(0, number).U16(2, 0x1111).U16(4, 0x2222).U16(6, 0x3333).Text(8, name).Text(32, "t_d");
  c.F64(56, coef).F64(64, 1.0);
  return c;
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  support::RequireFixture(f != nullptr, path);
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  support::RequireFixture((std::fclose(f) == 0) & written, path);
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::vector<uint8_t> out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return out;
  for (int c; (c = std::fgetc(f)) != EOF;) out.push_back(static_cast<uint8_t>(c));
  std::fclose(f);
  return out;
}

}  // namespace toolkit_test
