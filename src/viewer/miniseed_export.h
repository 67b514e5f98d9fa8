#pragma once
// The MiniSEED export of the record in memory ("сохранить" -> "miniseed"): the channels go through
// MiniSEEDCoder, one file per channel and day, into the folder "Seed_files" of the data directory.
#include <cstdint>
#include <string>

#include "toolkit/setup_record.h"

namespace viewer {

class ChannelSamples;

// The writer's time mark of a record starting at `startTicks` (1/256 us since 1980-01-01) sampled at
// `rate`: whole seconds since 1970, the index of the first whole sample period at or before the start,
// and the exact start in ticks after the whole second. Integer arithmetic throughout.
struct SeedTimeMark {
  int64_t seconds = 0;
  uint32_t index = 0;
  int64_t ticks = 0;
};
SeedTimeMark MiniSeedTimeMark(int64_t startTicks, uint32_t rate);

// A float sample as the count the export writes: rounded half away from zero. The sum is taken in
// double, where it is exact for every float the export accepts (|v| < 2^30); in float it would round
// 2^23 + 1 up to 2^23 + 2. The caller has refused values that are not numbers or out of that range.
inline int32_t SeedCount(float v) {
  const double d = v;
  return static_cast<int32_t>(d >= 0 ? d + 0.5 : d - 0.5);
}

// The folder the export writes to.
std::string MiniSeedDir(const toolkit::SetupRecord& s);

// Writes SetupRecord.Samples frames of SetupRecord.ChannelCount channels (`channels`[c] holds channel c)
// into `outputDir`, named after the channels in memory (SetupRecord.MemChannels). Empty on success,
// else the message to show; nothing is left written after a failure. A sample that is not a number or
// too large for Steim-1 (|x| >= 2^30) refuses the export, naming the channel.
std::string ExportMiniSeed(const toolkit::SetupRecord& s, const float* const* channels,
                           const std::string& outputDir);
// The same from the channel arrays in memory into MiniSeedDir(s).
std::string ExportMiniSeed(const toolkit::SetupRecord& s, const ChannelSamples& samples);

}  // namespace viewer
