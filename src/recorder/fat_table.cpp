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
  // 64-bit: the sum passes 2^32 on 2036-02-05 and must not wrap.
  SyncTimes.push_back(int64_t{referenceGpsSeconds} + kUnitEpochFrom1899);
  SyncTable.push_back(value);
  SyncKinds.push_back(kind);
  return true;
}

}  // namespace recorder
