#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "platform/memory_budget.h"
#include "toolkit/fft_core.h"
#include "toolkit/funk.h"
#include "toolkit/section_filter.h"
#include "toolkit/work_buffer.h"

namespace toolkit {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kMaxPotterPoints = 3000;
// From this half length on the kernel runs as a fast convolution.
constexpr int kFastConvolutionPoints = 48;

}  // namespace

std::vector<double> TFunk::PotterTaps(int N, uint16_t type, double f1, double f2, double dt) {
  std::vector<double> h(static_cast<size_t>(N) + 1);
  TFunk::PotterKernel(static_cast<int16_t>(N), h.data(), f1, dt);
  if (type == TFunk::kFilterBandPass || type == TFunk::kFilterBandStop) {
    std::vector<double> h2(h.size());
    TFunk::PotterKernel(static_cast<int16_t>(N), h2.data(), f2, dt);
    for (size_t k = 0; k < h.size(); ++k) h[k] = h2[k] - h[k];
  }
  if (type == TFunk::kFilterHighPass || type == TFunk::kFilterBandStop) {
    h[0] = 1.0 - h[0];
    for (size_t k = 1; k < h.size(); ++k) h[k] = -h[k];
  }
  return h;
}

namespace {

// Direct form: y[i] = h[0] x[i] + sum h[k] (x[i - k] + x[i + k]) over the padded copy.
void ConvolveDirect(const std::vector<double>& h, const std::vector<float>& padded, float* out,
                    uint32_t count) {
  const size_t N = h.size() - 1;
  for (uint32_t i = 0; i < count; ++i) {
    const float* c = &padded[i + N];
    double y = h[0] * c[0];
    for (size_t k = 1; k <= N; ++k) y += h[k] * (static_cast<double>(c[-static_cast<ptrdiff_t>(k)]) + c[k]);
    out[i] = static_cast<float>(y);
  }
}

// Overlap-save in double precision. The kernel is real and even, so its spectrum is real and two
// segments share one complex transform (one in the real part, one in the imaginary part).
void ConvolveFast(const std::vector<double>& h, const std::vector<float>& padded, float* out,
                  uint32_t count) {
  const uint32_t N = static_cast<uint32_t>(h.size() - 1);
  const uint32_t taps = 2 * N + 1;
  // At most 8 x 6001 taps: far below the longest transform.
  const auto L = static_cast<uint32_t>(
      fft::NextPowerOfTwo(std::max<uint64_t>(2 * taps, std::min<uint64_t>(8 * taps, uint64_t{count} + 2 * N))));
  const uint32_t step = L - 2 * N;  // outputs per segment
  const fft::Plan<double>& plan = fft::PlanFor<double>(L);

  std::vector<double> kr(L, 0.0), ki(L, 0.0);
  kr[0] = h[0];
  for (uint32_t k = 1; k <= N; ++k) kr[k] = kr[L - k] = h[k];
  plan.Run(-1, kr.data(), ki.data());
  const double scale = 1.0 / L;
  for (uint32_t k = 0; k < L; ++k) kr[k] *= scale;  // folds in the inverse's 1/L

  std::vector<double> re(L), im(L);
  auto load = [&](std::vector<double>& dst, uint32_t start) {
    // dst[t] = padded[start + t], zero beyond the padded copy
    const size_t avail = padded.size() > start ? padded.size() - start : 0;
    const size_t n = std::min<size_t>(L, avail);
    for (size_t t = 0; t < n; ++t) dst[t] = padded[start + t];
    std::fill(dst.begin() + static_cast<ptrdiff_t>(n), dst.end(), 0.0);
  };
  for (uint32_t i0 = 0; i0 < count; i0 += 2 * step) {
    const uint32_t i1 = i0 + step;
    load(re, i0);
    if (i1 < count) {
      load(im, i1);
    } else {
      std::fill(im.begin(), im.end(), 0.0);
    }
    plan.Run(-1, re.data(), im.data());
    for (uint32_t k = 0; k < L; ++k) {
      re[k] *= kr[k];
      im[k] *= kr[k];
    }
    // Inverse by the forward transform of the conjugate: saves the scaling pass.
    for (uint32_t k = 0; k < L; ++k) im[k] = -im[k];
    plan.Run(-1, re.data(), im.data());
    const uint32_t n0 = std::min(step, count - i0);
    for (uint32_t t = 0; t < n0; ++t) out[i0 + t] = static_cast<float>(re[N + t]);
    if (i1 < count) {
      const uint32_t n1 = std::min(step, count - i1);
      for (uint32_t t = 0; t < n1; ++t) out[i1 + t] = static_cast<float>(-im[N + t]);
    }
  }
}

double Mean(const float* data, uint32_t n) {
  double s = 0.0;
  for (uint32_t i = 0; i < n; ++i) s += data[i];
  return n ? s / n : 0.0;
}

}  // namespace

