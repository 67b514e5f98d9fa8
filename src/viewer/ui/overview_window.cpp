#include "viewer/ui/overview_window.h"

#include <QCloseEvent>
#include <QPainter>

#include "platform/ui/colors.h"
#include "viewer/channel_colors.h"

namespace viewer {

namespace {
constexpr uint32_t kYellow = 0x00FFFF;
constexpr uint32_t kRed = 0x0000FF;
constexpr int kFrameLineLength = 15;
}  // namespace

TOB3OP::TOB3OP(QWidget* mainWindow, Source source) : QWidget(nullptr, Qt::Window), source_(std::move(source)) {
  setObjectName("OB3OP");
  setWindowTitle("ОБЗОР");
  setAttribute(Qt::WA_QuitOnClose, false);  // the program ends with its main window
  setGeometry(mainWindow->x(), 3, std::min(mainWindow->width(), 1400), 100);
  PB_BCE = new platform::ui::PaintBox(this);
  PB_BCE->SetBackground(Qt::black);
  FitTo(*mainWindow);
  connect(PB_BCE, &platform::ui::PaintBox::MouseDoubleClicked, this, [this](QMouseEvent*) { PB_BCEDblClick(); });
  connect(PB_BCE, &platform::ui::PaintBox::Resized, this, [this](QSize) { DrawOverview(); });
}

void TOB3OP::FitTo(const QWidget& mainWindow) {
  resize(std::min(mainWindow.width(), 1400), 100);
  PB_BCE->setGeometry(0, 0, PlotWidth() + 42, height() - 1);
}

void TOB3OP::DrawOverview() {
  QImage& image = PB_BCE->Image();
  image.fill(Qt::black);
  if (source_.setup == nullptr || source_.envelope == nullptr || source_.snapshot == nullptr) return;
  const int height = image.height();
  QPainter p(&image);
  ForEachOverviewStroke(*source_.setup, *source_.envelope, *source_.snapshot, height,
                        [&](int, int colourIndex, int x, int yLo, int yHi) {
                          const QColor colour = platform::ui::ColorFromBgr(ChannelColors[colourIndex]);
                          p.setPen(colour);
                          if (yLo == yHi) {
                            p.drawPoint(x, yLo);
                          } else {
                            p.drawLine(x, yLo, x, yHi);
                          }
                        });
  const OverviewFrame frame = OverviewFrameLines(*source_.setup, PlotWidth());
  if (frame.showFirst) {
    p.setPen(platform::ui::ColorFromBgr(kYellow));
    p.drawLine(frame.x1, 0, frame.x1, kFrameLineLength);
  }
  if (frame.showSecond) {
    p.setPen(platform::ui::ColorFromBgr(kRed));
    p.drawLine(frame.x2, 0, frame.x2, kFrameLineLength);
  }
  p.end();
  PB_BCE->update();
}

void TOB3OP::PB_BCEDblClick() {
  if (source_.doubleClicked) source_.doubleClicked();
}

void TOB3OP::closeEvent(QCloseEvent* event) {
  if (source_.closed) source_.closed();
  event->accept();
}

}  // namespace viewer
