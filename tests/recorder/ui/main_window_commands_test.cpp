// The main window's recording commands against an emulated recorder: "пуск" with its refusals and its
// question, "стоп", "регистрация" through the live window, "уст. врем. ПК" on the test clock, the RAM
// dump into the work log, and the time-correction check before a download.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "acquisition/ui/live_window.h"
#include "acquisition/ui/time_correction_dialog.h"
#include "emulator/command_set.h"
#include "emulator/default_device.h"
#include "emulator/device_layout.h"
#include "emulator/emulated_driver.h"
#include "platform/clock.h"
#include "platform/ftdi/backend.h"
#include "platform/ui/grab.h"
#include "platform/ui/synchronize.h"
#include "recorder/fat_grid.h"
#include "recorder/ui/main_window.h"
#include "recorder/unit_link.h"
#include "recorder/work_log.h"
#include "support/qt/ui_test_script.h"
#include "support/temp_dir.h"

namespace recorder {
namespace {

using platform::ui::MsgAnswer;
using support::Ui;
namespace st = emulator::status;

constexpr int64_t kRecorderEpochUnix = 315'964'800;

// Enter in a dialog's edit presses no button: none is a default, none becomes one on focus.
void ExpectNoDefaultButton(QWidget& dialog) {
  for (const QPushButton* b : dialog.findChildren<QPushButton*>())
    EXPECT_FALSE(b->autoDefault() || b->isDefault()) << b->text().toStdString();
}

class MainWindowCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    emulator::SetUpDefaultDevice(device.recorder.State());
    device.recorder.Line().SetRate(2'000'000);
  }
  void TearDown() override { w.reset(); }

