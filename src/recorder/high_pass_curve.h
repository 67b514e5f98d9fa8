#pragma once
// The download high-pass filter as the setup editor's filter page draws it: the amplitude response of
// the third-order Butterworth high-pass at 0.05 x index Hz over the lowest 0.5 % of the sample rate.
#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/fil_batt.h"

namespace recorder {

inline constexpr int kHighPassCurvePoints = 400;

struct HighPassCurve {
  bool Drawn = false;       // false: nothing to draw (no filter, or no sample rate)
  std::string Caption;      // Label3
  std::vector<double> Frequency;  // Hz
  std::vector<double> Amplitude;  // 10^(dB / 20)
};

// Designs the filter with `designer` and samples its response at f = rate x 0.5 x i x 2.5e-5, i = 0..399.
HighPassCurve HighPassResponse(toolkit::Tf_batt& designer, uint8_t highPassIndex, uint16_t sampleRate);

}  // namespace recorder
