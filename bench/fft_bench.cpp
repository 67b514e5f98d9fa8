// The toolkit's complex transform against FFTW's interleaved single-precision plan, forward plus
// inverse with the same 1/n scaling, at every length 2^10 .. 2^25; and the correlation of channels
// against scipy.signal.correlate (method 'fft') at 10^5, 10^6 and 10^7 samples. Baselines run in the
// same program on the same data; on a busy machine run with --benchmark_repetitions=5 and compare the
// minima. The ratio of the two times is what counts.
#include <benchmark/benchmark.h>
#include <fftw3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/python_timing.h"
#include "analysis/correlation.h"
#include "toolkit/funk.h"

namespace {

std::vector<float> Noise(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  std::vector<float> v(n);
  for (float& x : v) x = u(rng);
  return v;
}

void Lengths(benchmark::internal::Benchmark* b) {
  for (int bits = 10; bits <= 25; ++bits) b->Arg(int64_t{1} << bits);
}

// Forward plus inverse of the toolkit against FFTW's interleaved complex plans (measured up to 2^22,
// estimated above, where measuring takes minutes) followed by the toolkit's 1/n, on the same data,
// timed call by call in turns, so a busy machine slows both alike. The counters hold the fastest
// call of each (microseconds) and their ratio; the benchmark's own time is that of both.
void BM_FftAgainstFftw(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<float> a = Noise(n, 1), b = Noise(n, 2);
  std::vector<float> re = a, im = b;
  toolkit::TFunk funk;
  funk.Fft(-1, n, re.data(), im.data());  // plans outside the timing
  auto* x = fftwf_alloc_complex(n);
  const unsigned flags = n <= (1 << 22) ? FFTW_MEASURE : FFTW_ESTIMATE;
  fftwf_plan forward = fftwf_plan_dft_1d(n, x, x, FFTW_FORWARD, flags);
  fftwf_plan backward = fftwf_plan_dft_1d(n, x, x, FFTW_BACKWARD, flags);
  for (int i = 0; i < n; ++i) {
    x[i][0] = a[i];
    x[i][1] = b[i];
  }
  const float scale = 1.0f / static_cast<float>(n);
  double ours = 1e30, theirs = 1e30;
  using Clock = std::chrono::steady_clock;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    funk.Fft(-1, n, re.data(), im.data());
    funk.Fft(1, n, re.data(), im.data());
    benchmark::DoNotOptimize(re.data());
    const auto t1 = Clock::now();
    fftwf_execute(forward);
    fftwf_execute(backward);
    float* p = &x[0][0];
    for (int i = 0; i < 2 * n; ++i) p[i] *= scale;
    benchmark::DoNotOptimize(x);
    const auto t2 = Clock::now();
    ours = std::min(ours, std::chrono::duration<double, std::micro>(t1 - t0).count());
    theirs = std::min(theirs, std::chrono::duration<double, std::micro>(t2 - t1).count());
  }
  state.counters["toolkit_us"] = ours;
  state.counters["fftw_us"] = theirs;
  state.counters["ratio"] = ours / theirs;
  // Cost per point and stage: flat when the cost grows as n log n.
  state.counters["ns_per_n_log_n"] = 1000.0 * ours / (n * std::log2(n));
  fftwf_destroy_plan(forward);
  fftwf_destroy_plan(backward);
  fftwf_free(x);
}
BENCHMARK(BM_FftAgainstFftw)->Apply(Lengths)->Unit(benchmark::kMicrosecond)->MinTime(0.2);

void Sizes(benchmark::internal::Benchmark* b) {
  for (int64_t n : {100000, 1000000, 10000000}) b->Arg(n);
}

// Cross-correlation of two channels as "функции" runs it, on a copy of the first channel.
void BM_CorrelateChannels(benchmark::State& state) {
  const auto n = static_cast<uint32_t>(state.range(0));
  const std::vector<float> a = Noise(n, 3), b = Noise(n, 4);
  std::vector<float> work(n);
  toolkit::TFunk funk;
  for (auto _ : state) {
    state.PauseTiming();
    work = a;
    state.ResumeTiming();
    const std::string refusal = analysis::CorrelateChannels(work.data(), b.data(), n, funk, nullptr);
    if (!refusal.empty()) state.SkipWithError(refusal.c_str());
    benchmark::DoNotOptimize(work.data());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_CorrelateChannels)->Apply(Sizes)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reference: scipy.signal.correlate(b, a, method='fft') on the same data; Python times its best of
// three calls itself.
void BM_ScipyCorrelate(benchmark::State& state) {
  const auto n = static_cast<size_t>(state.range(0));
  const std::string dir =
      std::filesystem::temp_directory_path() / ("fft_bench_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  {
    std::ofstream out(dir + "/x.f32", std::ios::binary);
    for (unsigned seed : {3u, 4u}) {
      const std::vector<float> v = Noise(n, seed);
      out.write(reinterpret_cast<const char*>(v.data()), static_cast<std::streamsize>(n * sizeof(float)));
    }
    std::ofstream py(dir + "/corr.py");
    py << "import numpy as np, scipy.signal as s, time\n"
          "x = np.fromfile('" << dir << "/x.f32', dtype=np.float32).reshape(2, -1)\n"
          "best = 1e9\n"
          "for _ in range(3):\n"
          "  t = time.perf_counter(); s.correlate(x[1], x[0], mode='full', method='fft')\n"
          "  best = min(best, time.perf_counter() - t)\n"
          "print(best)\n";
  }
  bench_support::TimePythonScript(state, dir + "/corr.py");
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ScipyCorrelate)->Apply(Sizes)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

}  // namespace