  void Start(const emulator::CommandSetOptions& options = {}) {
    set = emulator::CommandSet::Install(device.recorder, options);
    w = std::make_unique<Trecorder>(nullptr, dir.path());
    w->show();
    QCoreApplication::processEvents();
    ASSERT_NE(w->Setup, nullptr);
  }
  uint8_t& SysRG() { return device.recorder.State().status[st::kSysRG]; }
  // Mode commands the recorder received since the last call.
  std::vector<uint8_t> ModesSent() {
    std::vector<uint8_t> modes;
    for (const auto& c : device.recorder.Received())
      if (c.type == emulator::kCommandMode) modes.push_back(c.subCode);
    device.recorder.ClearReceived();
    return modes;
  }
  std::string Log() {
    std::ifstream in(w->LogFileName);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // The recorder's status replies keep the clock the test put there (no running clock).
  void FreezeRecorderClock(uint32_t unitSeconds) {
    auto& state = device.recorder.State();
    state.status[st::kTUnit] = unitSeconds & 0xFF;
    state.status[st::kTUnit + 1] = (unitSeconds >> 8) & 0xFF;
    state.status[st::kTUnit + 2] = (unitSeconds >> 16) & 0xFF;
    state.status[st::kTUnit + 3] = unitSeconds >> 24;
    device.recorder.SetHandler(emulator::kCommandStatus, 36, [](emulator::Recorder& r, const emulator::Command&) {
      r.SendReply(emulator::kReplyStatus, 0, r.State().status);
    });
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

TEST_F(MainWindowCommandsTest, TheCommandsAreEnabledAndFollowTheRecordersMode) {
  Start();
  for (QWidget* c : std::initializer_list<QWidget*>{w->B_run, w->B_transl, w->B_yct_time_PK, w->SB_korr,
                                                    w->BitBtn1, w->SB_Set_Unita}) {
    EXPECT_TRUE(c->isEnabled()) << c->objectName().toStdString();
  }
  EXPECT_FALSE(w->B_stop->isVisibleTo(w.get()));
  EXPECT_TRUE(w->B_run->isVisibleTo(w.get()));
  // The card switches keep their state.
  w->SB_Set_Unita->click();
  EXPECT_TRUE(w->SB_Set_Unita->isChecked());
  w->SB_Set_Unita->click();
  EXPECT_FALSE(w->SB_Set_Unita->isChecked());

  // Not synchronised: no start (unless the extra panel is open).
  SysRG() = 0x20;
  w->BB_status->click();
  EXPECT_FALSE(w->B_run->isEnabled());
  // Registering: "стоп" instead of "пуск", no setup, FAT or live view.
  SysRG() = 0x27;
  w->BB_status->click();
  EXPECT_TRUE(w->B_stop->isVisibleTo(w.get()));
  EXPECT_TRUE(w->B_stop->isEnabled());
  EXPECT_FALSE(w->B_run->isVisibleTo(w.get()));
  EXPECT_FALSE(w->B_transl->isEnabled());
  EXPECT_FALSE(w->B_set->isEnabled());
}

TEST_F(MainWindowCommandsTest, AStartIsRefusedWithTheReasonAndNoModeChange) {
  struct Case {
    const char* name;
    uint8_t sysRG;
    bool badSetup;
    const char* reason;
  };
  const Case cases[] = {
      {"card full", 0xA1, false, "запуск UNITа_5   карта заполнена. "},
      {"already running", 0x27, false, "запуск UNITа_5   Unit уже работает. "},
      {"no card", 0x01, false, "запуск UNITа_5   нет карты! "},
      {"setup unreadable", 0x21, true, "запуск UNITа_5   E R R O R _setup"},
  };
  Start();
  const std::vector<uint8_t> flash = device.recorder.State().dataFlash;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    device.recorder.State().dataFlash = flash;
    if (c.badSetup) device.recorder.State().dataFlash[512 + 7] ^= 0x5A;  // page 1 fails its check
    SysRG() = c.sysRG;
    ModesSent();
    if (c.badSetup) Ui().ExpectMessage(MsgAnswer::Ok, "ошибка на стр. 1: ks = 0x");
    Ui().ExpectMessage(MsgAnswer::Ok, c.reason);
    w->B_run->click();
    const auto shown = Ui().Messages();
    ASSERT_EQ(shown.size(), c.badSetup ? 2u : 1u);
    // The setup read tells which page failed before the refusal.
    if (c.badSetup) {
      EXPECT_EQ(shown[0].text.rfind("ошибка на стр. 1: ks = 0x", 0), 0u) << shown[0].text;
    }
    EXPECT_EQ(Ui().Messages().back().text, c.reason);
    EXPECT_EQ(Ui().Messages().back().caption, "н е л ь з я !");
    EXPECT_TRUE(ModesSent().empty());
    EXPECT_FALSE(w->B_read->isEnabled());
    support::ReportUiScript();  // what went wrong so far fails the test, then a fresh script
    // Back to a recorder that may start, with the buttons that go with it.
    SysRG() = 0x21;
    w->BB_status->click();
  }
}

TEST_F(MainWindowCommandsTest, TheStartQuestionChoosesTheMode) {
  struct Case {
    MsgAnswer answer;
    std::vector<uint8_t> modes;
    uint8_t finalMode;
    bool enter = false;  // the user presses Enter: the box's default, Cancel
  };
  const Case cases[] = {{MsgAnswer::Cancel, {}, 0},
                        {MsgAnswer::Cancel, {}, 0, true},
                        {MsgAnswer::No, {2}, 2},
                        {MsgAnswer::Yes, {3}, 3}};
  Start();
  ASSERT_NE(device.recorder.State().status[st::kFiles], 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.answer) + (c.enter ? 10 : 0));
    device.recorder.State().mode = 0;
    SysRG() = 0x21;
    w->BB_status->click();
    ModesSent();
    if (c.enter) {
      Ui().ExpectEnter("Включение режима регистрации:");
    } else {
      Ui().ExpectMessage(c.answer, "Включение режима регистрации:");
    }
    w->B_run->click();
    EXPECT_EQ(ModesSent(), c.modes);
    EXPECT_EQ(device.recorder.State().mode, c.finalMode);
    EXPECT_EQ(w->B_stop->isVisibleTo(w.get()), c.finalMode != 0);
    // Only the start with erasure empties the card's file table.
    EXPECT_EQ(device.recorder.State().status[st::kFiles] == 0, c.answer == MsgAnswer::Yes);
    device.recorder.State().status[st::kSysRG] = 0x21;
  }
}

