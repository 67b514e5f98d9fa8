#include "viewer/ui/xor_lines.h"

#include <QFont>
#include <QPainter>
#include <algorithm>

#include "platform/clock.h"
#include "platform/ui/colors.h"

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

const QImage& Bitmap(const std::array<QImage, kLineBitmapCount>& images, int index) {
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

void XorHorizontalLine(const LineBitmaps& bitmaps, int index, int y, platform::ui::PaintBox& box) {
  XorImage(Bitmap(bitmaps.HorizontalLineBitmaps, index), 0, y, box);
}

void XorVerticalCursor(const LineBitmaps& bitmaps, int index, int x, platform::ui::PaintBox& box) {
  XorImage(Bitmap(bitmaps.CursorBitmaps, index), x, 2, box);
}

void BlinkMarkerLine(const LineBitmaps& bitmaps, int index, int flashIndex, int y, int count,
                     platform::ui::PaintBox& box) {
  XorHorizontalLine(bitmaps, index, y, box);
  box.repaint();
  for (int i = 0; i < count; ++i) {
    platform::Sleep(40);
    XorHorizontalLine(bitmaps, flashIndex, y, box);
    box.repaint();
  }
  XorHorizontalLine(bitmaps, index, y, box);
  box.update();
}

void PaintTimeAxis(const TimeAxisPicture& picture, const LineBitmaps& bitmaps, platform::ui::PaintBox& plot,
                   platform::ui::PaintBox& strip, int stripWidth, QColor background,
                   std::span<const uint32_t, 16> colours) {
  for (const XorStroke& s : picture.strokes) {
    if (s.vertical) {
      XorVerticalCursor(bitmaps, s.index, s.pos, plot);
    } else {
      XorHorizontalLine(bitmaps, s.index, s.pos, plot);
    }
  }
  QImage& image = strip.Image();
  QPainter painter(&image);
  painter.fillRect(QRect(QPoint(0, 0), QPoint(stripWidth, image.height() - 1)), background);
  const QFontMetrics metrics(painter.font());
  for (const ReadoutText& t : picture.texts) {
    const uint32_t bgr =
        t.colourIndex >= 0 && t.colourIndex < 16 ? colours[static_cast<size_t>(t.colourIndex)] : t.bgr;
    painter.setPen(platform::ui::ColorFromBgr(bgr));
    // Positions are the top left of the text.
    painter.drawText(t.x, t.y + metrics.ascent(), QString::fromStdString(t.text));
  }
  painter.end();
  strip.update();
}

}  // namespace viewer
