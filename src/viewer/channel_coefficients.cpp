#include "viewer/channel_coefficients.h"

#include <cmath>

#include "toolkit/format_text.h"

namespace viewer {

bool UsableCoefficient(double coef) { return std::isfinite(coef) && std::fabs(coef) <= kMaxChannelCoefficient; }

int FirstUnusableCoefficient(std::span<const toolkit::CHANNEL_HEADER> channels) {
  for (size_t c = 0; c < channels.size(); ++c) {
    if (!UsableCoefficient(channels[c].Coef)) return static_cast<int>(c);
  }
  return -1;
}

int FirstUnusableCoefficient(std::span<const toolkit::CHANNEL_HEADER> channels, std::span<const uint16_t> used) {
  for (const uint16_t c : used) {
    if (c < channels.size() && !UsableCoefficient(channels[c].Coef)) return c;
  }
  return -1;
}

std::string UnusableCoefficientText(int channel, double coef) {
  return toolkit::FormatText("коэффициент канала %d не годится: %g", channel, coef);
}

}  // namespace viewer
