#include "analysis/spectrum_limits.h"

#include <algorithm>

#include "toolkit/fft_core.h"

namespace analysis {

uint32_t ModeLength(const toolkit::SetupRecord& s, uint16_t mode) {
  switch (mode) {
    case 0:
      return s.FftLength;
    case 1:
      return s.FourierLength;
    default:
      return s.CursorSpanLength;
  }
}

int32_t CheckedModeLength(const toolkit::SetupRecord& s, uint16_t mode, std::string& error) {
  const uint32_t n = ModeLength(s, mode);
  bool ok = false;
  if (mode == 0) {
    ok = n >= 64 && n <= 65536 && toolkit::fft::IsPowerOfTwo(n);
    if (!ok) error = "длина БПФ должна быть степенью 2 от 64 до 65536 (задано " + std::to_string(n) + ")";
  } else {
    ok = n >= kMinFourierLength && n <= kMaxFourierLength;
    if (!ok)
      error = "длина преобразования должна быть от 4 до 32768 точек (задано " + std::to_string(n) + ")";
  }
  return ok ? static_cast<int32_t>(n) : 0;
}

void ClampShift(toolkit::SetupRecord& s) {
  if (s.SpectrumShift < kMinShift) s.SpectrumShift = kMinShift;
}

void ClampBins(toolkit::SetupRecord& s, int32_t half) {
  half = std::max(half, 2);
  if (s.SpectrumLastBin < 1) s.SpectrumLastBin = 1;
  if (s.SpectrumLastBin > half - 1) s.SpectrumLastBin = static_cast<uint16_t>(std::min(half - 1, 65535));
  if (s.SpectrumFirstBin >= s.SpectrumLastBin) s.SpectrumFirstBin = static_cast<uint16_t>(s.SpectrumLastBin - 1);
  ClampShift(s);
}

int32_t IntervalTotal(int64_t length, int32_t n, int32_t shift) {
  if (shift < 1) shift = 1;
  const int64_t total = length > n ? (length - n) / shift + 1 : 1;
  return static_cast<int32_t>(std::clamp<int64_t>(total, 1, INT32_MAX));
}

int ProgressPosition(int64_t done, int64_t total) {
  if (total < 1) total = 1;
  return static_cast<int>(std::clamp<int64_t>(done * 100 / total, 0, 100));
}

uint32_t CursorSpan(const toolkit::SetupRecord& s) {
  int64_t span = static_cast<int64_t>(s.CursorSamples[1]) - s.CursorSamples[0];
  span &= ~int64_t{1};
  return static_cast<uint32_t>(std::clamp<int64_t>(span, kMinCursorSpan, kMaxCursorSpan));
}

int32_t SingleSpectrumStart(const toolkit::SetupRecord& s) {
  if (s.Nk <= s.Nn) return s.Nn;
  return std::clamp(s.CursorSamples[0], s.Nn, s.Nk - 1);
}

}  // namespace analysis
