#pragma once
// Modal message boxes. Every message box of the programs goes through here, so that tests can script
// the answers (see ui_script.h). Texts are UTF-8.
#include <QString>
#include <optional>
#include <string>

namespace platform::ui {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgAnswer { Ok, Cancel, Yes, No };

// The button a box names as its default: the one Enter presses. Without one the platform picks it
// (usually Yes or Ok), so a question whose Enter must not do harm names it.
using MsgDefault = std::optional<MsgAnswer>;

// Shows the box and returns the button the user pressed. Enter presses `defaultButton` when the box
// names one (it must be one of its buttons). Escape, and closing the box without a button, give the
// "safe" answer of its kind: Ok, Cancel, No, Cancel. Callable from any thread: off the GUI thread the
// box is shown on the GUI thread (through Synchronize) and the caller waits for the answer.
MsgAnswer MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons = MsgButtons::Ok,
                     MsgIcon icon = MsgIcon::None, MsgDefault defaultButton = std::nullopt);
inline MsgAnswer MessageBox(const QString& text, const QString& caption, MsgButtons buttons = MsgButtons::Ok,
                            MsgIcon icon = MsgIcon::None, MsgDefault defaultButton = std::nullopt) {
  return MessageBox(text.toStdString(), caption.toStdString(), buttons, icon, defaultButton);
}
inline MsgAnswer MessageBox(const char* text, const char* caption, MsgButtons buttons = MsgButtons::Ok,
                            MsgIcon icon = MsgIcon::None, MsgDefault defaultButton = std::nullopt) {
  return MessageBox(std::string(text), std::string(caption), buttons, icon, defaultButton);
}

// The plain message: OK only, no icon, the application's name as caption.
void ShowMessage(const std::string& text);
inline void ShowMessage(const QString& text) { ShowMessage(text.toStdString()); }
inline void ShowMessage(const char* text) { ShowMessage(std::string(text)); }

// The answer a box of this kind gives when it is closed without a button or left with Escape.
MsgAnswer DefaultAnswer(MsgButtons buttons);
// The answer Enter gives: the named default, else the platform's usual pick (Yes, else Ok).
MsgAnswer EnterAnswer(MsgButtons buttons, MsgDefault defaultButton);
// True when `answer` is one of the buttons of `buttons`.
bool HasButton(MsgButtons buttons, MsgAnswer answer);

const char* ToString(MsgAnswer answer);
const char* ToString(MsgButtons buttons);

}  // namespace platform::ui
