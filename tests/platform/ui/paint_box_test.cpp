#include "platform/ui/paint_box.h"

#include <gtest/gtest.h>

#include <QDir>

#include "platform/ui/grab.h"

namespace platform::ui {
namespace {

TEST(PaintBoxTest, XorDrawingTwiceRestoresTheImage) {
  PaintBox box;
  box.resize(40, 30);
  box.Image().fill(QColor(0x12, 0x34, 0x56));
  {
    QPainter p(&box.Image());
    p.fillRect(0, 0, 20, 30, Qt::white);
  }
  const QImage before = box.Image().copy();

  XorLine(box.Image(), 0, 10, 39, 10, QColor(0xFF, 0, 0));
  // The colour is XORed into the line's pixels (white ^ red = cyan) and nowhere else.
  EXPECT_EQ(box.Image().pixel(5, 10), qRgb(0x00, 0xFF, 0xFF));
  EXPECT_EQ(box.Image().pixel(30, 10), qRgb(0x12 ^ 0xFF, 0x34, 0x56));
  EXPECT_EQ(box.Image().pixel(39, 10), qRgb(0x12 ^ 0xFF, 0x34, 0x56));
  EXPECT_EQ(box.Image().pixel(5, 11), qRgb(0xFF, 0xFF, 0xFF));

  // A crossing vertical line, then both again in the other order.
  XorLine(box.Image(), 15, 0, 15, 29, QColor(0, 0xFF, 0));
  EXPECT_EQ(box.Image().pixel(15, 10), qRgb(0x00, 0x00, 0xFF));
  XorLine(box.Image(), 0, 10, 39, 10, QColor(0xFF, 0, 0));
  XorLine(box.Image(), 15, 0, 15, 29, QColor(0, 0xFF, 0));
  EXPECT_EQ(box.Image(), before);
}

TEST(PaintBoxTest, ImageFollowsTheWidgetSizeAndKeepsItsContents) {
  PaintBox box;
  box.SetBackground(Qt::black);
  box.resize(10, 10);
  box.Clear();
  box.Image().setPixel(3, 4, qRgb(1, 2, 3));
  QSize reported;
  QObject::connect(&box, &PaintBox::Resized, [&](QSize size) { reported = size; });
  box.show();
  box.resize(20, 8);
  EXPECT_EQ(reported, QSize(20, 8));
  EXPECT_EQ(box.Image().size(), QSize(20, 8));
  EXPECT_EQ(box.Image().pixel(3, 4), qRgb(1, 2, 3));
  EXPECT_EQ(box.Image().pixel(15, 2), qRgb(0, 0, 0));
}

TEST(PaintBoxTest, WidgetShowsTheImageAndGrabsToPng) {
  PaintBox box;
  box.resize(16, 12);
  box.Image().fill(Qt::white);
  box.Image().setPixel(2, 3, qRgb(200, 10, 20));
  box.show();
  const QString path = QDir::current().filePath("paint_box.png");
  ASSERT_TRUE(GrabToPng(box, path));
  const QImage saved(path);
  ASSERT_EQ(saved.size(), box.Image().size());
  EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), box.Image());
  EXPECT_FALSE(GrabToPng(box, QDir::current().filePath("no_such_dir/x.png")));
}

}  // namespace
}  // namespace platform::ui
