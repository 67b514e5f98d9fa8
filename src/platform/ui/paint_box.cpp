#include "platform/ui/paint_box.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QResizeEvent>

namespace platform::ui {
namespace {

// RGB32 keeps the alpha byte out of the XOR raster operations.
constexpr QImage::Format kFormat = QImage::Format_RGB32;

}  // namespace

PaintBox::PaintBox(QWidget* parent) : QWidget(parent), image_(1, 1, kFormat) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  image_.fill(background_);
}

QImage& PaintBox::Image() {
  FitImage();
  return image_;
}

bool PaintBox::FitImage() {
  const QSize wanted = size().expandedTo(QSize(1, 1));
  if (wanted == image_.size()) return false;
  QImage resized(wanted, kFormat);
  resized.fill(background_);
  QPainter painter(&resized);
  painter.drawImage(0, 0, image_);
  painter.end();
  image_ = std::move(resized);
  return true;
}

void PaintBox::Clear() {
  FitImage();
  image_.fill(background_);
  update();
}

void PaintBox::paintEvent(QPaintEvent* event) {
  FitImage();
  QPainter painter(this);
  painter.drawImage(event->rect(), image_, event->rect());
}

void PaintBox::resizeEvent(QResizeEvent* event) {
  FitImage();
  QWidget::resizeEvent(event);
  emit Resized(image_.size());
}

void PaintBox::mousePressEvent(QMouseEvent* event) { emit MousePressed(event); }
void PaintBox::mouseMoveEvent(QMouseEvent* event) { emit MouseMoved(event); }
void PaintBox::mouseReleaseEvent(QMouseEvent* event) { emit MouseReleased(event); }
void PaintBox::mouseDoubleClickEvent(QMouseEvent* event) { emit MouseDoubleClicked(event); }

XorPainter::XorPainter(QImage& image) : QPainter(&image) {
  setRenderHint(QPainter::Antialiasing, false);
  setCompositionMode(QPainter::RasterOp_SourceXorDestination);
}

void XorLine(QImage& image, int x1, int y1, int x2, int y2, QColor color) {
  XorPainter painter(image);
  painter.setPen(QPen(color, 0));
  painter.drawLine(x1, y1, x2, y2);
}

}  // namespace platform::ui
