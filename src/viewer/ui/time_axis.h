#pragma once
// The main window's cursor routine and the draw-over of a filtered channel, on the plot view that
// DrawChannels leaves behind.
#include "toolkit/setup_record.h"
#include "viewer/ui/channel_plot.h"
#include "viewer/ui/xor_lines.h"
#include "viewer/view_envelope.h"

namespace viewer {

// DrawTimeAxis: moves the current cursor by dx columns and the current marker by dy pixels (mode 0
// both, 1 the marker stays, 2 the cursor stays), or with mode 3 draws every cursor and marker, then
// rewrites the readout strip PB3 and the status text. `lines` are the horizontal line bitmaps.
void DrawTimeAxis(ChannelPlotView& view, const LineBitmaps& lines, toolkit::SetupRecord& setup,
                  const ViewEnvelope& envelope, bool largeFont, int dx, int dy, int mode);

// The marker of `channel` in `set` blinks in yellow (line bitmap 4) `count` times.
void BlinkMarker(ChannelPlotView& view, const LineBitmaps& lines, const toolkit::SetupRecord& setup,
                 int channel, int set, int count);

// Channel `ch` (`data`, its samples) reduced over the visible range again and drawn over the plot in
// ChannelColors[14] with its row's scale and offset.
void DrawFilteredChannel(ChannelPlotView& view, toolkit::SetupRecord& setup, const float* data,
                         ViewEnvelope& envelope, int ch);

}  // namespace viewer
