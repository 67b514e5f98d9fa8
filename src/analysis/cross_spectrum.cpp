#include "analysis/cross_spectrum.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "analysis/spectrum_sums.h"
#include "toolkit/fft_core.h"

namespace analysis {

namespace {

// Windowed samples of x from p, zero beyond Nk.
void FillWindowed(const float* x, int32_t p, int32_t Nk, int32_t n, const float* w, float* dst) {
  const int32_t avail = static_cast<int32_t>(std::clamp<int64_t>(static_cast<int64_t>(Nk) - p, 0, n));
  WindowedSamples(x + p, w, avail, n, dst);
}

}  // namespace

CrossSums ComputeCrossSums(const CrossInput& in, DataWindowInfo& window, SpectrumBuffers* reference) {
  const int32_t n = in.N;
  const int32_t half = n / 2;
  const int32_t shift = std::max(in.shift, 1);
  CrossSums sums;
  sums.N = n;
  sums.S00.assign(half, 0.0);
  sums.S11.assign(half, 0.0);
  sums.C.assign(half, 0.0);
  sums.Q.assign(half, 0.0);
  std::vector<float> w(n), re(n), im(n);
  const double norm = ApplySpectrumWindow(in.windowType, w.data(), n, window);
  // |X0|^2 = (a^2 + b^2) / 4 with a, b the unscaled sums of the mirrored bins; likewise S11, and
  // X0 conj(X1) = (a v + b u + i (b v - a u)) / 4.
  const double q = 0.25 * norm;
  const int32_t cell = CellWidth(n);
  if (reference != nullptr)
    for (auto& row : reference->Spectra) std::fill(row.begin(), row.begin() + kSpectrumCells, 0.0f);
  const toolkit::fft::Plan<float>& plan = toolkit::fft::PlanFor<float>(static_cast<uint32_t>(n));
  double* s00 = sums.S00.data();
  double* s11 = sums.S11.data();
  double* cc = sums.C.data();
  double* qq = sums.Q.data();
  int64_t p = in.Nn;
  int32_t count = 0;
  while (p + n <= in.Nk || count == 0) {
    FillWindowed(in.x0, static_cast<int32_t>(p), in.Nk, n, w.data(), re.data());
    FillWindowed(in.x1, static_cast<int32_t>(p), in.Nk, n, w.data(), im.data());
    plan.Run(-1, re.data(), im.data());
    // Products and sums in double: the squares of the amplitudes of large samples leave the float range.
    CrossProducts(re.data(), im.data(), n, q, s00, s11, cc, qq);
    if (reference != nullptr && count < kSpectraCount) {
      float* cells = reference->Spectra[count].data();
      const double inv = 1.0 / cell;
      cells[0] += static_cast<float>(std::sqrt(static_cast<double>(re[0]) * re[0] * norm * 0.25) * inv);
      for (int32_t k = 1; k < half; ++k) {
        const double a = static_cast<double>(re[k]) + re[n - k];
        const double b = static_cast<double>(im[k]) - im[n - k];
        cells[k / cell] += static_cast<float>(std::sqrt((a * a + b * b) * q) * inv);
      }
    }
    ++count;
    p += shift;
  }
  sums.intervals = count;
  sums.end = static_cast<int32_t>(p - shift + n);
  for (auto* v : {&sums.S00, &sums.S11, &sums.C, &sums.Q})
    for (double& x : *v) x /= count;
  if (reference != nullptr) reference->Window = window;
  return sums;
}

double PhaseOverPi(double C, double Q) {
  if (std::fabs(C) < kCrossGuard) return Q < 0.0 ? -0.5 : 0.5;
  const double phase = std::atan2(Q, C) / std::numbers::pi;
  return phase <= -1.0 ? 1.0 : phase;  // -pi (Q = -0) is the same angle as pi
}

TransferCurves Transfer(const CrossSums& sums, int32_t last, bool allVariant) {
  TransferCurves t;
  const int32_t half = sums.N / 2;
  const int32_t end = std::min(last - 2, half - 1);  // inclusive
  const size_t size = static_cast<size_t>(std::max(end + 1, 0));
  t.H.assign(size, 0.0);
  t.G.assign(size, 0.0);
  t.Phase.assign(size, 0.0);
  for (int32_t k = 1; k <= end; ++k) {
    const double s00 = sums.S00[k], s11 = sums.S11[k];
    const double c = sums.C[k], q = sums.Q[k];
    const double cross = std::sqrt(c * c + q * q);
    const double h = s00 < kCrossGuard ? 0.0 : cross / s00;
    double g = s11 < kCrossGuard ? (allVariant ? 1.1 : 0.0) : cross / s11 * h;
    if (allVariant && k > 4) g = std::min(g, 1.1);
    t.H[k] = h;
    t.G[k] = g;
    t.Phase[k] = PhaseOverPi(c, q);
    if (k > 4) {
      if (h > t.Hmax) {
        t.Hmax = h;
        t.HmaxBin = k;
      }
      if (g > t.Gmax) {
        t.Gmax = g;
        t.GmaxBin = k;
      }
    }
  }
  return t;
}

double LargestCrossPower(const CrossSums& sums) {
  double m = 1e-30;
  const int32_t half = sums.N / 2;
  for (int32_t k = 0; k < half - 1; ++k)
    m = std::max({m, sums.S00[k], sums.S11[k], std::hypot(sums.C[k], sums.Q[k])});
  return m;
}

}  // namespace analysis
