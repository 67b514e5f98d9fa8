// Loading a long record and reducing it to the plot's columns, each next to its baseline measured in the
// same run. Loading is compared with the plain way of doing the same work: a loop that reads the same
// frames and converts them to scaled floats in arrays of the same size, reused from one iteration to the
// next, as the loader reuses its arrays when a record is read again; the counter "vs_plain" is
// loader time / plain time. The first read of a record, into arrays that are new (their pages touched
// for the first time), is reported on its own, with read() of the file as a floor.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <filesystem>
#include <memory>
#include <vector>

#include "toolkit/funk.h"
#include "toolkit/setup_record.h"
#include "viewer/envelope_raster.h"
#include "viewer/plot_layout.h"
#include "viewer/recording_loader.h"
#include "viewer/view_envelope.h"

namespace fs = std::filesystem;

namespace {

// Every width holds the same 320 MB of samples: 10 million frames of 8 channels, 1.25 million of 64.
constexpr uint64_t kSampleBytes = uint64_t{320} << 20;
constexpr uint32_t kFrames = 10'000'000;  // of the reduction benchmarks' 64 channels
constexpr int kPlotWidth = 1400;

uint32_t FramesFor(uint16_t channels) { return static_cast<uint32_t>(kSampleBytes / 4 / channels); }

// Milliseconds an iteration of the plain loop took, per width, for the loader's ratio.
std::map<uint16_t, double>& PlainMs() {
  static std::map<uint16_t, double> ms;
  return ms;
}

using Clock = std::chrono::steady_clock;
double MsPerIteration(Clock::time_point from, const benchmark::State& state) {
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - from).count();
  return state.iterations() > 0 ? ms / static_cast<double>(state.iterations()) : 0.0;
}

// The benchmark's files lie in a folder of its own in the temporary folder, made at the first file
// and removed with everything in it when the program ends, however the run went.
class BenchFolder {
 public:
  ~BenchFolder() { Remove(); }
  // The folder, made on first use; empty (with `problem` set) when it cannot be made.
  const std::string& Path(std::string& problem) {
    if (path_.empty()) {
      std::error_code ec;
      const fs::path tmp = fs::temp_directory_path(ec);
      if (ec) {
        problem = "no temporary folder: " + ec.message();
        return path_;
      }
      std::string pattern = (tmp / "bench_recording_XXXXXX").string();
      if (::mkdtemp(pattern.data()) == nullptr) {
        problem = "cannot make a folder in " + tmp.string() + ": " + std::strerror(errno);
        return path_;
      }
      path_ = pattern;
    }
    return path_;
  }
  void Remove() {
    if (path_.empty()) return;
    std::error_code ec;
    fs::remove_all(path_, ec);
    path_.clear();
  }

 private:
  std::string path_;
};

BenchFolder& Folder() {
  static BenchFolder folder;
  return folder;
}

// Set when a benchmark could not do its work; the program then ends with a failure.
bool g_failed = false;

void Fail(benchmark::State& state, const std::string& why) {
  g_failed = true;
  std::fprintf(stderr, "bench_recording_view: %s\n", why.c_str());
  state.SkipWithError(why.c_str());
}

