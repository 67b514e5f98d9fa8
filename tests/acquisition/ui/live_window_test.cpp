#include "acquisition/ui/live_window.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QDialog>
#include <QPushButton>
#include <QSpinBox>
#include <chrono>
#include <memory>
#include <thread>

#include "acquisition/live_stream.h"
#include "platform/ui/colors.h"
#include "platform/ui/grab.h"
#include "platform/ui/modal_run.h"
#include "platform/ui/paint_box.h"
#include "platform/ui/synchronize.h"
#include "recorder/shutdown_path.h"
#include "recorder/work_log.h"
#include "support/qt/ui_test_script.h"

namespace acquisition::testing {
namespace {

class LiveWindowTest : public LiveStream {
 protected:
  LiveWindowTest() {
    setupBlock = LiveSetup(100, 3);
    setupBlock.FileMinutes = 0;
    setupBlock.ChartCompression = 2;
    for (int c = 0; c < 8; ++c) setupBlock.Thresholds[c] = 60000;
    status.ChannelMask = 0x07;
    status.TikInSek = 1023;
    // The recorder answers the keep-alive requests with this status.
    std::memcpy(statusBody.data(), &status, statusBody.size());
    endless = [this] {
      const uint32_t k = serial++;
      if (k > blockLimit) return std::vector<uint8_t>{};
      // A sine-like pattern per channel so that the curves show.
      std::vector<int32_t> v;
      for (unsigned r = 0; r < 20; ++r) {
        const int32_t phase = static_cast<int32_t>((k * 20 + r) % 100) - 50;
        v.push_back(phase * 100);
        v.push_back(-phase * 200);
        v.push_back((phase > 0 ? 1 : -1) * 3000);
      }
      return LiveBlock(t0 + k / 5, static_cast<uint16_t>(20 * (k % 5)), static_cast<uint16_t>(k), 3, v);
    };
  }

  LiveWindowSetup WindowSetup() {
    LiveWindowSetup s;
    s.Link = &link;
    s.Setup = &setupBlock;
    s.Status = &status;
    s.DataDir = dir.str();
    s.Log = [this](const std::string& line) {
      std::lock_guard lock(logMutex);
      log.push_back(line);
    };
    s.ChannelsChosen = [this](const recorder::ChannelList& list) { chosen = list; };
    return s;
  }

  bool LogHas(const std::string& part) {
    std::lock_guard lock(logMutex);
    for (const auto& l : log)
      if (l.find(part) != std::string::npos) return true;
    return false;
  }

  size_t FileCount() {
    size_t n = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir.path())) n += e.is_regular_file();
    return n;
  }

  ScratchDir dir;
  recorder::YSTANOV setupBlock{};
  recorder::StatusBlock status{};
  recorder::ChannelList chosen;
  std::mutex logMutex;
  std::vector<std::string> log;
  std::atomic<uint32_t> serial{1};
  uint32_t blockLimit = UINT32_MAX;
  const uint32_t t0 = UnitSeconds(2026, 3, 15, 12, 30, 40);
};

