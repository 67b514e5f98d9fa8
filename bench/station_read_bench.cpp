// Reading six one-hour files of a station (8 channels at 1 kHz, about 690 MB) into one interval, and the
// directory variance over the same directory, each next to its baseline measured in the same run: the
// same bytes read with fread in 1 MiB blocks and turned into floats, and two plain reads of the directory.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "toolkit/funk.h"
#include "toolkit/setup_record.h"
#include "viewer/channel_samples.h"
#include "viewer/directory_variance.h"
#include "viewer/station_loader.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 6;
constexpr uint16_t kChannels = 8;
constexpr uint16_t kRate = 1000;
constexpr uint32_t kFramesPerFile = uint32_t{kRate} * 3600;
constexpr uint32_t kStart = 2'524'694'400u + 662'774'400u;  // 2001-01-01 00:00:00
constexpr size_t kBlock = size_t{1} << 20;

const char* kStation = "bst";

// The directory of six consecutive hourly files, written once.
std::string StationDirectory() {
  const fs::path dir = fs::temp_directory_path() / "bench_station_read";
  const uint64_t size = toolkit::HeadersSize(kChannels) + uint64_t{4} * kChannels * kFramesPerFile;
  fs::create_directories(dir);
  for (int i = 0; i < kFiles; ++i) {
    const fs::path path = dir / ("h" + std::to_string(i) + ".dat");
    if (fs::exists(path) && fs::file_size(path) == size) continue;
    std::FILE* f = std::fopen(path.string().c_str(), "wb");
    toolkit::MAIN_HEADER h{};
    h.Channels = kChannels;
    h.Format = 60;
    h.Rate = kRate;
    h.Bits = 24;
    h.Mark1 = 0x5566;
    h.Mark2 = 0x7788;
    std::snprintf(h.Station, sizeof h.Station, "%s", kStation);
    h.StartTicks = (int64_t{kStart} - toolkit::kSecondsFrom1899To1980 + int64_t{3600} * i) * toolkit::kTicksPerSecond;
    std::fwrite(&h, sizeof h, 1, f);
    std::vector<toolkit::CHANNEL_HEADER> ch(kChannels);
    for (uint16_t c = 0; c < kChannels; ++c) {
      ch[c].Number = c;
      ch[c].Mark1 = 0x1111;
      ch[c].Mark2 = 0x2222;
      ch[c].Mark3 = 0x3333;
      ch[c].Coef = 1.0;
      ch[c].Coef2 = 1.0;
    }
    std::fwrite(ch.data(), sizeof(toolkit::CHANNEL_HEADER), kChannels, f);
    std::vector<int32_t> frames(size_t{kChannels} * 65536);
    uint32_t x = 12345 + i;
    for (uint32_t done = 0; done < kFramesPerFile;) {
      const uint32_t n = std::min<uint32_t>(65536, kFramesPerFile - done);
      for (size_t k = 0; k < size_t{n} * kChannels; ++k) {
        x = x * 1664525u + 1013904223u;
        frames[k] = static_cast<int32_t>(x >> 8) - (1 << 23);
      }
      std::fwrite(frames.data(), 4, size_t{n} * kChannels, f);
      done += n;
    }
    std::fclose(f);
  }
  return dir.string();
}

std::unique_ptr<toolkit::SetupRecord> StationSetup(const std::string& dir) {
  auto s = std::make_unique<toolkit::SetupRecord>();
  toolkit::SetSetupDefaults(*s, dir + "/");
  toolkit::SetFieldText(s->DataDir, dir);
  s->Header.Format = 60;
  s->Header.Rate = kRate;
  s->Header.Channels = kChannels;
  s->Header.Bits = 24;
  s->Header.dt = 1.0 / kRate;
  toolkit::SetFieldText(s->Header.Station, kStation);
  s->StationStart = kStart;
  s->StationHours = kFiles;
  s->LoadChannels = kChannels;
  for (uint16_t j = 0; j < kChannels; ++j) s->ChannelMap[j] = j;
  s->TestMode = 0;
  s->RemoveMean = 0;
  s->HistogramRmsMinutes = 5;
  return s;
}

uint64_t TotalBytes(const std::string& dir) {
  uint64_t total = 0;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.is_regular_file() && e.path().extension() == ".dat") total += e.file_size();
  return total;
}

void BM_StationRead(benchmark::State& state) {
  const std::string dir = StationDirectory();
  auto s = StationSetup(dir);
  viewer::ChannelSamples samples;
  toolkit::TFunk funk;
  // One read before the clock runs, so that the arrays' pages are mapped as the baseline's are.
  viewer::CheckStationReadLimits(*s, samples, funk, dir);
  for (auto _ : state) {
    s->StationHours = kFiles;
    const auto out = viewer::CheckStationReadLimits(*s, samples, funk, dir);
    if (out.filesLoaded != kFiles) state.SkipWithError("not every file was read");
    benchmark::DoNotOptimize(samples[0]);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TotalBytes(dir)));
}

// Baseline: the same bytes with fread in 1 MiB blocks, each int32 turned into a float in its channel.
void BM_StationReadBaseline(benchmark::State& state) {
  const std::string dir = StationDirectory();
  std::vector<std::vector<float>> out(kChannels, std::vector<float>(size_t{kFramesPerFile} * kFiles));
  std::vector<int32_t> block(kBlock / 4);
  for (auto _ : state) {
    size_t frame = 0;
    for (int i = 0; i < kFiles; ++i) {
      std::FILE* f = std::fopen((fs::path(dir) / ("h" + std::to_string(i) + ".dat")).string().c_str(), "rb");
      std::fseek(f, static_cast<long>(toolkit::HeadersSize(kChannels)), SEEK_SET);
      for (size_t got; (got = std::fread(block.data(), 4, block.size(), f)) > 0;) {
        for (size_t k = 0; k + kChannels <= got; k += kChannels, ++frame)
          for (uint16_t c = 0; c < kChannels; ++c) out[c][frame] = static_cast<float>(block[k + c]);
      }
      std::fclose(f);
    }
    benchmark::DoNotOptimize(out[0].data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TotalBytes(dir)));
}

void BM_DirectoryVariance(benchmark::State& state) {
  const std::string dir = StationDirectory();
  auto s = StationSetup(dir);
  for (auto _ : state) {
    const auto out = viewer::DirectoryVariance(*s, dir, nullptr);
    if (!out.written) state.SkipWithError("no output");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * 2 * TotalBytes(dir)));
}

// Baseline: two plain reads of every file in 1 MiB blocks.
void BM_DirectoryVarianceBaseline(benchmark::State& state) {
  const std::string dir = StationDirectory();
  std::vector<char> block(kBlock);
  for (auto _ : state) {
    for (int pass = 0; pass < 2; ++pass)
      for (int i = 0; i < kFiles; ++i) {
        std::FILE* f = std::fopen((fs::path(dir) / ("h" + std::to_string(i) + ".dat")).string().c_str(), "rb");
        while (std::fread(block.data(), 1, block.size(), f) > 0) benchmark::DoNotOptimize(block.data());
        std::fclose(f);
      }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * 2 * TotalBytes(dir)));
}

BENCHMARK(BM_StationRead)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_StationReadBaseline)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DirectoryVariance)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_DirectoryVarianceBaseline)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
