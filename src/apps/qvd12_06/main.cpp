// qvd12_06: the processing program. Loads, draws and processes recording data files.
#include <QApplication>
#include <exception>
#include <memory>

#include "platform/ui/message_box.h"
#include "platform/ui/numeric_locale.h"
#include "toolkit/fil_batt.h"
#include "toolkit/funk.h"
#include "analysis/ui/spectrum_form.h"
#include "toolkit/setup_record.h"
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
    // The spectrum window lives for the whole run; it needs the setup record the main window loaded.
    std::unique_ptr<analysis::TForm_spek> spectrum;
    if (toolkit::Setup != nullptr) {
      spectrum = std::make_unique<analysis::TForm_spek>();
      form.ShowSpectrumWindow = [&spectrum] { spectrum->ShowModalFromMain(); };
    }
    form.show();
    return QApplication::exec();
  } catch (const std::exception& e) {
    platform::ui::ShowMessage(e.what());
  }
  return 0;
}
