#pragma once
// DrawChannels: repaints the main plot from the column envelopes, and the strip above it.
#include <QColor>
#include <QImage>
#include <QString>
#include <array>
#include <cstdint>

#include "platform/ui/paint_box.h"
#include "toolkit/funk.h"
#include "toolkit/setup_record.h"
#include "viewer/view_envelope.h"

namespace viewer {

// The parts of the main window the plot drawing uses and leaves behind.
struct ChannelPlotView {
  platform::ui::PaintBox* PB1 = nullptr;  // the plot
  platform::ui::PaintBox* PB3 = nullptr;  // the strip above it
  int ScrollBoxHeight = 0;                // height of the scroll box around PB1
  uint16_t PlotWidth = 0;
  uint16_t PlotHeight = 0;               // set here
  uint16_t RowHeight = 0;                // set here
  std::array<int32_t, 64> LabelY{};      // set here
  std::array<QImage, 64> CursorBitmaps;  // vertical cursor images, remade here
  QImage ChannelMarkBitmap;              // mark of the processed channel (made at start)
  QColor PlotBackground;                 // set here
  QString StatusText;                    // status-bar help, set here
};

// The mark of the processed channel: a 15 x 8 image, a filled rectangle with a line through it.
QImage MakeChannelMarkBitmap();

// Sizes and clears the plot, draws every shown channel's envelope, label and row bar, the start time and
// view layout on PB3, and XORs the processed channel's mark into the label margin. Keep markers 0 resets
// the markers and the first cursor of each set.
void DrawChannels(ChannelPlotView& view, toolkit::SetupRecord& setup, const ViewEnvelope& envelope,
                  const toolkit::TFunk& funk, int keepMarkers);

}  // namespace viewer
