#pragma once
// The main window's two page boxes (begin and end card page, eight digits): what a change or the exit
// writes back into them, and the keys that step them.
#include <cstdint>
#include <string>
#include <string_view>

namespace recorder {

// The largest number eight digits hold.
inline constexpr uint32_t kPageBoxMax = 99'999'999;

// The box's text read with the program's number parser, to the nearest integer within 0..kPageBoxMax.
uint32_t PageBoxValue(std::string_view text);
// The text a box holds for `page`: eight digits.
std::string PageBoxText(uint32_t page);

// The begin box after a change: 0 becomes 1.
uint32_t BeginBoxAfterChange(uint32_t page);
// The end box on leaving it: at most the card's last page, FCmax x 4000 - 1 (no limit while the card
// size is unknown, FCmax 0).
uint32_t EndBoxAfterExit(uint32_t page, uint16_t fcMax);

// Key codes of the window's key handler: "=" and "-" of the main keyboard, "+" and "-" of the keypad.
inline constexpr int kKeyEqual = 187;
inline constexpr int kKeyMinus = 189;
inline constexpr int kKeyPadPlus = 107;
inline constexpr int kKeyPadMinus = 109;
inline constexpr int kKeyZ = 90;  // either case

enum class PageBox { None, Begin, End };

struct PageKeyStep {
  PageBox Box = PageBox::None;
  int64_t Delta = 0;
};

// "=" and "-" step the begin box, keypad "+" and "-" the end box, by 1, with Ctrl by 100, with Alt by
// 10000 (Alt wins). Other keys step nothing.
PageKeyStep PageKeyStepOf(int keyCode, bool ctrl, bool alt);

// Consecutive presses of Z: any other key starts the count again, and above 4 it restarts from 0.
class ZPresses {
 public:
  // Counts one key; true at the third Z in a row when the window is `wide` (the count then restarts):
  // the picture panel is to be hidden.
  bool Press(bool z, bool wide);

 private:
  int count_ = 0;
};

// `page` moved by `delta`, kept within 0..kPageBoxMax.
uint32_t SteppedPage(uint32_t page, int64_t delta);

}  // namespace recorder
