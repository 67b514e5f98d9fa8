// The main window's life: construction with the link, the start-up with the recorder, the start of the
// work, and its end by the close button, the title bar or the write-error limit.
#include "recorder/ui/main_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QResizeEvent>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "acquisition/download_thread.h"
#include "platform/clock.h"
#include "platform/cp1251.h"
#include "platform/ftdi/backend.h"
#include "platform/ui/message_box.h"
#include "platform/ui/modal_run.h"
#include "platform/ui/terminator.h"
#include "recorder/program_link.h"
#include "recorder/session_texts.h"
#include "recorder/shutdown_path.h"
#include "recorder/status_block.h"
#include "recorder/ui/device_chooser.h"
#include "recorder/unit_commands.h"
#include "recorder/unit_link.h"
#include "recorder/work_log.h"
#include "toolkit/format_text.h"

namespace recorder {

using platform::ui::MessageBox;
using platform::ui::MsgAnswer;
using platform::ui::MsgButtons;
using platform::ui::MsgIcon;

Trecorder* MainForm = nullptr;

namespace {

std::string CurrentDirectory() {
  std::error_code ec;
  const auto dir = std::filesystem::current_path(ec);
  return ec ? std::string(".") : dir.generic_string();
}

}  // namespace

Trecorder::Trecorder(QWidget* parent, std::string startDir)
    : QMainWindow(parent), startDir_(startDir.empty() ? CurrentDirectory() : std::move(startDir)) {
  BuildForm();
  MainForm = this;
  connect(Tmer2, &QTimer::timeout, this, &Trecorder::Tmer2Timer);
  connect(BB_close, &QPushButton::clicked, this, &Trecorder::BB_closeClick);
  connect(BB_status, &QPushButton::clicked, this, &Trecorder::BB_statusClick);
  connect(SB_id, &QToolButton::clicked, this, &Trecorder::SB_idClick);
  connect(SB_dop, &QToolButton::clicked, this, &Trecorder::SB_dopClick);
  ConnectFatCommands();
  ConnectDownload();
  ConnectSetupEditor();
  ConnectPageReader();
  ConnectRecordingCommands();

  // Every worker thread's message boxes are shown by the GUI thread; so are the work log's.
  TheWorkLog().SetFailureNotice(
      [](const std::string& message) { MessageBox(message, "Error", MsgButtons::Ok, MsgIcon::Error); });

  // Emulated recorders asked for by a value that names none: said so, instead of looking for real ones.
  if (const std::string problem = platform::ftdi::EnvironmentDriverProblem(); !problem.empty()) {
    MessageBox(problem, " ", MsgButtons::Ok, MsgIcon::Error);
    platform::ui::ExitProgram(1);
  }
  link_ = std::make_unique<UnitLink>();
  link_->Notices.Message = [](const std::string& text, const std::string& caption, LinkNotices::Icon icon) {
    if (caption.empty() && icon == LinkNotices::Icon::None) {
      platform::ui::ShowMessage(text);
    } else {
      MessageBox(text, caption, MsgButtons::Ok,
                 icon == LinkNotices::Icon::Error ? MsgIcon::Error : MsgIcon::None);
    }
  };
  link_->Notices.Terminate = [](int code) { platform::ui::ExitProgram(code); };
  Link = link_.get();
  if (!link_->ListDevices()) {
    Link = nullptr;
    link_.reset();
    platform::ui::ExitProgram(1);
  }
  // Devices the user may not open are named with the cause, whether recorders were found beside them or
  // not; with only other bridge devices attached the count says so.
  std::string unreadable;
  for (const std::string& problem : link_->Unreadable) unreadable += problem + "\n";
  if (link_->DeviceCount == 0) {
    // No other device is opened in the place of a recorder.
    const std::string count = toolkit::FormatText("подключено FTDI устройств - %d; можно открыть - %d",
                                                  static_cast<int>(link_->Examined), 0);
    MessageBox(unreadable + count, " ", MsgButtons::Ok, MsgIcon::Error);
    Link = nullptr;
    link_.reset();
    platform::ui::ExitProgram(1);
  } else if (!unreadable.empty()) {
    MessageBox(unreadable, " ", MsgButtons::Ok, MsgIcon::Warning);
  }
}

Trecorder::~Trecorder() {
  // Whatever still runs ends before the shared state goes.
  Shutdown().StopAll();
  if (Link == link_.get()) Link = nullptr;
  if (MainForm == this) MainForm = nullptr;
}

bool Trecorder::DownloadRunning() const { return B_read->text() != QString::fromUtf8(kReadCaption); }

void Trecorder::MarkCommandReady(QWidget* command) { readyCommands_.insert(command); }

void Trecorder::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!shown_) {
    shown_ = true;
    // The start-up runs its dialogs from the event loop, once the window is on the screen.
    QTimer::singleShot(0, this, &Trecorder::FormShow);
  }
}

void Trecorder::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FormResize();
}

void Trecorder::FormResize() {
  if (height() != 455) resize(width(), 455);
}

void Trecorder::closeEvent(QCloseEvent* event) {
  Tmer2->stop();
  // The one shutdown path: every worker stops and closes its files before the window and the setup
  // block they read are gone.
  Shutdown().StopAll();
  Setup.reset();
  event->accept();
}

void Trecorder::EndStartup() { close(); }

