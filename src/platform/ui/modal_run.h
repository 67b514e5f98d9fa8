#pragma once
// Modal runs of dialogs (the programs' ShowModal). In tests a scripted handler acts on the dialog
// instead of a user (see ui_script.h).
class QDialog;

namespace platform::ui {

// Shows `dialog` modally and returns its result: the value given to QDialog::done (accept() gives
// QDialog::Accepted, reject() and closing the window QDialog::Rejected).
int RunModal(QDialog& dialog);

}  // namespace platform::ui