TEST_F(LiveWindowTest, ShownModallyDrawsThreeChannelsUntilTheStreamEnds) {
  blockLimit = 300;  // 60 s: 3,000 columns of 2 samples, then silence
  // Channels 0 and 1 pass their thresholds together once a period (at phase -50): 60 events.
  setupBlock.Thresholds[0] = 4900;
  setupBlock.Thresholds[1] = 9900;
  auto form = std::make_unique<TFormRis>(WindowSetup());
  // The recorder sends its next block once the drawing has taken the columns published so far: the
  // sweep is drawn in many small batches, the last ones on the auto-scale, however loaded the machine.
  const LiveShared* shared = form->Shared();
  beforeBlock = [shared] {
    while (shared->WriteIndex() >= 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
  };
  EXPECT_EQ(chosen.Count, 3);
  EXPECT_EQ(setupBlock.FileMinutes, 20);  // 0 would mean one-hour files
  EXPECT_TRUE(LogHas("трансляция:  файл (минут) 20;  100 Гц;  Kyc =  4 4 4 ;   Unit НЕ синхронизован"));
  EXPECT_EQ(form->Shared()->RingSize(), 30'000);
  EXPECT_TRUE(form->findChild<QSpinBox*>("UD02"));
  EXPECT_FALSE(form->BB_Exit->isEnabled());
  support::Ui().ExpectModal([&](QDialog& d) { platform::ui::WaitServing([&] { return !d.isVisible(); }); },
                            "TFormRis");
  platform::ui::RunModal(*form);
  beforeBlock = nullptr;
  EXPECT_TRUE(form->BB_Exit->isEnabled());
  EXPECT_EQ(form->Work()->StopCode(), kLiveStopCode);
  EXPECT_FALSE(form->Work()->Thread().joinable());
  EXPECT_FALSE(form->Drawing()->Thread().joinable());
  form->Timer1Timer();
  EXPECT_EQ(form->P_name_size->text().toStdString(), "файл 151230.4 / 60");
  EXPECT_EQ(form->P_cnt_crit->text().toStdString(), "060");
  EXPECT_EQ(form->P_Time->text().toStdString().substr(0, 20), "15.03.26 12:31:40 / ");
  EXPECT_TRUE(LogHas("0001 / 151230.4!: мах превышениe 1.0 раза в канале Z0"));
  // The window as the user sees it, for a look: build tree, acquisition_ui_tests_work/.
  EXPECT_TRUE(platform::ui::GrabToPng(*form, "live_window_3ch.png"));
  // The curves are drawn in the channel colours, and the sweep has gone round the graph.
  const QImage& image = form->PB->Image();
  int red = 0, yellow = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = image.pixel(x, y) & 0xFFFFFF;
      red += c == 0xFF0000;
      yellow += c == 0xFFFF00;
    }
  EXPECT_GT(red, image.width());
  EXPECT_GT(yellow, image.width());
  form.reset();
  EXPECT_EQ(FileCount(), 1u);
  EXPECT_EQ(fs::file_size(dir.path() / "_03_15" / "151230.4!"), 120u + 3 * 72 + 300 * 60 * 4);
}

TEST_F(LiveWindowTest, ExitStopsTheReceptionAndTheWindowCloses) {
  TFormRis form(WindowSetup());
  support::Ui().ExpectModal([&](QDialog& d) {
    auto& f = static_cast<TFormRis&>(d);
    platform::ui::WaitServing([&] { return f.BB_Exit->isEnabled() && f.Drawing()->Batches() > 3; });
    f.BB_Exit->click();
    platform::ui::WaitServing([&] { return !f.isVisible(); });
  });
  platform::ui::RunModal(form);
  EXPECT_EQ(form.Work()->StopCode(), 0u);
  EXPECT_TRUE(form.Shared()->Stopped());
  EXPECT_TRUE(LogHas("\nпрочитано "));
  // Every file is closed with whole frames.
  for (const auto& e : fs::recursive_directory_iterator(dir.path()))
    if (e.is_regular_file()) {
      EXPECT_EQ((e.file_size() - 336) % 240, 0u) << e.path();
    }
}

TEST_F(LiveWindowTest, WithoutDataTheReceptionEndsAndTheWindowClosesItself) {
  endless = nullptr;
  TFormRis form(WindowSetup());
  support::Ui().ExpectModal([&](QDialog& d) { platform::ui::WaitServing([&] { return !d.isVisible(); }); });
  platform::ui::RunModal(form);
  EXPECT_EQ(form.Work()->StopCode(), kLiveStopCode);
  EXPECT_FALSE(form.BB_Exit->isEnabled());
  EXPECT_EQ(FileCount(), 0u);
  EXPECT_TRUE(LogHas("данные с прибора не поступают 19 сек"));
}

TEST_F(LiveWindowTest, NoChannelsOrRateZeroRefuseTheLiveView) {
  status.ChannelMask = 0;
  {
    TFormRis form(WindowSetup());
    EXPECT_FALSE(form.Usable());
    support::Ui().ExpectMessage(platform::ui::MsgAnswer::Ok, kLiveRefused);
    support::Ui().ExpectModal([&](QDialog& d) { platform::ui::WaitServing([&] { return !d.isVisible(); }); });
    platform::ui::RunModal(form);
    EXPECT_EQ(form.Work(), nullptr);
  }
  status.ChannelMask = 1;
  setupBlock.SampleRate = 0;
  setupBlock.ChartCompression = 0;
  TFormRis form(WindowSetup());
  EXPECT_FALSE(form.Usable());
  EXPECT_EQ(form.Shared()->ColumnSamples, 1);
}

TEST_F(LiveWindowTest, ChannelScalesOffsetsAndSelection) {
  TFormRis form(WindowSetup());
  form.resize(800, 500);
  const int32_t row = form.RowHeight;
  form.UD[1]->stepUp();  // up: half the counts per pixel
  EXPECT_EQ(form.Scale[1], 64);
  EXPECT_EQ(form.L_scale[1]->text().toInt(), 64 * row);
  EXPECT_EQ(form.Selected, 1);
  EXPECT_EQ(form.BB_on->text().toStdString(), "смещение 1 канала");
  EXPECT_EQ(form.BB_off->text().toStdString(), "cброс смещения 1 канала");
  for (int i = 0; i < 20; ++i) form.UD[2]->stepDown();
  EXPECT_EQ(form.Scale[2], 65536);
  for (int i = 0; i < 20; ++i) form.UD[2]->stepUp();
  EXPECT_EQ(form.Scale[2], 1);
  form.PBMouseDown(Qt::LeftButton, form.Base[2]);
  EXPECT_EQ(form.Selected, 2);
  form.Middle[2] = 1234;
  form.BB_on->click();
  EXPECT_EQ(form.Offset[2], 1234);
  form.PBMouseDown(Qt::RightButton, form.Base[2] - 10);
  EXPECT_EQ(form.windowTitle().toStdString(), "к 2:  1244;   смещ. 1234;");
  form.BB_off->click();
  EXPECT_EQ(form.Offset[2], 0);
  form.RadGr_WhatdrawItems->button(1)->click();
  EXPECT_EQ(form.Shared()->ShowSmoothed, 1);
  EXPECT_TRUE(form.UpD_filter_ris_new->isEnabled());
  form.UpD_filter_ris_new->setValue(50);
  EXPECT_EQ(form.Shared()->SmoothPoints, 50);
  EXPECT_EQ(form.UpD_filter_ris_new->singleStep(), 5);
  form.UD_jszdraw->setValue(25);
  EXPECT_EQ(form.Shared()->ColumnSamples, 25);
  EXPECT_EQ(form.UD_jszdraw->singleStep(), 5);
}

TEST_F(LiveWindowTest, AutoScaleAfterOneSecondOfColumns) {
  TFormRis form(WindowSetup());
  support::Ui().ExpectModal([&](QDialog& d) {
    auto& f = static_cast<TFormRis&>(d);
    // The exit is enabled only after the first block has started the collection (the counter leaves
    // idle); idle again afterwards is the drawing having applied it.
    platform::ui::WaitServing(
        [&] { return f.BB_Exit->isEnabled() && f.Shared()->ScaleColumns == kScaleIdle; });
    // Channel 2 swings between -3000 and 3000: centred, and the whole swing fits its row.
    EXPECT_EQ(f.Offset[2], 0);
    EXPECT_EQ(f.Scale[2], 6000 / f.RowHeight);
    f.close();
  });
  platform::ui::RunModal(form);
  EXPECT_TRUE(form.Shared()->Stopped());
}

TEST_F(LiveWindowTest, TheProgramsEndStopsBothThreadsAndClosesAndRenamesTheFile) {
  for (int c = 0; c < 8; ++c) setupBlock.Thresholds[c] = 100;  // every window of rows is an event
  // The recorder sends a block a millisecond, so that a GUI thread kept from running by a loaded machine
  // cannot see twenty minutes of data (a second file) go by before it stops the window.
  endless = [make = endless] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return make();
  };
  TFormRis form(WindowSetup());
  EXPECT_FALSE(form.HookedToShutdown());
  support::Ui().ExpectModal([&](QDialog& d) {
    auto& f = static_cast<TFormRis&>(d);
    platform::ui::WaitServing([&] { return f.Drawing()->Batches() > 3 && f.Counters().EventCount > 0; });
    EXPECT_TRUE(f.HookedToShutdown());
    EXPECT_EQ(recorder::Shutdown().Hooked(), std::vector<std::string>{"TFormRis"});
    // What the main window's close does, with the live window still open.
    EXPECT_EQ(recorder::Shutdown().StopAll(), 1);
    EXPECT_FALSE(f.isVisible());
    EXPECT_FALSE(f.Work()->Thread().joinable());
    EXPECT_FALSE(f.Drawing()->Thread().joinable());
  });
  platform::ui::RunModal(form);
  EXPECT_EQ(form.Work()->StopCode(), 0u);
  EXPECT_FALSE(form.HookedToShutdown());
  EXPECT_TRUE(recorder::Shutdown().Hooked().empty());
  EXPECT_TRUE(LogHas("\nпрочитано "));
  // The file was closed with whole frames and, as it held events, renamed.
  const fs::path file = dir.path() / "_03_15" / "151230.4!";
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(FileCount(), 1u);
  EXPECT_GT(fs::file_size(file), 336u);
  EXPECT_EQ((fs::file_size(file) - 336) % 12, 0u);
  EXPECT_EQ(form.Counters().EventFileCount, 1);
}

