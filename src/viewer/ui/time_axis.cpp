#include "viewer/ui/time_axis.h"

#include "platform/ui/colors.h"
#include "viewer/channel_colors.h"
#include "viewer/cursor_readout.h"
#include "viewer/envelope_raster.h"

namespace viewer {

void DrawTimeAxis(ChannelPlotView& view, const LineBitmaps& lines, toolkit::SetupRecord& setup,
                  const ViewEnvelope& envelope, bool largeFont, int dx, int dy, int mode) {
  const ReadoutGeometry g{view.PlotWidth, view.PlotHeight, largeFont};
  const TimeAxisPicture picture = DrawTimeAxisStep(setup, dx, dy, mode, g, envelope[ReadoutChannel(setup)]);
  PaintTimeAxis(picture, view.CursorBitmaps, lines, *view.PB1, *view.PB3, view.PlotWidth + 5,
                view.PlotBackground);
  view.StatusText = QString::fromStdString(picture.status);
}

void BlinkMarker(ChannelPlotView& view, const LineBitmaps& lines, const toolkit::SetupRecord& setup,
                 int channel, int set, int count) {
  if (channel < 0 || channel >= kLineBitmapCount || set < 0 || set > 1) return;
  const int y = static_cast<int>(static_cast<float>(setup.MarkerY[set][channel]) - setup.Baseline[channel]);
  BlinkMarkerLine(lines, channel, 4, y, count, *view.PB1);
}

void DrawFilteredChannel(ChannelPlotView& view, toolkit::SetupRecord& setup, const float* data,
                         ViewEnvelope& envelope, int ch) {
  if (!data || ch < 0 || ch >= kLineBitmapCount || setup.Samples == 0) return;
  const EnvelopeLayout layout{view.PlotWidth, setup.PixelsPerSample > 0 ? setup.PixelsPerSample : 1,
                              setup.Cubic != 0, setup.Samples};
  setup.ColumnCount[ch] = 0;
  DecimateChannel(layout, SamplesPerColumnOf(setup, view.PlotWidth), setup.Nn, setup.Nk,
                  setup.ColumnCount[ch], data, envelope[ch], setup.ChannelMin[ch], setup.ChannelMax[ch]);
  QImage& image = view.PB1->Image();
  const PixelTarget target{reinterpret_cast<uint32_t*>(image.bits()),
                           static_cast<size_t>(image.bytesPerLine() / 4), image.width(), image.height()};
  const QColor colour = platform::ui::ColorFromBgr(ChannelColors[14]);
  RasterizeEnvelope(target, view.PlotHeight, envelope[ch], setup.ColumnCount[ch],
                    static_cast<float>(setup.PlotScale * setup.DisplayGain[ch]), setup.RowOffset[ch],
                    colour.rgb() | 0xFF000000u);
  view.PB1->update();
}

}  // namespace viewer
