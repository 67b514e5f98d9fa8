// Merging two 8-channel 1 kHz recordings of ten minutes each (about 19 MB each, starting together) by
// time, next to copying the same input bytes with fread/fwrite in 1 MiB blocks into a fresh file, in
// the same run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "toolkit/merge_recordings.h"
#include "toolkit/sample_recording.h"

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kFrames = 600'000;
constexpr int64_t kStart = int64_t{1'000'000'000} * 256'000'000;

struct Inputs {
  fs::path dir;
  toolkit::MergeJob job;
  Inputs() {
    dir = fs::temp_directory_path() / ("merge_bench_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    toolkit::SampleRecordingPlan plan;
    plan.channels = 8;
    plan.rate = 1000;
    plan.frames = kFrames;
    plan.startTicks = kStart;
    toolkit::WriteSampleRecording((dir / "a.rec").string(), plan);
    toolkit::WriteSampleRecording((dir / "b.rec").string(), plan);
    auto a = std::make_unique<toolkit::SetupRecord>();
    auto b = std::make_unique<toolkit::SetupRecord>();
    const auto ra = toolkit::ReadSide((dir / "a.rec").string(), "a.rec", *a, 0);
    const auto rb = toolkit::ReadSide((dir / "b.rec").string(), "b.rec", *b, 1000);
    job.pathA = (dir / "a.rec").string();
    job.pathB = (dir / "b.rec").string();
    job.outPath = (dir / "out.rec").string();
    job.header = toolkit::MergedHeader(a->Header, b->Header);
    job.channelsA.assign(a->FileChannels, a->FileChannels + 8);
    job.channelsB.assign(b->FileChannels, b->FileChannels + 8);
    job.samplesA = ra.samples;
    job.samplesB = rb.samples;
    job.span = toolkit::PairSpan(a->Header, ra.samples, b->Header, rb.samples);
  }
  ~Inputs() { fs::remove_all(dir); }
};

Inputs& TheInputs() {
  static Inputs inputs;
  return inputs;
}

int64_t InputBytes(const Inputs& in) {
  return static_cast<int64_t>(fs::file_size(in.job.pathA) + fs::file_size(in.job.pathB));
}

void BM_MergeByTime(benchmark::State& state) {
  Inputs& in = TheInputs();
  for (auto _ : state) {
    fs::remove(in.job.outPath);
    const toolkit::MergeOutcome out = toolkit::MergeRecordings(in.job);
    if (!out.ok) state.SkipWithError(out.message.c_str());
  }
  state.SetBytesProcessed(InputBytes(in) * static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_MergeByTime)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CopyInputs(benchmark::State& state) {
  Inputs& in = TheInputs();
  std::vector<char> block(1 << 20);
  const fs::path copy = in.dir / "copy.rec";
  for (auto _ : state) {
    // Into a fresh file, as the merge writes: truncating an existing one costs the freeing of its
    // blocks, which the merge never pays.
    fs::remove(copy);
    std::FILE* out = std::fopen(copy.c_str(), "wb");
    for (const std::string& path : {in.job.pathA, in.job.pathB}) {
      std::FILE* f = std::fopen(path.c_str(), "rb");
      for (size_t got; (got = std::fread(block.data(), 1, block.size(), f)) > 0;)
        std::fwrite(block.data(), 1, got, out);
      std::fclose(f);
    }
    std::fclose(out);
  }
  state.SetBytesProcessed(InputBytes(in) * static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_CopyInputs)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
