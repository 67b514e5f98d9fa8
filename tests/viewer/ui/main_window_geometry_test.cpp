// The main window's geometry: sized inside the screen's free area, laid out again when the user resizes
// or maximises it (plot columns, rows, scroll box), the key help whole in the status bar, and the caption.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QScrollArea>
#include <QStatusBar>
#include <filesystem>

#include "platform/ui/grab.h"
#include "toolkit/settings_state.h"
#include "viewer/cursor_readout.h"
#include "viewer/main_window_layout.h"
#include "viewer/plot_layout.h"
#include "viewer/ui/main_window.h"
#include "viewer/ui/main_window_fixture.h"
#include "viewer/view_navigation.h"

namespace viewer {
namespace {

using support::Ui;
toolkit::SetupRecord& S() { return *toolkit::Setup; }

class GeometryWindowTest : public viewer_test::MainWindowFixture {
 protected:
  void Grab(QWidget& w, const char* name) {
    EXPECT_TRUE(platform::ui::GrabToPng(w, QString::fromStdString((workDir_ / name).string())));
  }
  void ResizeTo(int width, int height) {
    form->resize(width, height);
    QApplication::processEvents();
  }
  // The scroll box, the strip and the plot fit the client area, and the rows are those of the plot's
  // present height.
  void ExpectLaidOut(const char* when) {
    SCOPED_TRACE(when);
    const QWidget* client = form->centralWidget();
    const auto& plot = form->Plot;
    EXPECT_LE(form->ScrollBox1->geometry().bottom(), client->height());
    EXPECT_LE(form->ScrollBox1->geometry().right(), client->width());
    EXPECT_EQ(plot.PlotWidth, ResizedPlotWidth(client->width()));
    EXPECT_EQ(form->ScrollBox1->width(), plot.PlotWidth + 80);
    EXPECT_EQ(form->PB3->width(), form->ScrollBox1->width() - 1);
    EXPECT_EQ(plot.ScrollBoxHeight, form->ScrollBox1->height());
    EXPECT_EQ(plot.PlotHeight, PlotHeightFor(form->ScrollBox1->height(), S().PlotHeightPercent));
    EXPECT_EQ(form->PB1->height(), plot.PlotHeight);
    // Rows: the last channel's label lies in the bottom row of the plot, and the envelopes fill the
    // new width.
    EXPECT_EQ(plot.RowHeight, (plot.PlotHeight - 10) / 3);
    EXPECT_GT(plot.LabelY[2], plot.PlotHeight - 2 * plot.RowHeight);
    EXPECT_LT(plot.LabelY[2], plot.PlotHeight);
    EXPECT_LE(S().ColumnCount[0], plot.PlotWidth);
    EXPECT_GT(S().ColumnCount[0], plot.PlotWidth * 3 / 4);
    EXPECT_EQ(S().CursorColumns[1][0], plot.PlotWidth);
    // Something is drawn in the lowest row.
    const QImage& image = form->PB1->Image();
    int drawn = 0;
    for (int y = plot.PlotHeight - plot.RowHeight; y < plot.PlotHeight; ++y)
      for (int x = 0; x < plot.PlotWidth; x += 3) drawn += image.pixel(x, y) != plot.PlotBackground.rgb();
    EXPECT_GT(drawn, 50);
  }
};

TEST_F(GeometryWindowTest, ResizingAndMaximisingLayThePlotRowsAndScrollBoxOutAgain) {
  OpenForm({});
  form->show();
  QApplication::processEvents();
  ResizeTo(1000, 560);
  ExpectLaidOut("smaller");
  Grab(*form, "main_window_resized.png");
  // Cursor mode survives a resize with its cursors on the plot.
  Key(Qt::Key_Return);
  ASSERT_EQ(S().CursorMode, 1);
  ResizeTo(1200, 700);
  ExpectLaidOut("larger, in cursor mode");
  EXPECT_EQ(S().CursorMode, 1);
  Key(Qt::Key_Return);
  form->showMaximized();
  QApplication::processEvents();
  EXPECT_LE(form->width(), kMaxFormWidth);
  ExpectLaidOut("maximised");
  Grab(*form, "main_window_maximised.png");
}

TEST_F(GeometryWindowTest, TheWholeWindowLiesOnTheScreensFreeArea) {
  // A 40-pixel panel at the bottom of a 1920 x 1080 screen, then one of 30 pixels at the top.
  Ui().SetAvailableArea(QRect(0, 0, 1920, 1040));
  OpenForm({});
  form->show();
  QApplication::processEvents();
  EXPECT_LE(form->frameGeometry().bottom(), 1039);
  EXPECT_GT(form->height(), 1040 - 80);
  EXPECT_EQ(form->width(), 1400);
  form->close();
  form.reset();
  Ui().SetAvailableArea(QRect(0, 30, 1920, 1010));
  ScriptStart(false);
  form = std::make_unique<viewer::TForm1>();
  form->show();
  QApplication::processEvents();
  EXPECT_GE(form->frameGeometry().top(), 30);
  EXPECT_LE(form->frameGeometry().bottom(), 1039);
  // The status bar is inside the window.
  EXPECT_LE(form->statusBar()->geometry().bottom(), form->height());
}

TEST_F(GeometryWindowTest, TheKeyHelpShowsWholeInTheStatusBar) {
  OpenForm({});
  form->show();
  QApplication::processEvents();
  for (const char* help : {kPlotKeyHelp, kViewKeyHelp, kCursorKeyHelp}) {
    form->MainStatus0->setText(QString::fromUtf8(help));
    QApplication::processEvents();
    SCOPED_TRACE(help);
    const QImage grab = form->MainStatus0->grab().toImage();
    // The text ends before the panel does: the last columns hold nothing but the background.
    const QRgb background = grab.pixel(grab.width() - 1, 0);
    int lastInk = -1;
    for (int x = 0; x < grab.width(); ++x)
      for (int y = 0; y < grab.height(); ++y)
        if (grab.pixel(x, y) != background) lastInk = std::max(lastInk, x);
    EXPECT_GT(lastInk, grab.width() / 2);
    EXPECT_LT(lastInk, grab.width() - 4);
    EXPECT_GE(form->MainStatus0->width(),
              form->MainStatus0->fontMetrics().horizontalAdvance(QString::fromUtf8(help)));
  }
  Grab(*form->statusBar(), "main_window_status.png");
}

TEST_F(GeometryWindowTest, TheCaptionJoinsTheDirectoryAndTheFile) {
  OpenForm({});
  const QString title = form->windowTitle();
  EXPECT_TRUE(title.contains(QString::fromStdString(dir.path() + "/sample.rec; 3 каналов; 60.00 cek"))) << title.toStdString();
}

}  // namespace
}  // namespace viewer