TEST_F(MainWindowCommandsTest, ARefusedModeChangeIsReportedNotTakenForSuccess) {
  emulator::CommandSetOptions options;
  options.echoMode = 0;  // the recorder answers every mode change with "stopped"
  Start(options);
  Ui().ExpectMessage(MsgAnswer::No, "Включение режима регистрации:");
  Ui().ExpectMessage(MsgAnswer::Ok, "не выполнена команда <пуск>");
  w->B_run->click();
  EXPECT_NE(Log().find("пуск (режим 2): не выполнена команда;"), std::string::npos);
}

TEST_F(MainWindowCommandsTest, StopLogsOnlyAStopThatWasDone) {
  Start();
  SysRG() = 0x27;
  device.recorder.State().mode = 2;
  w->BB_status->click();
  ASSERT_TRUE(w->B_stop->isEnabled());
  w->B_stop->click();
  EXPECT_EQ(device.recorder.State().mode, 0);
  EXPECT_NE(Log().find("\nstop;\n"), std::string::npos);
  EXPECT_TRUE(w->B_run->isVisibleTo(w.get()));

  // A recorder that ignores the mode command.
  const std::string before = Log();
  SysRG() = 0x27;
  w->BB_status->click();
  device.recorder.SetHandler(emulator::kCommandMode, 35, {});
  Ui().ExpectMessage(MsgAnswer::Ok, "не выполнена команда <stop>");
  w->B_stop->click();
  EXPECT_EQ(Log(), before);
  EXPECT_TRUE(w->B_stop->isVisibleTo(w.get()));

  // A work log that does not open: the message, and the window still follows the stopped recorder.
  set = emulator::CommandSet::Install(device.recorder);
  device.recorder.State().mode = 2;
  SysRG() = 0x27;
  w->BB_status->click();
  ASSERT_TRUE(w->B_stop->isVisibleTo(w.get()));
  TheWorkLog().SetFileName(dir.path() + "/нет такого каталога/log.txt");
  Ui().ExpectMessage(MsgAnswer::Ok, "не открылся лог-file!");
  w->B_stop->click();
  // A log without a file because its folder was refused: named with the reason.
  TheWorkLog().SetRefusedFolder("Папка данных X — не папка");
  device.recorder.State().mode = 2;
  SysRG() = 0x27;
  w->BB_status->click();
  Ui().ExpectMessage(MsgAnswer::Ok, "Папка данных X — не папка");
  w->B_stop->click();
  TheWorkLog().SetFileName(w->LogFileName);
  EXPECT_EQ(device.recorder.State().mode, 0);
  EXPECT_TRUE(w->B_run->isVisibleTo(w.get()));
  EXPECT_FALSE(w->B_stop->isVisibleTo(w.get()));
}

TEST_F(MainWindowCommandsTest, RegistrationShowsTheLiveWindowAndStopsAfterIt) {
  emulator::CommandSetOptions options;
  options.keepLiveBlocks = true;
  Start(options);
  uint8_t modeWhileShown = 0xFF;
  Ui().ExpectModal(
      [&](QDialog& d) {
        auto& live = dynamic_cast<acquisition::TFormRis&>(d);
        ExpectNoDefaultButton(live);
        modeWhileShown = device.recorder.State().mode;
        // The first block has arrived once the exit is enabled.
        platform::ui::WaitServing([&] { return live.BB_Exit->isEnabled(); });
        live.close();
      },
      "TFormRis");
  w->B_transl->click();
  EXPECT_EQ(modeWhileShown, 1);
  EXPECT_EQ(device.recorder.State().mode, 0);
  // The live file begins with the first block the recorder sent: nothing before the window took it.
  const auto sent = set->LiveBlocksSent();
  std::vector<uint8_t> file;
  for (const auto& e : std::filesystem::recursive_directory_iterator(w->DataDir))
    if (e.is_regular_file() && e.path().filename().string().rfind("log_", 0) != 0) {
      std::ifstream in(e.path(), std::ios::binary);
      file.assign(std::istreambuf_iterator<char>(in), {});
    }
  ASSERT_FALSE(sent.empty());
  const size_t head = 120 + 72 * (sent[0][1] + 1u);
  ASSERT_GE(file.size(), head + 4);
  int32_t first = 0;
  std::memcpy(&first, file.data() + head, 4);
  EXPECT_EQ(first, (sent[0][16] | sent[0][17] << 8 | sent[0][18] << 16) - 0x800000);
  EXPECT_TRUE(w->B_transl->isEnabled());
  // The signal from the program's directory, asked for once.
  const std::string signal = (QCoreApplication::applicationDirPath() + "/SIGNAL.WAV").toStdString();
  EXPECT_EQ(Ui().Sounds(), std::vector<std::string>{signal});
}

