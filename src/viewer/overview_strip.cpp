#include "viewer/overview_strip.h"

#include <algorithm>
#include <cmath>

namespace viewer {

namespace {
// Floats of the envelope the snapshot keeps: minima and maxima of every column.
constexpr size_t kSnapshotFloats = 2 * toolkit::kMaxPlotColumns + 1;
}  // namespace

int OverviewRowHeight(int height, int first, int end) {
  if (end <= first || height < 2) return 0;
  return (height - 2) / (end - first);
}

int OverviewY(float v, float scale, float offset, int height) {
  const double y = height - 1 - (double{v} * scale + offset);
  if (!std::isfinite(y)) return 0;
  return static_cast<int>(std::clamp(y, -1e6, 1e6));
}

bool TakeOverviewSnapshot(toolkit::SetupRecord& s, const ViewEnvelope& view, ViewEnvelope& overview,
                          OverviewSnapshot& snapshot, int stripHeight, int plotWidth) {
  if (s.PixelsPerSample != 1) return false;
  for (size_t ch = 0; ch < std::min<size_t>(s.ChannelCount, toolkit::kMaxChannels); ++ch)
    std::copy(view[ch], view[ch] + kSnapshotFloats, overview[ch]);
  const int row = OverviewRowHeight(stripHeight, s.FirstChannel, s.ShownEnd);
  const bool ranged = std::isfinite(s.PlotRange) && s.PlotRange != 0.0f;
  for (int ch = 0; ch < toolkit::kMaxChannels; ++ch) {
    s.OverviewReference[ch] = s.RowReference[ch];
    s.OverviewScale[ch] = ranged ? static_cast<float>(row / s.PlotRange * s.DisplayGain[ch]) : 0.0f;
    snapshot.Columns[ch] = s.ColumnCount[ch];
  }
  s.OverviewStart = s.Nn;
  s.OverviewSamplesPerColumn = static_cast<int32_t>(SamplesPerColumnOf(s, plotWidth));
  snapshot.FirstChannel = s.FirstChannel;
  snapshot.ShownEnd = std::min<uint16_t>(s.ShownEnd, toolkit::kMaxChannels);
  snapshot.taken = true;
  return true;
}

OverviewFrame OverviewFrameLines(const toolkit::SetupRecord& s, int plotWidth) {
  OverviewFrame f;
  const int64_t per = s.OverviewSamplesPerColumn;
  if (per <= 0) return f;
  const int64_t x1 = (int64_t{s.Nn} - s.OverviewStart) / per;
  const int64_t x2 = (int64_t{s.Nk} - s.OverviewStart) / per;
  f.showFirst = x1 >= 0 && x1 <= plotWidth;
  f.showSecond = x2 >= 0 && x2 <= plotWidth;
  f.x1 = static_cast<int>(std::clamp<int64_t>(x1, -1, plotWidth + 1));
  f.x2 = static_cast<int>(std::clamp<int64_t>(x2, -1, plotWidth + 1));
  return f;
}

}  // namespace viewer
