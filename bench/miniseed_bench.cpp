// The MiniSEED export of the record in memory (float -> int32, the writer, Steim-1 records, files) next
// to a bare loop of mst_pack over the same int32 arrays writing the same records with fwrite, in the
// same run. The signal is a random walk like seismic noise, so the Steim-1 differences are realistic.
// 8 channels of 2,000,000 samples at 1 kHz (the ratio, not the size, is what counts).
#include <benchmark/benchmark.h>
#include <libmseed.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <vector>

#include "toolkit/setup_record.h"
#include "viewer/miniseed_export.h"

namespace {

constexpr int kChannels = 8;
constexpr uint32_t kSamples = 2'000'000;

struct Data {
  std::vector<std::vector<float>> floats;
  std::vector<std::vector<int32_t>> counts;
  std::vector<const float*> pointers;
  Data() {
    std::mt19937 gen(7);
    std::normal_distribution<float> step(0.0f, 40.0f);
    for (int c = 0; c < kChannels; ++c) {
      std::vector<float> f(kSamples);
      float walk = 0;
      for (float& x : f) x = (walk = walk * 0.999f + step(gen));
      std::vector<int32_t> n(kSamples);
      for (uint32_t i = 0; i < kSamples; ++i) n[i] = viewer::SeedCount(f[i]);
      floats.push_back(std::move(f));
      counts.push_back(std::move(n));
    }
    for (const auto& f : floats) pointers.push_back(f.data());
  }
};

const Data& TheData() {
  static const Data data;
  return data;
}

std::filesystem::path Scratch(const char* tag) {
  auto dir = std::filesystem::temp_directory_path() /
             (std::string("miniseed_bench_") + tag + "_" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

void BM_ExportMiniSeed(benchmark::State& state) {
  const Data& d = TheData();
  auto setup = std::make_unique<toolkit::SetupRecord>();
  setup->ChannelCount = kChannels;
  setup->Header.Rate = 1000;
  setup->Header.StartTicks = int64_t{1'000'000'000} * 256'000'000;
  setup->Samples = kSamples;
  toolkit::SetFieldText(setup->Header.Station, "BENCH");
  for (int c = 0; c < kChannels; ++c)
    toolkit::SetFieldText(setup->MemChannels[c].Name, "Z" + std::to_string(c));
  const auto dir = Scratch("export");
  for (auto _ : state) {
    const std::string error = viewer::ExportMiniSeed(*setup, d.pointers.data(), dir.string());
    if (!error.empty()) state.SkipWithError(error.c_str());
  }
  std::filesystem::remove_all(dir);
  state.counters["samples/s"] = benchmark::Counter(double(kChannels) * kSamples * double(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ExportMiniSeed)->Unit(benchmark::kMillisecond)->UseRealTime();

void WriteRecord(char* record, int length, void* file) {
  std::fwrite(record, static_cast<size_t>(length), 1, static_cast<std::FILE*>(file));
}

void BM_BareMstPack(benchmark::State& state) {
  const Data& d = TheData();
  const auto dir = Scratch("bare");
  for (auto _ : state) {
    for (int c = 0; c < kChannels; ++c) {
      std::FILE* f = std::fopen((dir / ("bare-" + std::to_string(c) + ".mseed")).c_str(), "wb");
      MSTrace* mst = mst_init(nullptr);
      std::strcpy(mst->network, "SD");
      std::strcpy(mst->station, "BENCH");
      std::snprintf(mst->channel, sizeof mst->channel, "Z%d", c);
      auto* samples = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * kSamples));
      std::memcpy(samples, d.counts[static_cast<size_t>(c)].data(), sizeof(int32_t) * kSamples);
      mst->datasamples = samples;
      mst->numsamples = mst->samplecnt = kSamples;
      mst->sampletype = 'i';
      mst->samprate = 1000;
      mst->starttime = ms_time2hptime(2011, 252, 1, 46, 40, 0);
      int64_t packed = 0;
      mst_pack(mst, WriteRecord, f, 4096, DE_STEIM1, 1, &packed, 1, 0, nullptr);
      mst_free(&mst);
      std::fclose(f);
    }
  }
  std::filesystem::remove_all(dir);
  state.counters["samples/s"] = benchmark::Counter(double(kChannels) * kSamples * double(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BareMstPack)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
