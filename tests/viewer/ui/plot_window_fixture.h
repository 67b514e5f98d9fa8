#pragma once
// A two-channel record loaded and drawn on a 200 x 100 plot, as the main window leaves it after a read.
#include <cmath>

#include "platform/ui/colors.h"
#include "toolkit/funk.h"
#include "viewer/channel_colors.h"
#include "viewer/ui/channel_plot.h"
#include "viewer/ui/processing_services.h"
#include "viewer/ui/xor_lines.h"

namespace viewer_test {

struct PlotWindow {
  platform::ui::PaintBox pb1, pb3;
  viewer::ChannelPlotView view;
  viewer::LineBitmaps lines;
  toolkit::SetupRecord setup{};
  viewer::ChannelSamples samples;
  viewer::ViewEnvelope envelope;
  toolkit::TFunk funk;

  PlotWindow() {
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
      samples.Allocate(c, 1000 + viewer::ChannelSamples::kSpare);
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
};

inline int CountPixels(const QImage& image, QRgb rgb) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += (image.pixel(x, y) & 0xFFFFFF) == (rgb & 0xFFFFFF);
  return n;
}

}  // namespace viewer_test
