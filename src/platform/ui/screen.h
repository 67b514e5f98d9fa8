#pragma once
// The size of the screen the windows are laid out for (overridable in tests through ui_script.h).
#include <QRect>
#include <QSize>

namespace platform::ui {

// Pixel size of the primary screen.
QSize ScreenSize();
// The part of the primary screen windows may take: the screen less its panels and docks.
QRect AvailableScreenArea();

}  // namespace platform::ui
