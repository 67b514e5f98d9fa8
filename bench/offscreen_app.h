#pragma once
// The one QApplication of a benchmark program that draws into windows: offscreen unless the caller
// chose a platform.
#include <QApplication>

namespace bench {

inline QApplication& OffscreenApp() {
  static int argc = 1;
  static char name[] = "bench";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(argc, argv);
  return app;
}

}  // namespace bench
