#pragma once
// The loops of the interval and cross spectra that run over every point of every interval: windowed
// samples in, powers and cross products out. Built for AVX2 and for any x86-64 (picked when the
// program starts), and vectorised in both; products and sums in double, so samples near the float
// range give finite powers.
#include <cstdint>

namespace analysis {

// dst[i] = x[i] w[i] for i < avail, 0 for avail <= i < n.
void WindowedSamples(const float* x, const float* w, int32_t avail, int32_t n, float* dst);

// One transform Z of two intervals (A in the real part, B in the imaginary part), n points: for
// k = 1 .. n/2 - 1, pa[k] = |2 A_k|^2 quarter and pb[k] = |2 B_k|^2 quarter, with
// A_k = (Z_k + conj Z_{n-k}) / 2 and B_k = (Z_k - conj Z_{n-k}) / 2i; sum[k] += pa[k] + pb[k].
void PairPowers(const float* re, const float* im, int32_t n, double quarter, double* pa, double* pb, double* sum);

// One interval's transform: for k = 1 .. half - 1, p[k] = |Z_k|^2 norm, sum[k] += p[k].
void Powers(const float* re, const float* im, int32_t half, double norm, double* p, double* sum);

// Two channels in one transform of n points: for k = 2 .. n/2 - 2 the auto-spectra and the cross
// spectrum of the separated bins (a, b, u, v as the cross-spectrum computation defines them), times q,
// added to s00, s11, cc and qq.
void CrossProducts(const float* re, const float* im, int32_t n, double q, double* s00, double* s11, double* cc,
                   double* qq);

}  // namespace analysis
