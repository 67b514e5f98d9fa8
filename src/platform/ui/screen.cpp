#include "platform/ui/screen.h"

#include <QGuiApplication>
#include <QScreen>

#include "platform/ui/ui_script.h"

namespace platform::ui {

QSize ScreenSize() {
  if (UiScript* script = ActiveScript()) {
    if (const auto size = script->ScreenSize()) return *size;
  }
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->size() : QSize();
}

QRect AvailableScreenArea() {
  if (UiScript* script = ActiveScript()) {
    if (const auto area = script->AvailableArea()) return *area;
  }
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect();
}

}  // namespace platform::ui
