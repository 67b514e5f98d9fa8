// Entry of the window tests: one QApplication on the offscreen platform, the GUI services under a
// test script, then GoogleTest.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "platform/ui/numeric_locale.h"
#include "support/qt/ui_test_script.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Pictures are checked pixel by pixel: the scaling a desktop session may ask for does not apply.
  for (const char* scaling : {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_FONT_DPI", "QT_USE_PHYSICAL_DPI",
                              "QT_ENABLE_HIGHDPI_SCALING", "QT_SCALE_FACTOR_ROUNDING_POLICY"})
    unsetenv(scaling);
  platform::ui::UseCNumericLocale();
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  support::InstallUiScriptListener();
  return RUN_ALL_TESTS();
}
