// The spectrum window's computations:
// - spectra over 39,000 intervals (10^7 samples, N 4096, shift 256, Hann), computation only, next to
//   scipy.signal.welch on the same data (timed by Python in the same run) and to a loop of FFTW r2c
//   transforms over the same intervals;
// - the same computation drawing every interval into the offscreen spectrum window;
// - the direct transform of the single-spectrum modes at N 10,000 and 32,768.
#include <benchmark/benchmark.h>
#include <fftw3.h>
#include <unistd.h>

#include <QAction>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/python_timing.h"
#include "bench/offscreen_app.h"
#include "analysis/interval_spectrum.h"
#include "analysis/ui/spectrum_form.h"
#include "platform/ui/ui_script.h"
#include "toolkit/setup_record.h"
#include "viewer/channel_samples.h"

namespace {

constexpr int32_t kSamples = 10'000'000, kN = 4096, kShift = 256;

const std::vector<float>& Data() {
  static const std::vector<float> x = [] {
    std::vector<float> v(kSamples);
    uint32_t s = 1;
    for (int32_t i = 0; i < kSamples; ++i) {
      s = s * 1664525u + 1013904223u;
      v[i] = static_cast<float>(std::sin(i * 0.01) + (static_cast<double>(s >> 8) / 16777216.0 - 0.5));
    }
    return v;
  }();
  return x;
}

void BM_IntervalSpectrum(benchmark::State& state) {
  const auto& x = Data();
  analysis::SpectrumBuffers b;
  for (auto _ : state) {
    analysis::IntervalSpectrumInput in{x.data(), 0, kSamples, kN, kShift, 1};
    analysis::IntervalSpectrum run(b, in);
    while (run.More()) run.Next();
    benchmark::DoNotOptimize(run.Finish());
  }
  state.counters["intervals"] = b.IntervalCount;
}
BENCHMARK(BM_IntervalSpectrum)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// Baseline: windowed FFTW r2c of every interval and the power sum.
void BM_FftwR2cIntervals(benchmark::State& state) {
  const auto& x = Data();
  float* in = fftwf_alloc_real(kN);
  fftwf_complex* out = fftwf_alloc_complex(kN / 2 + 1);
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(kN, in, out, FFTW_MEASURE);
  std::vector<float> w(kN);
  for (int i = 0; i < kN; ++i) w[i] = static_cast<float>(0.5 - 0.5 * std::cos(2 * M_PI * i / kN));
  std::vector<double> power(kN / 2);
  for (auto _ : state) {
    std::fill(power.begin(), power.end(), 0.0);
    for (int32_t p = 0; p + kN <= kSamples; p += kShift) {
      for (int i = 0; i < kN; ++i) in[i] = x[p + i] * w[i];
      fftwf_execute(plan);
      for (int k = 0; k < kN / 2; ++k) power[k] += out[k][0] * out[k][0] + out[k][1] * out[k][1];
    }
    benchmark::DoNotOptimize(power.data());
  }
  fftwf_destroy_plan(plan);
  fftwf_free(in);
  fftwf_free(out);
}
BENCHMARK(BM_FftwR2cIntervals)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// Reference: scipy.signal.welch on the same samples; Python times the call itself.
void BM_ScipyWelch(benchmark::State& state) {
  const std::string dir = std::filesystem::temp_directory_path() / ("spectrum_bench_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  {
    std::ofstream out(dir + "/x.f32", std::ios::binary);
    out.write(reinterpret_cast<const char*>(Data().data()), static_cast<std::streamsize>(kSamples * sizeof(float)));
    std::ofstream py(dir + "/welch.py");
    py << "import numpy as np, scipy.signal as s, time\n"
          "x = np.fromfile('" << dir << "/x.f32', dtype=np.float32)\n"
          "t = time.perf_counter()\n"
          "s.welch(x, fs=1, window='hann', nperseg=4096, noverlap=4096-256, detrend=False)\n"
          "print(time.perf_counter() - t)\n";
  }
  bench_support::TimePythonScript(state, dir + "/welch.py");
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ScipyWelch)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

// The same computation with every interval drawn into the offscreen window.
void BM_IntervalSpectrumDrawn(benchmark::State& state) {
  bench::OffscreenApp();
  platform::ui::UiScript script;
  script.SetScreenSize(QSize(1920, 1080));
  platform::ui::InstallScript(&script);
  toolkit::SetupRecord setup;
  toolkit::SetSetupDefaults(setup, "/tmp/");
  toolkit::Setup = &setup;
  auto& samples = viewer::GlobalChannelSamples();
  samples.Allocate(0, kSamples + viewer::ChannelSamples::kSpare);
  std::copy(Data().begin(), Data().end(), samples[0]);
  setup.Samples = kSamples;
  setup.ChannelCount = 1;
  setup.Nn = 0;
  setup.Nk = kSamples;
  setup.ChannelMin[0] = -1.5f;
  setup.ChannelMax[0] = 1.5f;
  {
    analysis::TForm_spek form;
    form.FormShow();
    for (auto _ : state) form.spektr->trigger();
    state.counters["intervals"] = form.Buffers.IntervalCount;
  }
  samples.FreeAll();
  toolkit::Setup = nullptr;
  platform::ui::InstallScript(nullptr);
}
BENCHMARK(BM_IntervalSpectrumDrawn)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

void BM_DirectTransform(benchmark::State& state) {
  const int32_t n = static_cast<int32_t>(state.range(0));
  analysis::SpectrumBuffers b;
  for (auto _ : state) benchmark::DoNotOptimize(analysis::ComputeSingleSpectrum(Data().data(), 0, kSamples, n, 1, b));
}
BENCHMARK(BM_DirectTransform)->Arg(10000)->Arg(32768)->Unit(benchmark::kMillisecond);

}  // namespace
