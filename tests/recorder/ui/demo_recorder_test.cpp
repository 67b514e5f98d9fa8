// The road a new user takes with the emulated recorder the program starts for TOVREL_EMULATED_UNITS=1:
// the start-up, "FAT" listing the card's recordings without a message box, the next command answered at
// once, every file marked and read, and files that the processing program's header check accepts, with
// every sample the recorder stored.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QPushButton>
#include <QTableWidget>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/card_expectations.h"
#include "acquisition/download_files.h"
#include "emulator/emulated_backend.h"
#include "platform/clock.h"
#include "platform/ftdi/backend.h"
#include "platform/ui/grab.h"
#include "platform/ui/synchronize.h"
#include "recorder/fat_grid.h"
#include "recorder/program_link.h"
#include "recorder/ui/main_window.h"
#include "recorder/unit_commands.h"
#include "support/qt/ui_test_script.h"
#include "toolkit/recording_chooser.h"
#include "toolkit/recording_file.h"

namespace recorder {
namespace {

namespace fs = std::filesystem;

class DemoRecorderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::path(::testing::TempDir()) / ("demo_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  platform::TestClock clock{1000, {1'700'000'000, 0}};
  platform::ScopedClock useClock{clock};
  std::unique_ptr<emulator::EmulatedDriver> bus = emulator::MakeEmulatedBus(1);
  platform::ftdi::ScopedDriver useDriver{*bus};
  fs::path dir;
};

TEST_F(DemoRecorderTest, TheFatListsTheRecordingsThatDownloadIntoFilesTheViewerOpens) {
  Trecorder w(nullptr, dir.string());
  w.show();
  QCoreApplication::processEvents();  // the start-up
  ASSERT_NE(Link, nullptr);

  // Every message box would fail the test: the FAT ends on its first empty page without one.
  const uint32_t pressed = clock.GetTickCount();
  w.B_fat->click();
  EXPECT_LT(clock.GetTickCount() - pressed, 2000u);
  ASSERT_EQ(w.Fat.FatCount, 4);
  const struct {
    const char* pages;
    const char* open;
    const char* correction;
  } rows[] = {
      {"241", "", "0.00037"}, {"161", "", "0.00037"}, {"101", "?", "0.00000"}, {"101", "", "-0.00003"}};
  // A synchronisation reaches every file since the last power-on: the first two take the later one.
  for (int r = 1; r <= 4; ++r) {
    SCOPED_TRACE(r);
    EXPECT_EQ(w.SG_f->item(r, 2)->text().toStdString(), rows[r - 1].pages);
    EXPECT_EQ(w.SG_f->item(r, 5)->text().toStdString(), rows[r - 1].open);
    EXPECT_EQ(w.SG_f->item(r, 8)->text().toStdString(), rows[r - 1].correction);
    EXPECT_EQ(w.SG_f->item(r, 6)->text().toStdString(), "158.64628");
  }
  EXPECT_EQ(w.Fat.SyncCount(), 6u);  // five synchronisations and a drift
  const uint32_t asked = clock.GetTickCount();
  StatusBlock status{};
  EXPECT_EQ(ReadStatus(*Link, status), kDone);
  EXPECT_LT(clock.GetTickCount() - asked, 100u) << "the line was quiet after the FAT";
  EXPECT_EQ(status.Files, 4);
  EXPECT_EQ(status.Last_pg, w.Fat.FatFiles[3].EndPage);
  ASSERT_TRUE(platform::ui::GrabToPng(w, QString::fromStdString((dir / "demo_fat.png").string())));
  fs::copy_file(dir / "demo_fat.png", fs::current_path() / "recorder_demo_fat.png",
                fs::copy_options::overwrite_existing);

  // A right-button press on the title row marks every file; then the download.
  w.SG_f0MouseDown(Qt::RightButton, w.SG_f->columnViewportPosition(1) + 2,
                   w.SG_f->rowViewportPosition(0) + 2);
  w.B_read->click();
  ASSERT_NE(w.ReadThread, nullptr);
  platform::ui::WaitServing([&w] { return w.ReadThread == nullptr; });

  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(w.DataDir))
    if (e.path().filename().string().rfind("log_", 0) != 0) files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  ASSERT_EQ(files.size(), 4u);
  // The processing program's file chooser lists them all.
  auto viewerSetup = std::make_unique<toolkit::SetupRecord>();
  EXPECT_EQ(toolkit::ScanRecordings(w.DataDir, *viewerSetup).size(), 4u);
  // Channels, rate and frames of the four recordings, in the order of their start times.
  const struct {
    unsigned channels, rate, frames;
  } recordings[] = {{3, 100, 12000}, {2, 200, 12000}, {1, 50, 15000}, {3, 500, 5000}};
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i]);
    acquisition_test::ReadBack r = acquisition_test::ReadRecording(files[i]);
    ASSERT_TRUE(r.Ok);
    std::string text;
    EXPECT_EQ(toolkit::CheckMainHeader(r.Main, text), 0) << text;
    EXPECT_EQ(r.Main.Channels, recordings[i].channels);
    EXPECT_EQ(r.Main.Rate, recordings[i].rate);
    EXPECT_EQ(toolkit::FieldText(r.Main.Station), "U1a01V");
    EXPECT_EQ(r.Samples, acquisition_test::Stored(static_cast<uint8_t>(i + 1), 0, recordings[i].frames,
                                                  recordings[i].channels));
  }
}

}  // namespace
}  // namespace recorder
