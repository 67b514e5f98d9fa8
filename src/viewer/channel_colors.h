#pragma once
// The 16 colours of the main window, as 0x00BBGGRR values (0x0000FF is red, 0xFF0000 blue).
#include <array>
#include <cstdint>

namespace viewer {

inline constexpr std::array<uint32_t, 16> ChannelColors = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x0000CC, 0x800080, 0x000080, 0x808080,
    0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

// Entry of ChannelColors that channel `ch` of the main plot (and its cursor and line) draws in; black,
// entry 0, is never used.
constexpr int ChannelColourIndex(int ch) { return (ch + 9) % 15 + 1; }

}  // namespace viewer
