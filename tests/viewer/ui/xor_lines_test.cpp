#include "viewer/ui/xor_lines.h"

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/ui/colors.h"
#include "viewer/channel_colors.h"

namespace {

using viewer::LineBitmaps;

struct Plot {
  platform::ui::PaintBox box;
  LineBitmaps cursors, lines;
  Plot() {
    box.resize(200, 100);
    // Something under the lines, so that a plain copy could not pass for XOR.
    QPainter p(&box.Image());
    p.fillRect(0, 0, 200, 100, QColor(0x12, 0x34, 0x56));
    p.fillRect(20, 10, 50, 40, QColor(0xF0, 0x0F, 0x80));
    p.end();
    for (int i = 0; i < viewer::kLineBitmapCount; ++i) {
      const QColor c = platform::ui::ColorFromBgr(viewer::ChannelColors[viewer::ChannelColourIndex(i)]);
      cursors[i] = viewer::VerticalLineBitmap(96, c);
      lines[i] = viewer::HorizontalLineBitmap(200, c);
    }
  }
};

TEST(XorLines, DrawingTwiceRestoresThePicture) {
  Plot p;
  const QImage before = p.box.Image().copy();
  viewer::XorVerticalCursor(p.cursors, 3, 30, p.box);
  viewer::XorHorizontalLine(p.lines, 5, 20, p.box);
  const QImage& img = p.box.Image();
  // The cursor starts 2 pixels down and covers its column; pixels take the XOR of the line's colour.
  EXPECT_EQ(img.pixel(30, 1), before.pixel(30, 1));
  const QRgb lineColour =
      platform::ui::ColorFromBgr(viewer::ChannelColors[viewer::ChannelColourIndex(3)]).rgb();
  EXPECT_EQ(img.pixel(30, 60) & 0xFFFFFF, (before.pixel(30, 60) ^ lineColour) & 0xFFFFFF);
  EXPECT_NE(img.pixel(100, 20), before.pixel(100, 20));
  EXPECT_EQ(img.pixel(100, 21), before.pixel(100, 21));
  viewer::XorHorizontalLine(p.lines, 5, 20, p.box);
  viewer::XorVerticalCursor(p.cursors, 3, 30, p.box);
  EXPECT_EQ(p.box.Image(), before);
  // Indices beyond the bitmaps draw nothing.
  viewer::XorVerticalCursor(p.cursors, 64, 30, p.box);
  viewer::XorHorizontalLine(p.lines, -1, 30, p.box);
  EXPECT_EQ(p.box.Image(), before);
}

TEST(XorLines, BlinkRunsOnTheClockAndEndsWithTheMarkerBack) {
  Plot p;
  platform::TestClock clock;
  platform::ScopedClock scoped(clock);
  viewer::XorHorizontalLine(p.lines, 7, 40, p.box);
  const QImage drawn = p.box.Image().copy();
  const uint32_t start = clock.GetTickCount();
  viewer::BlinkMarkerLine(p.lines, 7, 4, 40, 8, p.box);
  EXPECT_EQ(clock.SleepCalls(), 8u);
  EXPECT_EQ(clock.GetTickCount() - start, 320u);
  EXPECT_EQ(p.box.Image(), drawn);
}

TEST(XorLines, TimeAxisPictureDrawsStrokesAndTexts) {
  Plot p;
  platform::ui::PaintBox strip;
  strip.resize(300, 54);
  const QImage before = p.box.Image().copy();
  viewer::TimeAxisPicture pic;
  pic.strokes = {{true, 0, 10}, {false, 1, 50}, {true, 0, 190}};
  pic.texts = {{1, 2, 10, 0, "Время:"}, {100, 2, -1, 0xFFFF00, "12:00:00.00000"}};
  viewer::PaintTimeAxis(pic, p.cursors, p.lines, p.box, strip, 305, Qt::black);
  EXPECT_NE(p.box.Image(), before);
  int lime = 0, aqua = 0;
  const QImage& s = strip.Image();
  for (int y = 0; y < s.height(); ++y) {
    for (int x = 0; x < s.width(); ++x) {
      const QRgb c = s.pixel(x, y) & 0xFFFFFF;
      if (x < 90 && c == 0x00FF00) ++lime;
      if (x >= 100 && c == 0x00FFFF) ++aqua;
    }
  }
  EXPECT_GT(lime, 0);
  EXPECT_GT(aqua, 0);
  pic.texts.clear();
  viewer::PaintTimeAxis(pic, p.cursors, p.lines, p.box, strip, 305, Qt::black);
  EXPECT_EQ(p.box.Image(), before);
  EXPECT_EQ(strip.Image().pixel(10, 10) & 0xFFFFFF, 0u);  // the strip was cleared
}

}  // namespace
