#include "analysis/spectrum_parameters.h"

#include <algorithm>
#include <cmath>

#include "analysis/spectrum_limits.h"

namespace analysis {

void ApplyBinBoundsOnOk(toolkit::SetupRecord& s) {
  const int64_t half = std::max<int64_t>(ModeLength(s, s.SpectrumMode) / 2, 2);
  if (s.SpectrumLastBin < 50) s.SpectrumLastBin = 50;
  if (s.SpectrumLastBin >= half) s.SpectrumLastBin = static_cast<uint16_t>(std::min<int64_t>(half - 1, 65535));
  if (s.SpectrumFirstBin >= s.SpectrumLastBin) s.SpectrumFirstBin = static_cast<uint16_t>(s.SpectrumLastBin - 1);
  ClampShift(s);
}

uint32_t FourierLengthOnOk(double typed) {
  if (!(typed >= kMinFourierLength)) return kMinFourierLength;
  if (typed > kMaxFourierLength) return kMaxFourierLength;
  return static_cast<uint32_t>(typed);
}

uint16_t ShiftOnOk(double typed) {
  if (!(typed >= kMinShift)) return kMinShift;
  if (typed > 65535.0) return 65535;
  return static_cast<uint16_t>(typed);
}

IntervalLabel IntervalCountLabel(int modeIndex, int32_t Nn, int32_t Nk, int32_t n, int32_t shift) {
  if (modeIndex != 0) return {"1 интервал;", false};
  const int64_t d = static_cast<int64_t>(Nn) + n - Nk;
  if (d >= 1) return {"Дополняем " + std::to_string(d) + " нулями", false};
  const int32_t count = IntervalTotal(static_cast<int64_t>(Nk) - Nn, n, std::max(shift, 1));
  return {"интервалов: " + std::to_string(count), count > 1000};
}

}  // namespace analysis
