#pragma once
// The data windows of the spectrum window: weights multiplied into the samples before a transform and
// the normalisation that turns squared magnitudes into amplitudes squared.
#include <cstdint>
#include <string>

namespace analysis {

// What the last window was: its alpha (1111.0 for Blackman-Harris) and its name, in Windows-1251 bytes
// (the name carries trailing blanks and a Latin "p" or "m" among the Cyrillic letters).
struct DataWindowInfo {
  double WindowParameter = 1.0;
  char WindowName[20] = {};
};

// Fills w[0 .. n-1] with the weights of window `windowType` (0 rectangular, 1 Hann, 2 Hamming,
// 3 Blackman-Harris; any other code is rectangular), records alpha and name in `info`, and returns
// 4 / (n^2 P), P the mean square weight. A sine of amplitude A at a bin then gives sqrt(|X|^2 * result)
// = A with the rectangular window; the normalisation is a power one, so the other windows read a sine
// lower (0.816 A Hann, 0.857 A Hamming) while noise levels and band energies do not depend on the window.
double ApplySpectrumWindow(uint16_t windowType, float* w, int32_t n, DataWindowInfo& info);

// The window's name as UTF-8 text.
std::string WindowNameText(const DataWindowInfo& info);

}  // namespace analysis
