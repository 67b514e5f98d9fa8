#include "analysis/interval_spectrum.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "analysis/spectrum_limits.h"
#include "analysis/spectrum_sums.h"
#include "toolkit/fft_core.h"

namespace analysis {

IntervalSpectrum::IntervalSpectrum(SpectrumBuffers& out, const IntervalSpectrumInput& in)
    : out_(out),
      in_(in),
      half_(in.N / 2),
      cell_(CellWidth(in.N)),
      total_(IntervalTotal(static_cast<int64_t>(in.Nk) - in.Nn, in.N, in.shift)),
      start_(in.Nn) {
  if (in_.shift < 1) in_.shift = 1;
  for (auto& s : out_.Spectra) std::fill(s.begin(), s.begin() + kSpectrumCells, 0.0f);
  std::fill(out_.WorkBuffer.begin(), out_.WorkBuffer.begin() + half_, 0.0f);
  out_.N = in.N;
  out_.IntervalCount = 0;
  out_.CrossMode = 0;
  window_.resize(in.N);
  re_.resize(in.N);
  im_.resize(in.N);
  sum_.assign(half_, 0.0);
  power_.assign(half_, 0.0);
  pendingPower_.assign(half_, 0.0);
  amplitude_.assign(half_, 0.0f);
  norm_ = ApplySpectrumWindow(in.windowType, window_.data(), in.N, out_.Window);
}

void IntervalSpectrum::Fill(int32_t p, float* dst) const {
  const int32_t n = in_.N;
  const int32_t avail = static_cast<int32_t>(std::clamp<int64_t>(static_cast<int64_t>(in_.Nk) - p, 0, n));
  WindowedSamples(in_.x + p, window_.data(), avail, n, dst);
}

void IntervalSpectrum::Count() {
  ++out_.IntervalCount;
  amplitudeValid_ = false;
  if (out_.IntervalCount <= kSpectraCount) {
    float* cells = out_.Spectra[out_.IntervalCount - 1].data();
    const float inv = 1.0f / static_cast<float>(cell_);
    const std::vector<float>& a = Amplitudes();
    for (int32_t k = 0; k < half_; ++k) cells[k / cell_] += a[k] * inv;
  }
}

const std::vector<float>& IntervalSpectrum::Amplitudes() {
  if (!amplitudeValid_) {
    for (int32_t k = 0; k < half_; ++k) amplitude_[k] = static_cast<float>(std::sqrt(power_[k]));
    amplitudeValid_ = true;
  }
  return amplitude_;
}

float IntervalSpectrum::LargestAmplitude(int32_t last) const {
  double largest = 0.0;
  for (int32_t k = 0; k <= last && k < half_; ++k)
    if (power_[k] > largest) largest = power_[k];  // a NaN never wins
  return static_cast<float>(std::sqrt(largest));
}

void IntervalSpectrum::Next() {
  const int32_t n = in_.N;
  if (pending_) {
    // The second interval of the last shared transform: its power is waiting.
    pending_ = false;
    lastStart_ = pendingStart_;
    power_.swap(pendingPower_);
    Count();
    start_ += in_.shift;
    return;
  }
  const int32_t p = start_;
  const int64_t q = static_cast<int64_t>(p) + in_.shift;
  const bool pair = q + n <= in_.Nk;
  Fill(p, re_.data());
  if (pair) {
    Fill(static_cast<int32_t>(q), im_.data());  // the second interval goes in as the imaginary part
  } else {
    std::fill(im_.begin(), im_.end(), 0.0f);
  }
  toolkit::fft::PlanFor<float>(static_cast<uint32_t>(n)).Run(-1, re_.data(), im_.data());
  const double norm = norm_;
  const float* re = re_.data();
  const float* im = im_.data();
  double* __restrict power = power_.data();
  // Bin 0 is counted a quarter: a constant then reads its value. Squares are taken in double: the
  // amplitudes of samples beyond ~1e17 square past the float range.
  if (pair) {
    // Z = A + iB: A_k = (Z_k + conj Z_{n-k}) / 2, B_k = (Z_k - conj Z_{n-k}) / 2i.
    double* __restrict pending = pendingPower_.data();
    double* __restrict sum = sum_.data();
    const double quarter = 0.25 * norm;
    power[0] = double{re[0]} * re[0] * quarter;
    pending[0] = double{im[0]} * im[0] * quarter;
    sum[0] += power[0] + pending[0];
    PairPowers(re, im, n, quarter, power, pending, sum);
    pending_ = true;
    pendingStart_ = static_cast<int32_t>(q);
  } else {
    double* __restrict sum = sum_.data();
    power[0] = (double{re[0]} * re[0] + double{im[0]} * im[0]) * norm * 0.25;
    sum[0] += power[0];
    Powers(re, im, half_, norm, power, sum);
  }
  lastStart_ = p;
  Count();
  // With a pair pending, More() sees its start as due.
  start_ = pair ? static_cast<int32_t>(q) : p + in_.shift;
}

int32_t IntervalSpectrum::Finish() {
  const double count = std::max(out_.IntervalCount, 1);
  for (int32_t k = 0; k < half_; ++k) out_.WorkBuffer[k] = static_cast<float>(std::sqrt(sum_[k] / count));
  return lastStart_ + in_.N;
}

std::vector<double> DftMagnitudes(const std::vector<double>& data, int32_t count) {
  const int64_t n = static_cast<int64_t>(data.size());
  std::vector<double> out(count, 0.0);
  if (n < 1) return out;
  const uint32_t m = toolkit::fft::NextPowerOfTwo(static_cast<uint32_t>(2 * n - 1));
  // Chirp e^(-i pi j^2 / n); j^2 is reduced modulo 2n so that the angle stays exact for long n.
  std::vector<double> cr(n), ci(n);
  for (int64_t j = 0; j < n; ++j) {
    const double a = std::numbers::pi * static_cast<double>((j * j) % (2 * n)) / static_cast<double>(n);
    cr[j] = std::cos(a);
    ci[j] = -std::sin(a);
  }
  std::vector<double> ar(m, 0.0), ai(m, 0.0), br(m, 0.0), bi(m, 0.0);
  for (int64_t j = 0; j < n; ++j) {
    ar[j] = data[j] * cr[j];
    ai[j] = data[j] * ci[j];
    br[j] = cr[j];
    bi[j] = -ci[j];
    if (j > 0) {
      br[m - j] = cr[j];
      bi[m - j] = -ci[j];
    }
  }
  const auto& plan = toolkit::fft::PlanFor<double>(m);
  plan.Run(-1, ar.data(), ai.data());
  plan.Run(-1, br.data(), bi.data());
  for (uint32_t k = 0; k < m; ++k) {
    const double r = ar[k] * br[k] - ai[k] * bi[k];
    const double i = ar[k] * bi[k] + ai[k] * br[k];
    ar[k] = r;
    ai[k] = i;
  }
  plan.Run(1, ar.data(), ai.data());
  for (int32_t k = 0; k < count && k < n; ++k) out[k] = std::hypot(ar[k], ai[k]);  // |chirp| = 1
  return out;
}

float ComputeSingleSpectrum(const float* x, int32_t start, int32_t Nk, int32_t N, uint16_t windowType,
                            SpectrumBuffers& out) {
  std::vector<float> w(N);
  const double norm = ApplySpectrumWindow(windowType, w.data(), N, out.Window);
  std::vector<double> data(N, 0.0);
  for (int32_t i = 0; i < N && static_cast<int64_t>(start) + i < Nk; ++i)
    data[i] = static_cast<double>(w[i]) * x[start + i];
  const int32_t half = N / 2;
  const std::vector<double> mag = DftMagnitudes(data, half);
  const double scale = std::sqrt(norm);
  float largest = 0.0f;
  for (int32_t k = 0; k < half; ++k) {
    const float a = static_cast<float>(mag[k] * scale * (k == 0 ? 0.5 : 1.0));
    out.WorkBuffer[k] = a;
    if (a > largest) largest = a;
  }
  out.N = N;
  out.IntervalCount = 0;
  out.CrossMode = 0;
  return largest;
}

}  // namespace analysis
