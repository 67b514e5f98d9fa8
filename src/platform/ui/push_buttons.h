#pragma once
// Enter in a form's edit does what that edit's handler says, never presses a button Qt picked as the
// dialog's default (a QDialog makes its first auto-default push button the default).
class QWidget;

namespace platform::ui {

// Clears autoDefault and default on every push button of `form` and its children. Forms call it once
// their controls are built, and again after adding buttons later.
void NoDefaultButtons(QWidget& form);

}  // namespace platform::ui
