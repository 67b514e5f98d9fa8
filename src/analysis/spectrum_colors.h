#pragma once
// The colours of the spectrum window's curves (0x00BBGGRR); successive intervals cycle through 1 .. 12.
#include <array>
#include <cstdint>

namespace analysis {

inline constexpr std::array<uint32_t, 16> SpectrumColors = {
    0x000000, 0xFF0000, 0xFF9F00, 0xFFFF00, 0x8FFF8F, 0xBFBFFF, 0x7FFFCF, 0x00FFFF,
    0xFF7FFF, 0x004FFF, 0x0000DF, 0x4F00CF, 0x004F7F, 0xF0F0F0, 0xF0F0F0, 0xF0F0F0};

}  // namespace analysis
