#pragma once
// A drawing surface. The widget owns an image: drawing code paints into Image() (whenever it likes,
// with a QPainter or an XorPainter) and calls update(); paintEvent only copies the image to the screen.
// The image follows the widget's size: on a resize the old contents stay at the top left and new
// area is filled with the background colour.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QWidget>

namespace platform::ui {

class PaintBox : public QWidget {
  Q_OBJECT

 public:
  explicit PaintBox(QWidget* parent = nullptr);

  // The image, sized to the widget (also before the widget is first shown).
  QImage& Image();

  QColor Background() const { return background_; }
  void SetBackground(QColor color) { background_ = color; }
  // Fills the whole image with the background colour and schedules a repaint.
  void Clear();

 signals:
  // The image has the new size; the owner redraws what it shows.
  void Resized(QSize size);
  void MousePressed(QMouseEvent* event);
  void MouseMoved(QMouseEvent* event);
  void MouseReleased(QMouseEvent* event);
  void MouseDoubleClicked(QMouseEvent* event);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  // Gives the image the widget's size; returns true when it changed.
  bool FitImage();

  QImage image_;
  QColor background_{Qt::white};
};

// A painter that combines what it draws with the target by XOR (no antialiasing), so that drawing the
// same line, rectangle or image twice restores what was there: the way cursors and markers are drawn
// and erased. The pen colour is XORed into each pixel it covers.
class XorPainter : public QPainter {
 public:
  explicit XorPainter(QImage& image);
};

// Draws the line from (x1, y1) to (x2, y2) by XOR with `color`.
void XorLine(QImage& image, int x1, int y1, int x2, int y2, QColor color);

}  // namespace platform::ui
