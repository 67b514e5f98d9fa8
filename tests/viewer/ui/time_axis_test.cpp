#include "viewer/ui/time_axis.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/clock.h"
#include "platform/ui/colors.h"
#include "toolkit/funk.h"
#include "viewer/channel_colors.h"

namespace {

// A two-channel record drawn on a 200 x 100 plot, as the main window leaves it after a read.
struct Window {
  platform::ui::PaintBox pb1, pb3;
  viewer::ChannelPlotView view;
  viewer::LineBitmaps lines;
  toolkit::SetupRecord setup{};
  viewer::ChannelSamples samples;
  viewer::ViewEnvelope envelope;
  toolkit::TFunk funk;

  Window() {
    toolkit::SetSetupDefaults(setup, "/tmp/");
    setup.ChannelCount = 2;
    setup.FirstChannel = 0;
    setup.ShownEnd = 2;
    setup.Channel = 0;
    setup.Samples = 1000;
    setup.Nn = 0;
    setup.Nk = 999;
    setup.Header.Rate = 100;
    setup.Dt = 0.01;
    setup.VerticalCursorCount = 2;
    for (int c = 0; c < 2; ++c) {
      EXPECT_TRUE(samples.Allocate(c, 1000 + viewer::ChannelSamples::kSpare));
      for (int n = 0; n < 1000; ++n) samples[c][n] = static_cast<float>(std::sin(n * 0.05 * (c + 1)) * 100);
    }
    pb1.resize(260, 100);
    pb3.resize(260, 54);
    view.PB1 = &pb1;
    view.PB3 = &pb3;
    view.PlotWidth = 200;
    view.ScrollBoxHeight = 110;
    for (int i = 0; i < viewer::kLineBitmapCount; ++i)
      lines[i] = viewer::HorizontalLineBitmap(
          200, platform::ui::ColorFromBgr(viewer::ChannelColors[viewer::ChannelColourIndex(i)]));
    viewer::for_curs(setup, samples, envelope, view.PlotWidth);
    viewer::DrawChannels(view, setup, envelope, funk, 0);
    setup.CursorColumns[0][1] = 40;
    setup.CursorColumns[1][1] = 160;
  }
  void Axis(int dx, int dy, int mode) {
    viewer::DrawTimeAxis(view, lines, setup, envelope, false, dx, dy, mode);
  }
};

int CountPixels(const QImage& image, QRgb rgb) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += (image.pixel(x, y) & 0xFFFFFF) == (rgb & 0xFFFFFF);
  return n;
}

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
