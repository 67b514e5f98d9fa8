#pragma once
// Key codes the main plot acts on: the virtual-key numbers the keyboard handler passes to HandleViewKey.
// The window maps its toolkit's key events onto them (viewer/ui/view_key_codes.h).

namespace viewer {

inline constexpr int kKeyEnter = 13;
inline constexpr int kKeySpace = 32;
inline constexpr int kKeyLeft = 37;
inline constexpr int kKeyUp = 38;
inline constexpr int kKeyRight = 39;
inline constexpr int kKeyDown = 40;
inline constexpr int kKeyInsert = 45;
inline constexpr int kKeyV = 86;  // the key of V and of the Russian М, shown as "<M>"
inline constexpr int kKeyPlus = 187;
inline constexpr int kKeyMinus = 189;
inline constexpr int kKeyOther = 255;  // a key without a number of its own; acts on nothing

}  // namespace viewer
