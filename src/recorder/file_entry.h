#pragma once
// One row of the main window's tables of recorded files (the FAT list) and of files chosen for download.
// FAT row n (counted from 1, as the grid shows it) is the recorder's file number n.
#include <cstddef>
#include <cstdint>

namespace recorder {

struct FileEntry {
  uint32_t BeginPage = 0;  // first card page
  uint32_t EndPage = 0;    // last card page; FCmax x 4000 + 1 while the file is open
  uint32_t StartTime = 0;  // GPS seconds
  uint32_t EndTime = 0;    // GPS seconds
  uint32_t DriftTime = 0;  // recorder time of the last drift record before the file was closed
  uint8_t Channels = 0;
  uint8_t Decimation = 0;
  uint8_t KindBits = 0;         // high nibble of the start record's kind byte (kind >> 4)
  uint8_t ClosedByProgram = 0;  // 1: no end record closed the file
  double Latitude = 0;          // degrees
  double Longitude = 0;         // degrees
  double Altitude = 0;
  long double Correction = 0;  // GPS minus recorder time, s, from the synchronisation after the file
};

// The row is 64 bytes with the extended (80-bit) correction in a 16-byte slot.
static_assert(sizeof(long double) == 16, "the correction is an x87 extended value");
static_assert(sizeof(FileEntry) == 64);
static_assert(offsetof(FileEntry, BeginPage) == 0);
static_assert(offsetof(FileEntry, EndPage) == 4);
static_assert(offsetof(FileEntry, StartTime) == 8);
static_assert(offsetof(FileEntry, EndTime) == 12);
static_assert(offsetof(FileEntry, DriftTime) == 16);
static_assert(offsetof(FileEntry, Channels) == 20);
static_assert(offsetof(FileEntry, Decimation) == 21);
static_assert(offsetof(FileEntry, KindBits) == 22);
static_assert(offsetof(FileEntry, ClosedByProgram) == 23);
static_assert(offsetof(FileEntry, Latitude) == 24);
static_assert(offsetof(FileEntry, Longitude) == 32);
static_assert(offsetof(FileEntry, Altitude) == 40);
static_assert(offsetof(FileEntry, Correction) == 48);

}  // namespace recorder
