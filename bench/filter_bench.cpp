// The channel filters against baselines measured in the same run: the windowed-sinc filter against a
// direct convolution loop, the Butterworth cascade against a copy of the same bytes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "toolkit/funk.h"

namespace {

std::vector<float> Noise(size_t n) {
  std::mt19937 rng(11);
  std::normal_distribution<float> g(100.0f, 10.0f);
  std::vector<float> v(n);
  for (float& x : v) x = g(rng);
  return v;
}

constexpr uint32_t kPotterSamples = 1000000;

void BM_PotterFilter(benchmark::State& state) {
  const auto N = static_cast<int16_t>(state.range(0));
  const std::vector<float> x = Noise(kPotterSamples);
  std::vector<float> y(x.size());
  toolkit::TFunk funk;
  for (auto _ : state) {
    std::copy(x.begin(), x.end(), y.begin());
    funk.PotterFilter(y.data(), kPotterSamples, N, 0, 10.0, 0.0, 0.01);
    benchmark::DoNotOptimize(y.data());
  }
  state.SetItemsProcessed(state.iterations() * kPotterSamples);
}

// Baseline: the plain double loop over the clamped edges, the cost of S x N multiply-adds.
void BM_PotterDirectBaseline(benchmark::State& state) {
  const int N = static_cast<int>(state.range(0));
  const std::vector<float> x = Noise(kPotterSamples);
  std::vector<double> h(N + 1);
  toolkit::TFunk::PotterKernel(static_cast<int16_t>(N), h.data(), 10.0, 0.01);
  std::vector<float> y(x.size());
  const int S = static_cast<int>(kPotterSamples);
  for (auto _ : state) {
    for (int i = 0; i < S - 1; ++i) {
      double s = h[0] * x[i];
      for (int k = 1; k <= N; ++k) s += h[k] * (double(x[std::max(i - k, 0)]) + x[std::min(i + k, S - 1)]);
      y[i] = static_cast<float>(s);
    }
    benchmark::DoNotOptimize(y.data());
  }
  state.SetItemsProcessed(state.iterations() * kPotterSamples);
}

// One hour at 100 samples per second.
constexpr uint32_t kHour = 360000;

void BM_ApplyButterworth(benchmark::State& state) {
  const auto order = static_cast<int32_t>(state.range(0));
  const std::vector<float> x = Noise(kHour);
  std::vector<float> y(x.size());
  toolkit::TFunk funk;
  for (auto _ : state) {
    std::copy(x.begin(), x.end(), y.begin());
    funk.ApplyButterworth(order, toolkit::kBandPass, 100.0, 0.5, 10.0, y.data(), kHour);
    benchmark::DoNotOptimize(y.data());
  }
  state.SetItemsProcessed(state.iterations() * kHour);
}

// 64 channels of an hour, band-pass of order 3 each: the processing program's "all channels".
void BM_ApplyButterworth64Channels(benchmark::State& state) {
  std::vector<std::vector<float>> channels(64, Noise(kHour));
  toolkit::TFunk funk;
  for (auto _ : state) {
    for (auto& c : channels) funk.ApplyButterworth(3, toolkit::kBandPass, 100.0, 0.5, 10.0, c.data(), kHour);
    benchmark::DoNotOptimize(channels[0].data());
  }
  state.SetBytesProcessed(state.iterations() * 64 * int64_t(kHour) * 4);
}

// Baseline: copying the same 64 channels.
void BM_Copy64ChannelsBaseline(benchmark::State& state) {
  std::vector<std::vector<float>> channels(64, Noise(kHour)), copies(64, std::vector<float>(kHour));
  for (auto _ : state) {
    for (size_t c = 0; c < 64; ++c) std::memcpy(copies[c].data(), channels[c].data(), kHour * sizeof(float));
    benchmark::DoNotOptimize(copies[0].data());
  }
  state.SetBytesProcessed(state.iterations() * 64 * int64_t(kHour) * 4);
}

}  // namespace

BENCHMARK(BM_PotterFilter)->Arg(100)->Arg(1000)->Arg(3000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PotterDirectBaseline)->Arg(100)->Arg(1000)->Arg(3000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ApplyButterworth)->DenseRange(2, 8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ApplyButterworth64Channels)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Copy64ChannelsBaseline)->Unit(benchmark::kMillisecond);
