#pragma once
// What a data page says of itself: its block serial (each block the previous + 1), its time and the
// recording parameters of its header. A download files a page under the card page number these give,
// counted from a page already filed, rather than by its place in the stream, which a line that loses or
// repeats frames makes unsure.
#include <array>
#include <cstdint>
#include <optional>

#include "recorder/file_entry.h"

namespace acquisition {

struct PageIdentity {
  bool Valid = false;
  uint32_t Page = 0;  // the card page it was filed under
  uint16_t Serial = 0;
  int64_t Time = 0;                     // sample-clock ticks since 1899-12-30
  uint32_t Span = 0;                    // ticks a page covers
  std::array<uint8_t, 6> Parameters{};  // header bytes 1, 10, 11, 12, 13, 14
};

// The identity of the data page `page` (header already checked) filed as card page `number`.
PageIdentity IdentityOf(const uint8_t* page, uint32_t number, uint32_t sampleClock);

// The card page the data page `page` is by its own header, counted from `anchor`: its serial and its
// time must both say the same distance (and its parameters be the anchor's); nullopt when they do not.
std::optional<int64_t> PageByHeader(const PageIdentity& anchor, const uint8_t* page, uint32_t sampleClock);

// True when card page `p` may hold the data page `page` by the FAT rows `rows` (FatFiles): no file's
// setup page lies at `p`, and a page naming file n lies within FAT row n - 1. Rows that are empty say
// nothing.
template <size_t N>
bool DataPageFitsRows(const std::array<recorder::FileEntry, N>& rows, uint32_t p, const uint8_t* page);

bool RowKnown(const recorder::FileEntry& row);
// Card page `p` is the setup page of one of `rows`.
template <size_t N>
bool SetupPageOfRows(const std::array<recorder::FileEntry, N>& rows, uint32_t p) {
  for (const recorder::FileEntry& r : rows)
    if (RowKnown(r) && r.BeginPage == p) return true;
  return false;
}

template <size_t N>
bool DataPageFitsRows(const std::array<recorder::FileEntry, N>& rows, uint32_t p, const uint8_t* page) {
  if (SetupPageOfRows(rows, p)) return false;
  const unsigned file = page[10];
  if (file == 0 || file > N || !RowKnown(rows[file - 1])) return true;
  const recorder::FileEntry& row = rows[file - 1];
  return p > row.BeginPage && p <= row.EndPage;
}

}  // namespace acquisition
