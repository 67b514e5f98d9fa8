#include "recorder/page_boxes.h"

#include <algorithm>
#include <cmath>

#include "toolkit/format_text.h"
#include "toolkit/parse_number.h"

namespace recorder {

uint32_t PageBoxValue(std::string_view text) {
  const double value = std::round(toolkit::ParseNumber(text));
  if (!(value > 0)) return 0;
  return value >= kPageBoxMax ? kPageBoxMax : static_cast<uint32_t>(value);
}

std::string PageBoxText(uint32_t page) { return toolkit::FormatText("%08u", page); }

uint32_t BeginBoxAfterChange(uint32_t page) { return page == 0 ? 1 : page; }

uint32_t EndBoxAfterExit(uint32_t page, uint16_t fcMax) {
  if (fcMax == 0) return page;
  return std::min(page, uint32_t{fcMax} * 4000u - 1u);
}

PageKeyStep PageKeyStepOf(int keyCode, bool ctrl, bool alt) {
  const int64_t step = alt ? 10000 : ctrl ? 100 : 1;
  switch (keyCode) {
    case kKeyEqual:
      return {PageBox::Begin, step};
    case kKeyMinus:
      return {PageBox::Begin, -step};
    case kKeyPadPlus:
      return {PageBox::End, step};
    case kKeyPadMinus:
      return {PageBox::End, -step};
    default:
      return {};
  }
}

bool ZPresses::Press(bool z, bool wide) {
  count_ = z ? count_ + 1 : 0;
  if (count_ > 4) count_ = 0;
  if (count_ != 3 || !wide) return false;
  count_ = 0;
  return true;
}

uint32_t SteppedPage(uint32_t page, int64_t delta) {
  return static_cast<uint32_t>(std::clamp<int64_t>(int64_t{page} + delta, 0, kPageBoxMax));
}

}  // namespace recorder
