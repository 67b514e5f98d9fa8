#include "toolkit/funk.h"

namespace toolkit {

TFunk& GlobalFunk() {
  static TFunk funk;
  return funk;
}

}  // namespace toolkit
