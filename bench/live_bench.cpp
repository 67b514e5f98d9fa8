// Live registration at 8 channels and the recorder's highest rate (1000 Hz, blocks of 20 rows: 50 a
// second):
// - the reception thread's body on blocks from the emulated recorder in transmission mode at unlimited
//   line speed: framing, checks, decoding, smoothing, the column ring, the event criterion and the live
//   file (blocks/s), next to fwrite of the same sample bytes;
// - the drawing of ring columns into the offscreen live window (columns/s, batches of one block's 20
//   columns), next to QPainter drawing the same lines;
// - an open live window with a silent recorder: the CPU its process, its reception, drawing and GUI
//   threads use over an idle interval, next to an event loop with no window.
// The core_% counters give the share of one core the PC side needs at 50 blocks and 1000 columns a
// second.
#include <benchmark/benchmark.h>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "bench/offscreen_app.h"
#include "acquisition/live_reception.h"
#include "acquisition/live_shared.h"
#include "acquisition/ui/live_window.h"
#include "emulator/command_set.h"
#include "emulator/default_device.h"
#include "emulator/device_layout.h"
#include "emulator/emulated_driver.h"
#include "platform/clock.h"
#include "platform/ui/paint_box.h"

namespace {

constexpr unsigned kChannels = 8;
constexpr uint16_t kRate = 1000;
constexpr unsigned kRowsPerBlock = 20;  // 495 / 3 bytes / 8 channels
constexpr double kBlocksPerSecond = double{kRate} / kRowsPerBlock;
constexpr double kColumnsPerSecond = kRate;  // one row a column, the finest horizontal scale
constexpr uint32_t kBlocksPerRun = 5000;     // 100 s of data
constexpr int kBatchColumns = kRowsPerBlock;

std::filesystem::path ScratchDir(const char* tag) {
  auto dir = std::filesystem::temp_directory_path() /
             (std::string("live_bench_") + tag + "_" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

recorder::YSTANOV LiveSetupBlock() {
  recorder::YSTANOV s{};
  s.SampleRate = kRate;
  s.FileMinutes = 20;
  s.SmoothPoints = 10;
  s.EventWindow = 50;
  s.EventChannels = 3;
  s.ChartCompression = 1;
  std::memcpy(s.Station, "BNCH", 4);
  for (unsigned c = 0; c < 8; ++c) {
    s.ChannelNames[c][0] = 'Z';
    s.ChannelNames[c][1] = static_cast<char>('0' + c);
    s.Thresholds[c] = 50'000;
    s.Coefficients[c] = 1.0f;
    s.K_yc[c] = 1;
  }
  s.ChannelMask = 0xFF;
  return s;
}

// An emulated recorder transmitting 8 channels at 1000 Hz, as fast as the link takes the blocks.
struct Transmitter {
  emulator::EmulatedDriver driver;
  emulator::EmulatedDevice& device = driver.Attach();
  std::shared_ptr<emulator::CommandSet> commands;
  recorder::UnitLink link{driver};

  explicit Transmitter(bool transmitting) {
    driver.SetPollCostMicros(0);
    emulator::DeviceState& st = device.recorder.State();
    emulator::SetUpDefaultDevice(st);
    st.status[emulator::status::kChannelMask] = 0xFF;
    emulator::Put16(emulator::PageAt(st.dataFlash, 0) + emulator::setup::kSampleRate, kRate);
    st.mode = transmitting ? 1 : 0;
    commands = emulator::CommandSet::Install(device.recorder);
    device.recorder.Line().SetRate(0);
    link.Notices.Message = [](const std::string&, const std::string&, recorder::LinkNotices::Icon) {};
  }
  bool Open() { return link.ListDevices() && (link.Chosen = 0, link.OpenLink()); }
};

void BM_LiveReception(benchmark::State& state) {
  platform::TestClock clock;
  platform::ScopedClock scoped(clock);
  Transmitter recorder(true);
  if (!recorder.Open()) {
    state.SkipWithError("no emulated recorder");
    return;
  }
  const auto dir = ScratchDir("reception");
  acquisition::LiveReceptionSetup setup;
  setup.Writer.DataDir = dir.string();
  setup.Writer.Channels = recorder::ChannelsFromMask(0xFF);
  setup.Writer.Setup = LiveSetupBlock();
  setup.Writer.Log = [](const std::string&) {};
  uint64_t blocks = 0;
  double seconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    state.ResumeTiming();
    acquisition::LiveShared shared(kChannels);
    shared.ColumnSamples = 1;
    acquisition::LiveCounters counters;
    std::stop_source stop;
    // The view is asked once a block: the run ends after its blocks.
    acquisition::LiveView view;
    view.HeaderShown = [&] {
      if (counters.Blocks.load() >= kBlocksPerRun) stop.request_stop();
      return false;
    };
    view.ShowHeader = [](std::string, std::string) {};
    acquisition::th_work work(recorder.link, shared, counters, setup, view);
    const auto start = std::chrono::steady_clock::now();
    work.Execute(stop.get_token());
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (work.BlocksReceived() != kBlocksPerRun || counters.SerialMisses != 0 || work.StopCode() != 0) {
      state.SkipWithError("the stream did not arrive whole");
      break;
    }
    blocks += work.BlocksReceived();
  }
  std::filesystem::remove_all(dir);
  state.counters["blocks/s"] = benchmark::Counter(static_cast<double>(blocks), benchmark::Counter::kIsRate);
  if (blocks) state.counters["core_%"] = 100.0 * kBlocksPerSecond * seconds / static_cast<double>(blocks);
  state.SetBytesProcessed(static_cast<int64_t>(blocks) * kChannels * kRowsPerBlock * 4);
}
BENCHMARK(BM_LiveReception)->Unit(benchmark::kMillisecond)->UseRealTime();

// The baseline: fwrite of the same samples, one block's 160 int32 values at a time.
void BM_LiveFwrite(benchmark::State& state) {
  const auto dir = ScratchDir("fwrite");
  const std::vector<int32_t> block(kChannels * kRowsPerBlock, 12345);
  for (auto _ : state) {
    std::FILE* f = std::fopen((dir / "live").string().c_str(), "wb");
    bool ok = f != nullptr;
    for (uint32_t i = 0; ok && i < kBlocksPerRun; ++i)
      ok = std::fwrite(block.data(), 4, block.size(), f) == block.size();
    if (f) ok = std::fclose(f) == 0 && ok;
    if (!ok) {
      state.SkipWithError("fwrite failed");
      break;
    }
  }
  std::filesystem::remove_all(dir);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBlocksPerRun * block.size() * 4);
}
BENCHMARK(BM_LiveFwrite)->Unit(benchmark::kMillisecond)->UseRealTime();

// A live window over `recorder`, its graphs `width` x 400 pixels, its ring filled with a swing per
// channel.
struct LiveWindow {
  recorder::YSTANOV setupBlock = LiveSetupBlock();
  recorder::StatusBlock status{};
  std::unique_ptr<acquisition::TFormRis> form;

