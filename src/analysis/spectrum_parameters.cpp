#include "analysis/spectrum_parameters.h"

#include <algorithm>
#include <cmath>

#include "analysis/spectrum_limits.h"
#include "toolkit/format_text.h"

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

SwanBand SwanBandOnOk(double typedLow, double typedHigh, double dt) {
  SwanBand b;
  b.low = static_cast<float>(std::max(typedLow, 1e-5));
  b.high = static_cast<float>(typedHigh);
  if (1.1f * b.low > b.high) b.high = 1.1f * b.low;
  const double nyquist = 0.5 / dt;
  if (!(dt > 0.0) || !std::isfinite(nyquist) || b.high <= nyquist) return b;
  b.message = toolkit::FormatText("Частота верхняя %.5f Гц выше частоты Найквиста: взята %.5f Гц",
                                  static_cast<double>(b.high), nyquist);
  b.high = static_cast<float>(nyquist);
  if (1.1f * b.low > b.high) {
    b.low = b.high / 1.1f;
    while (1.1f * b.low > b.high) b.low = std::nextafter(b.low, 0.0f);
  }
  return b;
}

IntervalLabel IntervalCountLabel(int modeIndex, int32_t Nn, int32_t Nk, int32_t n, int32_t shift) {
  if (modeIndex != 0) return {"1 интервал;", false};
  const int64_t d = static_cast<int64_t>(Nn) + n - Nk;
  if (d >= 1) return {"Дополняем " + std::to_string(d) + " нулями", false};
  const int32_t count = IntervalTotal(static_cast<int64_t>(Nk) - Nn, n, std::max(shift, 1));
  return {"интервалов: " + std::to_string(count), count > 1000};
}

}  // namespace analysis
