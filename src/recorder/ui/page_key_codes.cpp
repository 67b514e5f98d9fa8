#include "recorder/ui/page_key_codes.h"

#include "recorder/page_boxes.h"

namespace recorder {

int PageKeyCode(int qtKey, bool keypad) {
  switch (qtKey) {
    case Qt::Key_Equal:
      return kKeyEqual;
    case Qt::Key_Plus:  // "=" with Shift on the main keyboard
      return keypad ? kKeyPadPlus : kKeyEqual;
    case Qt::Key_Minus:
      return keypad ? kKeyPadMinus : kKeyMinus;
    case Qt::Key_Underscore:
      return kKeyMinus;
    case Qt::Key_Z:
      return kKeyZ;
    default:
      return 0;
  }
}

}  // namespace recorder
