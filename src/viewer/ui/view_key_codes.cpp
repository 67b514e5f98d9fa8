#include "viewer/ui/view_key_codes.h"

#include <array>
#include <utility>

#include "viewer/view_keys.h"

namespace viewer {
namespace {

// X keycode of the V key (evdev code 47 + 8), the same under every layout.
constexpr quint32 kScanCodeV = 55;
// Qt reports a Cyrillic letter by its upper-case code point.
constexpr int kCyrillicEm = 0x041C;

// Qt key -> plot key. The keypad's keys come with Qt's keypad modifier but the same Qt key (arrows and
// Insert with NumLock off, +, - and Enter always), so one row serves both keyboards.
constexpr std::array<std::pair<int, int>, 25> kKeys{{
    {Qt::Key_Return, kKeyEnter},
    {Qt::Key_Enter, kKeyEnter},
    {Qt::Key_Space, kKeySpace},
    {Qt::Key_Left, kKeyLeft},
    {Qt::Key_Up, kKeyUp},
    {Qt::Key_Right, kKeyRight},
    {Qt::Key_Down, kKeyDown},
    {Qt::Key_Insert, kKeyInsert},
    {Qt::Key_V, kKeyV},
    {kCyrillicEm, kKeyV},
    {Qt::Key_Plus, kKeyPlus},
    {Qt::Key_Equal, kKeyPlus},
    {Qt::Key_Minus, kKeyMinus},
    {Qt::Key_Underscore, kKeyMinus},
    // Keys the plot does not act on, with their virtual-key numbers.
    {Qt::Key_Backspace, 8},
    {Qt::Key_Tab, 9},
    {Qt::Key_Shift, 16},
    {Qt::Key_Control, 17},
    {Qt::Key_Alt, 18},
    {Qt::Key_Escape, 27},
    {Qt::Key_PageUp, 33},
    {Qt::Key_PageDown, 34},
    {Qt::Key_End, 35},
    {Qt::Key_Home, 36},
    {Qt::Key_Delete, 46},
}};
constexpr int kFirstFunctionKey = 112;  // F1

}  // namespace

int ViewKeyCode(int qtKey, quint32 nativeScanCode) {
  if (nativeScanCode == kScanCodeV) return kKeyV;
  for (const auto& [key, code] : kKeys) {
    if (key == qtKey) return code;
  }
  // Letters and digits have the codes of their characters; other keys act on nothing but still count
  // as a key (in cursor mode every key redraws and ends a double Insert).
  if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)) return qtKey;
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12) return kFirstFunctionKey + (qtKey - Qt::Key_F1);
  return kKeyOther;
}

}  // namespace viewer