// A signal that cannot be played leaves one line in the work log and the registration goes on; while a
// download runs the command does nothing, the signal included.
TEST_F(MainWindowCommandsTest, TheSignalOfRegistrationFailsIntoOneLogLineAndWaitsForADownload) {
  Start();
  Ui().SetSoundFailure("нет звукового устройства");
  Ui().ExpectModal([&](QDialog& d) { d.close(); }, "TFormRis");
  const std::string before = Log();
  w->B_transl->click();
  const std::string added = Log().substr(before.size());
  EXPECT_EQ(Ui().Sounds().size(), 1u);
  const std::string line = "SIGNAL.WAV не проигран: нет звукового устройства\n";
  EXPECT_EQ(added.find(line), added.rfind(line));
  EXPECT_NE(added.find(line), std::string::npos);
  EXPECT_EQ(device.recorder.State().mode, 0);

  w->B_read->setText("Cancel");  // as while a download runs
  ModesSent();
  w->B_translClick();
  w->B_read->setText(QString::fromUtf8(kReadCaption));
  EXPECT_EQ(Ui().Sounds().size(), 1u);
  EXPECT_TRUE(ModesSent().empty());
}

TEST_F(MainWindowCommandsTest, RegistrationWithAnUnreadableSetupSaysSoAndStaysStopped) {
  Start();
  device.recorder.State().dataFlash[512 + 7] ^= 0x5A;
  Ui().ExpectMessage(MsgAnswer::Ok, "ошибка на стр. 1: ks = 0x");
  Ui().ExpectMessage(MsgAnswer::Ok, "Ошибка открытия файла установок");
  w->B_transl->click();
  EXPECT_EQ(device.recorder.State().mode, 0);
  EXPECT_NE(Log().find("трансляция:  Ошибка открытия файла установок"), std::string::npos);
}

TEST_F(MainWindowCommandsTest, ThePcClockIsSetFromAFreshSynchronisedStatusOnly) {
  // 2037-03-01 12:00:00 UTC: past the 32-bit wrap of seconds since 1899.
  const int64_t unix2037 = 2'119'521'600;
  const uint32_t unit2037 = static_cast<uint32_t>(unix2037 - kRecorderEpochUnix);
  struct Case {
    const char* name;
    uint8_t sysRG;
    bool answers;
    bool refuse;
    MsgAnswer question;
    const char* message;  // nullptr: none
    bool set;
  };
  const Case cases[] = {
      {"declined", 0x21, true, false, MsgAnswer::No, nullptr, false},
      {"not synchronised", 0x20, true, false, MsgAnswer::Yes, "Unit не синхронизован!", false},
      {"no status", 0x21, false, false, MsgAnswer::Yes, "чтение статуса Unit'a", false},
      {"refused by the system", 0x21, true, true, MsgAnswer::Yes, "системное время не установлено", false},
      {"synchronised", 0x21, true, false, MsgAnswer::Yes, nullptr, true},
  };
  Start();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string logBefore = Log();
    FreezeRecorderClock(unit2037);
    if (!c.answers) device.recorder.SetHandler(emulator::kCommandStatus, 36, {});
    SysRG() = c.sysRG;
    clock.SetRefuseSetUtc(c.refuse);
    const int64_t pcBefore = clock.NowUtc().unixSeconds;
    Ui().ExpectMessage(c.question, "уст. времени ПК по  времени UNIT'a");
    if (c.message) Ui().ExpectMessage(MsgAnswer::Ok, c.message);
    w->B_yct_time_PK->click();
    const int64_t pcAfter = clock.NowUtc().unixSeconds;
    if (c.set) {
      EXPECT_EQ(pcAfter, unix2037);
      EXPECT_EQ(Log().substr(logBefore.size()), "\nуст. cист. время  01.03.37 12:00:00\n");
    } else {
      EXPECT_LT(pcAfter - pcBefore, 60);
      EXPECT_EQ(Log(), logBefore);
    }
    support::ReportUiScript();
  }
}

