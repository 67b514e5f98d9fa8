#pragma once
// The overview strip's logic: the snapshot of the whole plot, its strokes on the strip and the two
// short lines that mark the part the main plot shows now.
#include <algorithm>
#include <array>
#include <cstdint>

#include "toolkit/setup_record.h"
#include "viewer/view_envelope.h"

namespace viewer {

// What the strip draws besides the envelope copies and the record's overview fields: the column counts
// and the channel range of the main plot when the snapshot was taken, so a later zoom or channel choice
// does not change the picture.
struct OverviewSnapshot {
  bool taken = false;
  std::array<int32_t, toolkit::kMaxChannels> Columns{};
  uint16_t FirstChannel = 0;
  uint16_t ShownEnd = 0;
};

// Height of one channel row on a strip `height` pixels high for channels first ... end - 1; 0 when no
// channel is shown.
int OverviewRowHeight(int height, int first, int end);

// Takes the snapshot of the main plot (whole plot, SetupRecord.PixelsPerSample 1): copies the envelope
// of every channel in memory, the row references and the scales for a strip `stripHeight` pixels high,
// Nn and the samples per column of the main plot, `plotWidth` columns wide (SamplesPerColumnOf). False,
// and nothing taken, for a stretched plot.
bool TakeOverviewSnapshot(toolkit::SetupRecord& setup, const ViewEnvelope& view, ViewEnvelope& overview,
                          OverviewSnapshot& snapshot, int stripHeight, int plotWidth);

// Calls fn(channel, colourIndex, x, yLo, yHi) for every column of every snapshot channel on a strip
// `height` pixels high, by the strip's stroke rule (neighbouring columns joined; y may lie outside).
template <typename Fn>
void ForEachOverviewStroke(const toolkit::SetupRecord& setup, const ViewEnvelope& overview,
                           const OverviewSnapshot& snapshot, int height, Fn&& fn);

struct OverviewFrame {
  bool showFirst = false, showSecond = false;
  int x1 = 0, x2 = 0;  // columns of Nn (yellow) and Nk (red) on the snapshot
};
// The frame lines of the present view on a strip of `plotWidth` columns.
OverviewFrame OverviewFrameLines(const toolkit::SetupRecord& setup, int plotWidth);

// Colour entry of channel `ch` on the strip.
constexpr int OverviewColourIndex(int ch) { return ch + 10 > 15 ? ch + 10 - 15 : ch + 10; }

// y of value v: trunc(height - 1 - (v * scale + offset)), held within +-1e6 (not finite gives 0).
int OverviewY(float v, float scale, float offset, int height);

template <typename Fn>
void ForEachOverviewStroke(const toolkit::SetupRecord& setup, const ViewEnvelope& overview,
                           const OverviewSnapshot& snapshot, int height, Fn&& fn) {
  if (!snapshot.taken) return;
  const int first = snapshot.FirstChannel, end = snapshot.ShownEnd;
  const int row = OverviewRowHeight(height, first, end);
  if (row == 0) return;
  for (int ch = first; ch < end && ch < toolkit::kMaxChannels; ++ch) {
    const float scale = setup.OverviewScale[ch];
    const float offset = static_cast<float>((end - 1 - ch) * row + 1) - scale * setup.OverviewReference[ch];
    const float* e = overview[static_cast<size_t>(ch)];
    const int columns = std::min<int>(snapshot.Columns[ch], toolkit::kMaxPlotColumns);
    int prevLo = 0, prevHi = 0;
    for (int x = 0; x < columns; ++x) {
      int yLo = OverviewY(e[x], scale, offset, height);
      int yHi = OverviewY(e[x + kEnvelopeMaxOffset], scale, offset, height);
      if (x == 0) {
        prevLo = yLo;
        prevHi = yHi;
      }
      yLo = std::max(yLo, prevHi);
      yHi = std::min(yHi, prevLo);
      fn(ch, OverviewColourIndex(ch), x, yLo, yHi);
      prevLo = yLo;
      prevHi = yHi;
    }
  }
}

}  // namespace viewer
