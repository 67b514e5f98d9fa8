// Entry of the window tests: one QApplication on the offscreen platform, the GUI services under a
// test script, then GoogleTest.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "platform/ui/numeric_locale.h"
#include "support/qt/ui_test_script.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  platform::ui::UseCNumericLocale();
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  support::InstallUiScriptListener();
  return RUN_ALL_TESTS();
}
