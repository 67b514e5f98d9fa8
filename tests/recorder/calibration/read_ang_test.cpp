// The zero calibration's thread against the emulated recorder: blocks with known per-channel offsets
// and noise, partial channel rounds and spoiled headers; the means compared with numpy's mean of exactly
// the values of the blocks the thread summed; the ends by silence and by a stop request, each leaving
// the recorder stopped. Its own program, so the thread checker runs it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <thread>

#include "emulator/command_set.h"
#include "emulator/default_device.h"
#include "emulator/emulated_driver.h"
#include "platform/clock.h"
#include "recorder/card_sum.h"
#include "recorder/read_ang.h"
#include "recorder/unit_commands.h"
#include "recorder/unit_link.h"
#include "toolkit/python_reference.h"

namespace recorder {
namespace {

class ReadAngTest : public ::testing::Test {
 protected:
  void SetUp() override {
    emulator::SetUpDefaultDevice(device.recorder.State());
    link.Notices.Message = [](const std::string&, const std::string&, LinkNotices::Icon) {};
    ASSERT_TRUE(link.ListDevices());
    link.Chosen = 0;
    ASSERT_TRUE(link.OpenLink());
  }

  void Install(const emulator::LiveSignal& signal, bool live = true) {
    emulator::CommandSetOptions options;
    options.liveSignal = signal;
    options.keepLiveBlocks = true;
    options.liveData = live;
    set = emulator::CommandSet::Install(device.recorder, options);
  }

  // Switches to transmission and runs the thread until `until` holds for the shared values (or it ends).
  void Run(const std::function<bool(const CalSnapshot&)>& until) {
    ASSERT_EQ(SetTransmission(link, kModeTransmission), kDone);
    read_ang thread(link, shared, 2);
    std::atomic<bool> ended{false};
    thread.Start([&] { ended = true; });
    while (!ended && !until(shared.Snapshot())) std::this_thread::yield();
    shared.End(kCalStopped);
    thread.Thread().join();
    EXPECT_TRUE(ended);
    EXPECT_EQ(device.recorder.State().mode, 0);
  }

  static bool GoodHeader(const std::vector<uint8_t>& b) {
    return CardSum(std::span<const uint8_t>(b.data(), 16)) == 0 && b[1] <= 2 && b[11] >= 1 && b[11] <= 165;
  }

  platform::TestClock clock{5000};
  platform::ScopedClock scoped{clock};
  emulator::EmulatedDriver driver;
  emulator::EmulatedDevice& device = driver.Attach();
  std::shared_ptr<emulator::CommandSet> set;
  UnitLink link{driver};
  CalShared shared;
};

TEST_F(ReadAngTest, MeansAreThoseOfExactlyTheValuesSummedFromTheThirdGoodBlockOn) {
  emulator::LiveSignal signal;
  signal.Offset = {1234, -5678, 42, 0, 0, 0, 0, 0};
  signal.Noise = {300, 1000, 5, 0, 0, 0, 0, 0};
  signal.ValuesPerBlock = 164;  // 54 rounds and two values of the next one in every block
  signal.Seed = 7;
  // Spoiled blocks: nine channels (more than the recorder has), 200 values (beyond the page), a bad sum.
  signal.Tamper = [](uint32_t block, uint8_t* page) {
    if (block != 12 && block != 14 && block != 17) return;
    if (block == 12) page[1] = 8;
    if (block == 14) page[11] = 200;
    // Blocks 12 and 14 keep a good header sum; block 17 loses it.
    page[15] = 0;
    if (block != 17) page[15] = static_cast<uint8_t>(0u - CardSum(std::span<const uint8_t>(page, 16)));
  };
  Install(signal);
  Run([](const CalSnapshot& s) { return s.Blocks >= 18; });

  const CalSnapshot sums = shared.Snapshot();
  const std::vector<std::vector<uint8_t>> sent = set->LiveBlocksSent();
  // The summed blocks: the last good ones up to the last serial summed, the first two good ones left out.
  std::vector<const std::vector<uint8_t>*> summed;
  int good = 0;
  bool reached = false;
  for (auto it = sent.rbegin(); it != sent.rend(); ++it) {
    const uint16_t serial = static_cast<uint16_t>((*it)[8] | (*it)[9] << 8);
    reached = reached || serial == sums.LastSerial;
    if (!reached || !GoodHeader(*it)) continue;
    if (++good <= sums.Blocks - 2) summed.push_back(&*it);
  }
  ASSERT_EQ(summed.size(), static_cast<size_t>(sums.Blocks - 2));
  ASSERT_GE(summed.size(), 14u);
  // The spoiled blocks came between the summed ones (none of them went in the first drain).
  const auto serialOf = [](const std::vector<uint8_t>& b) { return b[8] | b[9] << 8; };
  for (uint32_t spoiled : {12u, 14u, 17u}) {
    ASSERT_GT(sent.size(), spoiled);
    EXPECT_FALSE(GoodHeader(sent[spoiled]));
    EXPECT_GT(serialOf(sent[spoiled]), serialOf(*summed.back()));
    EXPECT_LT(serialOf(sent[spoiled]), sums.LastSerial);
  }
  std::ostringstream program;
  program << "import numpy as np\nv = [[], [], []]\n";
  uint64_t rounds = 0;
  for (const auto* block : summed) {
    const std::vector<uint8_t>& b = *block;
    EXPECT_EQ(b[11], 164);
    for (int i = 0; i < b[11]; ++i) {
      const int value = b[16 + 3 * i] | b[17 + 3 * i] << 8 | b[18 + 3 * i] << 16;
      program << "v[" << i % 3 << "].append(" << value - 0x800000 << ")\n";
    }
    rounds += 164 / 3;
  }
  program << "for c in range(3): print('%.17g' % np.mean(np.array(v[c], dtype=np.float64)))\n";
  const std::vector<std::string> means = toolkit_test::RunPython("read_ang_means", program.str());
  ASSERT_EQ(means.size(), 3u);
  for (int c = 0; c < 3; ++c) {
    double mean = 0;
    ASSERT_TRUE(sums.Mean(c, mean));
    const double expected = std::stod(means[c]);
    EXPECT_NEAR(mean, expected, 1e-9 * std::fabs(expected)) << c;
    EXPECT_NEAR(mean, signal.Offset[c], signal.Noise[c] / 4.0 + 1) << c;
  }
  EXPECT_EQ(sums.Counts[0], summed.size() * 55);
  EXPECT_EQ(sums.Counts[2], summed.size() * 54);
  EXPECT_EQ(sums.Rounds, static_cast<double>(rounds));
  double none = 0;
  EXPECT_FALSE(sums.Mean(3, none));
}

TEST_F(ReadAngTest, ThirtySecondsWithoutDataEndTheRunAndStopTheRecorder) {
  Install({}, false);
  const uint32_t start = clock.GetTickCount();
  Run([](const CalSnapshot&) { return false; });
  EXPECT_EQ(shared.State(), kCalNoData);
  EXPECT_GT(clock.GetTickCount() - start, kCalSilenceMs);
  EXPECT_EQ(shared.Snapshot().Blocks, 0);
}

TEST_F(ReadAngTest, AStopBeforeAnyBlockEndsWithoutData) {
  Install({}, false);
  // The stop comes before the thread looks at the line at all.
  shared.End(kCalStopped);
  Run([](const CalSnapshot&) { return true; });
  EXPECT_EQ(shared.State(), kCalStopped);
  EXPECT_EQ(shared.Snapshot().Rounds, 0);
}

}  // namespace
}  // namespace recorder
