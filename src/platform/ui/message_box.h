#pragma once
// Modal message boxes. Every message box of the programs goes through here, so that tests can script
// the answers (see ui_script.h). Texts are UTF-8.
#include <QString>
#include <string>

namespace platform::ui {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgAnswer { Ok, Cancel, Yes, No };

// Shows the box and returns the button the user pressed. Closing the box without a button gives the
// "safe" answer of its kind: Ok, Cancel, No, Cancel. Callable from any thread: off the GUI thread the
// box is shown on the GUI thread (through Synchronize) and the caller waits for the answer.
MsgAnswer MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons = MsgButtons::Ok,
                     MsgIcon icon = MsgIcon::None);
inline MsgAnswer MessageBox(const QString& text, const QString& caption, MsgButtons buttons = MsgButtons::Ok,
                            MsgIcon icon = MsgIcon::None) {
  return MessageBox(text.toStdString(), caption.toStdString(), buttons, icon);
}
inline MsgAnswer MessageBox(const char* text, const char* caption, MsgButtons buttons = MsgButtons::Ok,
                            MsgIcon icon = MsgIcon::None) {
  return MessageBox(std::string(text), std::string(caption), buttons, icon);
}

// The plain message: OK only, no icon, the application's name as caption.
void ShowMessage(const std::string& text);
inline void ShowMessage(const QString& text) { ShowMessage(text.toStdString()); }
inline void ShowMessage(const char* text) { ShowMessage(std::string(text)); }

// The answer a box of this kind gives when it is closed without a button.
MsgAnswer DefaultAnswer(MsgButtons buttons);

const char* ToString(MsgAnswer answer);
const char* ToString(MsgButtons buttons);

}  // namespace platform::ui
