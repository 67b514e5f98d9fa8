#include "platform/ui/message_box.h"

#include <QGuiApplication>
#include <QMessageBox>

#include "platform/ui/synchronize.h"
#include "platform/ui/ui_script.h"

namespace platform::ui {
namespace {

QMessageBox::StandardButtons ButtonsOf(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok:
      return QMessageBox::Ok;
    case MsgButtons::OkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgButtons::YesNo:
      return QMessageBox::Yes | QMessageBox::No;
    case MsgButtons::YesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
  }
  return QMessageBox::Ok;
}

QMessageBox::Icon IconOf(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::None:
      return QMessageBox::NoIcon;
    case MsgIcon::Information:
      return QMessageBox::Information;
    case MsgIcon::Warning:
      return QMessageBox::Warning;
    case MsgIcon::Error:
      return QMessageBox::Critical;
    case MsgIcon::Question:
      return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButton ButtonOf(MsgAnswer answer) {
  switch (answer) {
    case MsgAnswer::Ok:
      return QMessageBox::Ok;
    case MsgAnswer::Cancel:
      return QMessageBox::Cancel;
    case MsgAnswer::Yes:
      return QMessageBox::Yes;
    case MsgAnswer::No:
      return QMessageBox::No;
  }
  return QMessageBox::NoButton;
}

MsgAnswer ShowOnGuiThread(const std::string& text, const std::string& caption, MsgButtons buttons,
                          MsgIcon icon, MsgDefault defaultButton) {
  QMessageBox box(IconOf(icon), QString::fromStdString(caption), QString::fromStdString(text),
                  ButtonsOf(buttons));
  if (defaultButton && HasButton(buttons, *defaultButton)) box.setDefaultButton(ButtonOf(*defaultButton));
  box.setEscapeButton(ButtonOf(DefaultAnswer(buttons)));
  switch (box.exec()) {
    case QMessageBox::Ok:
      return MsgAnswer::Ok;
    case QMessageBox::Cancel:
      return MsgAnswer::Cancel;
    case QMessageBox::Yes:
      return MsgAnswer::Yes;
    case QMessageBox::No:
      return MsgAnswer::No;
    default:
      return DefaultAnswer(buttons);
  }
}

}  // namespace

MsgAnswer DefaultAnswer(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok:
      return MsgAnswer::Ok;
    case MsgButtons::YesNo:
      return MsgAnswer::No;
    case MsgButtons::OkCancel:
    case MsgButtons::YesNoCancel:
      break;
  }
  return MsgAnswer::Cancel;
}

bool HasButton(MsgButtons buttons, MsgAnswer answer) {
  switch (buttons) {
    case MsgButtons::Ok:
      return answer == MsgAnswer::Ok;
    case MsgButtons::OkCancel:
      return answer == MsgAnswer::Ok || answer == MsgAnswer::Cancel;
    case MsgButtons::YesNo:
      return answer == MsgAnswer::Yes || answer == MsgAnswer::No;
    case MsgButtons::YesNoCancel:
      return answer != MsgAnswer::Ok;
  }
  return false;
}

MsgAnswer EnterAnswer(MsgButtons buttons, MsgDefault defaultButton) {
  if (defaultButton && HasButton(buttons, *defaultButton)) return *defaultButton;
  return HasButton(buttons, MsgAnswer::Yes) ? MsgAnswer::Yes : MsgAnswer::Ok;
}

const char* ToString(MsgAnswer answer) {
  switch (answer) {
    case MsgAnswer::Ok:
      return "Ok";
    case MsgAnswer::Cancel:
      return "Cancel";
    case MsgAnswer::Yes:
      return "Yes";
    case MsgAnswer::No:
      return "No";
  }
  return "?";
}

const char* ToString(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok:
      return "Ok";
    case MsgButtons::OkCancel:
      return "OkCancel";
    case MsgButtons::YesNo:
      return "YesNo";
    case MsgButtons::YesNoCancel:
      return "YesNoCancel";
  }
  return "?";
}

MsgAnswer MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons, MsgIcon icon,
                     MsgDefault defaultButton) {
  if (UiScript* script = ActiveScript()) return script->AnswerMessage(text, caption, buttons, icon, defaultButton);
  MsgAnswer answer = DefaultAnswer(buttons);
  Synchronize([&] { answer = ShowOnGuiThread(text, caption, buttons, icon, defaultButton); });
  return answer;
}

void ShowMessage(const std::string& text) {
  MessageBox(text, QGuiApplication::applicationDisplayName().toStdString(), MsgButtons::Ok, MsgIcon::None);
}

}  // namespace platform::ui
