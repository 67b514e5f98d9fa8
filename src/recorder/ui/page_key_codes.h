#pragma once
// The keys of the main window's key preview: Qt key events mapped onto the key codes of
// recorder/page_boxes.h ("=" and "-" of the main keyboard, "+" and "-" of the keypad, Z).
#include <QKeyEvent>

namespace recorder {

// The code of the key, or 0 for a key the window does not use.
int PageKeyCode(int qtKey, bool keypad);
inline int PageKeyCode(const QKeyEvent& event) {
  return PageKeyCode(event.key(), event.modifiers().testFlag(Qt::KeypadModifier));
}

}  // namespace recorder