  LiveWindow(recorder::UnitLink& link, const std::string& dataDir) {
    bench::OffscreenApp();
    status.ChannelMask = 0xFF;
    status.TikInSek = 1023;
    acquisition::LiveWindowSetup s;
    s.Link = &link;
    s.Setup = &setupBlock;
    s.Status = &status;
    s.DataDir = dataDir;
    s.Log = [](const std::string&) {};
    form = std::make_unique<acquisition::TFormRis>(s);
    acquisition::LiveShared& shared = *form->Shared();
    for (int32_t k = 0; k < shared.RingSize(); k += 2) {
      const int32_t swing = (k * 37) % 20'000 - 10'000;
      shared.StoreRing(k, swing + 3000);
      shared.StoreRing(k + 1, swing - 3000);
    }
  }
};

void BM_LiveDrawColumns(benchmark::State& state) {
  Transmitter recorder(false);
  LiveWindow window(recorder.link, ScratchDir("draw").string());
  acquisition::TFormRis& form = *window.form;
  form.PB->resize(static_cast<int>(state.range(0)), 400);
  form.FormResize();
  const int32_t ringSize = form.Shared()->RingSize();
  const int32_t batch = kBatchColumns * static_cast<int32_t>(kChannels) * 2;
  int32_t old = 0;
  for (auto _ : state) {
    form.DrawColumns(old, kBatchColumns);
    old = (old + batch) % ringSize;
  }
  const double columns = static_cast<double>(state.iterations()) * kBatchColumns;
  state.counters["columns/s"] = benchmark::Counter(columns, benchmark::Counter::kIsRate);
  state.counters["us/column"] =
      benchmark::Counter(columns, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LiveDrawColumns)->Arg(480)->Arg(1800)->UseRealTime();

// The baseline: QPainter drawing the same lines (sweep marker, erase, 8 channel segments a column) into
// an image of the same size.
void BM_QPainterColumns(benchmark::State& state) {
  bench::OffscreenApp();
  QImage image(static_cast<int>(state.range(0)), 400, QImage::Format_RGB32);
  image.fill(Qt::black);
  int x = 0;
  for (auto _ : state) {
    QPainter p(&image);
    for (int k = 0; k < kBatchColumns; ++k) {
      p.setPen(Qt::white);
      p.drawLine(x + 1, 0, x + 1, 399);
      p.setPen(Qt::black);
      p.drawLine(x, 0, x, 399);
      for (int i = 0; i < static_cast<int>(kChannels); ++i) {
        p.setPen(QColor::fromRgb(0x20 * i, 0xFF - 0x20 * i, 0x80));
        p.drawLine(x, 25 + 50 * i - 10, x, 25 + 50 * i + 10);
      }
      if (++x >= image.width() - 1) x = 0;
    }
  }
  const double columns = static_cast<double>(state.iterations()) * kBatchColumns;
  state.counters["columns/s"] = benchmark::Counter(columns, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_QPainterColumns)->Arg(480)->Arg(1800)->UseRealTime();

double ProcessCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

double ThreadCpuSeconds(pthread_t thread) {
  clockid_t id{};
  timespec t{};
  if (pthread_getcpuclockid(thread, &id) != 0 || clock_gettime(id, &t) != 0) return 0;
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

constexpr int kIdleMs = 2000;

// Runs the GUI thread's event loop for the idle interval.
void RunEventLoop() {
  QEventLoop loop;
  QTimer::singleShot(kIdleMs, &loop, &QEventLoop::quit);
  loop.exec();
}

void BM_IdleLiveWindow(benchmark::State& state) {
  Transmitter recorder(false);  // in transmission, but nothing arrives
  if (!recorder.Open()) {
    state.SkipWithError("no emulated recorder");
    return;
  }
  const auto dir = ScratchDir("idle");
  double process = 0, reception = 0, drawing = 0, gui = 0, wall = 0;
  for (auto _ : state) {
    LiveWindow window(recorder.link, dir.string());
    acquisition::TFormRis& form = *window.form;
    form.show();
    if (!form.Work() || !form.Drawing()) {
      state.SkipWithError("the live window did not start its threads");
      break;
    }
    const pthread_t work = form.Work()->Thread().native_handle();
    const pthread_t ris = form.Drawing()->Thread().native_handle();
    // Past the start: the threads are waiting.
    QEventLoop settle;
    QTimer::singleShot(200, &settle, &QEventLoop::quit);
    settle.exec();
    const double p0 = ProcessCpuSeconds(), w0 = ThreadCpuSeconds(work), d0 = ThreadCpuSeconds(ris),
                 g0 = ThreadCpuSeconds(pthread_self());
    const auto start = std::chrono::steady_clock::now();
    RunEventLoop();
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    process += ProcessCpuSeconds() - p0;
    reception += ThreadCpuSeconds(work) - w0;
    drawing += ThreadCpuSeconds(ris) - d0;
    gui += ThreadCpuSeconds(pthread_self()) - g0;
    form.close();
  }
  std::filesystem::remove_all(dir);
  if (wall <= 0) return;
  state.counters["process_cpu_%"] = 100.0 * process / wall;
  state.counters["reception_cpu_%"] = 100.0 * reception / wall;
  state.counters["drawing_cpu_%"] = 100.0 * drawing / wall;
  state.counters["gui_cpu_%"] = 100.0 * gui / wall;
}
BENCHMARK(BM_IdleLiveWindow)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The baseline: the same interval of the GUI thread's event loop with no window open.
void BM_IdleEventLoop(benchmark::State& state) {
  bench::OffscreenApp();
  double process = 0, wall = 0;
  for (auto _ : state) {
    const double p0 = ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    RunEventLoop();
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    process += ProcessCpuSeconds() - p0;
  }
  if (wall > 0) state.counters["process_cpu_%"] = 100.0 * process / wall;
}
BENCHMARK(BM_IdleEventLoop)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
