// The recorder-control program's start-up and end against emulated recorders, on the test clock.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "emulator/command_set.h"
#include "emulator/default_device.h"
#include "emulator/device_layout.h"
#include "emulator/emulated_driver.h"
#include "platform/clock.h"
#include "platform/ftdi/backend.h"
#include "platform/ui/grab.h"
#include "platform/ui/synchronize.h"
#include "platform/ui/terminator.h"
#include "recorder/program_link.h"
#include "recorder/session_texts.h"
#include "recorder/shutdown_path.h"
#include "recorder/ui/device_chooser.h"
#include "recorder/ui/main_window.h"
#include "recorder/unit_link.h"
#include "recorder/work_log.h"
#include "support/qt/ui_test_script.h"

namespace recorder {
namespace {

namespace fs = std::filesystem;
using platform::ui::MsgAnswer;
using support::Ui;

// Firmware text as the recorder's RAM holds it, 512 + 338 bytes in (the start reads the RAM page at 512).
constexpr const char kFirmware[] = "T9XV fw 7.02 b";

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::path(::testing::TempDir()) / ("startup_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  emulator::EmulatedDevice& AddRecorder(const std::string& serial, const std::string& description,
                                        uint8_t number, emulator::EmulatedDriver* on = nullptr) {
    emulator::DeviceInfo info;
    info.serial = serial;
    info.description = description;
    info.locationId = 0x2000u + number;
    emulator::EmulatedDevice& d = (on ? *on : driver).Attach(info);
    emulator::DefaultDeviceOptions options;
    options.number = number;
    emulator::SetUpDefaultDevice(d.recorder.State(), options);
    auto& ram = d.recorder.State().ram;
    if (ram.size() >= 1024) std::memcpy(ram.data() + 512 + 338, kFirmware, sizeof kFirmware - 1);
    sets.push_back(emulator::CommandSet::Install(d.recorder));
    return d;
  }