void TFunk::PotterKernel(int16_t N, double* h, double fc, double dt) {
  const int n = std::max<int>(N, 0);
  h[0] = 2.0 * fc * dt;
  const double a = 2.0 * kPi * fc * dt;
  for (int k = 1; k <= n; ++k) h[k] = std::sin(a * k) / (kPi * k);
  h[n] *= 0.5;
  for (int k = 1; k <= n; ++k) {
    const double w =
        0.35577019 + 2.0 * (0.2436983 * std::cos(kPi * k / n) + 0.07211497 * std::cos(2.0 * kPi * k / n) +
                            0.00630165 * std::cos(3.0 * kPi * k / n));
    h[k] *= w;
  }
  double s = h[0];
  for (int k = 1; k <= n; ++k) s += 2.0 * h[k];
  if (s == 0.0 || !std::isfinite(s)) return;  // nothing passes: no gain to normalise
  for (int k = 0; k <= n; ++k) h[k] /= s;
}

void TFunk::PotterFilter(float* data, uint32_t samples, int16_t N, uint16_t type, double f1, double f2,
                         double dt) {
  if (!data || samples < 2) return;
  const int n = std::clamp<int>(N, 0, kMaxPotterPoints);
  if (type > kFilterBandStop) type = kFilterLowPass;
  const std::vector<double> h = PotterTaps(n, type, f1, f2, dt);

  // Copy with n repetitions of the first and last sample on either side.
  platform::CheckWorkingSpace((uint64_t{samples} + 2 * uint64_t(n)) * sizeof(float));
  std::vector<float> padded(static_cast<size_t>(samples) + 2 * static_cast<size_t>(n));
  std::fill(padded.begin(), padded.begin() + n, data[0]);
  std::copy(data, data + samples, padded.begin() + n);
  std::fill(padded.begin() + n + samples, padded.end(), data[samples - 1]);

  const uint32_t count = samples - 1;
  if (n >= kFastConvolutionPoints) {
    ConvolveFast(h, padded, data, count);
  } else {
    ConvolveDirect(h, padded, data, count);
  }
}

TFunk::FftFilterBand TFunk::FftFilterBandOf(const SetupRecord& setup, int32_t mode) {
  FftFilterBand band;
  band.Dt = setup.Dt;
  band.Type = setup.FilterType;
  switch (mode) {
    case 1:
      band.Low = setup.FreqIntegrationLow;
      band.High = setup.FreqIntegrationHigh;
      break;
    case 2:
      band.Low = setup.FreqDifferentiationLow;
      band.High = setup.FreqDifferentiationHigh;
      break;
    default:
      band.Low = setup.FilterLow;
      band.High = setup.FilterHigh;
      break;
  }
  return band;
}

