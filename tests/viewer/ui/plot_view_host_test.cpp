#include "viewer/ui/plot_view_host.h"

#include <gtest/gtest.h>

#include "support/qt/ui_test_script.h"
#include "viewer/cursor_readout.h"
#include "viewer/plot_layout.h"
#include "viewer/processing_commands.h"
#include "viewer/ui/plot_window_fixture.h"
#include "viewer/view_keys.h"
#include "viewer/view_navigation.h"

namespace {

struct Host : viewer_test::PlotWindow {
  std::vector<int> menus;
  QString status;
  int stationReads = 0;
  viewer::PlotViewHost host{
      view,
      lines,
      setup,
      samples,
      envelope,
      funk,
      {[this](int on) { menus.push_back(on); }, [this](const QString& s) { status = s; }, nullptr, nullptr,
       [this] { ++stationReads; }},
      false};
  uint8_t last = 0;
  void Key(int key, int ctrl = 0) { viewer::HandleViewKey(setup, host, last, key, ctrl); }
};

TEST(PlotViewHost, KeysZoomAndEnterCursorMode) {
  Host w;
  const QImage whole = w.pb1.Image().copy();
  w.Key(viewer::kKeyPlus);
  EXPECT_EQ(w.setup.Nk - w.setup.Nn, 800);  // 999 / 240 whole plot widths of 200
  EXPECT_NE(w.pb1.Image(), whole);
  EXPECT_EQ(w.status.toStdString(), viewer::kPlotKeyHelp);
  w.Key(viewer::kKeySpace);
  EXPECT_EQ(w.pb1.Image(), whole);

  w.Key(viewer::kKeyEnter);
  EXPECT_EQ(w.menus, (std::vector<int>{0}));
  EXPECT_EQ(w.status.toStdString(), viewer::kCursorKeyHelp);
  EXPECT_NE(w.pb1.Image(), whole);
  w.Key(viewer::kKeyRight, 1);
  EXPECT_EQ(w.setup.CursorColumns[0][0], 10);
  // The cursors stand less than a column apart in samples: the view stays.
  w.setup.CursorSamples[1] = w.setup.CursorSamples[0] + 1;
  support::Ui().ExpectMessage(platform::ui::MsgAnswer::Ok, "!!!!!!!");
  w.Key(viewer::kKeySpace);
  EXPECT_EQ(w.setup.Nn, 0);
  w.Key(viewer::kKeyEnter);
  EXPECT_EQ(w.menus, (std::vector<int>{0, 1}));
  EXPECT_EQ(w.pb1.Image(), whole);
  EXPECT_EQ(w.stationReads, 0);
}

TEST(PlotViewHost, CommandsEndWithTheirMessagesAndARedraw) {
  Host w;
  auto k = viewer::ChannelPointers(w.samples);
  EXPECT_EQ(k[0], w.samples[0]);
  EXPECT_EQ(k[2], nullptr);
  const QImage before = w.pb1.Image().copy();
  viewer::FinishCommand(w.host, viewer::AbsoluteValue(w.setup, k.data()), w.setup);
  EXPECT_NE(w.pb1.Image(), before);
  EXPECT_GE(w.setup.ChannelMin[0], 0.0f);  // the envelope was taken again
  support::Ui().ExpectMessage(platform::ui::MsgAnswer::Ok, "мало каналов!!");
  viewer::FinishCommand(w.host, viewer::CompareByFit(w.setup, k.data()), w.setup);
}

}  // namespace
