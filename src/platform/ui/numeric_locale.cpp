#include "platform/ui/numeric_locale.h"

#include <QCoreApplication>
#include <clocale>
#include <cstdlib>

namespace platform::ui {
namespace {

void SetCNumeric() { std::setlocale(LC_NUMERIC, "C"); }

}  // namespace

void UseCNumericLocale() {
  setenv("LC_NUMERIC", "C", 1);
  SetCNumeric();
  // Runs at the end of the application object's construction (at once when it exists already).
  qAddPreRoutine(SetCNumeric);
}

}  // namespace platform::ui
