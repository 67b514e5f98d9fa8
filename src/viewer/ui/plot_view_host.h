#pragma once
// The plot logic's window side: ViewHost over the plot view, the channel arrays and the envelopes, with
// the main window's menus, status bar, overview strip and station reading reached through callbacks.
#include <QString>
#include <array>
#include <functional>

#include "toolkit/funk.h"
#include "toolkit/setup_record.h"
#include "viewer/channel_samples.h"
#include "viewer/ui/channel_plot.h"
#include "viewer/ui/xor_lines.h"
#include "viewer/view_envelope.h"
#include "viewer/view_host.h"

namespace viewer {

// What only the main window can do; an empty callback does nothing (no overview strip: not shown).
struct MainWindowCalls {
  std::function<void(int)> enableDataMenus;
  std::function<void(const QString&)> setStatus;
  std::function<bool()> overviewShown;
  std::function<void()> redrawOverviewFrame;
  std::function<void()> readStationAgain;
};

class PlotViewHost final : public ViewHost {
 public:
  PlotViewHost(ChannelPlotView& view, const LineBitmaps& lines, toolkit::SetupRecord& setup,
               ChannelSamples& samples, ViewEnvelope& envelope, toolkit::TFunk& funk, MainWindowCalls calls,
               bool largeFont);

  int PlotWidth() const override { return view_.PlotWidth; }
  void for_curs() override;
  void DrawChannels(int keepMarkers) override;
  void DrawTimeAxis(int dx, int dy, int mode) override;
  void EnableDataMenus(int on) override;
  void ShowMessage(const std::string& text) override;
  void SetStatusText(const std::string& text) override;
  bool OverviewShown() const override;
  void RedrawOverviewFrame() override;
  void ReadStationAgain() override;
  void DrawFilteredChannel(int ch) override;
  void BlinkMarker(int channel, int set, int count) override;

 private:
  void Status(const QString& text);

  ChannelPlotView& view_;
  const LineBitmaps& lines_;
  toolkit::SetupRecord& setup_;
  ChannelSamples& samples_;
  ViewEnvelope& envelope_;
  toolkit::TFunk& funk_;
  MainWindowCalls calls_;
  bool largeFont_;
};

// The channel arrays as the processing commands take them: one pointer a channel place, null where none.
std::array<float*, toolkit::kMaxChannels> ChannelPointers(const ChannelSamples& samples);

}  // namespace viewer
