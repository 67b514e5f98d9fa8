#pragma once

namespace platform::ui {

// Keeps numbers in the C locale (a decimal point in printf and scanf) whatever the user's locale.
// Call first in main, before the QApplication is built: the application object applies the user's
// locale while it is built, and the C numeric locale is set again right after that.
void UseCNumericLocale();

}  // namespace platform::ui
