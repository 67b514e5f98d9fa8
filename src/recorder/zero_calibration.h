#pragma once
// The zero calibration's arithmetic: the per-channel sums of the transmitted blocks, shared between the
// summing thread and the editor's progress timer under one lock; the offsets stored into, or reset in,
// the setup block; the progress lines.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "recorder/setup_block.h"
#include "recorder/status_block.h"

namespace recorder {

// CalState values.
inline constexpr int kCalRunning = 0;
inline constexpr int kCalNoData = 1;
inline constexpr int kCalEnough = 3;
inline constexpr int kCalStopped = 666;

inline constexpr uint32_t kCalSilenceMs = 30'000;
inline constexpr double kCalMostRounds = 999'999;
// The first blocks after the switch to transmission are only counted.
inline constexpr double kCalSkippedBlocks = 2;

struct CalSnapshot {
  int State = kCalRunning;
  double Sums[8] = {};        // sum of (value - 0x800000) per channel
  uint64_t Counts[8] = {};    // values summed per channel
  double Rounds = 0;          // complete channel rounds
  double Blocks = 0;          // good blocks received
  double Channels = 0;        // channels of the last block + 0.001
  double Values = 0;          // values of the last block x 3 - 1
  double Time = 0;            // date-time of the last block (days since 1899-12-30)
  uint16_t LastSerial = 0;    // serial number of the last block summed

  // Mean of channel c; false when nothing was summed for it.
  bool Mean(int c, double& mean) const;
};

// Adds a received block (the 513-byte body of a data reply) to the sums. Only a data page with a good
// header counts: header sum, channels at most `maxChannelsMinus1` (the status) and 8, 1..165 values.
// The first two good blocks are only counted. False when the block was refused.
bool AccumulateBlock(CalSnapshot& sums, const uint8_t* body, size_t count, uint8_t maxChannelsMinus1);

// The values the thread and the editor share.
class CalShared {
 public:
  void Reset();
  CalSnapshot Snapshot() const;
  int State() const;
  // Sets the state only while the calibration runs (a stop request never overwrites an end).
  void End(int state);
  bool Add(const uint8_t* body, size_t count, uint8_t maxChannelsMinus1);

 private:
  mutable std::mutex mutex_;
  CalSnapshot values_;
};

// The last gain-table index whose gain is `gain` (0 when none).
int GainIndex(const StatusBlock& status, uint16_t gain);

// True when `s` holds, for one of the first `channels` channels at its current gain, an offset that is
// not neutral.
bool HasCalibration(const YSTANOV& s, const StatusBlock& status, int channels);

// Writes the means of the channels that were summed into every offset entry 8 g + c whose gain-table
// entry g is the channel's gain; channels without values keep their entries.
void StoreOffsets(YSTANOV& s, const StatusBlock& status, const CalSnapshot& sums, int channels);
// Sets those entries neutral.
void ResetOffsets(YSTANOV& s, const StatusBlock& status, int channels);

struct CalProgress {
  std::vector<std::string> Lines;
  bool ChannelsMatch = true;  // the channel line in black, else red
  bool StoreAllowed = false;  // enough rounds for BB_Cbpoc
};
// The progress list of the editor's timer; `copy` is the block as the editor was shown.
CalProgress CalibrationProgress(const CalSnapshot& sums, const YSTANOV& copy, const StatusBlock& status);

// Channels of the block that the calibration covers (ChannelCode + 1, at most 8).
int CalibratedChannels(const YSTANOV& s);

}  // namespace recorder
