#pragma once
// The geometry of the main plot: one vertical scale for all shown channels, each channel's row, label
// and marker defaults, and the texts of the strip above the plot. Computed here, painted by the window.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/funk.h"
#include "toolkit/setup_record.h"

namespace viewer {

// Status-bar help of the plot.
inline constexpr const char* kPlotKeyHelp =
    "стрелки,   <M>,   <Ins>,   <+>,  <->,   курсор <Enter>,  вся <Space>";

struct PlotRow {
  int channel = 0;
  int colourIndex = 0;  // into ChannelColors
  int columns = 0;      // envelope columns to draw
  float scale = 0;      // envelope value -> pixels
  float offset = 0;     // pixels added after scaling
  std::string label;    // up to 6 bytes of the channel name (Windows-1251), or "tst"
  int labelY = 0;
  int barTop = 0, barBottom = 0;  // the row bar in the label margin
};

struct ChannelPlotLayout {
  int plotWidth = 0;
  int plotHeight = 0;
  int rowHeight = 0;
  std::array<int32_t, 64> LabelY{};  // y of each channel's label; 0 for channels not shown
  bool whiteBackground = false;
  std::string startLine;    // " началo: ...;  (pixels per sample:samples per column)  "
  std::string channelText;  // the processed channel, "**" for all channels
  bool showRange = false;   // the common range is printed (no normalisation)
  std::string rangeText;
  std::vector<PlotRow> rows;  // shown channels, first to last
  int markY = 2;              // y of the processed channel's mark
};

// Plot height for a scroll box of `scrollBoxHeight` pixels at `percent` % (never below 0).
int PlotHeightFor(int scrollBoxHeight, int percent);

// Computes the plot's scale and rows from the envelopes' minima and maxima and stores the row geometry in
// the record (DisplayGain, RowReference, PlotRange, PlotScale, Baseline, RowOffset, CursorSamples). With
// `keepMarkers` 0 the markers start on each channel's minimum and maximum and the first cursor of each set
// at the plot's edges.
ChannelPlotLayout LayoutChannelPlot(toolkit::SetupRecord& setup, int plotWidth, int plotHeight,
                                    int keepMarkers, const toolkit::TFunk& funk);

// The vertical strokes of one envelope on a plot `height` pixels high (y grows downwards): calls
// fn(x, yTop, yBottom) for each column with 0 <= yTop <= yBottom <= height; adjacent strokes always touch.
template <typename Fn>
void ForEachEnvelopeStroke(const float* envelope, int columns, float scale, float offset, int height,
                           Fn&& fn);

// Screen y of value v on a row: truncated towards zero and forced into 0 ... height (NaN gives 0).
inline int EnvelopeY(float v, float scale, float offset, int height) {
  const float y = static_cast<float>(height) - (v * scale + offset);
  if (!(y >= 0.0f)) return 0;
  if (y >= static_cast<float>(height)) return height;
  return static_cast<int>(y);
}

template <typename Fn>
void ForEachEnvelopeStroke(const float* envelope, int columns, float scale, float offset, int height,
                           Fn&& fn) {
  int prevLow = 0, prevHigh = 0;
  for (int x = 0; x < columns; ++x) {
    int yLow = EnvelopeY(envelope[x], scale, offset, height);
    int yHigh = EnvelopeY(envelope[x + toolkit::kMaxPlotColumns], scale, offset, height);
    if (x == 0) {
      prevLow = yLow;
      prevHigh = yHigh;
    }
    if (yLow < prevHigh) yLow = prevHigh;
    if (yHigh > prevLow) yHigh = prevLow;
    fn(x, yLow < yHigh ? yLow : yHigh, yLow < yHigh ? yHigh : yLow);
    prevLow = yLow;
    prevHigh = yHigh;
  }
}

}  // namespace viewer
