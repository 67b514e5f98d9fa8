// The spectral-temporal map at N = 65536 (the goal: under a second a run) against its 202 transforms
// alone, measured in the same run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "analysis/spectral_time_analysis.h"
#include "toolkit/funk.h"

namespace {

constexpr int32_t kN = 65536;

std::vector<float> Signal() {
  std::vector<float> x(kN);
  for (int32_t i = 0; i < kN; ++i) x[i] = static_cast<float>(1000.0 * std::sin(0.001 * i + 2e-8 * i * i));
  return x;
}

void BM_SwanMap(benchmark::State& state) {
  const std::vector<float> x = Signal();
  analysis::SwanSettings s;
  s.N = kN;
  for (auto _ : state) benchmark::DoNotOptimize(analysis::ComputeSwanMap(x.data(), kN, 0, 0.01, s).maxValue);
}

void BM_SwanTransformsOnly(benchmark::State& state) {
  const std::vector<float> x = Signal();
  std::vector<float> re(kN), im(kN);
  toolkit::TFunk& funk = toolkit::GlobalFunk();
  for (auto _ : state) {
    for (int r = 0; r < analysis::kSwanRows; ++r) {
      re = x;
      std::fill(im.begin(), im.end(), 0.0f);
      funk.Fft(-1, kN, re.data(), im.data());
      funk.Fft(1, kN, re.data(), im.data());
    }
    benchmark::DoNotOptimize(re[1]);
  }
}

}  // namespace

BENCHMARK(BM_SwanMap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwanTransformsOnly)->Unit(benchmark::kMillisecond);
