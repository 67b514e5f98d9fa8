// The main window's "объединить" (merging two recordings) and "сохранить" -> "miniseed" commands.
#include "platform/ui/message_box.h"
#include "platform/ui/modal_run.h"
#include "toolkit/ui/merge_form.h"
#include "viewer/channel_samples.h"
#include "viewer/miniseed_export.h"
#include "viewer/ui/main_window.h"

namespace viewer {

using toolkit::Setup;

void TForm1::N_OB_edin_Click() {
  if (Setup->StationMode != 0) {
    platform::ui::ShowMessage("нет  файла");
    return;
  }
  toolkit::TForm4 form(*Setup, this);
  platform::ui::RunModal(form);
}

void TForm1::N_miniseed1Click() {
  if (!Loaded) return;
  const std::string error = ExportMiniSeed(*Setup, GlobalChannelSamples());
  if (!error.empty())
    platform::ui::MessageBox(error, "miniseed", platform::ui::MsgButtons::Ok, platform::ui::MsgIcon::Error);
}

}  // namespace viewer
