// Reception of a stream of 512-byte pages from the emulated recorder at unlimited line speed, clean and
// with about 1 % garbage between the frames, next to a memcpy of the same frame bytes. The recorder
// sends about 22 pages a second at 115200 baud; the link must manage far more than that on one core.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "emulator/emulated_driver.h"
#include "recorder/unit_link.h"

namespace {

std::vector<uint8_t> PageBody() {
  std::vector<uint8_t> body(512);
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<uint8_t>(i * 13 + 7);
  return body;
}

void BM_ReceiveMessage(benchmark::State& state) {
  const size_t garbage = static_cast<size_t>(state.range(0));  // bytes before each 519-byte frame
  emulator::EmulatedDriver driver;
  driver.SetPollCostMicros(0);
  emulator::EmulatedDevice& device = driver.Attach();
  device.recorder.Line().SetRate(0);
  const std::vector<uint8_t> body = PageBody();
  const std::vector<uint8_t> noise(garbage, 0x00);
  uint8_t sequence = 0;
  device.recorder.SetRefill([&](emulator::Recorder& r) {
    if (!noise.empty()) r.SendRaw(noise);
    r.SendReply(0x20, sequence++, body);
  });
  recorder::UnitLink link(driver);
  link.Notices.Message = [](const std::string&, const std::string&, recorder::LinkNotices::Icon) {};
  if (!link.ListDevices() || link.DeviceCount != 1) {
    state.SkipWithError("no emulated recorder");
    return;
  }
  link.Chosen = 0;
  if (!link.OpenLink()) {
    state.SkipWithError("open failed");
    return;
  }
  uint16_t error = 0, dropped = 0;
  uint8_t type = 0, code = 0;
  for (auto _ : state) {
    const uint16_t count = link.ReceiveMessage(error, dropped, type, code, link.Buffer);
    if (count != 513 || error != 0) {
      state.SkipWithError("page not received");
      break;
    }
    benchmark::DoNotOptimize(link.Buffer[0]);
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(519 + garbage));
}
BENCHMARK(BM_ReceiveMessage)->Arg(0)->Arg(5);

// Baseline: copying the same frame bytes out of a buffer.
void BM_MemcpyFrames(benchmark::State& state) {
  const size_t garbage = static_cast<size_t>(state.range(0));
  const size_t frame = 519 + garbage;
  std::vector<uint8_t> source(frame * 64, 0x5A);
  std::vector<uint8_t> target(frame);
  size_t at = 0;
  for (auto _ : state) {
    std::memcpy(target.data(), source.data() + at, frame);
    at = (at + frame) % source.size();
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(frame));
}
BENCHMARK(BM_MemcpyFrames)->Arg(0)->Arg(5);

}  // namespace
