#include "viewer/test_signal.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace viewer {

namespace {

class Random {
 public:
  explicit Random(uint64_t seed) : gen_(seed) {}
  // A whole number 0 ... n - 1, uniformly; 0 when n is 0 or less.
  int32_t operator()(int32_t n) {
    if (n <= 1) return 0;
    return std::uniform_int_distribution<int32_t>(0, n - 1)(gen_);
  }

 private:
  std::mt19937_64 gen_;
};

void TwoSines(const toolkit::SetupRecord& s, const ChannelSamples& samples, Random& random) {
  const double twoPi = 2.0 * std::numbers::pi;
  for (uint32_t n = 0; n < s.Samples; ++n) {
    const double t = n * s.Dt;
    const double y = s.SweepAmplitude * std::sin(twoPi * s.SweepFrequency * (1.0 + s.SweepRate * t) * t) +
                     s.SineAmplitude * std::sin(twoPi * s.SineFrequency * t);
    for (uint16_t c = 0; c < s.TestChannels; ++c) {
      if (float* x = samples[c]) x[n] = static_cast<float>(random(s.NoiseLevel) + y);
    }
  }
}

void SumOfHarmonics(const toolkit::SetupRecord& s, const ChannelSamples& samples, Random& random) {
  std::vector<float> phase(kHarmonicTableSize);
  for (float& p : phase)
    p = static_cast<float>(random(1000) * s.PhaseSpread * std::numbers::pi * 1e-5);
  const double step = 6.2831853 / s.HarmonicPeriod;
  const int first = std::max<int>(s.HarmonicFirst, 0);
  const int end = std::min<int>(s.HarmonicEnd, kHarmonicTableSize);
  for (uint32_t n = 0; n < s.Samples; ++n) {
    const double a = n * step;
    double sum = 0.0;
    for (int k = first; k < end; k += s.HarmonicStep) sum += std::sin(k * a + phase[k]);
    for (uint16_t c = 0; c < s.TestChannels; ++c) {
      if (float* x = samples[c]) x[n] = static_cast<float>(100.0 * sum);
    }
  }
}

}  // namespace

void RemoveMean(float* channel, uint32_t count) {
  if (channel == nullptr || count == 0) return;
  double sum = 0.0;
  for (uint32_t i = 0; i < count; ++i) sum += channel[i];
  const double mean = sum / count;
  for (uint32_t i = 0; i < count; ++i) channel[i] = static_cast<float>(channel[i] - mean);
}

std::string GenerateTestSignal(toolkit::SetupRecord& s, const ChannelSamples& samples, uint64_t seed) {
  std::string refusal;
  if (s.TestMode != 0) {
    Random random(seed);
    s.TestChannels = std::min(s.TestChannels, s.ChannelCount);
    if (s.TestChannels == 0) s.TestChannels = 1;
    if (s.TestMode != 2) {
      TwoSines(s, samples, random);
    } else if (s.HarmonicStep < 1 || s.HarmonicPeriod < 1) {
      refusal = "Тест: шаг гармоник и период должны быть не меньше 1; тестового сигнала нет";
    } else {
      SumOfHarmonics(s, samples, random);
    }
  }
  if (s.RemoveMean != 0) {
    for (uint16_t c = 0; c < s.ChannelCount; ++c) RemoveMean(samples[c], s.Samples);
  }
  return refusal;
}

std::string GenerateTestSignal(toolkit::SetupRecord& s, const ChannelSamples& samples) {
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  return GenerateTestSignal(s, samples, static_cast<uint64_t>(now));
}

}  // namespace viewer
