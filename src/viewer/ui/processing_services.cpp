#include "viewer/ui/processing_services.h"

#include <unistd.h>

#include "platform/ui/message_box.h"
#include "platform/ui/terminator.h"
#include "viewer/recording_loader.h"

namespace viewer {

void ReadWriteSetupOrExit(toolkit::TFunk& funk, int mode) {
  const toolkit::SetupFileError e = funk.ReadWriteSetup(mode);
  if (!e.failed) return;
  if (e.caption.empty()) {
    platform::ui::ShowMessage(e.text);
  } else {
    platform::ui::MessageBox(e.text, e.caption, platform::ui::MsgButtons::Ok, platform::ui::MsgIcon::Error);
  }
  platform::ui::ExitProgram(1);
}

ReloadOutcome ReloadRecording(toolkit::SetupRecord& setup, ChannelSamples& samples, toolkit::TFunk& funk) {
  const std::string dir = toolkit::FieldText(setup.DataDir);
  if (!dir.empty() && ::chdir(dir.c_str()) != 0) {
    // The data directory is gone: the file is then looked for by its own path only.
  }
  const LoadReport report = LoadRecording(setup, samples, funk);
  ReloadOutcome outcome;
  if (report.status != LoadStatus::Ok) {
    const bool own = report.status == LoadStatus::BadHeader || report.status == LoadStatus::BadCoefficient ||
                     report.status == LoadStatus::NoMemory;
    const std::string text = own ? report.checkText : LoadFailureText(report.status, setup);
    platform::ui::MessageBox(text, toolkit::FieldText(setup.FileName), platform::ui::MsgButtons::Ok,
                             platform::ui::MsgIcon::Error);
    return outcome;
  }
  if (report.samplesLeftOut != 0) platform::ui::ShowMessage(SamplesLeftOutText(setup, report.samplesLeftOut));
  if (report.memoryShort) platform::ui::ShowMessage(MemoryShortText(report.channelsKept));
  if (!report.testSignalText.empty()) platform::ui::ShowMessage(report.testSignalText);
  if (setup.Samples == 0 && report.channelsKept > 0) platform::ui::ShowMessage(kNoSamplesText);
  outcome.loaded = true;
  outcome.caption = RecordingCaption(setup);
  return outcome;
}

void ForCursAndReport(toolkit::SetupRecord& setup, const ChannelSamples& samples, ViewEnvelope& envelope,
                      int plotWidth) {
  const ForCursResult r = for_curs(setup, samples, envelope, plotWidth);
  if (r.spanMessage) platform::ui::ShowMessage(r.spanText);
}

}  // namespace viewer
