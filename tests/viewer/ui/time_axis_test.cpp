#include "viewer/ui/time_axis.h"

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "viewer/ui/plot_window_fixture.h"

namespace {

using viewer_test::CountPixels;

struct Window : viewer_test::PlotWindow {
  void Axis(int dx, int dy, int mode) {
    viewer::DrawTimeAxis(view, lines, setup, envelope, false, dx, dy, mode);
  }
};

TEST(TimeAxis, CursorsAndMarkersComeAndGoWithoutTrace) {
  Window w;
  const QImage plot = w.pb1.Image().copy();
  w.setup.CursorMode = 1;
  w.Axis(0, 0, 3);
  EXPECT_NE(w.pb1.Image(), plot);
  EXPECT_EQ(w.view.StatusText.toStdString(), viewer::kCursorKeyHelp);
  // The readout shows lime text (channel 0's colour and the first time row).
  EXPECT_GT(CountPixels(w.pb3.Image(), 0x00FF00), 0);
  w.Axis(7, 0, 0);
  w.setup.CursorSet = 1;
  w.setup.CursorIndex = 1;
  w.Axis(-3, -4, 0);
  w.setup.CursorMode = 0;
  w.Axis(0, 0, 3);  // leaving cursor mode erases them all where they stand
  EXPECT_EQ(w.pb1.Image(), plot);
  EXPECT_EQ(w.setup.CursorColumns[0][0], 7);
  EXPECT_EQ(w.setup.CursorColumns[1][1], 157);
}

TEST(TimeAxis, BlinkLeavesThePlotAsItWas) {
  Window w;
  platform::TestClock clock;
  platform::ScopedClock scoped(clock);
  w.setup.CursorMode = 1;
  w.Axis(0, 0, 3);
  const QImage drawn = w.pb1.Image().copy();
  viewer::BlinkMarker(w.view, w.lines, w.setup, 1, 0, 4);
  EXPECT_EQ(clock.SleepCalls(), 4u);
  EXPECT_EQ(w.pb1.Image(), drawn);
}

TEST(TimeAxis, FilteredChannelIsDrawnOverInTheHighlightColour) {
  Window w;
  const QRgb highlight = platform::ui::ColorFromBgr(viewer::ChannelColors[14]).rgb();
  EXPECT_EQ(CountPixels(w.pb1.Image(), highlight), 0);
  for (int n = 0; n < 1000; ++n) w.samples[1][n] *= 0.5f;
  viewer::DrawFilteredChannel(w.view, w.setup, w.samples[1], w.envelope, 1);
  EXPECT_GT(CountPixels(w.pb1.Image(), highlight), 150);
  EXPECT_EQ(w.setup.ColumnCount[1], 200);
}

}  // namespace
