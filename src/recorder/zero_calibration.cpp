#include "recorder/zero_calibration.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "recorder/card_page.h"
#include "recorder/card_sum.h"
#include "recorder/recorder_time.h"
#include "toolkit/format_text.h"

namespace recorder {
namespace {

constexpr size_t kBlockCount = 513;
uint32_t Neutral(int c) { return (static_cast<uint32_t>(c) << 24) + kSampleZero; }

}  // namespace

bool CalSnapshot::Mean(int c, double& mean) const {
  if (c < 0 || c >= 8 || Counts[c] == 0) return false;
  mean = Sums[c] / static_cast<double>(Counts[c]);
  return true;
}

bool AccumulateBlock(CalSnapshot& sums, const uint8_t* body, size_t count, uint8_t maxChannelsMinus1) {
  if (count != kBlockCount) return false;
  const std::span<const uint8_t> header(body, kCardPageHeaderSize);
  if (body[0] == 'c' || body[0] == kSetupCopyMark || CardSum(header) != 0) return false;
  const unsigned channelsMinus1 = body[1];
  const unsigned values = body[11];
  if (channelsMinus1 > maxChannelsMinus1 || channelsMinus1 >= kMaxPageChannels || values == 0 ||
      values > kMaxPageValues)
    return false;
  sums.Blocks += 1;
  if (sums.Blocks <= kCalSkippedBlocks) return true;
  const unsigned channels = channelsMinus1 + 1;
  sums.Channels = channels + 0.001;
  sums.Values = values * 3.0 - 1;
  const uint32_t second = static_cast<uint32_t>(body[4]) | static_cast<uint32_t>(body[5]) << 8 |
                          static_cast<uint32_t>(body[6]) << 16 | static_cast<uint32_t>(body[7]) << 24;
  sums.Time = (static_cast<double>(second) + kUnitEpochFrom1899) / kSecondsPerDay;
  sums.LastSerial = static_cast<uint16_t>(body[8] | body[9] << 8);
  unsigned c = 0;
  for (unsigned i = 0; i < values; ++i) {
    const uint8_t* v = body + kCardPageHeaderSize + kSampleBytes * i;
    const int32_t value = static_cast<int32_t>(v[0] | v[1] << 8 | v[2] << 16) - static_cast<int32_t>(kSampleZero);
    sums.Sums[c] += value;
    ++sums.Counts[c];
    if (++c == channels) {
      c = 0;
      sums.Rounds += 1;
    }
  }
  return true;
}

void CalShared::Reset() {
  std::lock_guard lock(mutex_);
  values_ = CalSnapshot{};
}

CalSnapshot CalShared::Snapshot() const {
  std::lock_guard lock(mutex_);
  return values_;
}

int CalShared::State() const {
  std::lock_guard lock(mutex_);
  return values_.State;
}

void CalShared::End(int state) {
  std::lock_guard lock(mutex_);
  if (values_.State == kCalRunning) values_.State = state;
}

bool CalShared::Add(const uint8_t* body, size_t count, uint8_t maxChannelsMinus1) {
  std::lock_guard lock(mutex_);
  const bool good = AccumulateBlock(values_, body, count, maxChannelsMinus1);
  if (values_.Rounds > kCalMostRounds && values_.State == kCalRunning) values_.State = kCalEnough;
  return good;
}

int GainIndex(const StatusBlock& status, uint16_t gain) {
  int index = 0;
  for (int g = 0; g < 8; ++g)
    if (status.K_yc[g] == gain) index = g;
  return index;
}

int CalibratedChannels(const YSTANOV& s) { return std::min(s.ChannelCode + 1, 8); }

bool HasCalibration(const YSTANOV& s, const StatusBlock& status, int channels) {
  for (int c = 0; c < std::min(channels, 8); ++c)
    for (int g = 0; g < 8; ++g)
      if (status.K_yc[g] == s.K_yc[c] && s.ZeroOffsets[8 * g + c] != Neutral(c)) return true;
  return false;
}

void StoreOffsets(YSTANOV& s, const StatusBlock& status, const CalSnapshot& sums, int channels) {
  for (int c = 0; c < std::min(channels, 8); ++c) {
    double mean = 0;
    if (!sums.Mean(c, mean)) continue;
    const auto value = static_cast<int64_t>(std::trunc(mean + kSampleZero));
    for (int g = 0; g < 8; ++g)
      if (status.K_yc[g] == s.K_yc[c])
        s.ZeroOffsets[8 * g + c] = static_cast<uint32_t>(value) + (static_cast<uint32_t>(c) << 24);
  }
}

void ResetOffsets(YSTANOV& s, const StatusBlock& status, int channels) {
  for (int c = 0; c < std::min(channels, 8); ++c)
    for (int g = 0; g < 8; ++g)
      if (status.K_yc[g] == s.K_yc[c]) s.ZeroOffsets[8 * g + c] = Neutral(c);
}

CalProgress CalibrationProgress(const CalSnapshot& sums, const YSTANOV& copy, const StatusBlock& status) {
  CalProgress p;
  p.Lines.push_back(DateTimeText(static_cast<int64_t>(std::llround(sums.Time * kSecondsPerDay))));
  const int channels = static_cast<int>(sums.Channels);
  p.Lines.push_back(toolkit::FormatText("каналов: %d", channels));
  p.ChannelsMatch = channels == copy.ChannelCode + 1;
  for (int c = 0; c < CalibratedChannels(copy); ++c) {
    const int g = GainIndex(status, copy.K_yc[c]);
    double mean = 0;
    sums.Mean(c, mean);
    const int32_t stored = static_cast<int32_t>(copy.ZeroOffsets[8 * g + c] & 0xFFFFFF) - static_cast<int32_t>(kSampleZero);
    p.Lines.push_back(toolkit::FormatText("k_%d * %02d:  %+08.0f / %+08d ", c, copy.K_yc[c], mean, stored));
  }
  p.Lines.push_back(toolkit::FormatText("принято: %06.0f точек;    %.0f бл.", sums.Rounds, sums.Blocks));
  p.StoreAllowed = sums.Rounds > 5.0 * copy.SampleRate + 5;
  return p;
}

}  // namespace recorder
