// The download pipeline: card pages streamed by the emulated recorder at unlimited line speed, checked,
// decoded, optionally high-pass filtered and written to files (pages/s, with and without the filter),
// and the writer alone on an hour-long recording of three channels at 100 Hz; both next to fwrite of
// the same sample bytes in the same run. The link brings about 22 pages a second; the PC must never be
// what limits it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "acquisition/download_thread.h"
#include "acquisition/download_writer.h"
#include "emulator/card_image.h"
#include "emulator/command_set.h"
#include "emulator/default_device.h"
#include "emulator/emulated_driver.h"
#include "platform/clock.h"

namespace {

constexpr uint32_t kT0 = 1'394'541'000;
constexpr uint32_t kPages = 2000;

std::filesystem::path ScratchDir(const char* tag) {
  auto dir = std::filesystem::temp_directory_path() /
             (std::string("download_bench_") + tag + "_" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

void BM_DownloadPipeline(benchmark::State& state) {
  platform::TestClock clock;
  platform::ScopedClock scoped(clock);
  emulator::EmulatedDriver driver;
  driver.SetPollCostMicros(0);
  emulator::EmulatedDevice& device = driver.Attach();
  emulator::SetUpDefaultDevice(device.recorder.State());
  auto set = emulator::CommandSet::Install(device.recorder);
  device.recorder.Line().SetRate(0);
  emulator::CardImageBuilder builder(1, 1, 2, 1000);
  emulator::CardRecording r;
  r.Channels = 3;
  r.StartTime = kT0;
  r.DataPages = kPages;
  builder.Recording(r);
  device.recorder.State().card = builder.Build();
  recorder::UnitLink link(driver);
  link.Notices.Message = [](const std::string&, const std::string&, recorder::LinkNotices::Icon) {};
  if (!link.ListDevices() || (link.Chosen = 0, !link.OpenLink())) {
    state.SkipWithError("no emulated recorder");
    return;
  }
  const auto dir = ScratchDir("pipeline");
  acquisition::DownloadSettings settings;
  settings.SampleClock = 1000;
  settings.DataDir = dir.string();
  settings.HighPassIndex = static_cast<uint8_t>(state.range(0));
  recorder::FileEntry e;
  e.BeginPage = builder.Files()[0].SetupPage;
  e.EndPage = builder.Files()[0].LastPage;
  e.StartTime = kT0;
  settings.SelFiles = {e};
  acquisition::DownloadHooks hooks;
  hooks.Log = [](const std::string&) { return true; };
  recorder::DownloadProgress progress;
  std::atomic<double> total{0};
  uint64_t pages = 0;
  for (auto _ : state) {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    acquisition::TrdBce t(link, settings, progress, total, hooks);
    t.Execute(std::stop_token());
    if (t.End() != acquisition::DownloadEnd::Completed) {
      state.SkipWithError("download did not complete");
      break;
    }
    pages += progress.PagesDone;
  }
  std::filesystem::remove_all(dir);
  state.counters["pages/s"] = benchmark::Counter(static_cast<double>(pages), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(static_cast<int64_t>(pages) * 512);
}
BENCHMARK(BM_DownloadPipeline)->Arg(0)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

// One hour of three channels at 100 Hz: 1,080,000 values in pages of 150.
constexpr size_t kHourPages = 1'080'000 / 150;

// The hour's pages a second, so that the writer and the plain fwrite compare with the pipeline.
benchmark::Counter HourPagesRate(const benchmark::State& state) {
  return benchmark::Counter(static_cast<double>(state.iterations()) * kHourPages, benchmark::Counter::kIsRate);
}

std::vector<std::array<uint8_t, 512>> HourOfPages() {
  std::vector<std::array<uint8_t, 512>> pages(kHourPages);
  for (size_t n = 0; n < pages.size(); ++n) {
    auto& p = pages[n];
    p.fill(0);
    p[0] = 1;
    p[1] = 2;
    const uint32_t frame = static_cast<uint32_t>(n * 50);
    p[2] = static_cast<uint8_t>(frame % 100);
    const uint32_t second = kT0 + frame / 100;
    std::memcpy(&p[4], &second, 4);
    p[8] = static_cast<uint8_t>(n);
    p[9] = static_cast<uint8_t>(n >> 8);
    p[10] = 1;
    p[11] = 150;
    p[14] = 0x07;
    for (int i = 0; i < 150; ++i) {
      const uint32_t v = 0x800000u + static_cast<uint32_t>((n * 150 + i) * 2654435761u % 200'000);
      p[16 + 3 * i] = static_cast<uint8_t>(v);
      p[17 + 3 * i] = static_cast<uint8_t>(v >> 8);
      p[18 + 3 * i] = static_cast<uint8_t>(v >> 16);
    }
  }
  return pages;
}

void BM_WriteHour(benchmark::State& state) {
  const auto pages = HourOfPages();
  const auto dir = ScratchDir("hour");
  acquisition::DownloadSettings settings;
  settings.SampleClock = 100;
  settings.DataDir = dir.string();
  settings.HighPassIndex = static_cast<uint8_t>(state.range(0));
  recorder::FileEntry entry;
  entry.StartTime = kT0;
  for (auto _ : state) {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    acquisition::DownloadWriter w(settings, {}, {});
    for (size_t n = 0; n < pages.size(); ++n)
      if (w.StoreFatPage(static_cast<uint32_t>(n), pages[n].data(), n == 0, entry) !=
          acquisition::PageResult::Accepted) {
        state.SkipWithError("page refused");
        return;
      }
    if (!w.CloseDataFile(static_cast<uint32_t>(pages.size()))) state.SkipWithError("close failed");
  }
  std::filesystem::remove_all(dir);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1'080'000 * 4);
  state.counters["pages/s"] = HourPagesRate(state);
}
BENCHMARK(BM_WriteHour)->Arg(0)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

// The baseline: fwrite of the hour's 1,080,000 int32 samples in ten-second blocks.
void BM_FwriteHour(benchmark::State& state) {
  const auto dir = ScratchDir("fwrite");
  const std::vector<int32_t> block(3000, 12345);
  for (auto _ : state) {
    std::FILE* f = std::fopen((dir / "hour").string().c_str(), "wb");
    bool ok = f != nullptr;
    for (int i = 0; ok && i < 360; ++i) ok = std::fwrite(block.data(), 4, block.size(), f) == block.size();
    if (f == nullptr || std::fclose(f) != 0 || !ok) state.SkipWithError("write failed");
  }
  std::filesystem::remove_all(dir);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1'080'000 * 4);
  state.counters["pages/s"] = HourPagesRate(state);
}
BENCHMARK(BM_FwriteHour)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
