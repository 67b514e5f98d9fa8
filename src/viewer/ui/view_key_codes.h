#pragma once
// The keys of the main plot: Qt key events mapped onto the key codes of viewer/view_keys.h. Keys of the
// main keyboard and of the keypad give the same codes; the letter key V (М on the Russian layout) is
// recognised by its position, whatever layout is active.
#include <QKeyEvent>

namespace viewer {

// The code of the key: the plot's codes for the keys it acts on, the virtual-key number of a letter,
// digit or common control key, kKeyOther for any other key. Never 0.
int ViewKeyCode(int qtKey, quint32 nativeScanCode);
inline int ViewKeyCode(const QKeyEvent& event) { return ViewKeyCode(event.key(), event.nativeScanCode()); }
// 1 while Ctrl is held.
inline int CtrlHeld(const QKeyEvent& event) {
  return event.modifiers().testFlag(Qt::ControlModifier) ? 1 : 0;
}

}  // namespace viewer
