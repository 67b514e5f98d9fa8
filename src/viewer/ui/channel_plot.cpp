#include "viewer/ui/channel_plot.h"

#include <QFont>
#include <QPainter>

#include "platform/cp1251.h"
#include "platform/ui/colors.h"
#include "viewer/channel_colors.h"
#include "viewer/envelope_raster.h"
#include "viewer/plot_layout.h"

namespace viewer {

namespace {

constexpr uint32_t kAqua = 0xFFFF00;    // 0x00BBGGRR
constexpr uint32_t kYellow = 0x00FFFF;  // the one cursor of a set

QColor Colour(int index) { return platform::ui::ColorFromBgr(ChannelColors[index]); }

void DrawText(QPainter& p, int x, int y, const QString& text) {
  p.drawText(QRect(x, y, 4000, 400), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

}  // namespace

QImage MakeChannelMarkBitmap() {
  QImage mark(15, 8, QImage::Format_RGB32);
  mark.fill(Qt::white);
  QPainter p(&mark);
  p.fillRect(QRect(1, 1, 13, 6), platform::ui::ColorFromBgr(kAqua));
  p.setPen(Qt::black);
  p.drawLine(0, 4, 14, 4);
  return mark;
}

void DrawChannels(ChannelPlotView& v, toolkit::SetupRecord& s, const ViewEnvelope& envelope,
                  const toolkit::TFunk& funk, int keepMarkers) {
  v.LabelY.fill(0);
  v.PlotHeight = static_cast<uint16_t>(PlotHeightFor(v.ScrollBoxHeight, s.PlotHeightPercent));
  v.PB1->resize(v.PB1->width(), v.PlotHeight);
  v.PlotBackground = s.WhiteBackground != 0 ? QColor(Qt::white) : QColor(Qt::black);

  const int cursors = std::clamp<int>(s.VerticalCursorCount, 1, toolkit::kMaxVerticalCursors);
  for (int k = 0; k < cursors; ++k) {
    QImage& bitmap = v.CursorBitmaps[k];
    bitmap = QImage(1, std::max(1, v.PlotHeight - 4), QImage::Format_RGB32);
    bitmap.fill(v.PlotBackground);
    QPainter p(&bitmap);
    p.setPen(cursors == 1 ? platform::ui::ColorFromBgr(kYellow) : Colour(ChannelColourIndex(k)));
    p.drawLine(0, 0, 0, bitmap.height() - 1);
  }

  for (platform::ui::PaintBox* box : {v.PB1, v.PB3}) {
    box->SetBackground(v.PlotBackground);
    box->Image().fill(v.PlotBackground);
  }

  const ChannelPlotLayout layout = LayoutChannelPlot(s, v.PlotWidth, v.PlotHeight, keepMarkers, funk);
  v.RowHeight = static_cast<uint16_t>(layout.rowHeight);
  v.LabelY = layout.LabelY;

  {
    QPainter strip(&v.PB3->Image());
    strip.setPen(platform::ui::ColorFromBgr(kAqua));
    DrawText(strip, 1, 2, QString::fromStdString(layout.startLine));
    DrawText(strip, v.PlotWidth + 24, 10, QString::fromStdString(layout.channelText));
    if (layout.showRange) DrawText(strip, 311, 2, QString::fromStdString(layout.rangeText));
  }

  QImage& image = v.PB1->Image();
  const PixelTarget target{reinterpret_cast<uint32_t*>(image.bits()),
                           static_cast<size_t>(image.bytesPerLine() / 4), image.width(), image.height()};
  {
    QPainter p(&image);
    QFont font = p.font();
    font.setPointSize(8);
    p.setFont(font);
    for (const PlotRow& row : layout.rows) {
      const QColor colour = Colour(row.colourIndex);
      RasterizeEnvelope(target, layout.plotHeight, envelope[row.channel], row.columns, row.scale, row.offset,
                        colour.rgb() | 0xFF000000u);
      p.setPen(colour);
      p.drawLine(v.PlotWidth + 3, row.barBottom, v.PlotWidth + 3, row.barTop);
      DrawText(p, image.width() - 68, row.labelY, QString::fromStdString(platform::Cp1251ToUtf8(row.label)));
    }
  }
  v.StatusText = QString::fromUtf8(kPlotKeyHelp);

  if (!v.ChannelMarkBitmap.isNull()) {
    platform::ui::XorPainter x(image);
    x.drawImage(image.width() - v.ChannelMarkBitmap.width() - 2, layout.markY, v.ChannelMarkBitmap);
  }
  v.PB1->update();
  v.PB3->update();
}

}  // namespace viewer
