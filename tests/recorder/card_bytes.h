#pragma once
// Byte-level builders of the recorder's FAT records, FAT pages and data pages, written from the layout
// tables alone (offsets and check rules), so that they cannot share a mistake with the decoders.
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace card_bytes {

using Record = std::array<uint8_t, 16>;
using Page = std::array<uint8_t, 512>;

inline void Put16(uint8_t* at, uint32_t v) {
  at[0] = static_cast<uint8_t>(v);
  at[1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(uint8_t* at, uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutFloat(uint8_t* at, float f) {
  uint32_t v;
  std::memcpy(&v, &f, 4);
  Put32(at, v);
}
inline uint8_t SumOf(const uint8_t* p, size_t n, uint8_t seed) {
  unsigned s = seed;
  for (size_t i = 0; i < n; ++i) s += p[i];
  return static_cast<uint8_t>(s);
}
// Sets byte `fix` so that seed + the sum of bytes [0, n) is 0 modulo 256.
inline void FixSum(uint8_t* p, size_t n, size_t fix, uint8_t seed) {
  p[fix] = 0;
  p[fix] = static_cast<uint8_t>(0u - SumOf(p, n, seed));
}

// Records; byte 15 is free in every kind and carries the check (fixed when the record is placed).
inline Record Pointer(uint8_t kind, uint8_t number, uint32_t page, uint16_t fatPage, uint8_t flags,
                      uint32_t time) {
  Record r{};
  r[0] = kind;
  r[1] = number;
  Put32(&r[2], page);
  Put16(&r[6], fatPage);
  r[8] = flags;
  Put32(&r[11], time);
  return r;
}
inline Record PowerOn(uint8_t files, uint32_t page, uint32_t time) {
  return Pointer(7, files, page, 0x1000, 0, time);
}
inline Record Button(uint8_t files, uint32_t page, uint32_t time) {
  return Pointer(3, files, page, 0x1000, 0, time);
}

// kind: 0x01 start or 0x02 end, with kind bits in the high nibble.
inline Record FileRecord(uint8_t kind, uint8_t number, uint32_t page, uint8_t channels, uint8_t h7,
                         uint8_t h8, uint32_t time) {
  Record r{};
  r[0] = kind;
  r[1] = number;
  Put32(&r[2], page);
  r[6] = static_cast<uint8_t>(channels - 1);
  r[7] = static_cast<uint8_t>(h7 << 4 | 0x05);  // low nibbles are not part of the decimation
  r[8] = static_cast<uint8_t>(h8 << 4 | 0x0A);
  Put32(&r[9], time);
  return r;
}
inline Record Sync(uint32_t ticks, uint32_t unitTime, uint32_t gpsTime) {
  Record r{};
  r[0] = 4;
  Put32(&r[1], ticks);
  Put32(&r[5], unitTime);
  Put32(&r[9], gpsTime);
  return r;
}
inline Record Drift(int32_t difference, uint32_t unitTime, uint32_t referenceTime, uint16_t count) {
  Record r{};
  r[0] = 5;
  Put32(&r[1], static_cast<uint32_t>(difference));
  Put32(&r[5], unitTime);
  Put32(&r[9], referenceTime);
  Put16(&r[13], count);
  return r;
}
inline Record Position(float altitude, float lonRad, float latRad, uint16_t correction) {
  Record r{};
  r[0] = 6;
  PutFloat(&r[1], altitude);
  PutFloat(&r[5], lonRad);
  PutFloat(&r[9], latRad);
  Put16(&r[13], correction);
  return r;
}
inline Record Supply(uint8_t a, uint8_t b, uint16_t v1, uint16_t v2, uint32_t page, uint32_t time) {
  Record r{};
  r[0] = 8;
  r[1] = a;
  r[2] = b;
  Put16(&r[3], v1);
  Put16(&r[5], v2);
  Put32(&r[7], page);
  Put32(&r[11], time);
  return r;
}

// Places a record at slot `slot` of a page with its check (0x9D; 0x9A for slot 31).
inline void Place(Page& page, size_t slot, Record r) {
  FixSum(r.data(), 16, 15, slot == 31 ? 0x9A : 0x9D);
  std::memcpy(page.data() + slot * 16, r.data(), 16);
}

// FAT pages: a page pointer in slot 0, then the records 31 to a page; the pages after the last are
// erased (0xFF) up to `totalPages`.
inline std::vector<Page> FatPages(const std::vector<Record>& records, uint32_t firstCardPage,
                                  size_t totalPages, uint32_t dataPage = 0x4000) {
  std::vector<Page> pages;
  size_t next = 0;
  do {
    Page p{};
    const auto index = static_cast<uint32_t>(pages.size());
    Place(p, 0,
          Pointer(0x63, 1, dataPage, static_cast<uint16_t>(firstCardPage + index), 0x5A, 1'394'541'000));
    for (size_t slot = 1; slot < 32 && next < records.size(); ++slot) Place(p, slot, records[next++]);
    pages.push_back(p);
  } while (next < records.size());
  while (pages.size() < totalPages) {
    Page erased;
    erased.fill(0xFF);
    pages.push_back(erased);
  }
  return pages;
}

// A data page: header by offsets, 3-byte offset-binary samples from byte 16, the header summed to 0 with
// 0x9D (byte 15) and the whole page likewise (byte 511).
struct DataPageSpec {
  uint8_t Mark = 0x41;
  uint8_t Channels = 3;
  uint16_t Position = 0;
  uint32_t Second = 0;
  uint16_t Serial = 0;
  uint8_t File = 1;
  uint8_t Values = 150;
  uint8_t H12 = 0, H13 = 0;
  uint8_t Mask = 0x77;  // byte 14, not interpreted
};
inline Page DataPage(const DataPageSpec& s, int32_t firstSample = 0) {
  Page p{};
  p[0] = s.Mark;
  p[1] = static_cast<uint8_t>(s.Channels - 1);
  Put16(&p[2], s.Position);
  Put32(&p[4], s.Second);
  Put16(&p[8], s.Serial);
  p[10] = s.File;
  p[11] = s.Values;
  p[12] = static_cast<uint8_t>(s.H12 << 4);
  p[13] = static_cast<uint8_t>(s.H13 << 4);
  p[14] = s.Mask;
  for (unsigned i = 0; i < s.Values && 16 + 3 * i + 2 < 511; ++i) {
    const uint32_t v = static_cast<uint32_t>(firstSample + static_cast<int32_t>(i)) + 0x800000u;
    p[16 + 3 * i] = static_cast<uint8_t>(v);
    p[17 + 3 * i] = static_cast<uint8_t>(v >> 8);
    p[18 + 3 * i] = static_cast<uint8_t>(v >> 16);
  }
  FixSum(p.data(), 16, 15, 0x9D);
  p[511] = 0;
  p[511] = static_cast<uint8_t>(0u - SumOf(p.data() + 16, 496, 0));
  return p;
}

// A setup copy page: 'd', channels - 1 in byte 1, the rate at 12, summed like every page.
inline Page SetupCopy(uint8_t channels, uint16_t rate) {
  Page p{};
  p[0] = 0x64;
  p[1] = static_cast<uint8_t>(channels - 1);
  Put16(&p[12], rate);
  FixSum(p.data(), 512, 511, 0x9D);
  return p;
}

}  // namespace card_bytes
