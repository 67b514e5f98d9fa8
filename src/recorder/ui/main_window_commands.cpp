// The main window's recording commands: start ("пуск") with its checks, stop, live registration, the PC
// clock from the recorder's, the RAM dump into the work log, the card-format switches, and the
// time-correction check that a download may run first.
#include <QCheckBox>
#include <QCoreApplication>
#include <QFrame>
#include <QPushButton>
#include <QToolButton>
#include <string>

#include "acquisition/ui/live_window.h"
#include "acquisition/ui/time_correction_dialog.h"
#include "platform/clock.h"
#include "platform/ui/message_box.h"
#include "platform/ui/modal_run.h"
#include "platform/ui/sound.h"
#include "recorder/recorder_time.h"
#include "recorder/status_block.h"
#include "recorder/ui/main_window.h"
#include "recorder/unit_commands.h"
#include "recorder/unit_link.h"
#include "recorder/work_log.h"
#include "toolkit/format_text.h"

namespace recorder {

using platform::ui::MessageBox;
using platform::ui::MsgAnswer;
using platform::ui::MsgButtons;
using platform::ui::MsgIcon;
using toolkit::FormatText;

namespace {

// The pause on each side of draining the line after a mode change.
constexpr uint32_t kModeSettleMs = 800;
constexpr uint32_t kRamBlocks = 20;
constexpr uint32_t kRamBlockBytes = 512;

// Appends `text` to the work log as it stands; a log that does not take it is reported (by the
// refusal of its folder when there is one) and the command ends there.
bool AppendToLog(const std::string& text) {
  if (TheWorkLog().Append(text)) return true;
  const std::string refusal = TheWorkLog().Refusal();
  MessageBox(refusal.empty() ? "не открылся лог-file!" : refusal, "Error", MsgButtons::Ok, MsgIcon::Error);
  return false;
}

// One block of the RAM dump: the heading and 32 lines of 16 bytes with their addresses.
std::string RamBlockText(uint32_t address, const uint8_t* bytes) {
  std::string text = "\n  RAM  OT " + std::to_string(address);
  for (uint32_t line = 0; line < kRamBlockBytes / 16; ++line) {
    text += FormatText("\n0x%04x:  ", address + line * 16);
    for (uint32_t i = 0; i < 16; ++i) text += FormatText(" %02x", unsigned{bytes[line * 16 + i]});
  }
  return text;
}

}  // namespace

void Trecorder::ConnectRecordingCommands() {
  connect(B_run, &QPushButton::clicked, this, &Trecorder::B_runClick);
  connect(B_stop, &QPushButton::clicked, this, &Trecorder::B_stopClick);
  connect(B_transl, &QPushButton::clicked, this, &Trecorder::B_translClick);
  connect(B_yct_time_PK, &QPushButton::clicked, this, &Trecorder::B_yct_time_PKClick);
  connect(BitBtn1, &QPushButton::clicked, this, &Trecorder::BitBtn1Click);
  connect(SB_Set_Unita, &QToolButton::clicked, this, &Trecorder::SB_Set_UnitaClick);
  // The status decides about these three (UpdateButtons).
  for (QWidget* w : std::initializer_list<QWidget*>{B_run, B_stop, B_transl}) MarkCommandReady(w);
  // These are always there; "коррекция времени" is read by the download.
  for (QWidget* w : std::initializer_list<QWidget*>{B_yct_time_PK, BitBtn1, SB_Set_Unita, SB_korr}) {
    MarkCommandReady(w);
    w->setEnabled(true);
  }
}

void Trecorder::SettleAfterModeChange() {
  platform::Sleep(kModeSettleMs);
  link_->DrainMessages();
  platform::Sleep(kModeSettleMs);
  RefreshStatus();
  UpdateButtons();
}

uint8_t Trecorder::ChangeMode(uint8_t mode) {
  const uint8_t result = SetTransmission(*link_, mode);
  SettleAfterModeChange();
  return result;
}

bool Trecorder::CheckStartAllowed() {
  const StatusBlock& st = GlobalStatus();
  const std::string start = FormatText("запуск UNITа_%u", unsigned{UnitNumber(st)});
  RefreshStatus();
  std::string reason;
  if (st.sysRG & kRgCardFull) {
    reason = "   карта заполнена. ";
  } else if (st.sysRG & (kRgAdcOn | kRgWaiting)) {
    reason = "   Unit уже работает. ";
  } else if (st.sysRG & kRgCardPresent) {
    if (ReadSetupBlock()) return false;
    reason = "   E R R O R _setup";
  } else {
    reason = "   нет карты! ";
  }
  MessageBox(start + reason, "н е л ь з я !", MsgButtons::Ok, MsgIcon::Information);
  return true;
}

void Trecorder::B_runClick() {
  if (!link_ || !Setup || DownloadRunning()) return;
  // The download waits for a new FAT reading after a start.
  B_read->setEnabled(false);
  if (CheckStartAllowed()) return;
  const MsgAnswer answer = MessageBox(
      "Включение режима регистрации:\nда - со стиранием FATa\n   (очистка стирает все записанные "
      "файлы!);\nнет - без стирания",
      "регистрация", MsgButtons::YesNoCancel, MsgIcon::Question, MsgAnswer::Cancel);
  if (answer != MsgAnswer::Yes && answer != MsgAnswer::No) return;
  const uint8_t mode = answer == MsgAnswer::Yes ? kModeRegistrationErase : kModeRegistration;
  if (ChangeMode(mode) != kDone) {
    MessageBox("не выполнена команда <пуск>", "Error", MsgButtons::Ok, MsgIcon::Error);
    WriteLog(FormatText("\nпуск (режим %u): не выполнена команда;", unsigned{mode}));
  }
}

void Trecorder::B_stopClick() {
  if (!link_ || DownloadRunning()) return;
  const uint8_t result = SetTransmission(*link_, kModeStop);
  if (result != kDone) {
    MessageBox("не выполнена команда <stop>", "Error", MsgButtons::Ok, MsgIcon::Error);
  } else {
    // A log that does not take the line is reported; the recorder has stopped all the same, so the
    // window follows it.
    AppendToLog("\nstop;\n");
  }
  SettleAfterModeChange();
}

void Trecorder::B_translClick() {
  if (!link_ || !Setup || DownloadRunning() || !DataDirUsable()) return;
  // The signal of a live registration, from the program's directory, while the command goes on.
  const std::string signal = (QCoreApplication::applicationDirPath() + "/SIGNAL.WAV").toStdString();
  platform::ui::PlaySoundAsync(signal, [](const std::string& why) { WriteLog("SIGNAL.WAV не проигран: " + why); });
  UnitLink& link = *link_;
  SetTransmission(link, kModeStop);
  B_read->setEnabled(false);
  if (!ReadSetupBlock()) {
    MessageBox("Ошибка открытия файла установок", "Error", MsgButtons::Ok, MsgIcon::Information);
    WriteLog("трансляция:  Ошибка открытия файла установок");
    return;
  }
  // The status for the live window is read before the recorder transmits: a status read while the
  // blocks stream would take the first of them off the line, lost to the live file.
  link.Log.clear();
  platform::Sleep(200);
  ReadStatus(link, GlobalStatus());
  if (SetTransmission(link, kModeTransmission) != kDone) {
    MessageBox("Ошибка включения!", "Error", MsgButtons::Ok, MsgIcon::Information);
    WriteLog("трансляция:  Ошибка включения");
    // The recorder may have switched on all the same.
    SetTransmission(link, kModeStop);
    return;
  }
  {
    acquisition::LiveWindowSetup setup;
    setup.Link = &link;
    setup.Setup = Setup.get();
    setup.Status = &GlobalStatus();
    setup.DataDir = DataDir;
    setup.OldFormat = SB_format->isChecked();
    setup.ExtraPanel = P_dop->isVisible();
    setup.DecimalDump = P_Wuz->isVisible();
    setup.ChannelsChosen = [this](const ChannelList& list) {
      ChannelCount = list.Count;
      std::copy(std::begin(list.Numbers), std::end(list.Numbers), ChannelNumbers);
    };
    acquisition::TFormRis live(std::move(setup), this);
    platform::ui::RunModal(live);
  }
  ChangeMode(kModeStop);
}

void Trecorder::B_yct_time_PKClick() {
  if (!link_ || DownloadRunning()) return;
  if (MessageBox("уст. времени ПК по  времени UNIT'a", "продолжать?", MsgButtons::YesNo, MsgIcon::Question) !=
      MsgAnswer::Yes) {
    return;
  }
  // Only a fresh status: a failed read would leave the time of an earlier one.
  StatusBlock fresh{};
  if (ReadStatus(*link_, fresh) != kDone) {
    platform::ui::ShowMessage(link_->Log);
    return;
  }
  GlobalStatus() = fresh;
  const std::optional<platform::UtcTime> pcTime =
      (fresh.sysRG & kRgSynchronised) ? PcClockFromUnitTime(fresh.T_Unit) : std::nullopt;
  if (!pcTime) {
    MessageBox("Unit не синхронизован!", "Error", MsgButtons::Ok, MsgIcon::Error);
    return;
  }
  if (!platform::CurrentClock().SetUtc(*pcTime)) {
    MessageBox("системное время не установлено: нет прав на установку часов ПК", "Error", MsgButtons::Ok,
               MsgIcon::Error);
    return;
  }
  WriteLog(FormatText("\nуст. cист. время  %s",
                      DateTimeText(int64_t{fresh.T_Unit} + kUnitEpochFrom1899).c_str()));
}

void Trecorder::BitBtn1Click() {
  if (!link_ || DownloadRunning()) return;
  for (uint32_t i = 0; i < kRamBlocks; ++i) {
    const uint32_t address = i * kRamBlockBytes;
    if (ReadRam(*link_, static_cast<uint16_t>(address)) != kDone) {
      platform::ui::ShowMessage("e r r o r ");
      return;
    }
    if (!AppendToLog("\n" + RamBlockText(address, link_->Buffer) + "\n")) return;
  }
}

void Trecorder::SB_Set_UnitaClick() {
  // The two switches only keep their state; the download reads "формат xxx".
}

bool Trecorder::CheckTimeCorrection() {
  SelCount = 1;
  acquisition::TimeCorrectionInput input;
  input.File = SelFiles[0];
  input.SyncTimes = &Fat.SyncTimes;
  input.SyncTable = &Fat.SyncTable;
  input.SyncKinds = &Fat.SyncKinds;
  input.GpsInterval = Setup ? Setup->GpsInterval : 0;
  input.SampleClock = SampleClock;
  acquisition::TF_corr dialog(input, this);
  platform::ui::RunModal(dialog);
  const acquisition::TimeCorrection& c = dialog.Result();
  CancelFlag = dialog.Cancelled() ? 1 : 0;
  SyncBase = c.SyncBase;
  DriftRate = c.DriftRate;
  DriftInterval = c.DriftInterval;
  return CancelFlag == 0;
}

}  // namespace recorder
