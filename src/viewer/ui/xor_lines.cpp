#include "viewer/ui/xor_lines.h"

#include <QFont>
#include <QPainter>
#include <algorithm>

#include "platform/clock.h"
#include "platform/ui/colors.h"
#include "viewer/channel_colors.h"

namespace viewer {
namespace {

void XorImage(const QImage& image, int x, int y, platform::ui::PaintBox& box) {
  if (image.isNull()) return;
  {
    platform::ui::XorPainter painter(box.Image());
    painter.drawImage(x, y, image);
  }
  box.update();
}

const QImage& Bitmap(const LineBitmaps& images, int index) {
  static const QImage none;
  return index >= 0 && index < kLineBitmapCount ? images[index] : none;
}

}  // namespace

QImage VerticalLineBitmap(int height, QColor color) {
  QImage image(1, std::max(height, 1), QImage::Format_RGB32);
  image.fill(color);
  return image;
}

QImage HorizontalLineBitmap(int width, QColor color) {
  QImage image(std::max(width, 1), 1, QImage::Format_RGB32);
  image.fill(color);
  return image;
}

void XorHorizontalLine(const LineBitmaps& lines, int index, int y, platform::ui::PaintBox& box) {
  XorImage(Bitmap(lines, index), 0, y, box);
}

void XorVerticalCursor(const LineBitmaps& cursors, int index, int x, platform::ui::PaintBox& box) {
  XorImage(Bitmap(cursors, index), x, 2, box);
}

void BlinkMarkerLine(const LineBitmaps& lines, int index, int flashIndex, int y, int count,
                     platform::ui::PaintBox& box) {
  XorHorizontalLine(lines, index, y, box);
  box.repaint();
  for (int i = 0; i < count; ++i) {
    platform::Sleep(40);
    XorHorizontalLine(lines, flashIndex, y, box);
    box.repaint();
  }
  XorHorizontalLine(lines, index, y, box);
  box.update();
}

void PaintTimeAxis(const TimeAxisPicture& picture, const LineBitmaps& cursors, const LineBitmaps& lines,
                   platform::ui::PaintBox& plot, platform::ui::PaintBox& strip, int stripWidth,
                   QColor background) {
  for (const XorStroke& s : picture.strokes) {
    if (s.vertical) {
      XorVerticalCursor(cursors, s.index, s.pos, plot);
    } else {
      XorHorizontalLine(lines, s.index, s.pos, plot);
    }
  }
  QImage& image = strip.Image();
  QPainter painter(&image);
  painter.fillRect(QRect(QPoint(0, 0), QPoint(stripWidth, image.height() - 1)), background);
  const QFontMetrics metrics(painter.font());
  for (const ReadoutText& t : picture.texts) {
    const uint32_t bgr =
        t.colourIndex >= 0 && t.colourIndex < 16 ? ChannelColors[static_cast<size_t>(t.colourIndex)] : t.bgr;
    painter.setPen(platform::ui::ColorFromBgr(bgr));
    // Positions are the top left of the text.
    painter.drawText(t.x, t.y + metrics.ascent(), QString::fromStdString(t.text));
  }
  painter.end();
  strip.update();
}

}  // namespace viewer
