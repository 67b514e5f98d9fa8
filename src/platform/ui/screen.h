#pragma once
// The size of the screen the windows are laid out for (overridable in tests through ui_script.h).
#include <QSize>

namespace platform::ui {

// Pixel size of the primary screen.
QSize ScreenSize();

}  // namespace platform::ui