void Trecorder::FormShow() {
  shown_ = true;
  if (!link_) return EndStartup();
  UnitLink& link = *link_;
  link.Log += toolkit::FormatText("\n\nFlag(устройства) = 0x%04x", link.Flags[0]);

  if (link.DeviceCount == 1) {
    link.Chosen = 0;
  } else {
    std::vector<ChooserDevice> devices;
    for (uint32_t i = 0; i < link.DeviceCount && i < kMaxDevices; ++i) {
      devices.push_back({platform::FieldToTextLine(link.SerialNumbers[i]),
                         platform::FieldToTextLine(link.Descriptions[i]), link.LocIds[i]});
    }
    TForm3 own(this);
    TForm3& chooser = Form3 != nullptr ? *Form3 : own;
    chooser.Fill(ChooserLines(devices));
    const int result = platform::ui::RunModal(chooser);
    const int line = result == QDialog::Accepted ? chooser.LB->currentRow() : -1;
    link.Chosen = ChosenDevice(line, devices.size());
    if (link.Chosen < 0) return EndStartup();
    link.Log += toolkit::FormatText("\n\nоткрываем Index = 0x%04x;", static_cast<unsigned>(link.Chosen));
    link.Log += "\n" + ChooserDeviceLine(static_cast<uint32_t>(link.Chosen), devices[link.Chosen]);
  }

  link.Log += toolkit::FormatText("\n открываем  %d-е;", link.Chosen);
  if (!link.OpenLink()) {
    // The driver's reason goes with the message, so that a denied or busy device can be told apart.
    const std::string reason = link.OpenFailure.empty() ? std::string() : "\n" + link.OpenFailure;
    Link = nullptr;
    link_.reset();
    MessageBox("!!!!Ошибка открытия порта USB!" + reason, "", MsgButtons::Ok, MsgIcon::Error);
    return EndStartup();
  }

  link.DrainMessages();
  StatusBlock& status = GlobalStatus();
  const uint8_t answer = ReadStatus(link, status);
  if (answer == kNoAnswer) {
    MessageBox(link.Log, "нет связи или Unit не включен!", MsgButtons::Ok, MsgIcon::Error);
    return EndStartup();
  }
  if (answer != kDone) {
    link.Log += "\n\nвозможно включена передача";
    if (MessageBox(link.Log, "остановить?", MsgButtons::YesNo) == MsgAnswer::Yes)
      SetTransmission(link, kModeStop);
    return EndStartup();
  }

  SampleClock = recorder::SampleClock(status);
  TicksPerSecond = int32_t{status.TikInSek} + 1;
  Fat.DriftScale = static_cast<uint32_t>(TicksPerSecond);

  // Zeroed before anything reads it.
  Setup = std::make_unique<YSTANOV>();
  StartSession();
  if (!ReadSetupBlock()) {
    // The recorded channels of the status count as event channels; the count then becomes the
    // recorder's own.
    DefaultSetup(*Setup, GlobalStatus(), ChannelCount);
  }
  CB_HF_U->setCurrentIndex(std::min<int>(Setup->HighPassIndex, CB_HF_U->count() - 1));
  UD_dl->setValue(Setup->FileMinutes);
  P_dl->setText(QString::fromStdString(FileLengthCaption(Setup->FileMinutes)));
  BB_statusClick();
}

void Trecorder::StartSession() {
  UnitLink& link = *link_;
  link.Log.clear();
  link.DrainMessages();
  RefreshStatus();
  UpdateButtons();

  const StatusBlock& status = GlobalStatus();
  E_Kon_adr->setText(QString::fromStdString(toolkit::FormatText("%08u", status.Last_pg)));
  B_dl_read->setText(QString::fromStdString(ReadPortionCaption(ReadPortion, Setup->Language)));
  CB_HF_U->clear();
  for (const std::string& item : HighPassItems()) CB_HF_U->addItem(QString::fromStdString(item));
  CB_HF_U->setCurrentIndex(std::min<int>(Setup->HighPassIndex, CB_HF_U->count() - 1));

  DataDir = DataDirPath(startDir_, UnitSeries(status), UnitNumber(status));
  // A data directory planted as a link, or another user's, gets no file: the log has none, and says
  // why at its first line only; the commands that write files refuse.
  DataDirRefusal = PrepareDataDirectory(DataDir);
  LogFileName = DataDirRefusal.empty() ? LogFilePath(DataDir, UnitSeries(status), UnitNumber(status)) : "";
  if (DataDirRefusal.empty()) {
    TheWorkLog().SetFileName(LogFileName);
  } else {
    TheWorkLog().SetRefusedFolder(DataDirRefusal);
  }

  const platform::UtcTime started = platform::CurrentClock().NowUtc();
  WriteLog(SessionSeparator());

  const std::string description =
      platform::FieldToTextLine(link.Descriptions[link.Chosen]);
  std::string firmware;
  if (ReadRam(link, 512) != kDone) {
    // The timer still runs: the write-error watch and the download progress depend on it.
    platform::ui::ShowMessage("e r r o r ");
  } else {
    firmware = FirmwareText(link.Buffer, kPageCount, description);
  }
  const std::string serial = platform::FieldToTextLine(link.SerialNumbers[link.Chosen]);
  setWindowTitle(QString::fromStdString(MainCaption(BuildDate(), serial, description, firmware)));
  WriteLog(SessionStartLine(BuildDate(), BuildTime(), status, firmware, started));
  Tmer2->start();
}

bool Trecorder::DataDirUsable() {
  if (DataDirRefusal.empty()) return true;
  platform::ui::ShowMessage(DataDirRefusal);
  return false;
}

void Trecorder::BB_closeClick() {
  if (DownloadRunning()) return;
  WriteLog(SessionEndLine(platform::CurrentClock().NowUtc()));
  if (link_ && ReadStatus(*link_, GlobalStatus()) == kDone) WriteLog(SessionGpsLine(GlobalStatus()));
  close();
}

}  // namespace recorder
