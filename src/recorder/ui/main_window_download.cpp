// The main window's download command: the files chosen from the FAT grid (or a page range), the
// settings the download thread takes with it, the thread's start and cancel, its end handler, and the
// read-portion and file-length settings.
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QToolButton>
#include <algorithm>
#include <atomic>
#include <memory>
#include <system_error>

#include "acquisition/download_thread.h"
#include "platform/clock.h"
#include "platform/ui/message_box.h"
#include "platform/ui/synchronize.h"
#include "recorder/fat_grid.h"
#include "recorder/session_texts.h"
#include "recorder/status_block.h"
#include "recorder/ui/main_window.h"
#include "recorder/unit_commands.h"
#include "recorder/unit_link.h"
#include "recorder/work_log.h"
#include "toolkit/format_text.h"

namespace recorder {

using platform::ui::MessageBox;
using platform::ui::MsgButtons;
using platform::ui::MsgIcon;

namespace {

constexpr uint16_t kPortionStep = 4096;
constexpr uint16_t kLargestPortion = 61440;
constexpr const char* kCancelCaption = "Cancel";

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A FAT row worth reading: more than two pages past its first (the setup copy).
bool Downloadable(const FileEntry& e) { return uint64_t{e.EndPage} > uint64_t{e.BeginPage} + 2; }

bool Marked(const QTableWidget& grid, int row) {
  if (row >= grid.rowCount() || grid.columnCount() <= kFatGridMarkColumn) return false;
  const QTableWidgetItem* cell = grid.item(row, kFatGridMarkColumn);
  return cell != nullptr && cell->text() == QStringLiteral("x");
}

// What the thread takes along; it never reads a control of the window.
acquisition::DownloadSettings SettingsOf(const Trecorder& w) {
  acquisition::DownloadSettings s;
  s.FatMode = w.CB_fat->isChecked();
  s.SelFiles.assign(w.SelFiles.begin(), w.SelFiles.begin() + w.SelCount);
  s.FatFiles = w.Fat.FatFiles;
  s.ReadPortion = w.ReadPortion;
  s.SampleClock = w.SampleClock;
  s.UnitId = GlobalStatus().Id;
  s.DataDir = w.DataDir;
  s.Setup = *w.Setup;
  s.HighPassIndex = static_cast<uint8_t>(std::max(0, w.CB_HF_U->currentIndex()));
  s.FileMinutes = static_cast<uint8_t>(std::clamp(w.UD_dl->value(), 0, 255));
  s.ShowSyncLines = w.P_dop->isVisible();
  s.OldFormat = w.SB_format->isChecked();
  return s;
}

}  // namespace

void Trecorder::ConnectDownload() {
  connect(B_read, &QPushButton::clicked, this, &Trecorder::B_readClick);
  connect(B_dl_read, &QPushButton::clicked, this, &Trecorder::B_dl_readClick);
  connect(UD_dl, &QSpinBox::valueChanged, this, &Trecorder::UD_dlClick);
  // The read portion, the filter, the file length and the file format are settings of the next
  // download.
  for (QWidget* w : std::initializer_list<QWidget*>{B_dl_read, CB_HF_U, UD_dl, SB_format}) {
    MarkCommandReady(w);
    w->setEnabled(true);
  }
  // The download button itself comes with the first FAT reading.
  MarkCommandReady(B_read);
}

void Trecorder::B_readClick() {
  if (ReadThread) {
    // Running, or ended and not yet handed back: never a second download before DownloadDone.
    ReadThread->Terminate();
    B_read->setEnabled(false);
    return;
  }
  if (!link_ || !Setup) return;
  UnitLink& link = *link_;
  if (link.DrainMessages() != 0 && link.DrainMessages() != 0 && link.DrainMessages() != 0) {
    MessageBox("повтори запуск чтения!", "Error", MsgButtons::Ok, MsgIcon::Information);
    return;
  }

  pagesAtLastTick_ = 0;
  SelCount = 0;
  SelFiles.fill(FileEntry{});
  if (CB_fat->isChecked()) {
    for (unsigned r = 1; r <= Fat.FatCount && r <= kFatFileRows; ++r) {
      const FileEntry& row = Fat.FatFiles[r - 1];
      if (Marked(*SG_f, static_cast<int>(r)) && Downloadable(row)) SelFiles[SelCount++] = row;
    }
  } else {
    // One entry, the typed page range, which may hold several recordings.
    SelFiles = Fat.FatFiles;
    SelCount = 1;
    L_dl_fatClick();
    SelFiles[0].BeginPage = BegPage;
    SelFiles[0].EndPage = EndPage;
    WriteLog(toolkit::FormatText("\nЧитаем карту от %u до %u;   ", BegPage, EndPage));
    // A range that ends before it begins holds nothing to read.
    if (EndPage < BegPage) SelCount = 0;
  }

  if (!ReadSetupBlock()) {
    const char* text = "Ошибка при чтении Setup'a Unit'a.  DefaultSetup.";
    MessageBox(text, "Error", MsgButtons::Ok, MsgIcon::Information);
    WriteLog(text);
    // The recorded channels of the status count as event channels; the count then becomes the
    // recorder's own.
    DefaultSetup(*Setup, GlobalStatus(), ChannelCount);
  }

  if (SelCount == 0) {
    MessageBox(" ! Нет выбранных файлов !", "error", MsgButtons::Ok, MsgIcon::Error);
    DownloadDone();
    return;
  }
  if (!DataDirUsable()) {
    DownloadDone();
    return;
  }
  // "коррекция времени": the first chosen file alone, after the check of its synchronisation.
  if (SB_korr->isChecked() && !CheckTimeCorrection()) {
    DownloadDone();
    return;
  }

  downloadStartTick_ = platform::GetTickCount();
  L_rd->clear();
  L_dt->clear();
  SB_id->setEnabled(false);
  P_rd->show();
  for (QWidget* w : std::initializer_list<QWidget*>{B_read, P_knopok, BB_status, P_cmd, BB_close, P_dop}) {
    w->setEnabled(false);
  }
  PB->setValue(0);
  PB->show();

  // Captions through Synchronize, in the thread's order; the end through the queue, since DownloadDone
  // joins the thread. The GUI thread serves both whenever it waits for the thread.
  QPointer<Trecorder> self(this);
  auto onGui = [self](void (*set)(Trecorder&, const QString&)) {
    return [self, set](const std::string& text) {
      platform::ui::Synchronize([&] {
        if (self) set(*self, Q(text));
      });
    };
  };
  acquisition::DownloadHooks hooks;
  hooks.Log = [](const std::string& text) { return TheWorkLog().Append(text); };
  hooks.ShowFileName = onGui([](Trecorder& w, const QString& t) { w.L_dt->setText(t); });
  hooks.ShowButton = onGui([](Trecorder& w, const QString& t) { w.B_read->setText(t); });
  hooks.ShowSummary = onGui([](Trecorder& w, const QString& t) { w.L_N->setText(t); });
  // Set when the window closes: the report of the download that this cuts short goes to the work log only.
  auto closing = std::make_shared<std::atomic<bool>>(false);
  hooks.Message = [closing](const std::string& text, const std::string& caption) {
    const bool report = caption == acquisition::kIncompleteCaption;
    if (report && closing->load()) return;
    MessageBox(text, caption, MsgButtons::Ok, report ? MsgIcon::Warning : MsgIcon::Error);
  };
  hooks.Done = [self] {
    platform::ui::PostToGui([self] {
      if (self) self->DownloadDone();
    });
  };

  ReadThread =
      std::make_unique<acquisition::TrdBce>(link, SettingsOf(*this), Progress, ReadTotal, std::move(hooks));
  B_read->setText(kCancelCaption);
  B_read->setEnabled(true);
  bool started = false;
  try {
    started = ReadThread->Start();
  } catch (const std::system_error&) {
    started = false;
  }
  if (!started) {
    ReadThread.reset();
    MessageBox("ошибка создания  <TrdBce>!", "error", MsgButtons::Ok, MsgIcon::Error);
    // Nothing runs: the commands come back at once.
    DownloadDone();
    return;
  }
  // Closing the window cancels the download and waits for it, so its last file is complete.
  downloadHook_ = Shutdown().Add("TrdBce", [this, closing] {
    closing->store(true);
    if (!ReadThread) return;
    ReadThread->Terminate();
    platform::ui::WaitServing([this] { return ReadThread == nullptr; });
  });
}

void Trecorder::DownloadDone() {
  if (ReadThread) {
    platform::ui::JoinServing(ReadThread->Thread());
    ReadThread.reset();
  }
  downloadHook_.Release();
  ReadTotal = 0;
  PB->setValue(0);
  PB->hide();
  B_read->setText(kReadCaption);
  for (QWidget* w : std::initializer_list<QWidget*>{BB_close, P_cmd, P_dop, P_knopok, BB_status, SB_id}) {
    w->setEnabled(true);
  }
  P_rd->hide();
  // A download whose work log did not open has said so and read nothing: the window goes on.
  platform::ui::NotifyGuiWaiters();
}

void Trecorder::B_dl_readClick() {
  ReadPortion =
      ReadPortion >= kLargestPortion ? kPortionStep : static_cast<uint16_t>(ReadPortion + kPortionStep);
  const std::string text = ReadPortionCaption(ReadPortion, Setup ? Setup->Language : 0);
  B_dl_read->setText(Q(text));
  WriteLog(text);
}

void Trecorder::UD_dlClick() {
  const int minutes = std::max(0, UD_dl->value());
  if (Setup) Setup->FileMinutes = static_cast<uint8_t>(std::min(minutes, 255));
  P_dl->setText(Q(FileLengthCaption(minutes)));
}

}  // namespace recorder
