// The setup editor from the main window's "установки" against an emulated recorder: an untouched save
// gives back the bytes read; every control enabled and wired; refusals of the grids; the calendar's
// start picker and schedule import; the zero calibration measured, stored and read back, its end by
// silence and by closing the editor.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimeEdit>
#include <QToolButton>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <chrono>
#include <functional>
#include <iterator>
#include <set>
#include <thread>

#include "emulator/command_set.h"
#include "emulator/default_device.h"
#include "emulator/emulated_driver.h"
#include "platform/clock.h"
#include "platform/ftdi/backend.h"
#include "platform/ui/grab.h"
#include "platform/ui/synchronize.h"
#include "recorder/program_link.h"
#include "recorder/recorder_time.h"
#include "recorder/shutdown_path.h"
#include "recorder/ui/main_window.h"
#include "recorder/ui/setup_editor.h"
#include "recorder/unit_link.h"
#include "support/qt/ui_test_script.h"
#include "support/temp_dir.h"

namespace recorder {
namespace {

using platform::ui::MsgAnswer;
using support::Ui;

constexpr uint32_t kNowUnit = 1'700'000'000 - 315'964'800;  // the test clock's UTC in recorder seconds

class SetupEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    emulator::SetUpDefaultDevice(device.recorder.State());
    device.recorder.Line().SetRate(2'000'000);
  }
  void TearDown() override { w.reset(); }

  // The block the recorder holds, laid out as a write of the program lays it out.
  YSTANOV RecorderBlock() {
    YSTANOV s{};
    uint8_t channels = 0;
    StatusBlock status{};
    DecodeStatus(device.recorder.State().status.data(), kStatusReplySize, status);
    DefaultSetup(s, status, channels);
    s.Coefficients[1] = 2.98e-7f;
    s.Coefficients[2] = 5e-12f;
    std::memcpy(s.ChannelNames[0], "K00\0old", 8);
    s.GpsInterval = 128;
    for (int i = 0; i < 10; ++i) s.Calendar[i] = {kNowUnit + 3600u * i, kNowUnit + 3600u * i + 900 + 7};
    FreeEntry(s.Calendar[3]);
    s.Marker = kSetupMarker;
    s.PageCount = PagesNeeded(s);
    ComputePageChecks(s);
    return s;
  }
  void Store(const YSTANOV& s) {
    auto& flash = device.recorder.State().dataFlash;
    flash.assign(SetupBytes(s), SetupBytes(s) + kSetupSize);
  }
  std::vector<uint8_t> FlashPages(int pages) {
    const auto& flash = device.recorder.State().dataFlash;
    return {flash.begin(), flash.begin() + pages * kSetupPageSize};
  }

  void Start(const emulator::CommandSetOptions& options = {}) {
    set = emulator::CommandSet::Install(device.recorder, options);
    w = std::make_unique<Trecorder>(nullptr, dir.path());
    w->show();
    QCoreApplication::processEvents();
    ASSERT_NE(w->Setup, nullptr);
  }

  // Opens the editor with "установки" and runs `act` on it.
  void Edit(const std::function<void(TForm1&)>& act) {
    ASSERT_TRUE(w->B_set->isEnabled());
    Ui().ExpectModal(
        [&](QDialog& d) {
          auto& f = dynamic_cast<TForm1&>(d);
          f.FileDir = dir.path();
          act(f);
        },
        "TForm1");
    w->B_set->click();
  }

  // Pictures of the editor, to look at, into SUITE_GRAB_DIR when it is set. (Not always: Qt writes
  // images on threads of its own that the thread checker cannot see into.)
  static void Picture(QWidget& window, const std::string& name) {
    const char* keep = std::getenv("SUITE_GRAB_DIR");
    if (keep != nullptr) {
      EXPECT_TRUE(platform::ui::GrabToPng(window, QString::fromStdString(std::string(keep) + "/" + name)));
    }
  }

