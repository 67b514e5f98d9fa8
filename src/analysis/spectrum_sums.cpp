#include "analysis/spectrum_sums.h"

#include <algorithm>

namespace analysis {

#define SPECTRUM_LOOP __attribute__((target_clones("avx2", "default")))

SPECTRUM_LOOP void WindowedSamples(const float* __restrict x, const float* __restrict w, int32_t avail, int32_t n,
                                   float* __restrict dst) {
  for (int32_t i = 0; i < avail; ++i) dst[i] = x[i] * w[i];
  std::fill(dst + std::max(avail, 0), dst + n, 0.0f);
}

SPECTRUM_LOOP void PairPowers(const float* __restrict re, const float* __restrict im, int32_t n, double quarter,
                              double* __restrict pa, double* __restrict pb, double* __restrict sum) {
  for (int32_t k = 1; k < n / 2; ++k) {
    const double zr = re[k], zi = im[k], wr = re[n - k], wi = im[n - k];
    const double a = ((zr + wr) * (zr + wr) + (zi - wi) * (zi - wi)) * quarter;
    const double b = ((zi + wi) * (zi + wi) + (wr - zr) * (wr - zr)) * quarter;
    pa[k] = a;
    pb[k] = b;
    sum[k] += a + b;
  }
}

SPECTRUM_LOOP void Powers(const float* __restrict re, const float* __restrict im, int32_t half, double norm,
                          double* __restrict p, double* __restrict sum) {
  for (int32_t k = 1; k < half; ++k) {
    const double r = re[k], i = im[k];
    const double pk = (r * r + i * i) * norm;
    p[k] = pk;
    sum[k] += pk;
  }
}

SPECTRUM_LOOP void CrossProducts(const float* __restrict re, const float* __restrict im, int32_t n, double q,
                                 double* __restrict s00, double* __restrict s11, double* __restrict cc,
                                 double* __restrict qq) {
  for (int32_t k = 2; k <= n / 2 - 2; ++k) {
    const double a = double{re[k]} + re[n - k];
    const double b = double{im[k]} - im[n - k];
    const double u = double{re[n - k]} - re[k];
    const double v = double{im[k]} + im[n - k];
    s00[k] += (a * a + b * b) * q;
    s11[k] += (u * u + v * v) * q;
    cc[k] += (b * u + a * v) * q;
    qq[k] += (b * v - a * u) * q;
  }
}

#undef SPECTRUM_LOOP

}  // namespace analysis
