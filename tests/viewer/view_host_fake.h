#pragma once
// A ViewHost that records what the plot logic asks of the window.
#include <memory>
#include <string>
#include <vector>

#include "toolkit/setup_record.h"
#include "viewer/view_host.h"

namespace viewer_test {

class RecordingHost : public viewer::ViewHost {
 public:
  struct Axis {
    int dx, dy, mode;
    bool operator==(const Axis&) const = default;
  };
  struct Blink {
    int channel, set, count;
    bool operator==(const Blink&) const = default;
  };

  int width = 1200;
  bool overview = false;
  int forCurs = 0;
  std::vector<int> drawChannels;
  std::vector<Axis> axis;
  std::vector<int> menus;
  std::vector<std::string> messages;
  std::vector<std::string> status;
  int overviewFrames = 0;
  int stationReads = 0;
  std::vector<Blink> blinks;
  // Called for every step so that tests can check the order of the protocol.
  std::vector<std::string> calls;

  int PlotWidth() const override { return width; }
  void for_curs() override {
    ++forCurs;
    calls.push_back("for_curs");
  }
  void DrawChannels(int keep) override {
    drawChannels.push_back(keep);
    calls.push_back("DrawChannels");
  }
  void DrawTimeAxis(int dx, int dy, int mode) override {
    axis.push_back({dx, dy, mode});
    calls.push_back("DrawTimeAxis");
  }
  void EnableDataMenus(int on) override { menus.push_back(on); }
  void ShowMessage(const std::string& text) override {
    messages.push_back(text);
    calls.push_back("message " + text);
  }
  void SetStatusText(const std::string& text) override { status.push_back(text); }
  bool OverviewShown() const override { return overview; }
  void RedrawOverviewFrame() override {
    ++overviewFrames;
    calls.push_back("overview");
  }
  void ReadStationAgain() override { ++stationReads; }
  void DrawFilteredChannel(int ch) override { calls.push_back("filtered " + std::to_string(ch)); }
  void BlinkMarker(int channel, int set, int count) override { blinks.push_back({channel, set, count}); }
};

// A record with defaults, `channels` channels in memory all shown, `samples` samples, whole range.
inline std::unique_ptr<toolkit::SetupRecord> MakeSetup(int channels, uint32_t samples) {
  auto s = std::make_unique<toolkit::SetupRecord>();
  toolkit::SetSetupDefaults(*s, "/tmp/");
  s->ChannelCount = static_cast<uint16_t>(channels);
  s->FirstChannel = 0;
  s->ShownEnd = static_cast<uint16_t>(channels);
  s->Channel = 0;
  s->Samples = samples;
  s->Nn = 0;
  s->Nk = samples > 0 ? static_cast<int32_t>(samples - 1) : 0;
  s->Header.Rate = 100;
  s->Dt = 0.01;
  s->CursorMode = 0;
  s->StationMode = 0;
  return s;
}

}  // namespace viewer_test
