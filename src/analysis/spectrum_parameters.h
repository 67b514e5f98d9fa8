#pragma once
// The rules of the spectrum window's parameter panel that need no window.
#include <cstdint>
#include <string>

#include "toolkit/setup_record.h"

namespace analysis {

// The bounds "O' k" applies after storing the fields: the last bin at least 50 and below half of the
// mode's length, the first bin below the last, the shift at least 2.
void ApplyBinBoundsOnOk(toolkit::SetupRecord& s);

// Transform length typed into the Fourier-length edit, as stored on "O' k": 4 .. 32768.
uint32_t FourierLengthOnOk(double typed);
// The shift typed into its edit, as stored on "O' k": 2 .. 65535.
uint16_t ShiftOnOk(double typed);

// "Частота нижняя" and "Частота верхняя" as stored on "O' k": the lower at least 1e-5, the upper at
// least 1.1 x the lower. An upper frequency above the Nyquist frequency 0.5 / dt is brought down to it
// (and the lower below it by the same factor), and `message` says so.
struct SwanBand {
  float low = 0.0f;
  float high = 0.0f;
  std::string message;
};
SwanBand SwanBandOnOk(double typedLow, double typedHigh, double dt);

// The label under the mode choice: one interval for the direct transforms; for the FFT the number of
// intervals the selection Nn .. Nk holds ((L - n) / shift + 1), red above 1000, or the zero padding.
struct IntervalLabel {
  std::string text;
  bool red = false;
};
IntervalLabel IntervalCountLabel(int modeIndex, int32_t Nn, int32_t Nk, int32_t n, int32_t shift);

}  // namespace analysis
