#pragma once
// Pictures of windows for tests and for looking at what a window drew.
#include <QString>

class QWidget;

namespace platform::ui {

// Renders `widget` (with its children) and saves it as a PNG file; false when it cannot be written.
bool GrabToPng(QWidget& widget, const QString& path);

}  // namespace platform::ui
