// qvd12_06: the processing program. Loads, draws and processes recording data files.
#include <QApplication>
#include <exception>

#include "platform/ui/message_box.h"
#include "platform/ui/numeric_locale.h"
#include "toolkit/fil_batt.h"
#include "toolkit/funk.h"
#include "viewer/ui/main_window.h"

int main(int argc, char** argv) {
  platform::ui::UseCNumericLocale();
  // The program-wide Butterworth designer and toolkit object exist before any window.
  toolkit::GlobalButterworth();
  toolkit::GlobalFunk();
  QApplication app(argc, argv);
  platform::ui::UseCNumericLocale();
  QApplication::setApplicationName("Обработка");
  try {
    viewer::TForm1 form;
    form.show();
    return QApplication::exec();
  } catch (const std::exception& e) {
    platform::ui::ShowMessage(e.what());
  }
  return 0;
}
