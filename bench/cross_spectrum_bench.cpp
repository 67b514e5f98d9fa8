// "вз-й всех" (channel 0 against 7 channels) and "вз-й спектр" (one pair), computation only: 8 channels
// of 2*10^6 samples, N 8192, shift 4096, Hann. Next to scipy.signal.csd plus coherence for the same 7
// pairs (timed by Python in the same run) and a loop of FFTW complex transforms over the same intervals.
#include <benchmark/benchmark.h>
#include <fftw3.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/python_timing.h"
#include "analysis/cross_spectrum.h"

namespace {

constexpr int32_t kSamples = 2'000'000, kChannels = 8, kN = 8192, kShift = 4096;

const std::vector<std::vector<float>>& Data() {
  static const std::vector<std::vector<float>> x = [] {
    std::vector<std::vector<float>> v(kChannels, std::vector<float>(kSamples));
    uint32_t s = 1;
    for (int c = 0; c < kChannels; ++c)
      for (int32_t i = 0; i < kSamples; ++i) {
        s = s * 1664525u + 1013904223u;
        v[c][i] = static_cast<float>(std::sin(i * 0.01 * (c + 1)) + (static_cast<double>(s >> 8) / 16777216.0 - 0.5));
      }
    return v;
  }();
  return x;
}

void RunPairs(benchmark::State& state, int pairs) {
  const auto& x = Data();
  analysis::DataWindowInfo w;
  for (auto _ : state) {
    for (int c = 1; c <= pairs; ++c) {
      const analysis::CrossSums sums =
          analysis::ComputeCrossSums({x[0].data(), x[c].data(), 0, kSamples, kN, kShift, 1}, w, nullptr);
      benchmark::DoNotOptimize(analysis::Transfer(sums, kN / 2 - 1, true).Hmax);
    }
  }
  state.counters["pairs/s"] = benchmark::Counter(pairs, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_CrossAll(benchmark::State& state) { RunPairs(state, kChannels - 1); }
BENCHMARK(BM_CrossAll)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_CrossPair(benchmark::State& state) { RunPairs(state, 1); }
BENCHMARK(BM_CrossPair)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Baseline: one windowed FFTW complex transform per interval and pair, and the four sums.
void BM_FftwComplexIntervals(benchmark::State& state) {
  const auto& x = Data();
  fftwf_complex* in = fftwf_alloc_complex(kN);
  fftwf_complex* out = fftwf_alloc_complex(kN);
  fftwf_plan plan = fftwf_plan_dft_1d(kN, in, out, FFTW_FORWARD, FFTW_MEASURE);
  std::vector<float> w(kN);
  for (int i = 0; i < kN; ++i) w[i] = static_cast<float>(0.5 - 0.5 * std::cos(2 * M_PI * i / kN));
  std::vector<double> sums(4 * kN / 2);
  for (auto _ : state) {
    for (int c = 1; c < kChannels; ++c) {
      std::fill(sums.begin(), sums.end(), 0.0);
      for (int32_t p = 0; p + kN <= kSamples; p += kShift) {
        for (int i = 0; i < kN; ++i) {
          in[i][0] = x[0][p + i] * w[i];
          in[i][1] = x[c][p + i] * w[i];
        }
        fftwf_execute(plan);
        for (int k = 2; k < kN / 2 - 1; ++k) {
          const double a = out[k][0] + out[kN - k][0], b = out[k][1] - out[kN - k][1];
          const double u = out[kN - k][0] - out[k][0], v = out[k][1] + out[kN - k][1];
          sums[4 * k] += a * a + b * b;
          sums[4 * k + 1] += u * u + v * v;
          sums[4 * k + 2] += b * u + a * v;
          sums[4 * k + 3] += b * v - a * u;
        }
      }
      benchmark::DoNotOptimize(sums.data());
    }
  }
  fftwf_destroy_plan(plan);
  fftwf_free(in);
  fftwf_free(out);
}
BENCHMARK(BM_FftwComplexIntervals)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// Reference: scipy.signal.csd and coherence for the 7 pairs; Python times the calls itself.
void BM_ScipyCsdCoherence(benchmark::State& state) {
  const std::string dir = std::filesystem::temp_directory_path() / ("cross_bench_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  {
    std::ofstream out(dir + "/x.f32", std::ios::binary);
    for (const auto& ch : Data())
      out.write(reinterpret_cast<const char*>(ch.data()), static_cast<std::streamsize>(kSamples * sizeof(float)));
    std::ofstream py(dir + "/csd.py");
    py << "import numpy as np, scipy.signal as s, time\n"
          "x = np.fromfile('" << dir << "/x.f32', dtype=np.float32).reshape(" << kChannels << ", -1)\n"
          "a = dict(fs=1, window='hann', nperseg=" << kN << ", noverlap=" << kN - kShift << ", detrend=False)\n"
          "t = time.perf_counter()\n"
          "for c in range(1, " << kChannels << "):\n"
          "  s.csd(x[0], x[c], **a)\n"
          "  s.coherence(x[0], x[c], **a)\n"
          "print(time.perf_counter() - t)\n";
  }
  bench_support::TimePythonScript(state, dir + "/csd.py");
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ScipyCsdCoherence)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

}  // namespace