  static void Select(QComboBox* box, int index) {
    box->setCurrentIndex(index);
    emit box->activated(index);
  }

  platform::TestClock clock{1000, {1'700'000'000, 0}};
  platform::ScopedClock useClock{clock};
  emulator::EmulatedDriver driver;
  platform::ftdi::ScopedDriver useDriver{driver};
  emulator::EmulatedDevice& device = driver.Attach();
  std::shared_ptr<emulator::CommandSet> set;
  support::TempDir dir;
  std::unique_ptr<Trecorder> w;
};

TEST_F(SetupEditorTest, AnUntouchedSaveWritesBackExactlyTheBytesRead) {
  device.recorder.State().status[111] = 9;  // more channels than the block has room for
  const YSTANOV block = RecorderBlock();
  Store(block);
  ASSERT_EQ(block.PageCount, 2);
  Start();
  const std::vector<uint8_t> before = FlashPages(block.PageCount);
  Edit([&](TForm1& f) {
    EXPECT_EQ(f.SG1->rowCount(), 8);
    EXPECT_EQ(f.SG1->item(1, 2)->text().toStdString(), "0.0000002");
    EXPECT_EQ(f.SG_kal->item(4, 2)->text().toStdString(), "15");
    EXPECT_EQ(f.SG_kal->item(3, 1)->text().toStdString(), " ");
    for (int page = 0; page < f.PageControl1->count(); ++page) {
      f.PageControl1->setCurrentIndex(page);
      Picture(f, "setup_editor_page" + std::to_string(page) + ".png");
    }
    EXPECT_TRUE(f.SG1Exit());
    EXPECT_TRUE(f.SG_kalExit());
    f.BitBtnOK->click();
    EXPECT_FALSE(f.isVisible());
  });
  EXPECT_EQ(FlashPages(block.PageCount), before);
  EXPECT_EQ(std::memcmp(w->Setup.get(), &block, kSetupSize), 0);
}

TEST_F(SetupEditorTest, EveryControlIsEnabledAndEditsItsField) {
  Store(RecorderBlock());
  Start();
  Edit([&](TForm1& f) {
    for (const QPushButton* b : f.findChildren<QPushButton*>())
      EXPECT_FALSE(b->autoDefault() || b->isDefault()) << b->text().toStdString();
    // BB_Cbpoc waits for a calibration's data (or an offset to reset).
    const std::set<QWidget*> disabled{f.CB_Ru, f.ComB_Low__FilterWrite, f.CB_kan, f.B_adr, f.BB_Savekoor, f.BB_Cbpoc};
    for (QWidget* c : f.findChildren<QWidget*>()) {
      const bool control = qobject_cast<QAbstractButton*>(c) || qobject_cast<QComboBox*>(c) ||
                           qobject_cast<QAbstractSpinBox*>(c) || qobject_cast<QTableWidget*>(c) ||
                           qobject_cast<QLineEdit*>(c);
      if (!control || c->objectName().isEmpty()) continue;
      EXPECT_EQ(c->isEnabled(), !disabled.count(c)) << c->objectName().toStdString();
    }
    const YSTANOV& s = *w->Setup;
    Select(f.CB_HF, 4);
    EXPECT_EQ(s.HighPassIndex, 4);
    Select(f.CB_dec, 3);  // 50, 100, 200, 500, 1000
    EXPECT_EQ(s.SampleRate, 500);
    f.UD_dl->setValue(20);
    EXPECT_EQ(s.FileMinutes, 20);
    f.UD_fat->setValue(7);
    EXPECT_EQ(s.FatStart, 16);
    f.UD_GPS->setValue(3);
    EXPECT_EQ(s.GpsInterval, 512 * 64);
    f.UD_filter_kr->setValue(5);
    EXPECT_EQ(s.SmoothPoints, 5);
    EXPECT_EQ(f.P_filter->text().toStdString(), "  Сглаживающий фильтр из 5 точек");
    Select(f.CB_tip_gps, 1);
    Select(f.CB_gps, 1);
    EXPECT_EQ(s.GpsMode, 0x11);
    Select(f.ComB_TEST, 1);
    EXPECT_EQ(s.RecordFlags, 8);
    f.CB_gener->click();
    EXPECT_EQ(s.AutoAdjustOff, 1);
    // The gain list: a right press on the gain cell, then a gain.
    f.PageControl1->setCurrentWidget(f.TSh_param);
    f.SG1MouseDown(Qt::RightButton, 1, 4);
    ASSERT_TRUE(f.LB->isVisibleTo(&f));
    ASSERT_EQ(f.LB->count(), 8);
    f.LB->setCurrentRow(5);
    f.LBClick();
    EXPECT_EQ(s.K_yc[1], 32);
    EXPECT_EQ(f.SG1->item(1, 4)->text().toStdString(), "32");
    f.SG1MouseDown(Qt::RightButton, 2, 5);  // unmark channel 2
    EXPECT_TRUE(f.SG1Exit());
    EXPECT_EQ(s.ChannelMask, 3);
    EXPECT_EQ(s.ChannelCode, 1);
    EXPECT_EQ(f.CB_kan->currentText().toStdString(), " каналов: 2");
    f.E_Lat->setText("95");
    Ui().ExpectMessage(MsgAnswer::Ok, "Широта превышает 90 градусов");
    EXPECT_FALSE(f.E_LatExit(f.E_Lat));
    f.E_Lat->setText("53,25");
    EXPECT_TRUE(f.E_LatExit(f.E_Lat));
    EXPECT_NEAR(s.Latitude, 53.25, 1e-9);  // the parser's bias
    f.PageControl1->setCurrentWidget(f.TS_filtr);
    EXPECT_EQ(f.Label3->text().toStdString(), "ФВЧ(0.20 Гц) на частоте 500 Гц;");
    Picture(f, "setup_editor_filter.png");
    f.BitBtnCancel->click();
  });
  // "Выход" keeps the edits only until the main window reads the block again.
  EXPECT_EQ(w->Setup->HighPassIndex, 0);
  EXPECT_EQ(w->CB_HF_U->currentIndex(), 0);
}

TEST_F(SetupEditorTest, RefusedGridsStoreNothingAndNoChannelCannotBeSaved) {
  const YSTANOV block = RecorderBlock();
  Store(block);
  Start();
  Edit([&](TForm1& f) {
    f.SG1->item(0, 1)->setText("new");
    f.SG1->item(2, 2)->setText("0");
    f.SG1->item(2, 5)->setText("");
    Ui().ExpectMessage(MsgAnswer::Ok, "слишком малы  <коэффициенты>");
    EXPECT_FALSE(f.SG1Exit());
    EXPECT_EQ(std::memcmp(w->Setup.get(), &block, kSetupPageSize), 0);
    f.SG1->item(2, 2)->setText("1.5");
    for (int r = 0; r < f.SG1->rowCount(); ++r) f.SG1->item(r, 5)->setText("");
    EXPECT_TRUE(f.SG1Exit());
    EXPECT_EQ(w->Setup->ChannelCode, 255);
    Ui().ExpectMessage(MsgAnswer::Ok, "не отмечен ни один канал!");
    f.BitBtnOK->click();
    EXPECT_TRUE(f.isVisible());

    f.SG_kal->item(1, 1)->setText(" ");
    f.SG_kal->item(6, 2)->setText("0");
    Ui().ExpectMessage(MsgAnswer::Ok, "строка 2: неправильное время вкл-я");
    EXPECT_FALSE(f.SG_kalExit());
    EXPECT_EQ(std::memcmp(w->Setup->Calendar, block.Calendar, sizeof block.Calendar), 0);
    f.BitBtnCancel->click();
  });
}

TEST_F(SetupEditorTest, TheStartPickerKeepsTheLengthAndTheScheduleImportFillsTheCalendar) {
  Store(RecorderBlock());
  Start();
  {
    std::ofstream kalend(dir.File("unit_kalend"));
    kalend << "120406\n1520012\n1930111\n";
  }
  Edit([&](TForm1& f) {
    f.SG_kalDblClick(2);
    ASSERT_TRUE(f.P_time->isVisibleTo(&f));
    f.DateTimePd->setDate(QDate(2030, 5, 6));
    f.DateTimePt->setTime(QTime(7, 8, 0));
    f.B_oK_Time->click();
    const uint32_t on = static_cast<uint32_t>(UnitSecondsFromDate(2030, 5, 6) + 7 * 3600 + 8 * 60);
    EXPECT_EQ(w->Setup->Calendar[2].On, on);
    EXPECT_EQ(w->Setup->Calendar[2].Off, on + 15 * 60);  // the length the grid shows
    EXPECT_FALSE(f.P_time->isVisibleTo(&f));

    Ui().ExpectMessage(MsgAnswer::Yes, "unit_kalend");
    Ui().ExpectMessage(MsgAnswer::Yes, "19:30:00   111 min");
    f.B_kal->click();
    int used = 0;
    for (const CalendarEntry& e : w->Setup->Calendar) {
      if (IsFree(e)) continue;
      const uint32_t minutes = (e.Off - e.On) / 60;
      EXPECT_TRUE(minutes == 12 || minutes == 111) << minutes;
      EXPECT_GE(e.On, kNowUnit);
      ++used;
    }
    EXPECT_EQ(used, 256);
    // The memory estimate: "календарь " and the megabytes, with no blank before "Mb".
    EXPECT_TRUE(QRegularExpression("^календарь [1-9][0-9]*Mb$").match(f.L_3AH->text()).hasMatch())
        << f.L_3AH->text().toStdString();
    EXPECT_EQ(f.SG_kal->item(255, 2)->text().toStdString(), (w->Setup->Calendar[255].Off - w->Setup->Calendar[255].On) / 60 == 12 ? "12" : "111");
    f.BitBtnCancel->click();
  });
}

TEST_F(SetupEditorTest, FilesDefaultsAndTheCalendarCheckWithItsUndo) {
  const YSTANOV block = RecorderBlock();
  Store(block);
  Start();
  Edit([&](TForm1& f) {
    f.BB_w_file->click();
    std::ifstream in(dir.File("unit_setup"), std::ios::binary);
    const std::vector<char> saved{std::istreambuf_iterator<char>(in), {}};
    ASSERT_EQ(saved.size(), kSetupSize);
    EXPECT_EQ(std::memcmp(saved.data(), w->Setup.get(), kSetupSize), 0);

    f.BitBtn1->click();  // "Default"
    EXPECT_EQ(StationName(*w->Setup), "U1a05V");
    EXPECT_EQ(w->Setup->Coefficients[1], 1.0f);
    std::strcpy(w->Setup->Station, "OTHER");
    f.B_kal_setup->click();  // the calendar alone from the file
    EXPECT_EQ(std::memcmp(w->Setup->Calendar, block.Calendar, sizeof block.Calendar), 0);
    EXPECT_EQ(w->Setup->Coefficients[1], 1.0f);
    f.B_set_setup->click();  // the whole block, the station kept
    EXPECT_EQ(w->Setup->Coefficients[1], 2.98e-7f);
    EXPECT_EQ(StationName(*w->Setup), "OTHER");

    // Period 1 has begun: the check moves it, and the undo puts it back.
    Ui().ExpectMessage(MsgAnswer::No, "О Т М Е Н И Т Ь");
    f.B_prow->click();
    EXPECT_GT(w->Setup->Calendar[0].On, block.Calendar[0].On);
    std::memcpy(w->Setup->Calendar, block.Calendar, sizeof block.Calendar);
    Ui().ExpectMessage(MsgAnswer::Yes, "О Т М Е Н И Т Ь");
    f.B_prow->click();
    EXPECT_EQ(std::memcmp(w->Setup->Calendar, block.Calendar, sizeof block.Calendar), 0);
    f.BitBtnCancel->click();
  });
}

// ---- the zero calibration ----

class CalibrationEditorTest : public SetupEditorTest {
 protected:
  emulator::CommandSetOptions Live(bool data = true) {
    emulator::CommandSetOptions o;
    emulator::LiveSignal signal;
    signal.Offset = {-1500, 2500, 77, 0, 0, 0, 0, 0};
    signal.Noise = {40, 40, 40, 0, 0, 0, 0, 0};
    o.liveSignal = signal;
    o.liveData = data;
    return o;
  }
  static void WaitForEnd(TForm1& f) {
    platform::ui::WaitServing([&] { return !f.CalibrationRunning(); });
  }
  // Serves the GUI thread's queue until `ready` holds (the thread tells nobody about its sums).
  static void WaitFor(const std::function<bool()>& ready) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!ready()) {
      ASSERT_LT(std::chrono::steady_clock::now(), deadline);
      platform::ui::ServeQueuedCalls();
      std::this_thread::yield();
    }
  }
};

