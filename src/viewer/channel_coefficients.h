#pragma once
// The conversion coefficients of a file's channel headers that the loaders may scale samples by.
#include <cstdint>
#include <span>
#include <string>

#include "toolkit/recording_file.h"

namespace viewer {

// Largest coefficient magnitude taken from a file: the square of any 32-bit count scaled by it is still
// a finite float, so no later sum of squares can overflow because of the coefficient alone.
inline constexpr double kMaxChannelCoefficient = 1e9;

// Finite and at most kMaxChannelCoefficient in magnitude.
bool UsableCoefficient(double coef);

// The first channel header whose coefficient is not usable; -1 when every one is.
int FirstUnusableCoefficient(std::span<const toolkit::CHANNEL_HEADER> channels);
// The first file channel among `used` (indices into `channels`) whose coefficient is not usable; -1 when
// every one is. A load asks only for the channels whose samples it scales, so a damaged coefficient of a
// channel left out, or of a file read without coefficients, keeps the file readable (and repairable).
int FirstUnusableCoefficient(std::span<const toolkit::CHANNEL_HEADER> channels, std::span<const uint16_t> used);

// Why a file is refused: "коэффициент канала <c> не годится: <value>".
std::string UnusableCoefficientText(int channel, double coef);

}  // namespace viewer
