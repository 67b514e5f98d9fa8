#pragma once
// Cross-spectra of two channels over the selection: windowed FFTs of successive intervals, both channels
// from one complex transform (the reference in the real part, the other in the imaginary part),
// averaged into the auto-spectra S00, S11 and the cross-spectrum S01 = X0 conj(X1) = C + iQ; then the
// transfer function H = |S01| / S00, the squared coherence G and the phase of S01.
#include <cstdint>
#include <vector>

#include "analysis/spectrum_buffers.h"

namespace analysis {

struct CrossInput {
  const float* x0 = nullptr;  // reference channel; x0[Nn] .. x0[Nk - 1] are read
  const float* x1 = nullptr;  // other channel
  int32_t Nn = 0;
  int32_t Nk = 0;
  int32_t N = 4096;     // power of two, 64 .. 65536
  int32_t shift = 256;  // at least 1
  uint16_t windowType = 1;
};

// Averages per bin k; only k = 2 .. N/2 - 2 are summed, the other bins stay 0. S00 and S11 are powers
// on the scale of the interval spectra (sqrt(S00) is channel 0's RMS amplitude there).
struct CrossSums {
  int32_t N = 0;
  int32_t intervals = 0;
  int32_t end = 0;  // sample after the last interval
  std::vector<double> S00, S11, C, Q;
};

// Runs the interval loop. With `reference` set, its first 500 Spectra rows receive the reference
// channel's interval amplitudes (as the spectrum command keeps them) and its window is recorded.
CrossSums ComputeCrossSums(const CrossInput& in, DataWindowInfo& window, SpectrumBuffers* reference);

inline constexpr double kCrossGuard = 1e-29;  // auto-spectra below this give H = G = 0
inline constexpr double kTransferFloor = 1e-21;

// The phase of C + iQ over pi, in (-1, 1]. With |C| under the guard: +0.5, or -0.5 when Q < 0.
double PhaseOverPi(double C, double Q);
// The drawn phase code: 100 + 100 phase/pi, 0 .. 200.
inline double PhaseCode(double phaseOverPi) { return 100.0 + 100.0 * phaseOverPi; }

// Results per bin, index k, filled for k = 1 .. last - 2.
struct TransferCurves {
  std::vector<double> H, G, Phase;  // Phase: phase / pi
  double Hmax = 0.0, Gmax = 0.0;    // over k > 4 (before any floor)
  int32_t HmaxBin = 0, GmaxBin = 0;
};

// `allVariant`: G is 1.1 where S11 is under the guard and at most 1.1 for k > 4.
TransferCurves Transfer(const CrossSums& sums, int32_t last, bool allVariant);

// The largest of S00, S11 and |S01| over k < N/2 - 1, at least 1e-30.
double LargestCrossPower(const CrossSums& sums);

}  // namespace analysis