TEST_F(CalibrationEditorTest, OffsetsMeasuredFromTheDefaultsAreStoredSoTheNextReadSucceeds) {
  YSTANOV block = RecorderBlock();
  block.Calendar[1].On ^= 1;  // page 1 fails its check: the editor starts from the defaults
  Store(block);
  Ui().ExpectMessage(MsgAnswer::Ok, "ошибка на стр. 1");  // at start-up
  Start(Live());
  Ui().ExpectMessage(MsgAnswer::Ok, "ошибка на стр. 1");
  Ui().ExpectMessage(MsgAnswer::Ok, "Будет создан по умолчанию");
  Edit([&](TForm1& f) {
    f.PageControl1->setCurrentWidget(f.TS_acp);
    f.SB_Ka->click();
    ASSERT_TRUE(f.CalibrationRunning());
    EXPECT_FALSE(f.P_com->isVisibleTo(&f));
    EXPECT_EQ(Shutdown().Hooked(), std::vector<std::string>{"read_ang"});
    WaitFor([&] { return f.Calibration().Snapshot().Rounds > 5.0 * w->Setup->SampleRate + 5; });
    f.Timer1Timer();
    EXPECT_TRUE(f.BB_Cbpoc->isEnabled());
    EXPECT_EQ(f.LB_read->count(), 6);
    f.SB_Ka->click();  // stop
    WaitForEnd(f);
    EXPECT_TRUE(f.P_com->isVisibleTo(&f));
    EXPECT_EQ(device.recorder.State().mode, 0);
    EXPECT_EQ(f.BB_Cbpoc->text().toStdString(), "Сохр. калибровку");
    const CalSnapshot sums = f.Calibration().Snapshot();
    // The editor filled in the GPS interval the defaults leave 0: a change besides the offsets.
    Ui().ExpectMessage(MsgAnswer::No, "О Т М Е Н И Т Ь");
    f.BB_Cbpoc->click();
    for (int c = 0; c < 3; ++c) {
      double mean = 0;
      ASSERT_TRUE(sums.Mean(c, mean));
      EXPECT_NEAR(mean, Live().liveSignal->Offset[c], 5);
      const uint32_t expected = static_cast<uint32_t>(static_cast<int64_t>(mean + 0x800000)) + (uint32_t(c) << 24);
      EXPECT_EQ(w->Setup->ZeroOffsets[c], expected) << c;  // gain 1 is table entry 0
    }
    EXPECT_EQ(f.BB_Cbpoc->text().toStdString(), "Сброс калибровки");
    f.BitBtnCancel->click();
  });
  // The main window read the block again without a message: every page the block needs was written.
  EXPECT_NE(w->Setup->ZeroOffsets[0], 0x800000u);
  EXPECT_EQ(w->Setup->PageCount, 2);
}

