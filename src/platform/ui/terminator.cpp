#include "platform/ui/terminator.h"

#include <cstdlib>
#include <string>

#include "platform/ui/synchronize.h"
#include "platform/ui/ui_script.h"

namespace platform::ui {

ProgramTerminated::ProgramTerminated(int status)
    : std::runtime_error("program ended with exit status " + std::to_string(status)), status_(status) {}

void ExitProgram(int status) {
  if (UiScript* script = ActiveScript()) {
    script->RecordExit(status);
    throw ProgramTerminated(status);
  }
  if (!IsGuiThread()) {
    // Ended on the GUI thread, so that no window is torn down under a running handler.
    Synchronize([status] { std::exit(status); });
  }
  std::exit(status);
}

}  // namespace platform::ui
