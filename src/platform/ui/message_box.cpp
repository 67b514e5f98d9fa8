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

MsgAnswer ShowOnGuiThread(const std::string& text, const std::string& caption, MsgButtons buttons,
                          MsgIcon icon) {
  QMessageBox box(IconOf(icon), QString::fromStdString(caption), QString::fromStdString(text),
                  ButtonsOf(buttons));
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

MsgAnswer MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons, MsgIcon icon) {
  if (UiScript* script = ActiveScript()) return script->AnswerMessage(text, caption, buttons, icon);
  MsgAnswer answer = DefaultAnswer(buttons);
  Synchronize([&] { answer = ShowOnGuiThread(text, caption, buttons, icon); });
  return answer;
}

void ShowMessage(const std::string& text) {
  MessageBox(text, QGuiApplication::applicationDisplayName().toStdString(), MsgButtons::Ok, MsgIcon::None);
}

}  // namespace platform::ui
