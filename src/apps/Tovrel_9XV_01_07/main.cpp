// The recorder-control program: the main window with its link to the recorder, the device chooser,
// and the message loop. The setup editor, the page reader, the time-correction dialog and the live
// window join as they are built.
#include <QApplication>
#include <exception>

#include "emulator/emulated_backend.h"
#include "platform/ui/message_box.h"
#include "platform/ui/numeric_locale.h"
#include "recorder/ui/device_chooser.h"
#include "recorder/ui/main_window.h"

int main(int argc, char** argv) {
  platform::ui::UseCNumericLocale();
  QApplication app(argc, argv);
  app.setApplicationName("Tovrel_9XV_01_07");
  // Emulated recorders only when TOVREL_EMULATED_UNITS asks for them; real ones otherwise.
  emulator::InstallEmulatedBackend();
  try {
    recorder::Trecorder main;
    recorder::TForm3 chooser(&main);
    recorder::Form3 = &chooser;
    main.show();
    const int status = app.exec();
    recorder::Form3 = nullptr;
    return status;
  } catch (const std::exception& e) {
    platform::ui::MessageBox(e.what(), "Tovrel_9XV_01_07", platform::ui::MsgButtons::Ok,
                             platform::ui::MsgIcon::Error);
    return 1;
  }
}
