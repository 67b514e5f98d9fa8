#include "analysis/correlation.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <vector>

#include "toolkit/fft_core.h"
#include "toolkit/format_text.h"
#include "toolkit/work_buffer.h"

namespace analysis {

namespace {

void Report(const Progress& progress, int position) {
  if (progress) progress(position);
}

double Energy(const float* x, uint32_t n) {
  double e = 0.0;
  for (uint32_t i = 0; i < n; ++i) e += static_cast<double>(x[i]) * x[i];
  return e;
}

// The spectrum of a + i b (one transform for both) turned into conj(A) B, the spectrum of the
// cross-correlation: A_k = (Z_k + conj Z_-k) / 2, B_k = (Z_k - conj Z_-k) / 2i, and for real signals the
// line at -k is the conjugate of the line at k.
void CrossSpectrum(float* re, float* im, uint32_t L) {
  auto line = [&](uint32_t k, uint32_t j, double& cr, double& ci) {
    const double ar = 0.5 * (double{re[k]} + re[j]), ai = 0.5 * (double{im[k]} - im[j]);
    const double br = 0.5 * (double{im[k]} + im[j]), bi = -0.5 * (double{re[k]} - re[j]);
    cr = ar * br + ai * bi;
    ci = ar * bi - ai * br;
  };
  for (uint32_t k = 0; k <= L / 2; ++k) {
    const uint32_t j = (L - k) & (L - 1);
    double cr = 0.0, ci = 0.0;
    line(k, j, cr, ci);
    re[k] = static_cast<float>(cr);
    im[k] = static_cast<float>(ci);
    if (j != k) {
      re[j] = static_cast<float>(cr);
      im[j] = static_cast<float>(-ci);
    }
  }
}

}  // namespace

uint64_t CorrelationLength(uint32_t n) { return toolkit::TFunk::TransformLength(2 * uint64_t{n}); }

std::string CorrelateChannels(float* a, const float* b, uint32_t n, toolkit::TFunk& funk,
                              const Progress& progress) {
  if (a == nullptr || b == nullptr || n < 2) return "корреляция: мало отсчётов";
  if (CorrelationLength(n) > toolkit::fft::kMaxLength)
    return toolkit::FormatText("корреляция: %u отсчётов, длина БПФ больше %u точек; канал не изменён", n,
                               toolkit::fft::kMaxLength);
  const bool cross = a != b;
  const double ea = Energy(a, n);
  const double eb = cross ? Energy(b, n) : ea;
  if (!(ea > 0.0) || !(eb > 0.0) || !std::isfinite(ea) || !std::isfinite(eb))
    return toolkit::FormatText("корреляция: нет сигнала в канале (энергия %g); канал не изменён",
                               ea > 0.0 && std::isfinite(ea) ? eb : ea);
  const auto L = static_cast<uint32_t>(CorrelationLength(n));
  // Zeroed: only the samples are written.
  std::unique_ptr<toolkit::WorkBuffer> work;
  try {
    work = std::make_unique<toolkit::WorkBuffer>(2 * sizeof(float) * L);
  } catch (const std::bad_alloc&) {
    return "Нет памяти для массивов";
  }
  float* re = work->As<float>();
  float* im = re + L;
  Report(progress, 5);
  std::copy(a, a + n, re);
  if (cross) std::copy(b, b + n, im);
  Report(progress, 15);
  funk.Fft(-1, static_cast<int32_t>(L), re, im);
  Report(progress, 50);
  if (cross) {
    CrossSpectrum(re, im, L);
  } else {
    for (uint32_t k = 0; k < L; ++k) {
      re[k] = static_cast<float>(double{re[k]} * re[k] + double{im[k]} * im[k]);
      im[k] = 0.0f;
    }
  }
  funk.Fft(1, static_cast<int32_t>(L), re, im);
  Report(progress, 90);
  const double norm = cross ? 1.0 / (std::sqrt(ea) * std::sqrt(eb)) : 1.0 / ea;
  const auto m = static_cast<uint32_t>(0.9 * n);
  for (uint32_t i = 0; i < m; ++i) a[i] = static_cast<float>(re[i] * norm);
  for (uint32_t i = m; i < n; ++i) a[i] = 0.0f;
  return {};
}

std::string DifferentiateChannel(const toolkit::SetupRecord& setup, float* x, toolkit::TFunk& funk) {
  const uint32_t n = setup.Samples;
  if (x == nullptr || n < 2) return {};
  const double dt = setup.Dt;
  if (!(dt > 0.0) || !std::isfinite(dt)) return toolkit::FormatText("производная: шаг записи %g с", dt);
  const double points = setup.DerivativePotterPoints;
  const auto half = static_cast<int16_t>(points >= 1.0 ? std::fmin(points, 3000.0) : 1.0);
  funk.PotterFilter(x, n, half, toolkit::TFunk::kFilterLowPass, setup.DerivativeCutoff, 0.5 / dt, dt);
  const double inv = 1.0 / dt;
  for (uint32_t i = n - 1; i >= 1; --i) x[i] = static_cast<float>((double{x[i]} - x[i - 1]) * inv);
  x[0] = x[1];
  return {};
}

}  // namespace analysis