// Writes all of `bytes` to `fd`; false on a failed or short write.
bool WriteAll(int fd, const void* bytes, size_t size) {
  const char* p = static_cast<const char*>(bytes);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// A recording file of `channels` x FramesFor(channels) frames in the benchmark's folder, written once
// per width; the file of the width before is removed first, so at most one lies there (320 MB). Empty
// (with `problem` set) when it cannot be written whole.
std::string SyntheticFile(uint16_t channels, std::string& problem) {
  static uint16_t madeChannels = 0;
  static std::string made, madeProblem;  // the file of the last width, or why it could not be written
  if (madeChannels == channels) {
    problem = madeProblem;
    return made;
  }
  if (!made.empty()) ::unlink(made.c_str());
  made.clear();
  madeChannels = channels;
  const std::string& dir = Folder().Path(problem);
  madeProblem = problem;
  if (dir.empty()) return {};
  const uint32_t frameCount = FramesFor(channels);
  const std::string path =
      dir + "/bench_recording_" + std::to_string(channels) + "x" + std::to_string(frameCount) + ".dat";
  const uint64_t size = toolkit::HeadersSize(channels) + uint64_t{4} * channels * frameCount;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    problem = madeProblem = "cannot create " + path + ": " + std::strerror(errno);
    return {};
  }
  toolkit::MAIN_HEADER h{};
  h.Channels = channels;
  h.Format = 60;
  h.Rate = 1000;
  h.Bits = 24;
  bool ok = WriteAll(fd, &h, sizeof h);
  std::vector<toolkit::CHANNEL_HEADER> ch(channels);
  for (uint16_t c = 0; c < channels; ++c) {
    ch[c].Number = c;
    std::snprintf(ch[c].Name, sizeof ch[c].Name, "ch%u", unsigned{c});
    ch[c].Coef = c % 2 ? 1.0 : 2.5e-3;  // half the channels scaled, half raw
    ch[c].Coef2 = 1.0;
  }
  ok = ok && WriteAll(fd, ch.data(), sizeof(toolkit::CHANNEL_HEADER) * channels);
  std::vector<int32_t> frames(size_t{channels} * 65536);
  uint32_t x = 12345;
  for (uint32_t done = 0; ok && done < frameCount;) {
    const uint32_t n = std::min<uint32_t>(65536, frameCount - done);
    for (size_t k = 0; k < size_t{n} * channels; ++k) {
      x = x * 1664525u + 1013904223u;
      frames[k] = static_cast<int32_t>(x >> 8) - (1 << 23);
    }
    ok = WriteAll(fd, frames.data(), size_t{4} * n * channels);
    done += n;
  }
  const int writeError = errno;
  if (::close(fd) != 0 && ok) ok = false;
  std::error_code ec;
  if (!ok || fs::file_size(path, ec) != size || ec) {
    problem = "cannot write " + path + " (" + std::to_string(size >> 20) + " MiB): " +
              std::strerror(ok ? errno : writeError);
    madeProblem = problem;
    ::unlink(path.c_str());
    return {};
  }
  made = path;
  return path;
}

struct Record {
  std::unique_ptr<toolkit::SetupRecord> setup = std::make_unique<toolkit::SetupRecord>();
  viewer::ChannelSamples samples;
  toolkit::TFunk funk;
};

// The record at `path` chosen as the program chooses one: its folder and its name in their fields.
// False when one of them does not fit its field.
bool Choose(Record& r, const std::string& path, uint16_t channels) {
  toolkit::SetSetupDefaults(*r.setup, "");
  const fs::path p(path);
  const std::string dir = p.parent_path().string(), name = p.filename().string();
  if (dir.size() >= sizeof r.setup->DataDir || name.size() >= sizeof r.setup->FileName) return false;
  toolkit::SetFieldText(r.setup->DataDir, dir);
  toolkit::SetFieldText(r.setup->FileName, name);
  r.setup->FileSamples = FramesFor(channels);
  r.setup->LoadChannels = channels;
  for (uint16_t j = 0; j < channels; ++j) r.setup->ChannelMap[j] = j;
  return true;
}

// Loads the chosen record once an iteration, into new arrays when `fresh`; returns ms per iteration.
double LoadLoop(benchmark::State& state, Record& r, const std::string& path, bool fresh) {
  const uint32_t frameCount = r.setup->FileSamples;
  const auto from = Clock::now();
  for (auto _ : state) {
    if (fresh) r.samples.FreeAll();
    if (viewer::LoadRecording(*r.setup, r.samples, r.funk).status != viewer::LoadStatus::Ok ||
        r.setup->Samples != frameCount) {
      Fail(state, "the load of " + path + " failed");
      break;
    }
    benchmark::DoNotOptimize(r.samples[0][frameCount - 1]);
  }
  const double ms = MsPerIteration(from, state);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fs::file_size(path)));
  return ms;
}

// The loader's time against the plain loop's of the same width (measured before it in the run).
void ReportRatio(benchmark::State& state, uint16_t channels, double ms) {
  const auto plain = PlainMs().find(channels);
  if (plain != PlainMs().end() && plain->second > 0) state.counters["vs_plain"] = ms / plain->second;
}

// Reading the same record again (after a change of settings): the arrays of the last read are reused.
void BM_LoadRecording(benchmark::State& state) {
  const auto channels = static_cast<uint16_t>(state.range(0));
  std::string problem;
  const std::string path = SyntheticFile(channels, problem);
  if (path.empty()) return Fail(state, problem);
  static std::unique_ptr<Record> kept;  // one width at a time, to bound the memory the run needs
  static uint16_t keptChannels = 0;
  if (!kept || keptChannels != channels) {
    kept.reset();
    kept = std::make_unique<Record>();
    keptChannels = channels;
  }
  Record& r = *kept;
  if (!Choose(r, path, channels)) return Fail(state, "the path of the temporary folder is too long: " + path);
  // A first read outside the timing gives the arrays their pages (an iteration can last longer than the
  // warm-up, which would then time the first read instead).
  if (viewer::LoadRecording(*r.setup, r.samples, r.funk).status != viewer::LoadStatus::Ok) {
    return Fail(state, "the load of " + path + " failed");
  }
  ReportRatio(state, channels, LoadLoop(state, r, path, false));
}

