#include "viewer/plot_layout.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "toolkit/format_text.h"
#include "viewer/channel_colors.h"
#include "viewer/view_envelope.h"

namespace viewer {

using toolkit::SetupRecord;

namespace {

// Truncation towards zero into int32, saturating (and 0 for NaN) instead of overflowing.
int32_t TruncToInt(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

}  // namespace

int PlotHeightFor(int scrollBoxHeight, int percent) {
  return std::max(0, TruncToInt(scrollBoxHeight * percent * 0.01 - 10.0));
}

ChannelPlotLayout LayoutChannelPlot(SetupRecord& s, int plotWidth, int plotHeight, int keepMarkers,
                                    const toolkit::TFunk& funk) {
  ChannelPlotLayout out;
  out.plotWidth = plotWidth;
  out.plotHeight = plotHeight;
  out.whiteBackground = s.WhiteBackground != 0;
  const int H = plotHeight;

  // Start of the visible range, in ticks of the record's time base.
  int64_t ticks = s.Header.StartTicks;
  if (s.Header.Rate != 0) ticks += static_cast<int64_t>(s.Nn) * toolkit::kTicksPerSecond / s.Header.Rate;
  out.startLine = toolkit::FormatText(" началo: %s;  (%d:%d)  ", funk.FormatTimeStamp(ticks).c_str(),
                                      s.PixelsPerSample, static_cast<int>(SamplesPerColumnOf(s, plotWidth)));
  out.channelText = s.Channel < s.ChannelCount ? toolkit::FormatText("%02d", int{s.Channel}) : "**";

  const int count = std::min<int>(s.ChannelCount, toolkit::kMaxChannels);
  float hi[64] = {}, lo[64] = {};
  for (int i = 0; i < count; ++i) {
    const float d = s.ChannelMax[i] - s.ChannelMin[i];
    const double g = d > 1e-9 ? 100.0 / d : 1.0;
    s.DisplayGain[i] = s.NormaliseChannels == 1 ? g : 1.0;
    hi[i] = static_cast<float>(s.ChannelMax[i] * s.DisplayGain[i]);
    lo[i] = static_cast<float>(s.ChannelMin[i] * s.DisplayGain[i]);
  }

  const int last = std::min<int>(s.ShownEnd, count);
  const int first = std::min<int>(s.FirstChannel, last);
  const int n = last - first;
  float range = 0.0f;
  if (n == 1) {
    range = hi[first] - lo[first];
  } else if (n > 1) {
    if (s.PlotLayout == 1) {
      const float commonLo = *std::min_element(lo + first, lo + last);
      const float commonHi = *std::max_element(hi + first, hi + last);
      std::fill(lo + first, lo + last, commonLo);
      std::fill(hi + first, hi + last, commonHi);
    }
    range = hi[first] - lo[first];
    for (int r = first + 1; r < last; ++r) range = std::max(range, hi[r] - lo[r]);
  }
  if (s.NormaliseChannels == 0) {
    out.showRange = true;
    out.rangeText = toolkit::FormatText(" %12.5f ", range);
  }
  s.PlotRange = range;
  for (int i = 0; i < count; ++i) s.RowReference[i] = lo[i];
  s.PlotScale = (std::fabs(range) > 1e-8 && n > 0) ? static_cast<float>(H - 5) / range / n : 1.0f;
  out.rowHeight = n > 0 ? std::max(0, (H - 10) / n) : std::max(0, H - 10);

  for (int ch = first; ch < last; ++ch) {
    int labelStep = 15;
    if (s.PlotLayout == 2) {
      s.Baseline[ch] = static_cast<float>((last - 1 - ch) * out.rowHeight + 4);
      labelStep = 0;
    } else {
      s.Baseline[ch] = 65.0f;
    }
    s.RowOffset[ch] = s.Baseline[ch] - s.PlotScale * lo[ch];

    PlotRow row;
    row.channel = ch;
    row.colourIndex = ChannelColourIndex(ch);
    row.columns = std::clamp(s.ColumnCount[ch], 0, toolkit::kMaxPlotColumns);
    row.scale = static_cast<float>(s.PlotScale * s.DisplayGain[ch]);
    row.offset = s.RowOffset[ch];
    row.label = (s.TestMode != 0 && ch < s.TestChannels)
                    ? "tst"
                    : toolkit::FieldText(s.MemChannels[ch].Name).substr(0, 6);
    row.labelY = TruncToInt(H - s.Baseline[ch] - labelStep * ch - out.rowHeight / 2);
    row.barTop = row.labelY - out.rowHeight / 2;
    row.barBottom = row.labelY + out.rowHeight / 2;
    out.LabelY[ch] = row.labelY;

    if (keepMarkers == 0) {
      const double gainScale = static_cast<double>(s.PlotScale) * s.DisplayGain[ch];
      s.MarkerY[0][ch] = TruncToInt(H - s.ChannelMin[ch] * gainScale + s.Baseline[ch] - s.RowOffset[ch]);
      s.MarkerY[1][ch] = TruncToInt(H - s.ChannelMax[ch] * gainScale + s.Baseline[ch] - s.RowOffset[ch]);
      s.CursorColumns[0][0] = 0;
      s.CursorColumns[1][0] = plotWidth;
    }
    out.rows.push_back(std::move(row));
  }
  s.CursorSamples[0] = s.Nn;
  s.CursorSamples[1] = s.Nk;
  // "All channels" (Channel == ChannelCount) has no row: its mark sits at the top.
  out.markY = (s.Channel < toolkit::kMaxChannels ? out.LabelY[s.Channel] : 0) + 2;
  return out;
}

}  // namespace viewer
