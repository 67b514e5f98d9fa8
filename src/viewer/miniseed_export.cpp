#include "viewer/miniseed_export.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "toolkit/civil_date.h"
#include "toolkit/format_text.h"
#include "toolkit/miniseed_coder.h"
#include "toolkit/recording_chooser.h"
#include "viewer/channel_samples.h"

namespace viewer {

namespace {
constexpr int64_t kSeconds1970To1980 = (toolkit::kDay1980 - toolkit::kDayUnixEpoch) * toolkit::kSecondsPerDay;
static_assert(kSeconds1970To1980 == 315'532'800);
constexpr float kLimit = static_cast<float>(toolkit::MiniSEEDCoder::kSampleLimit);
}  // namespace

SeedTimeMark MiniSeedTimeMark(int64_t startTicks, uint32_t rate) {
  SeedTimeMark mark;
  mark.seconds = toolkit::FloorDiv(startTicks, toolkit::kTicksPerSecond) + kSeconds1970To1980;
  mark.ticks = toolkit::FloorMod(startTicks, toolkit::kTicksPerSecond);
  mark.index = static_cast<uint32_t>(mark.ticks * int64_t{rate} / toolkit::kTicksPerSecond);
  return mark;
}

std::string MiniSeedDir(const toolkit::SetupRecord& s) {
  return toolkit::JoinPath(toolkit::FieldText(s.DataDir), "Seed_files");
}

std::string ExportMiniSeed(const toolkit::SetupRecord& s, const float* const* channels,
                           const std::string& outputDir) {
  const int n = s.ChannelCount;
  const uint32_t rate = s.Header.Rate;
  if (n < 1 || n > toolkit::kMaxChannels) return toolkit::FormatText("miniseed: в памяти %d каналов", n);
  if (rate == 0) return "miniseed: частота записи 0";
  for (int c = 0; c < n; ++c)
    if (channels[c] == nullptr) return toolkit::FormatText("miniseed: канал %d не загружен", c);

  toolkit::MiniSEEDCoder coder;
  coder.SetChannelCount(n);
  for (int c = 0; c < n; ++c) coder.SetChannelName(c, toolkit::FieldText(s.MemChannels[c].Name));
  coder.SetSampleRate(rate);
  coder.SetStation(toolkit::FieldText(s.Header.Station));
  coder.SetPeriod(86400);
  coder.SetPosition(static_cast<float>(s.Header.Latitude * std::numbers::pi / 180),
                    static_cast<float>(s.Header.Longitude * std::numbers::pi / 180));
  coder.SetOutputDir(outputDir);
  const SeedTimeMark mark = MiniSeedTimeMark(s.Header.StartTicks, rate);
  coder.SetTimeMark(mark.seconds, mark.index, mark.ticks);
  if (!coder.Open()) return coder.Error();
  // Samples are converted a block at a time, each channel's floats read in order.
  constexpr uint32_t kBlock = 4096;
  std::vector<int32_t> block(size_t{kBlock} * static_cast<size_t>(n));
  const int32_t* columns[toolkit::kMaxChannels];
  for (int c = 0; c < n; ++c) columns[c] = block.data() + size_t{kBlock} * static_cast<size_t>(c);
  for (uint32_t first = 0; first < s.Samples; first += kBlock) {
    const uint32_t count = std::min(kBlock, s.Samples - first);
    for (int c = 0; c < n; ++c) {
      const float* from = channels[c] + first;
      int32_t* to = block.data() + size_t{kBlock} * static_cast<size_t>(c);
      for (uint32_t i = 0; i < count; ++i) {
        const float v = from[i];
        // NaN fails both comparisons.
        if (!(v > -kLimit && v < kLimit)) {
          coder.Abort(toolkit::FormatText(
              "miniseed: канал %d, отсчёт %u: значение %g не записать (допустимо |x| < 2^30)", c, first + i,
              static_cast<double>(v)));
          return coder.Error();
        }
        to[i] = SeedCount(v);
      }
    }
    if (!coder.AddColumns(columns, count)) return coder.Error();
  }
  if (!coder.Close()) return coder.Error();
  return {};
}

std::string ExportMiniSeed(const toolkit::SetupRecord& s, const ChannelSamples& samples) {
  const float* channels[toolkit::kMaxChannels] = {};
  for (int c = 0; c < toolkit::kMaxChannels; ++c) {
    const size_t i = static_cast<size_t>(c);
    if (c < s.ChannelCount && samples.Capacity(i) < s.Samples)
      return toolkit::FormatText("miniseed: канал %d не загружен", c);
    channels[c] = samples[i];
  }
  return ExportMiniSeed(s, channels, MiniSeedDir(s));
}

}  // namespace viewer