bool TFunk::FftFilter(int32_t mode, uint32_t n, float* const* channels, int32_t first, int32_t end,
                      const FftFilterBand& band) {
  if (mode < 0 || mode > 2 || !channels || first < 0) return false;
  if (!(band.Dt > 0.0) || !std::isfinite(band.Dt)) return false;
  if (mode == 0 && band.Type > kFilterBandStop) return false;
  if (n < 2) return true;  // only the last sample, which stays
  if (TransformLength(n) > fft::kMaxLength) return false;

  const auto N = static_cast<uint32_t>(TransformLength(n));
  const int64_t half = N / 2;
  const double w0 = 2.0 * kPi / (N * band.Dt);
  auto bin = [&](double f) {
    const double b = std::floor(N * band.Dt * f);
    return static_cast<int64_t>(std::clamp(std::isnan(b) ? 0.0 : b, -1.0, static_cast<double>(half)));
  };
  int64_t lo = bin(band.Low), hi = bin(band.High);
  if (lo < 1) lo = 1;
  if (hi > half - 2) hi = half - 2;

  WorkBuffer work(2 * sizeof(float) * N);
  float* re = work.As<float>();
  float* im = re + N;
  auto zero = [&](int64_t k) {
    re[k] = im[k] = 0.0f;
    if (k != 0) re[N - k] = im[N - k] = 0.0f;
  };
  auto zeroRange = [&](int64_t from, int64_t to) {  // from .. to inclusive
    for (int64_t k = std::max<int64_t>(from, 0); k <= std::min(to, half); ++k) zero(k);
  };

  const int32_t last = std::max(end, first + 1);
  for (int32_t c = first; c < last; ++c) {
    float* x = channels[c];
    if (!x) continue;
    std::copy(x, x + (n - 1), re);
    std::fill(re + (n - 1), re + N, 0.0f);
    std::fill(im, im + N, 0.0f);
    Fft(-1, static_cast<int32_t>(N), re, im);
    if (mode == 0) {
      switch (band.Type) {
        case kFilterLowPass:
          zeroRange(lo, half);
          break;
        case kFilterBandPass:
          zeroRange(0, lo - 1);
          zeroRange(hi, half);
          break;
        case kFilterHighPass:
          zeroRange(0, lo - 1);
          break;
        case kFilterBandStop:
          zeroRange(lo, hi - 1);
          break;
      }
    } else {
      for (int64_t k = 0; k <= half; ++k) {
        if (!(lo < k && k < hi)) {
          zero(k);
          continue;
        }
        const double w = k * w0;
        const double r = re[k], i = im[k];
        double nr, ni;
        if (mode == 1) {
          nr = i / w;
          ni = -r / w;
        } else {
          nr = -i * w;
          ni = r * w;
        }
        re[k] = static_cast<float>(nr);
        im[k] = static_cast<float>(ni);
        re[N - k] = re[k];
        im[N - k] = -im[k];
      }
    }
    Fft(1, static_cast<int32_t>(N), re, im);
    std::copy(re, re + (n - 1), x);
  }
  return true;
}

ButterworthStatus TFunk::ApplyButterworth(int32_t order, int32_t type, double rate, double f1, double f2,
                                          float* data, uint32_t samples) {
  Tf_batt& designer = GlobalButterworth();
  const ButterworthStatus status = designer.DesignButterworth(order, type, rate, f1, f2, nullptr, nullptr);
  if (status != ButterworthStatus::Ok || !data || samples == 0) return status;
  SectionFilter filter(designer.Sections());
  const uint32_t lead = std::min<uint32_t>(static_cast<uint32_t>(designer.Degree()), samples);
  filter.Prime(Mean(data, std::max<uint32_t>(lead, 1)));
  filter.Run(data, samples);
  return status;
}

ButterworthStatus TFunk::Integrate(float* data, uint32_t samples, double rate, double dt, double highPassHz,
                                   double decay) {
  ButterworthStatus status = ApplyButterworth(2, kHighPass, rate, highPassHz, 0.45 * rate, data, samples);
  if (status != ButterworthStatus::Ok || !data || samples == 0) return status;
  const double m = Mean(data, samples);
  const double a = std::exp(-dt * decay);
  double v = data[0] - m;
  data[0] = 0.0f;
  for (uint32_t i = 1; i < samples; ++i) {
    v = data[i] - m + v * a;
    data[i] = static_cast<float>(v * dt);
  }
  status = ApplyButterworth(2, kHighPass, rate, highPassHz, 0.45 * rate, data, samples);
  const float m2 = static_cast<float>(Mean(data, samples));
  for (uint32_t i = 0; i < samples; ++i) data[i] -= m2;
  return status;
}

}  // namespace toolkit
