#pragma once
// What a FAT reading leaves for the main window, the time-correction dialog and the download: the file
// rows and the synchronisation points. The main window holds one and keeps it until the next reading.
#include <array>
#include <cstdint>
#include <vector>

#include "recorder/file_entry.h"

namespace recorder {

inline constexpr unsigned kFatFileRows = 256;
inline constexpr uint32_t kSyncTableCapacity = 65'500;

// Kinds of a synchronisation point.
inline constexpr uint8_t kSyncKindDrift = 0;  // value in microseconds
inline constexpr uint8_t kSyncKindSync = 1;   // value = GPS minus recorder time, seconds

struct FatTable {
  // FatFiles[i] is FAT row i + 1, the recorder's file number i + 1; rows from FatCount on are empty.
  std::array<FileEntry, kFatFileRows> FatFiles{};
  uint16_t FatCount = 0;

  // The synchronisation points, in FAT order, SyncCount() entries of each (at most 65,500).
  std::vector<int64_t> SyncTimes;   // reference time in seconds since 1899-12-30
  std::vector<double> SyncTable;    // the value (see SyncKinds)
  std::vector<uint8_t> SyncKinds;   // kSyncKindSync or kSyncKindDrift

  // The recorder's ticks per second (TikInSek + 1); set by the main window at start-up.
  uint32_t DriftScale = 1;

  uint32_t SyncCount() const { return static_cast<uint32_t>(SyncTimes.size()); }
  // Clears the rows and the synchronisation points (DriftScale stays).
  void Clear();
  // Appends a point while the table has room; false when it is full.
  bool AddSyncPoint(uint32_t referenceGpsSeconds, double value, uint8_t kind);
};

}  // namespace recorder
