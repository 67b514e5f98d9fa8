#include "platform/ui/modal_run.h"

#include <QDialog>

#include "platform/ui/ui_script.h"

namespace platform::ui {

int RunModal(QDialog& dialog) {
  if (UiScript* script = ActiveScript()) return script->RunModal(dialog);
  return dialog.exec();
}

}  // namespace platform::ui