  std::string Log(uint8_t number) {
    std::ifstream in(dir / DataDirName(0x1A, number) / LogFileBaseName(0x1A, number));
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  bool SawMessage(const std::string& text, const std::string& caption) {
    for (const auto& m : Ui().Messages()) {
      if (m.text.find(text) != std::string::npos && m.caption == caption) return true;
    }
    return false;
  }

  platform::TestClock clock{1000, {1'700'000'000, 0}};
  platform::ScopedClock useClock{clock};
  emulator::EmulatedDriver driver;
  platform::ftdi::ScopedDriver useDriver{driver};
  std::vector<std::shared_ptr<emulator::CommandSet>> sets;
  fs::path dir;
};

TEST_F(StartupTest, WithoutAnyBridgeDeviceTheProgramEndsWithStatusOne) {
  Ui().ExpectMessage(MsgAnswer::Ok, "Не обнаружено ни одного FTDI устройства!");
  Ui().ExpectExit(1);
  EXPECT_THROW(Trecorder w(nullptr, dir.string()), platform::ui::ProgramTerminated);
  EXPECT_EQ(Link, nullptr);
}

// The environment's choice of driver, for one test: the variable set as given, no driver installed.
class EnvironmentChoice : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv(platform::ftdi::kEmulatedUnitsVariable);
    if (old) saved_ = old;
    hadValue_ = old != nullptr;
  }
  void TearDown() override {
    if (hadValue_)
      ::setenv(platform::ftdi::kEmulatedUnitsVariable, saved_.c_str(), 1);
    else
      ::unsetenv(platform::ftdi::kEmulatedUnitsVariable);
  }

 private:
  std::string saved_;
  bool hadValue_ = false;
};

TEST_F(EnvironmentChoice, EmulatedUnitsThatNameNoRecorderAreSaidSoAndNothingIsOpened) {
  for (const char* value : {"", "0", "9", "abc"}) {
    ::setenv(platform::ftdi::kEmulatedUnitsVariable, value, 1);
    Ui().ExpectMessage(MsgAnswer::Ok, std::string("TOVREL_EMULATED_UNITS = \"") + value +
                                          "\": число эмулируемых Unit'ов задаётся цифрой от 1 до 8!");
    Ui().ExpectExit(1);
    EXPECT_THROW(Trecorder w, platform::ui::ProgramTerminated) << value;
    EXPECT_EQ(Link, nullptr);
    ASSERT_EQ(Ui().Messages().size(), 1u) << value;
    EXPECT_EQ(Ui().Messages()[0].text.rfind(std::string("TOVREL_EMULATED_UNITS = \"") + value + "\"", 0), 0u)
        << Ui().Messages()[0].text;
    EXPECT_EQ(Ui().Messages()[0].caption, " ");
    EXPECT_EQ(Ui().Messages()[0].icon, platform::ui::MsgIcon::Error);
    support::ReportUiScript();  // what went wrong so far fails the test, then a fresh script
  }
}

TEST_F(StartupTest, ForeignBridgeDevicesAloneAreNoRecorder) {
  emulator::DeviceInfo foreign;
  foreign.description = "FT232R USB UART";
  driver.Attach(foreign);
  emulator::DeviceInfo lowercase;
  lowercase.description = "t-9XV Unit";
  driver.Attach(lowercase);
  Ui().ExpectMessage(MsgAnswer::Ok, "подключено FTDI устройств - 2; можно открыть - 0");
  Ui().ExpectExit(1);
  EXPECT_THROW(Trecorder w(nullptr, dir.string()), platform::ui::ProgramTerminated);
  EXPECT_FALSE(SawMessage("Не обнаружено", " "));
  for (size_t i = 0; i < driver.DeviceCountAttached(); ++i) EXPECT_EQ(driver.Device(i).handle, 0u);
}

TEST_F(StartupTest, ARecorderTheUserMayNotOpenIsNamedWithTheCause) {
  // Alone: named, with the count, and the program ends.
  emulator::EmulatedDevice& denied = AddRecorder("UNIT0003", "T-9XV Unit", 3);
  denied.accessDenied = true;
  denied.info.bus = 2;
  denied.info.address = 9;
  const std::string named = "FTDI устройство: шина 002, адрес 009: нет доступа";
  Ui().ExpectMessage(MsgAnswer::Ok, named);
  Ui().ExpectExit(1);
  EXPECT_THROW(Trecorder w(nullptr, dir.string()), platform::ui::ProgramTerminated);
  EXPECT_TRUE(SawMessage("README", " "));
  EXPECT_TRUE(SawMessage("подключено FTDI устройств - 1; можно открыть - 0", " "));
  support::ReportUiScript();  // what went wrong so far fails the test, then a fresh script

  // Beside two recorders that open: named before the chooser, which offers the other two.
  AddRecorder("UNIT0001", "T-9XV Unit", 1);
  AddRecorder("UNIT0002", "T-9XV Unit", 2);
  Ui().ExpectMessage(MsgAnswer::Ok, named);
  Trecorder w(nullptr, dir.string());
  EXPECT_TRUE(SawMessage(named, " "));
  ASSERT_NE(Link, nullptr);
  EXPECT_EQ(Link->DeviceCount, 2u);
}

TEST_F(StartupTest, AFailedOpenSaysWhyTheDriverCouldNotOpen) {
  AddRecorder("UNIT0005", "T-9XV Unit", 5);
  Trecorder w(nullptr, dir.string());
  w.show();
  driver.Device(0).accessDenied = true;  // denied between the list and the open
  Ui().ExpectMessage(MsgAnswer::Ok, "!!!!Ошибка открытия порта USB!\nFTDI устройство: шина 001, адрес 002: нет доступа");
  w.FormShow();
  EXPECT_FALSE(w.isVisible());
}

TEST_F(StartupTest, OneRecorderIsOpenedDirectlyShownLoggedAndClosedCleanly) {
  AddRecorder("UNIT0005", "T-9XV Unit", 5);
  Trecorder w(nullptr, dir.string());
  w.show();
  QCoreApplication::processEvents();  // the start-up runs from the event loop

  ASSERT_NE(Link, nullptr);
  EXPECT_EQ(Link->Chosen, 0);
  EXPECT_EQ(w.windowTitle().toStdString(), std::string("   прог. от ") + BuildDate() +
                                               ";    SerNum:  UNIT0005;   Descr: T-9XV Unit;  " + kFirmware +
                                               " ;");
  EXPECT_TRUE(w.Tmer2->isActive());
  ASSERT_NE(w.Setup, nullptr);
  EXPECT_EQ(w.Setup->Marker, kSetupMarker) << "the recorder's setup block was read";
  EXPECT_EQ(w.TicksPerSecond, int32_t{GlobalStatus().TikInSek} + 1);
  EXPECT_EQ(w.DataDir, (dir / "Unit_1a_005").generic_string());
  EXPECT_EQ(w.LogFileName, (dir / "Unit_1a_005" / "log_1a_005.txt").generic_string());
  EXPECT_EQ(w.SB_id->text().toStdString(), "N 5");
  EXPECT_FALSE(w.BB_status->text().isEmpty());
  EXPECT_GT(w.SG_f->rowCount(), 1);
  EXPECT_EQ(w.SG_f->item(0, 1)->text().toStdString(), "1A_005");
  EXPECT_EQ(w.height(), 455);

  const std::string start = Log(5);
  EXPECT_EQ(start.rfind(SessionSeparator() + "\n", 0), 0u) << start;
  EXPECT_NE(start.find(std::string("  ПК( ") + BuildDate() + " " + BuildTime() + " );   UNIT 005(1a) - " +
                       kFirmware + " ;     начало в 14.11.23 22:13:20(пк)\n"),
            std::string::npos)
      << start;

  w.Tmer2Timer();
  EXPECT_EQ(w.L_time->text().toStdString(), "ПК   " + PcTimeText(clock.NowUtc()));

  EXPECT_TRUE(platform::ui::GrabToPng(w, QString::fromStdString((dir / "main_window.png").string())));
  // The picture stays in the test's working directory for a person to look at.
  const fs::path kept = fs::current_path() / "recorder_main_window.png";
  fs::copy_file(dir / "main_window.png", kept, fs::copy_options::overwrite_existing);

  w.BB_closeClick();
  EXPECT_FALSE(w.isVisible());
  EXPECT_FALSE(w.Tmer2->isActive());
  EXPECT_EQ(w.Setup, nullptr);
  const std::string end = Log(5).substr(start.size());
  EXPECT_EQ(end.rfind("\n  *   конец:  T(ПК) - ", 0), 0u) << end;
  EXPECT_NE(end.find("\nGPS: "), std::string::npos) << end;
}

TEST_F(StartupTest, TwoRecordersAreOfferedInTheChooser) {
  AddRecorder("UNIT0001", "T-9XV Unit A", 1);
  AddRecorder("UNIT0002", "TK-41 Unit B", 2);
  TForm3 chooser;
  Form3 = &chooser;
  Trecorder w(nullptr, dir.string());
  Ui().ExpectModal(
      [](QDialog& d) {
        auto& form = dynamic_cast<TForm3&>(d);
        ASSERT_EQ(form.LB->count(), 4);
        EXPECT_EQ(form.LB->item(0)->text().toStdString(), ChooserLines({})[0]);
        EXPECT_NE(form.LB->item(1)->text().indexOf("UNIT0001"), -1);
        EXPECT_NE(form.LB->item(2)->text().indexOf("TK-41 Unit B"), -1);
        EXPECT_EQ(form.LB->item(3)->text().toStdString(), "                e  x  i  t ");
        form.LB->setCurrentRow(0);
        form.LBDblClick();  // the title line does nothing
        EXPECT_EQ(form.result(), 0);
        form.LB->setCurrentRow(2);
        form.LBDblClick();
      },
      "TForm3");
  w.FormShow();
  Form3 = nullptr;
  ASSERT_NE(Link, nullptr);
  EXPECT_EQ(Link->Chosen, 1);
  EXPECT_NE(driver.Device(1).handle, 0u);
  EXPECT_EQ(driver.Device(0).handle, 0u);
  EXPECT_NE(w.windowTitle().indexOf("SerNum:  UNIT0002"), -1);
  EXPECT_NE(Log(2).find("UNIT 002(1a)"), std::string::npos);
}

TEST_F(StartupTest, OfTwoRecordersWithOneDescriptionTheChosenLineIsOpened) {
  AddRecorder("UNIT0001", "T-9XV Unit", 1);
  AddRecorder("UNIT0002", "T-9XV Unit", 2);
  Trecorder w(nullptr, dir.string());
  Ui().ExpectModal(
      [](QDialog& d) {
        auto& form = dynamic_cast<TForm3&>(d);
        form.LB->setCurrentRow(2);
        form.LBDblClick();
      },
      "TForm3");
  w.FormShow();
  ASSERT_NE(Link, nullptr);
  EXPECT_EQ(driver.Device(0).handle, 0u);
  EXPECT_NE(driver.Device(1).handle, 0u);
  EXPECT_NE(w.windowTitle().indexOf("SerNum:  UNIT0002"), -1);
  EXPECT_TRUE(driver.Device(0).recorder.Received().empty()) << "no command went to the other recorder";
  EXPECT_NE(Log(2).find("UNIT 002(1a)"), std::string::npos);
}

TEST_F(StartupTest, TheExitLineOfTheChooserEndsTheProgram) {
  AddRecorder("UNIT0001", "T-9XV Unit A", 1);
  AddRecorder("UNIT0002", "T-9XV Unit B", 2);
  Trecorder w(nullptr, dir.string());
  w.show();
  Ui().ExpectModal(
      [](QDialog& d) {
        auto& form = dynamic_cast<TForm3&>(d);
        form.LB->setCurrentRow(3);
        form.LBDblClick();
      },
      "TForm3");
  w.FormShow();
  EXPECT_FALSE(w.isVisible());
  EXPECT_FALSE(w.Tmer2->isActive());
  EXPECT_EQ(driver.Device(0).handle, 0u);
  EXPECT_EQ(driver.Device(1).handle, 0u);
  EXPECT_FALSE(fs::exists(dir / "Unit_1a_001"));
}

TEST_F(StartupTest, ARecorderThatDoesNotAnswerClosesTheWindow) {
  AddRecorder("UNIT0005", "T-9XV Unit", 5).recorder.SetAnswering(false);
  Trecorder w(nullptr, dir.string());
  w.show();
  Ui().ExpectMessage(MsgAnswer::Ok, "чтение статуса Unit'a");
  w.FormShow();
  EXPECT_TRUE(SawMessage("", "нет связи или Unit не включен!"));
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(w.Setup, nullptr);
  EXPECT_FALSE(fs::exists(dir / "Unit_1a_005"));
}

TEST_F(StartupTest, ARecorderStreamingAtStartIsOfferedAStopAndTheProgramCloses) {
  for (const MsgAnswer answer : {MsgAnswer::Yes, MsgAnswer::No}) {
    SCOPED_TRACE(answer == MsgAnswer::Yes ? "yes" : "no");
    emulator::EmulatedDriver bus;
    platform::ftdi::ScopedDriver useBus{bus};
    emulator::DeviceInfo info;
    info.description = "T-9XV Unit";
    emulator::EmulatedDevice& d = bus.Attach(info);
    emulator::SetUpDefaultDevice(d.recorder.State());
    auto set = emulator::CommandSet::Install(d.recorder);
    set->Options().statusDuringStream = false;
    set->StartStream(0, 60000);

    Trecorder w(nullptr, dir.string());
    w.show();
    Ui().ExpectMessage(answer, "возможно включена передача");
    w.FormShow();
    EXPECT_TRUE(SawMessage("\n\nвозможно включена передача", "остановить?"));
    bool stopSent = false;
    for (const auto& c : d.recorder.Received()) stopSent |= c.type == 3 && c.subCode == 0;
    EXPECT_EQ(stopSent, answer == MsgAnswer::Yes);
    EXPECT_FALSE(w.isVisible());
    support::ReportUiScript();  // what went wrong so far fails the test, then a fresh script
  }
}

TEST_F(StartupTest, TheSeventhFailedWriteOfTheStatusWatchClosesTheWindow) {
  emulator::EmulatedDevice& d = AddRecorder("UNIT0005", "T-9XV Unit", 5);
  Trecorder w(nullptr, dir.string());
  w.show();
  w.FormShow();
  ASSERT_TRUE(w.Tmer2->isActive());

  w.SB_id->click();  // status watch on
  ASSERT_TRUE(w.SB_id->isChecked());
  EXPECT_FALSE(w.P_knopok->isVisible());
  const uint16_t before = Link->WriteErrors;
  w.Tmer2Timer();
  EXPECT_EQ(Link->WriteErrors, before) << "a plugged recorder answers the watch";

  d.unplugged = true;
  for (int i = 1; i <= 6 - before; ++i) {
    w.Tmer2Timer();
    EXPECT_EQ(Link->WriteErrors, before + i);
    EXPECT_TRUE(w.isVisible());
  }
  Ui().ExpectMessage(MsgAnswer::Ok, "о ш и б к а   с в я з и !");
  w.Tmer2Timer();
  EXPECT_TRUE(SawMessage("о ш и б к а   с в я з и !", "E r r o r !"));
  EXPECT_FALSE(w.isVisible());
  EXPECT_FALSE(w.Tmer2->isActive());
}

TEST_F(StartupTest, ALogThatCannotBeWrittenIsReportedAndTheWorkGoesOn) {
  // Nothing can be created below a plain file, not even by root.
  std::ofstream((dir / "plain").string()) << "x";
  fs::create_directory(dir / "elsewhere");
  fs::create_directory_symlink(dir / "elsewhere", dir / "Unit_1a_005");
  const std::string unwritable = (dir / "plain" / "Unit_1a_005" / "log_1a_005.txt").string();
  struct Row {
    const char* name;
    fs::path start;
    std::string message;
    bool everyLine;
  } rows[] = {
      {"a log that does not open: told at every line", dir / "plain", WorkLog::OpenFailureText(unwritable), true},
      // The folder is named with the reason once, not a log failure naming no file at every line.
      {"a data folder planted as a link", dir, PrepareDataDirectory((dir / "Unit_1a_005").string()), false},
  };
  ASSERT_NE(rows[1].message.find("символическая ссылка"), std::string::npos) << rows[1].message;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    emulator::EmulatedDriver bus;
    platform::ftdi::ScopedDriver useBus{bus};
    AddRecorder("UNIT0005", "T-9XV Unit", 5, &bus);
    Trecorder w(nullptr, r.start.string());
    w.show();
    Ui().ExpectMessage(MsgAnswer::Ok, r.message);  // the session separator
    if (r.everyLine) Ui().ExpectMessage(MsgAnswer::Ok, r.message);  // the start line
    w.FormShow();
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.Tmer2->isActive());
    EXPECT_TRUE(SawMessage(r.message, "Error"));
    if (r.everyLine) Ui().ExpectMessage(MsgAnswer::Ok, r.message);
    EXPECT_FALSE(WriteLog("one more"));  // an unexpected message fails the test
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
    support::ReportUiScript();  // what went wrong so far fails the test, then a fresh script
  }
}