// The store of the offsets writes page 0 alone while page 0 still describes the recorder's calendar
// pages, so a calendar edit not saved never reaches the recorder; after "Default" or a loaded
// "unit_setup" it writes every page the block needs. Either way the next read of the setup succeeds.
TEST_F(CalibrationEditorTest, TheStoreWritesPageZeroAloneUnlessItsCalendarPagesChanged) {
  struct Case {
    const char* name;
    std::function<void(TForm1&)> before;
    bool calendarWritten;
  };
  const Case cases[] = {
      {"unsaved calendar edit", [](TForm1&) {}, false},
      {"after Default", [](TForm1& f) { f.BitBtn1->click(); }, true},
      {"after the block from a file",
       [this](TForm1& f) {
         YSTANOV other = RecorderBlock();
         other.Calendar[4].Off += 600;
         ComputePageChecks(other);
         std::ofstream(dir.File("unit_setup"), std::ios::binary)
             .write(reinterpret_cast<const char*>(&other), sizeof other);
         f.B_set_setup->click();
       },
       true},
  };
  const YSTANOV block = RecorderBlock();
  Store(block);
  Start();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Store(block);  // the editor reads it when it opens
    YSTANOV written{};
    Edit([&](TForm1& f) {
      c.before(f);
      w->Setup->Calendar[0].On += 60;  // a calendar edit not saved
      f.PageControl1->setCurrentWidget(f.TS_acp);
      f.BB_CbpocClick();
      written = *w->Setup;
      f.BitBtnCancel->click();
    });
    const auto flash = FlashPages(kSetupPages);
    ASSERT_EQ(flash.size(), kSetupSize);
    EXPECT_EQ(std::memcmp(flash.data(), &written, kSetupPageSize), 0);
    const uint8_t* calendar = c.calendarWritten ? SetupBytes(written) : SetupBytes(block);
    const int pages = c.calendarWritten ? written.PageCount : block.PageCount;
    EXPECT_EQ(std::memcmp(flash.data() + kSetupPageSize, calendar + kSetupPageSize, (pages - 1) * kSetupPageSize), 0);
    // The main window read the block again after the editor, without a message.
    EXPECT_EQ(w->Setup->Calendar[0].On == block.Calendar[0].On, !c.calendarWritten);
    support::ReportUiScript();
  }
}