// The same, each time into new arrays (the first read of a record): the pages of the arrays are
// touched for the first time. Reported on its own; "vs_plain" is against the plain loop into reused arrays.
void BM_LoadRecordingFresh(benchmark::State& state) {
  const auto channels = static_cast<uint16_t>(state.range(0));
  std::string problem;
  const std::string path = SyntheticFile(channels, problem);
  if (path.empty()) return Fail(state, problem);
  Record r;
  if (!Choose(r, path, channels)) return Fail(state, "the path of the temporary folder is too long: " + path);
  ReportRatio(state, channels, LoadLoop(state, r, path, true));
}

// Baseline: the plain way. fread() of the frames after the headers in portions of 256 KiB, and for each
// channel a loop over the portion's frames that stores its value times the coefficient, into arrays of
// the loader's size that were allocated (and touched) before the run and are reused by every iteration.
void BM_PlainLoadBaseline(benchmark::State& state) {
  const auto channels = static_cast<uint16_t>(state.range(0));
  std::string problem;
  const std::string path = SyntheticFile(channels, problem);
  if (path.empty()) return Fail(state, problem);
  const uint32_t frameCount = FramesFor(channels);
  std::vector<std::vector<float>> out(channels, std::vector<float>(frameCount + viewer::ChannelSamples::kSpare));
  std::vector<double> coef(channels);
  for (uint16_t c = 0; c < channels; ++c) coef[c] = c % 2 ? 1.0 : 2.5e-3;
  const size_t portionFrames = (size_t{256} << 10) / 4 / channels;
  std::vector<int32_t> portion(portionFrames * channels);
  const auto from = Clock::now();
  for (auto _ : state) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr || std::fseek(f, static_cast<long>(toolkit::HeadersSize(channels)), SEEK_SET) != 0) {
      if (f != nullptr) std::fclose(f);
      Fail(state, "cannot read " + path);
      break;
    }
    uint32_t n = 0;
    for (size_t got; n < frameCount && (got = std::fread(portion.data(), size_t{4} * channels,
                                                         std::min<size_t>(portionFrames, frameCount - n), f)) > 0;) {
      for (uint16_t c = 0; c < channels; ++c) {
        float* o = out[c].data() + n;
        const int32_t* v = portion.data() + c;
        for (size_t k = 0; k < got; ++k) o[k] = static_cast<float>(v[k * channels] * coef[c]);
      }
      n += static_cast<uint32_t>(got);
    }
    std::fclose(f);
    if (n != frameCount) {
      Fail(state, "short read of " + path);
      break;
    }
    benchmark::DoNotOptimize(out[channels - 1][frameCount - 1]);
  }
  PlainMs()[channels] = MsPerIteration(from, state);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fs::file_size(path)));
}

// Floor of any load: read() of the same file in 1 MiB portions, from the page cache, converting nothing.
void BM_ReadFileBaseline(benchmark::State& state) {
  std::string problem;
  const std::string path = SyntheticFile(static_cast<uint16_t>(state.range(0)), problem);
  if (path.empty()) return Fail(state, problem);
  std::vector<char> buffer(size_t{1} << 20);
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    uint64_t total = 0;
    ssize_t n = -1;
    while (fd >= 0 && (n = ::read(fd, buffer.data(), buffer.size())) > 0) total += static_cast<uint64_t>(n);
    if (fd >= 0) ::close(fd);
    if (n < 0) {
      Fail(state, "cannot read " + path);
      break;
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fs::file_size(path)));
}

// 64 channels of kFrames samples, filled once and shared by the reduction benchmarks.
Record& ReductionRecord() {
  static Record* r = [] {
    auto* recp = new Record;
    Record& rec = *recp;
    toolkit::SetSetupDefaults(*rec.setup, "");
    rec.setup->ChannelCount = 64;
    rec.setup->ShownEnd = 64;
    rec.setup->Samples = kFrames;
    uint32_t x = 99;
    for (int c = 0; c < 64; ++c) {
      rec.samples.Allocate(c, kFrames + viewer::ChannelSamples::kSpare);
      for (uint32_t n = 0; n < kFrames; ++n) {
        x = x * 1664525u + 1013904223u;
        rec.samples[c][n] = static_cast<float>(static_cast<int32_t>(x >> 8) - (1 << 23)) * 1e-3f;
      }
    }
    return recp;
  }();
  return *r;
}

