#include "recorder/fat_table.h"

#include "recorder/recorder_time.h"

namespace recorder {

void FatTable::Clear() {
  FatFiles.fill(FileEntry{});
  FatCount = 0;
  SyncTimes.clear();
  SyncTable.clear();
  SyncKinds.clear();
}

bool FatTable::AddSyncPoint(uint32_t referenceGpsSeconds, double value, uint8_t kind) {
  if (SyncCount() >= kSyncTableCapacity) return false;
  SyncTimes.push_back(referenceGpsSeconds +
                      static_cast<uint32_t>(kUnitEpochFrom1899));  // wraps modulo 2^32 by design
  SyncTable.push_back(value);
  SyncKinds.push_back(kind);
  return true;
}

}  // namespace recorder
