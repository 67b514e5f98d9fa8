#pragma once
// "функции" → "поиск": the event search over one channel's selection. Method 0 (STA/LTA) takes the ratio
// of the summed absolute amplitudes of a short window after a long one on a band-passed copy; method 1
// the share of the spectral power inside a band in a sliding FFT window. The result is a curve over the
// channel's row of the main plot and the largest ratio with its time.
#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/funk.h"
#include "toolkit/setup_record.h"

namespace analysis {

// Ratios of the STA/LTA rule over [nn, nk) of the filtered copy `c`: for p = nn + i S while
// p < nk - L - S - 1, lta = sum |c[p + j]| (j < L), sta = sum |c[p + L + j]| (j < S), r = sta / lta
// (0 when lta < 1e-10). Running sums: every sample is read twice, not L / S + 1 times.
std::vector<double> StaLtaRatios(const float* c, int64_t nn, int64_t nk, int64_t L, int64_t S);

// Window length of method 1: 1.5 window / dt brought into 64 ... 16384, then the largest power of two
// not above it.
int32_t SpectralWindowLength(double windowSeconds, double dt);

// Ratios of method 1 over [nn, nk): windows of n points every n / 32 samples, the first at nn, the next
// ones while p < nk - 1 - n; r = power of lines k1 ... k2 - 1 / power of lines below n / 2 (0 when that
// is below 1e-10). Needs nk - nn >= n.
std::vector<double> SpectralRatios(const float* x, int64_t nn, int64_t nk, int32_t n, int32_t k1, int32_t k2,
                                   toolkit::TFunk& funk);

struct SearchPoint {
  int x = 0;
  int y = 0;
};

struct SearchDrawing {
  std::string error;               // a message to show; nothing is drawn
  std::string startText;           // method 1: onto the plot at (1, 2) and into status panel 0
  std::vector<SearchPoint> curve;  // the pen's start, then the points the curve is drawn through
  std::string resultText;          // onto the plot at (1, 15) and into status panel 0
  double maxRatio = 0.0;
  int64_t maxAt = 0;               // sample of the largest ratio
};

// SearchSpectralChange on channel `ch` (its samples `x`) for a plot `plotWidth` columns wide and
// `plotHeight` pixels high.
SearchDrawing SearchSpectralChange(const toolkit::SetupRecord& setup, const float* x, int ch, int plotWidth,
                                   int plotHeight, toolkit::TFunk& funk);

}  // namespace analysis