// The envelope of one column by the plain scalar rule, for the check that the fast reduction agrees.
bool MatchesScalarRule(const float* x, const float* env, uint32_t per, int columns, int32_t last) {
  for (int c = 0; c < columns; ++c) {
    const int64_t n = int64_t{c} * per;
    float mn = x[n], mx = x[n];
    for (int64_t k = n + 1; k == n + 1 || k < std::min<int64_t>(n + per, last); ++k) {
      mn = std::min(mn, x[k]);
      mx = std::max(mx, x[k]);
    }
    if (env[c] != mn || env[c + viewer::kEnvelopeMaxOffset] != mx) return false;
  }
  return true;
}

void BM_ForCurs(benchmark::State& state) {
  Record& r = ReductionRecord();
  viewer::ViewEnvelope envelope;
  for (auto _ : state) {
    r.setup->Nn = 0;
    r.setup->Nk = static_cast<int32_t>(kFrames - 1);
    viewer::for_curs(*r.setup, r.samples, envelope, kPlotWidth);
    benchmark::DoNotOptimize(envelope[63][0]);
  }
  for (int c = 0; c < 64; c += 21) {
    if (!MatchesScalarRule(r.samples[c], envelope[c], r.setup->SamplesPerColumn, r.setup->ColumnCount[c],
                           r.setup->Nk)) {
      Fail(state, "envelope differs from the scalar rule");
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * 64 * uint64_t{kFrames} * 4));
}

// Baseline: a plain sum over the same arrays (eight running sums, as memory allows).
void BM_SumBaseline(benchmark::State& state) {
  Record& r = ReductionRecord();
  for (auto _ : state) {
    float total = 0;
    for (int c = 0; c < 64; ++c) {
      const float* x = r.samples[c];
      float s[8] = {};
      for (uint32_t n = 0; n + 8 <= kFrames; n += 8)
        for (int k = 0; k < 8; ++k) s[k] += x[n + k];
      for (float v : s) total += v;
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * 64 * uint64_t{kFrames} * 4));
}

// The computing and pixel part of a redraw of 64 channels: geometry and every envelope's strokes into a
// 1400 x 900 image (a 60 Hz frame lasts 16.7 ms). Baseline: clearing the same image.
void BM_DrawChannelsCore(benchmark::State& state) {
  Record& r = ReductionRecord();
  viewer::ViewEnvelope envelope;
  r.setup->Nn = 0;
  r.setup->Nk = static_cast<int32_t>(kFrames - 1);
  viewer::for_curs(*r.setup, r.samples, envelope, kPlotWidth);
  std::vector<uint32_t> image(size_t{kPlotWidth} * 900);
  const viewer::PixelTarget target{image.data(), kPlotWidth, kPlotWidth, 900};
  for (auto _ : state) {
    std::fill(image.begin(), image.end(), 0xFF000000u);
    const auto layout = viewer::LayoutChannelPlot(*r.setup, kPlotWidth, 900, 0, r.funk);
    for (const auto& row : layout.rows) {
      viewer::RasterizeEnvelope(target, layout.plotHeight, envelope[row.channel], row.columns, row.scale,
                                row.offset, 0xFF00FF00u);
    }
    benchmark::DoNotOptimize(image[0]);
  }
}

void BM_ClearImageBaseline(benchmark::State& state) {
  std::vector<uint32_t> image(size_t{kPlotWidth} * 900);
  for (auto _ : state) {
    std::fill(image.begin(), image.end(), 0xFF000000u);
    benchmark::DoNotOptimize(image[0]);
  }
}

}  // namespace

// Each width: the baselines, then the loads right after them, while the file is in the page cache.
BENCHMARK(BM_ReadFileBaseline)->Arg(8)->MinWarmUpTime(1.0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainLoadBaseline)->Arg(8)->MinWarmUpTime(1.0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadRecording)->Arg(8)->MinWarmUpTime(1.0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadRecordingFresh)->Arg(8)->MinWarmUpTime(1.0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadFileBaseline)->Arg(64)->MinWarmUpTime(1.0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainLoadBaseline)->Arg(64)->MinWarmUpTime(1.0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadRecording)->Arg(64)->MinWarmUpTime(1.0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadRecordingFresh)->Arg(64)->MinWarmUpTime(1.0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SumBaseline)->MinWarmUpTime(1.0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ForCurs)->MinWarmUpTime(1.0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ClearImageBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawChannelsCore)->Unit(benchmark::kMillisecond);

// The benchmark's own main: the folder of its files goes when the run ends, and a benchmark that could
// not do its work makes the program fail.
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Folder().Remove();
  return g_failed ? 1 : 0;
}