TEST_F(StartupTest, ClosingTheWindowStopsHookedWorkersWhileTheSetupBlockStillExists) {
  AddRecorder("UNIT0005", "T-9XV Unit", 5);
  Trecorder w(nullptr, dir.string());
  w.show();
  w.FormShow();
  std::atomic<bool> setupPresentAtStop{false};
  std::atomic<bool> ended{false};
  std::jthread worker([&](std::stop_token stop) {
    while (!stop.stop_requested()) std::this_thread::yield();
    ended = true;
  });
  auto hook = Shutdown().Add("worker", [&] {
    setupPresentAtStop = w.Setup != nullptr;
    worker.request_stop();
    platform::ui::JoinServing(worker);
  });
  w.close();  // the title bar's close
  EXPECT_TRUE(ended);
  EXPECT_TRUE(setupPresentAtStop);
  EXPECT_EQ(w.Setup, nullptr);
  EXPECT_TRUE(Shutdown().Hooked().empty());
}

TEST_F(StartupTest, ASetupBlockThatCannotBeReadIsReplacedByDefaultsForTheRecordersChannels) {
  emulator::EmulatedDevice& d = AddRecorder("UNIT0005", "T-9XV Unit", 5);
  d.recorder.State().status[emulator::status::kChannelMask] = 0x05;  // two channels recorded
  d.recorder.State().status[emulator::status::kChannels] = 5;        // of a six-channel recorder
  d.recorder.SetHandler(emulator::kCommandDataFlash, 0, {});
  Trecorder w(nullptr, dir.string());
  Ui().ExpectMessage(MsgAnswer::Ok, "ошибка чтения стр. 0");
  w.show();
  QCoreApplication::processEvents();
  ASSERT_NE(w.Setup, nullptr);
  EXPECT_EQ(w.Setup->Marker, kSetupMarker);
  EXPECT_EQ(w.Setup->EventChannels, 2) << "the channels the status names";
  EXPECT_EQ(w.Setup->ChannelCode, 5);
  EXPECT_EQ(w.Setup->ChannelMask, 63);
  // The status refresh that ends the start-up counts the recorded channels again.
  EXPECT_EQ(w.ChannelCount, 2);
  w.BB_closeClick();
}

TEST_F(StartupTest, AFailedRamReadStillStartsTheTimer) {
  emulator::EmulatedDevice& d = AddRecorder("UNIT0005", "T-9XV Unit", 5);
  d.recorder.State().ram.clear();
  d.recorder.SetHandler(emulator::kCommandRam, 0, {});
  Trecorder w(nullptr, dir.string());
  w.show();
  Ui().ExpectMessage(MsgAnswer::Ok, "e r r o r ");
  w.FormShow();
  EXPECT_TRUE(w.Tmer2->isActive());
  EXPECT_TRUE(w.windowTitle().endsWith(";   Descr: T-9XV Unit;  ;"));
}

}  // namespace
}  // namespace recorder
