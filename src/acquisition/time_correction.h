#pragma once
// The time-correction check before a download: the synchronisation points around the first chosen file,
// the recorder clock's relative drift between the one before the file and the one after it, the start
// corrected by that drift, the verdict, and the texts of the check's window and work-log lines.
// Times are seconds since 1899-12-30 in 64 bits (no wrap in 2036).
#include <cstdint>
#include <string>
#include <vector>

#include "recorder/file_entry.h"

namespace acquisition {

struct TimeCorrectionInput {
  recorder::FileEntry File;
  const std::vector<int64_t>* SyncTimes = nullptr;
  const std::vector<double>* SyncTable = nullptr;
  const std::vector<uint8_t>* SyncKinds = nullptr;
  uint32_t GpsInterval = 0;  // seconds
  uint32_t SampleClock = 0;  // Hz
};

// The most lines the list of synchronisation points shows.
inline constexpr size_t kCorrectionListLines = 5000;

struct TimeCorrection {
  long double Start = 0;  // corrected start of the file
  bool HasEnd = false;    // false: the file's channels or the sample clock are 0
  double End = 0;
  int32_t First = 0;
  int32_t Second = 0;
  int64_t SyncBase = 0;  // the synchronisation before the file + the GPS interval
  bool HasDrift = false;  // false: fewer than two usable points or no interval between them
  double DriftRate = 0;
  double DriftInterval = 0;  // seconds
  long double ExactStart = 0;
  bool Good = false;  // the file lies between two consecutive synchronisations

  // The texts of the window.
  std::string Label1, Label2, Label3, Label4, Label8, Label9, Label10;
  std::string E_n, E_k, E_dt_n, E_dt_k;
  std::vector<std::string> Lines;
};

// The check as the window opens.
TimeCorrection ComputeTimeCorrection(const TimeCorrectionInput& in);

// Keys that move the two points: 187/189 move the first by +1/-1, 107/109 the second. Returns true
// when `c` changed (and was recomputed).
bool MoveSyncPoint(const TimeCorrectionInput& in, TimeCorrection& c, int keyCode);

// The work-log lines of "O'k": the start and end, then the points used or the doubt.
std::vector<std::string> TimeCorrectionLogLines(const TimeCorrectionInput& in, const TimeCorrection& c);

}  // namespace acquisition