TEST_F(LiveWindowTest, WindowReceptionAndWriterLogToTheProgramsWorkLog) {
  blockLimit = 10;
  const fs::path logFile = dir.path() / "log_1a_005.txt";
  recorder::TheWorkLog().SetFileName(logFile.string());
  LiveWindowSetup setup = WindowSetup();
  setup.Log = nullptr;
  {
    TFormRis form(setup);
    support::Ui().ExpectModal([&](QDialog& d) { platform::ui::WaitServing([&] { return !d.isVisible(); }); });
    platform::ui::RunModal(form);
  }
  recorder::TheWorkLog().SetFileName("");
  const auto bytes = FileBytes(logFile.string());
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_NE(text.find("трансляция:  файл (минут) 20;  100 Гц;"), std::string::npos) << text;
  EXPECT_NE(text.find("_03_15         * * *\n"), std::string::npos) << text;
  EXPECT_NE(text.find("      *" + (dir.path() / "_03_15" / "151230.4").string() + "\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("\nпрочитано 10 cтраниц; данные с прибора не поступают 19 сек\n"), std::string::npos)
      << text;
  EXPECT_TRUE(log.empty());
}

TEST_F(LiveWindowTest, ANegativeIndexDrawsNothing) {
  TFormRis form(WindowSetup());
  form.PB->resize(480, 300);  // the graphs as a shown window would lay them out
  form.FormResize();
  ASSERT_EQ(form.RowHeight, 100);
  for (int32_t k = 0; k < 60; ++k) form.Shared()->StoreRing(k, k % 2 ? -4000 : 4000);
  const QImage before = form.PB->Image().copy();
  form.DrawColumns(kNothingNew, 5);
  form.DrawColumns(kStopIndex, 5);
  EXPECT_EQ(form.X, 0);
  EXPECT_TRUE(form.PB->Image() == before);
  form.DrawColumns(0, 5);
  EXPECT_EQ(form.X, 5);
  EXPECT_FALSE(form.PB->Image() == before);
  // Column 4 of channel 0 from its maximum to its minimum, the sweep marker beside it.
  const QImage& image = form.PB->Image();
  const QRgb blue = platform::ui::ColorFromBgr(kLiveColors[0]).rgb();
  EXPECT_EQ(image.pixel(4, form.Base[0] - 4000 / 128), blue);
  EXPECT_EQ(image.pixel(4, form.Base[0] + 4000 / 128), blue);
  EXPECT_EQ(image.pixel(5, form.Base[0]), qRgb(255, 255, 255));
}

}  // namespace
}  // namespace acquisition::testing
