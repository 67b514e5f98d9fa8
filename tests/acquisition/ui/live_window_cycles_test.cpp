// The live window opened and closed a thousand times while an emulated recorder transmits, with the
// reception and the drawing thread running. Every way a window ends (destroyed at once, closed, the
// exit button, the recorder falling silent, the program's end) must stop and join both threads, close
// the live file at whole frames and take the window off the program's shutdown path.
#include <gtest/gtest.h>

#include <QPushButton>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "acquisition/live_fixture.h"
#include "acquisition/ui/live_window.h"
#include "emulator/command_set.h"
#include "emulator/default_device.h"
#include "emulator/emulated_driver.h"
#include "platform/clock.h"
#include "platform/ui/synchronize.h"
#include "recorder/shutdown_path.h"
#include "recorder/unit_commands.h"
#include "support/qt/ui_test_script.h"

namespace acquisition::testing {
namespace {

class TransmittingRecorder : public ::testing::Test {
 protected:
  TransmittingRecorder() {
    emulator::SetUpDefaultDevice(device.recorder.State());
    commands = emulator::CommandSet::Install(device.recorder);
    EXPECT_TRUE(link.ListDevices());
    link.Chosen = 0;
    EXPECT_TRUE(link.OpenLink());
    EXPECT_EQ(recorder::ReadStatus(link, status), recorder::kDone);
    recorder::SetupMessage message;
    EXPECT_TRUE(recorder::ReadSetup(link, setupBlock, message));
    EXPECT_EQ(recorder::SetTransmission(link, recorder::kModeTransmission), recorder::kDone);
  }

  LiveWindowSetup WindowSetup() {
    LiveWindowSetup s;
    s.Link = &link;
    s.Setup = &setupBlock;
    s.Status = &status;
    s.DataDir = dir.str();
    s.Log = [this](const std::string& line) {
      std::lock_guard lock(logMutex);
      ends += line.rfind("\nпрочитано ", 0) == 0;
    };
    return s;
  }

  // The recorder's transmission, switched in its own state as a recorder that stops sending would.
  void Transmit(bool on) {
    auto lock = driver.Lock();
    device.recorder.State().mode = on ? 1 : 0;
  }

  int Ends() {
    std::lock_guard lock(logMutex);
    return ends;
  }

  platform::TestClock clock{5000};
  platform::ScopedClock scoped{clock};
  emulator::EmulatedDriver driver;
  emulator::EmulatedDevice& device = driver.Attach();
  std::shared_ptr<emulator::CommandSet> commands;
  recorder::UnitLink link{driver};
  recorder::StatusBlock status{};
  recorder::YSTANOV setupBlock{};
  ScratchDir dir;
  std::mutex logMutex;
  int ends = 0;
};

TEST_F(TransmittingRecorder, ThousandOpenCloseCyclesLeaveNoThreadAndNoOpenFile) {
  const int kCycles = std::getenv("LIVE_CYCLES") ? std::atoi(std::getenv("LIVE_CYCLES")) : 1000;
  ASSERT_EQ(status.ChannelMask, 0x07);
  const uint64_t blocksBefore = commands->LiveBlocks();
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    auto form = std::make_unique<TFormRis>(WindowSetup());
    form->show();
    ASSERT_TRUE(form->Usable());
    ASSERT_TRUE(form->HookedToShutdown());
    TFormRis& f = *form;
    const auto drawn = [&f](uint64_t batches) {
      platform::ui::WaitServing([&] { return !f.isVisible() || f.Drawing()->Batches() >= batches; });
    };
    switch (cycle % 5) {
      case 0:  // destroyed at once, whatever the threads are doing
        break;
      case 1:  // closed while columns come in
        drawn(1 + cycle % 3);
        f.close();
        break;
      case 2:  // the exit button: the reception ends and the window closes itself
        platform::ui::WaitServing([&] { return f.BB_Exit->isEnabled(); });
        f.BB_Exit->click();
        platform::ui::WaitServing([&] { return !f.isVisible(); });
        ASSERT_EQ(f.Work()->StopCode(), 0u);
        break;
      case 3:  // the recorder falls silent: 20 s later the reception ends and the window closes
        drawn(1);
        Transmit(false);
        platform::ui::WaitServing([&] { return !f.isVisible(); });
        ASSERT_EQ(f.Work()->StopCode(), kLiveStopCode);
        Transmit(true);
        break;
      case 4:  // the program ends with the window open
        drawn(2);
        ASSERT_EQ(recorder::Shutdown().StopAll(), 1);
        ASSERT_FALSE(f.isVisible());
        break;
    }
    if (cycle % 5 != 0) {
      ASSERT_FALSE(f.Work()->Thread().joinable()) << cycle;
      ASSERT_FALSE(f.Drawing()->Thread().joinable()) << cycle;
      ASSERT_FALSE(f.HookedToShutdown()) << cycle;
    }
    form.reset();
    ASSERT_TRUE(recorder::Shutdown().Hooked().empty()) << cycle;
    // What the transmission command does after the window: the line is emptied for the next user.
    device.recorder.Line().Clear();
    driver.Purge(link.Settings->Handle, platform::ftdi::kPurgeRx | platform::ftdi::kPurgeTx);
  }
  // Every reception ran to its end, the recorder kept transmitting, and every live file was closed
  // with whole frames of its three channels.
  EXPECT_EQ(Ends(), kCycles);
  EXPECT_GT(commands->LiveBlocks() - blocksBefore, static_cast<uint64_t>(kCycles));
  size_t files = 0;
  for (const auto& e : fs::recursive_directory_iterator(dir.path())) {
    if (!e.is_regular_file()) continue;
    ++files;
    EXPECT_GT(e.file_size(), 336u) << e.path();
    EXPECT_EQ((e.file_size() - 336) % 12, 0u) << e.path();
  }
  EXPECT_GE(files, static_cast<size_t>(kCycles) * 4 / 5);
  EXPECT_TRUE(support::Ui().Failures().empty());
  EXPECT_EQ(recorder::SetTransmission(link, recorder::kModeStop), recorder::kDone);
}

}  // namespace
}  // namespace acquisition::testing
