// The analysis commands against baselines measured in the same run: the STA/LTA ratio stage against a
// plain sum of |x| over the same memory, the whole search against the band-pass alone, the histogram
// against one plain pass over the channels, the export of the selection against a plain read and write of
// the same bytes. The correlation reports its samples per second (scipy's FFT correlation of 10^7 samples
// takes about 1 s on the reference machine).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "analysis/channel_histogram.h"
#include "analysis/correlation.h"
#include "analysis/event_search.h"
#include "analysis/selection_export.h"
#include "toolkit/sample_recording.h"

namespace {

std::vector<float> Noise(size_t n) {
  std::mt19937 rng(5);
  std::normal_distribution<float> g(0.0f, 100.0f);
  std::vector<float> v(n);
  for (float& x : v) x = g(rng);
  return v;
}

constexpr int64_t kSamples = 10'000'000;

void BM_StaLtaRatios(benchmark::State& state) {
  const std::vector<float> c = Noise(kSamples);
  for (auto _ : state) benchmark::DoNotOptimize(analysis::StaLtaRatios(c.data(), 0, kSamples, 3000, 100));
  state.SetBytesProcessed(state.iterations() * kSamples * 4);
}

void BM_AbsSumBaseline(benchmark::State& state) {
  const std::vector<float> c = Noise(kSamples);
  for (auto _ : state) {
    double s = 0.0;
    for (float v : c) s += std::fabs(v);
    benchmark::DoNotOptimize(s);
  }
  state.SetBytesProcessed(state.iterations() * kSamples * 4);
}

toolkit::SetupRecord SearchRecord(uint32_t samples) {
  toolkit::SetupRecord s{};
  s.Samples = samples;
  s.Nk = static_cast<int32_t>(samples);
  s.Dt = s.Header.dt = 0.01;
  s.Header.Rate = 100;
  s.ShownEnd = 1;
  s.SamplesPerColumn = 1000;
  s.PixelsPerSample = 1;
  s.LtaWindow = 30;
  s.StaWindow = 1;
  s.StaLtaScale = 1;
  s.SearchBandLow = 1;
  s.SearchBandHigh = 10;
  return s;
}

void BM_SearchStaLta(benchmark::State& state) {
  const std::vector<float> x = Noise(kSamples);
  const toolkit::SetupRecord s = SearchRecord(kSamples);
  toolkit::TFunk funk;
  for (auto _ : state)
    benchmark::DoNotOptimize(analysis::SearchSpectralChange(s, x.data(), 0, 1200, 455, funk));
  state.SetBytesProcessed(state.iterations() * kSamples * 4);
}

void BM_ButterworthAloneBaseline(benchmark::State& state) {
  const std::vector<float> x = Noise(kSamples);
  std::vector<float> y(x.size());
  toolkit::TFunk funk;
  for (auto _ : state) {
    std::copy(x.begin(), x.end(), y.begin());
    funk.ApplyButterworth(3, toolkit::kBandPass, 100, 1, 10, y.data(), kSamples);
    benchmark::DoNotOptimize(y.data());
  }
  state.SetBytesProcessed(state.iterations() * kSamples * 4);
}

void BM_CorrelateCross(benchmark::State& state) {
  const std::vector<float> b = Noise(kSamples);
  std::vector<float> a(b.size());
  toolkit::TFunk funk;
  for (auto _ : state) {
    std::copy(b.begin(), b.end(), a.begin());
    benchmark::DoNotOptimize(analysis::CorrelateChannels(a.data(), b.data(), kSamples, funk, nullptr));
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
}

constexpr int kChannels = 8;
constexpr uint32_t kPerChannel = 2'000'000;

struct Channels {
  std::vector<std::vector<float>> data;
  std::vector<const float*> ptr;
  Channels() {
    for (int c = 0; c < kChannels; ++c) {
      data.push_back(Noise(kPerChannel));
      ptr.push_back(data.back().data());
    }
  }
};

void BM_Histogram(benchmark::State& state) {
  const Channels ch;
  toolkit::SetupRecord s = SearchRecord(kPerChannel);
  s.ChannelCount = kChannels;
  s.HistogramRmsMinutes = 5;
  for (int c = 0; c < kChannels; ++c) s.MemCoef[c] = 1.0;
  const auto dir = std::filesystem::temp_directory_path() / ("hist_bench_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto saved = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  for (auto _ : state) benchmark::DoNotOptimize(analysis::ChannelHistogram(s, ch.ptr.data(), nullptr));
  std::filesystem::current_path(saved);
  std::filesystem::remove_all(dir);
  state.SetBytesProcessed(state.iterations() * int64_t{kChannels} * kPerChannel * 4);
}

void BM_PlainPassBaseline(benchmark::State& state) {
  const Channels ch;
  for (auto _ : state) {
    double s = 0.0;
    for (const float* p : ch.ptr)
      for (uint32_t i = 0; i < kPerChannel; ++i) s += p[i];
    benchmark::DoNotOptimize(s);
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kChannels} * kPerChannel * 4);
}

constexpr uint32_t kFrames = 2'000'000;

struct ExportFiles {
  std::filesystem::path dir;
  toolkit::SetupRecord s{};
  ExportFiles() {
    dir = std::filesystem::temp_directory_path() / ("export_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    toolkit::SampleRecordingPlan plan;
    plan.channels = kChannels;
    plan.frames = kFrames;
    toolkit::WriteSampleRecording((dir / "src.rec").string(), plan);
    std::FILE* f = std::fopen((dir / "src.rec").c_str(), "rb");
    std::vector<toolkit::CHANNEL_HEADER> heads;
    toolkit::ReadHeaders(f, s.Header, heads);
    std::fclose(f);
    for (size_t c = 0; c < heads.size(); ++c) s.FileChannels[c] = heads[c];
    toolkit::SetFieldText(s.DataDir, dir.string());
    toolkit::SetFieldText(s.FileName, "src.rec");
    s.Samples = kFrames;
    s.Nk = static_cast<int32_t>(kFrames);
    std::filesystem::current_path(dir);
  }
  ~ExportFiles() { std::filesystem::remove_all(dir); }
};

void BM_ExportFromFile(benchmark::State& state) {
  const auto saved = std::filesystem::current_path();
  {
    ExportFiles files;
    toolkit::TFunk funk;
    for (auto _ : state) benchmark::DoNotOptimize(analysis::ExportRecording(files.s, nullptr, 0, funk));
  }
  std::filesystem::current_path(saved);
  state.SetBytesProcessed(state.iterations() * int64_t{kChannels} * kFrames * 4);
}

void BM_ReadWriteCopyBaseline(benchmark::State& state) {
  const auto saved = std::filesystem::current_path();
  {
    ExportFiles files;
    std::vector<char> buf(1 << 22);
    for (auto _ : state) {
      std::FILE* in = std::fopen("src.rec", "rb");
      std::FILE* out = std::fopen("copy.rec", "wb");
      for (size_t n; (n = std::fread(buf.data(), 1, buf.size(), in)) > 0;) std::fwrite(buf.data(), 1, n, out);
      std::fclose(in);
      std::fclose(out);
    }
  }
  std::filesystem::current_path(saved);
  state.SetBytesProcessed(state.iterations() * int64_t{kChannels} * kFrames * 4);
}

}  // namespace

BENCHMARK(BM_StaLtaRatios)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AbsSumBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchStaLta)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ButterworthAloneBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CorrelateCross)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Histogram)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainPassBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportFromFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadWriteCopyBaseline)->Unit(benchmark::kMillisecond);
