// Forward plus inverse complex transform of TFunk against FFTW (single precision, measured plan) on the
// same split arrays in the same run; the ratio of the two times is what counts.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <random>
#include <vector>

#include "toolkit/funk.h"

namespace {

std::vector<float> Noise(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  std::vector<float> v(n);
  for (float& x : v) x = u(rng);
  return v;
}

void BM_TFunkFft(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<float> re = Noise(n, 1), im = Noise(n, 2);
  toolkit::TFunk funk;
  funk.Fft(-1, n, re.data(), im.data());  // plan outside the timing
  for (auto _ : state) {
    funk.Fft(-1, n, re.data(), im.data());
    funk.Fft(1, n, re.data(), im.data());
    benchmark::DoNotOptimize(re.data());
  }
  state.SetItemsProcessed(state.iterations() * n);
}

// Baseline: FFTW's split-array interface (fftwf_plan_guru_split_dft), forward and backward.
void BM_FftwBaseline(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  float* re = fftwf_alloc_real(n);
  float* im = fftwf_alloc_real(n);
  fftwf_iodim dim{n, 1, 1};
  fftwf_plan forward = fftwf_plan_guru_split_dft(1, &dim, 0, nullptr, re, im, re, im, FFTW_MEASURE);
  fftwf_plan backward = fftwf_plan_guru_split_dft(1, &dim, 0, nullptr, im, re, im, re, FFTW_MEASURE);
  const std::vector<float> a = Noise(n, 1), b = Noise(n, 2);
  std::copy(a.begin(), a.end(), re);
  std::copy(b.begin(), b.end(), im);
  for (auto _ : state) {
    fftwf_execute_split_dft(forward, re, im, re, im);
    fftwf_execute_split_dft(backward, im, re, im, re);
    benchmark::DoNotOptimize(re);
  }
  state.SetItemsProcessed(state.iterations() * n);
  fftwf_destroy_plan(forward);
  fftwf_destroy_plan(backward);
  fftwf_free(re);
  fftwf_free(im);
}

}  // namespace

BENCHMARK(BM_TFunkFft)->Arg(1 << 10)->Arg(1 << 12)->Arg(1 << 16)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FftwBaseline)
    ->Arg(1 << 10)
    ->Arg(1 << 12)
    ->Arg(1 << 16)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMicrosecond);
