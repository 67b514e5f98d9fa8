#include "platform/ui/push_buttons.h"

#include <QPushButton>
#include <QWidget>

namespace platform::ui {

void NoDefaultButtons(QWidget& form) {
  for (QPushButton* button : form.findChildren<QPushButton*>()) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }
}

}  // namespace platform::ui
