#include "viewer/ui/plot_view_host.h"

#include "platform/ui/message_box.h"
#include "viewer/ui/processing_services.h"
#include "viewer/ui/time_axis.h"

namespace viewer {

PlotViewHost::PlotViewHost(ChannelPlotView& view, const LineBitmaps& lines, toolkit::SetupRecord& setup,
                           ChannelSamples& samples, ViewEnvelope& envelope, toolkit::TFunk& funk,
                           MainWindowCalls calls, bool largeFont)
    : view_(view),
      lines_(lines),
      setup_(setup),
      samples_(samples),
      envelope_(envelope),
      funk_(funk),
      calls_(std::move(calls)),
      largeFont_(largeFont) {}

void PlotViewHost::Status(const QString& text) {
  if (calls_.setStatus) calls_.setStatus(text);
}

void PlotViewHost::for_curs() { ForCursAndReport(setup_, samples_, envelope_, view_.PlotWidth); }

void PlotViewHost::DrawChannels(int keepMarkers) {
  viewer::DrawChannels(view_, setup_, envelope_, funk_, keepMarkers);
  Status(view_.StatusText);
}

void PlotViewHost::DrawTimeAxis(int dx, int dy, int mode) {
  viewer::DrawTimeAxis(view_, lines_, setup_, envelope_, largeFont_, dx, dy, mode);
  Status(view_.StatusText);
}

void PlotViewHost::EnableDataMenus(int on) {
  if (calls_.enableDataMenus) calls_.enableDataMenus(on);
}

void PlotViewHost::ShowMessage(const std::string& text) { platform::ui::ShowMessage(text); }

void PlotViewHost::SetStatusText(const std::string& text) { Status(QString::fromStdString(text)); }

bool PlotViewHost::OverviewShown() const { return calls_.overviewShown && calls_.overviewShown(); }

void PlotViewHost::RedrawOverviewFrame() {
  if (calls_.redrawOverviewFrame) calls_.redrawOverviewFrame();
}

void PlotViewHost::ReadStationAgain() {
  if (calls_.readStationAgain) calls_.readStationAgain();
}

void PlotViewHost::DrawFilteredChannel(int ch) {
  viewer::DrawFilteredChannel(view_, setup_, samples_[static_cast<size_t>(ch)], envelope_, ch);
}

void PlotViewHost::BlinkMarker(int channel, int set, int count) {
  viewer::BlinkMarker(view_, lines_, setup_, channel, set, count);
}

std::array<float*, toolkit::kMaxChannels> ChannelPointers(const ChannelSamples& samples) {
  std::array<float*, toolkit::kMaxChannels> out{};
  for (size_t i = 0; i < out.size(); ++i) out[i] = samples[i];
  return out;
}

}  // namespace viewer