TEST_F(MainWindowCommandsTest, TheRamDumpLogsTwentyBlocksAndStopsAtTheFirstSilence) {
  auto& ram = device.recorder.State().ram;
  ram.resize(20 * 512);
  for (size_t i = 0; i < ram.size(); ++i) ram[i] = static_cast<uint8_t>(i * 7 + i / 512);
  Start();
  // The dump as the log must hold it, built here from the bytes.
  auto expected = [&](int blocks) {
    std::string text;
    char line[32];
    for (int b = 0; b < blocks; ++b) {
      text += "\n\n  RAM  OT " + std::to_string(b * 512);
      for (int l = 0; l < 32; ++l) {
        std::snprintf(line, sizeof line, "\n0x%04x:  ", b * 512 + l * 16);
        text += line;
        for (int k = 0; k < 16; ++k) {
          std::snprintf(line, sizeof line, " %02x", ram[b * 512 + l * 16 + k]);
          text += line;
        }
      }
      text += "\n";
    }
    return text;
  };
  std::string before = Log();
  w->BitBtn1->click();
  EXPECT_EQ(Log().substr(before.size()), expected(20));

  // Block 3 (address 0x600) gets no answer.
  device.recorder.SetHandler(emulator::kCommandRam, 0, [](emulator::Recorder& r, const emulator::Command& c) {
    if (c.subCode == 6) return;
    uint8_t block[512];
    const size_t at = size_t{c.subCode} << 8;
    for (size_t i = 0; i < 512; ++i) block[i] = r.State().ram[at + i];
    r.SendReply(emulator::kReplyRam, 0, block);
  });
  before = Log();
  Ui().ExpectMessage(MsgAnswer::Ok, "e r r o r ");
  w->BitBtn1->click();
  EXPECT_EQ(Log().substr(before.size()), expected(3));
}

TEST_F(MainWindowCommandsTest, TheTimeCorrectionCheckCanCancelTheDownload) {
  Start();
  w->B_fat->click();
  ASSERT_GE(w->Fat.FatCount, 2);
  ASSERT_FALSE(w->Fat.SyncTimes.empty());
  w->SG_f->setItem(2, kFatGridMarkColumn, new QTableWidgetItem("x"));
  w->SB_korr->click();
  ASSERT_TRUE(w->SB_korr->isChecked());
  // The window's close button: no download.
  Ui().ExpectModal(
      [&](QDialog& d) {
        auto& f = dynamic_cast<acquisition::TF_corr&>(d);
        ExpectNoDefaultButton(f);
        EXPECT_GT(f.LB->count(), 0);
        EXPECT_FALSE(f.Label3->text().isEmpty());
        // A picture to look at, into SUITE_GRAB_DIR when it is set.
        if (const char* keep = std::getenv("SUITE_GRAB_DIR")) {
          EXPECT_TRUE(platform::ui::GrabToPng(f, QString(keep) + "/time_correction.png"));
        }
        f.close();
      },
      "TF_corr");
  w->B_read->click();
  EXPECT_EQ(w->CancelFlag.load(), 1u);
  EXPECT_EQ(w->SelCount, 1);
  EXPECT_EQ(w->ReadThread, nullptr);
  EXPECT_EQ(w->B_read->text().toStdString(), kReadCaption);
  // "O'k": the start and end go to the log and the download goes on with the one file.
  Ui().ExpectModal([](QDialog& d) { dynamic_cast<acquisition::TF_corr&>(d).Button1->click(); }, "TF_corr");
  w->B_read->click();
  EXPECT_EQ(w->CancelFlag.load(), 0u);
  EXPECT_EQ(w->SelCount, 1);
  EXPECT_NE(w->ReadThread, nullptr);
  platform::ui::WaitServing([&] { return w->ReadThread == nullptr; });
  EXPECT_NE(Log().find("начало: "), std::string::npos);
}

}  // namespace
}  // namespace recorder
