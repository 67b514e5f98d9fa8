#include "recorder/high_pass_curve.h"

#include <cmath>

#include "toolkit/format_text.h"

namespace recorder {

HighPassCurve HighPassResponse(toolkit::Tf_batt& designer, uint8_t highPassIndex, uint16_t sampleRate) {
  HighPassCurve curve;
  if (highPassIndex == 0) {
    curve.Caption = "ФВЧ отсутствует";
    return curve;
  }
  const double corner = 0.05 * highPassIndex;
  if (sampleRate == 0 || corner >= 0.5 * sampleRate) {
    curve.Caption = toolkit::FormatText("ФВЧ(%.2f Гц): частота %d Гц не годится", corner, int{sampleRate});
    return curve;
  }
  if (designer.DesignButterworth(3, toolkit::kHighPass, sampleRate, corner, 0.49 * sampleRate, nullptr,
                                 nullptr) != toolkit::ButterworthStatus::Ok) {
    curve.Caption = designer.text;
    return curve;
  }
  curve.Drawn = true;
  curve.Caption = toolkit::FormatText("ФВЧ(%.2f Гц) на частоте %d Гц;", corner, int{sampleRate});
  for (int i = 0; i < kHighPassCurvePoints; ++i) {
    const double f = sampleRate * 0.5 * i * 2.5e-5;
    curve.Frequency.push_back(f);
    curve.Amplitude.push_back(std::pow(10.0, designer.ResponseDb(f) / 20.0));
  }
  return curve;
}

}  // namespace recorder