TEST_F(CalibrationEditorTest, SilenceEndsTheRunWithItsMessageAndTheRecorderStopped) {
  Store(RecorderBlock());
  Start(Live(false));
  Edit([&](TForm1& f) {
    f.SB_Ka->click();
    ASSERT_TRUE(f.CalibrationRunning());
    Ui().ExpectMessage(MsgAnswer::Ok, "НЕТ Данных!");
    WaitForEnd(f);
    EXPECT_FALSE(f.SB_Ka->isChecked());
    EXPECT_EQ(device.recorder.State().mode, 0);
    f.BitBtnCancel->click();
  });
}

TEST_F(CalibrationEditorTest, ClosingTheEditorMidRunStopsTheThreadAndTheRecorder) {
  Store(RecorderBlock());
  Start(Live());
  Edit([&](TForm1& f) {
    f.SB_Ka->click();
    WaitFor([&] { return f.Calibration().Snapshot().Blocks >= 3; });
    EXPECT_EQ(device.recorder.State().mode, 1);
    f.reject();  // Escape or the title bar
    EXPECT_FALSE(f.CalibrationRunning());
    EXPECT_TRUE(Shutdown().Hooked().empty());
  });
  EXPECT_EQ(device.recorder.State().mode, 0);
}

TEST_F(SetupEditorTest, NoEditorDuringRegistration) {
  Store(RecorderBlock());
  Start();
  device.recorder.State().status[2] |= 0x06;
  Ui().ExpectMessage(MsgAnswer::Ok, "включена регистрация");
  w->B_setClick();
}

}  // namespace
}  // namespace recorder
