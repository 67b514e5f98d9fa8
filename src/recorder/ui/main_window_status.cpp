// The main window's status display: the status panel, the status grid, the commands the status allows,
// the status watch and the one-second timer.
#include <QCheckBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

#include "platform/clock.h"
#include "platform/ui/message_box.h"
#include "recorder/session_texts.h"
#include "recorder/status_panel.h"
#include "recorder/ui/main_window.h"
#include "recorder/unit_commands.h"
#include "recorder/unit_link.h"
#include "toolkit/format_text.h"

namespace recorder {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

void SetTextColor(QWidget* w, const QColor& color) {
  QPalette p = w->palette();
  p.setColor(QPalette::ButtonText, color);
  p.setColor(QPalette::WindowText, color);
  w->setPalette(p);
}

// The setup block the displays read; a zeroed one before the work has started.
const YSTANOV& SetupOrEmpty(const std::unique_ptr<YSTANOV>& setup) {
  static const YSTANOV empty{};
  return setup ? *setup : empty;
}

constexpr uint32_t kWriteErrorLimit = 6;

}  // namespace

void Trecorder::RefreshStatus() {
  if (!link_) return;
  if (ReadStatus(*link_, GlobalStatus()) != kDone) {
    platform::ui::ShowMessage(link_->Log);
  } else {
    ShowStatus();
  }
}

void Trecorder::BB_statusClick() {
  RefreshStatus();
  UpdateButtons();
  ShowStatusGrid();
}

void Trecorder::ShowStatus() {
  const StatusPanelTexts t = MakeStatusPanel(GlobalStatus(), SetupOrEmpty(Setup), P_dop->isVisible());
  ChannelCount = t.Channels.Count;
  std::copy(std::begin(t.Channels.Numbers), std::end(t.Channels.Numbers), ChannelNumbers);
  L_Fr->setText(Q(t.L_Fr));
  L_yc->setText(Q(t.L_yc));
  L_rd->setText(Q(t.L_rd));
  L_dt->setText(Q(t.L_dt));
  L_t_BK->setText(Q(t.L_t_BK));
  SB_id->setText(Q(t.SB_id));
  L_stat->setText(Q(t.L_stat));
  BB_status->setText(Q(t.StatusCaption));
  SetTextColor(BB_status, t.CaptionRed ? Qt::red : Qt::black);
  if (t.L_SIN) L_SIN->setText(Q(*t.L_SIN));
  L_kapt->setText(Q(t.L_kapt));
  if (t.L_cap) L_cap->setText(Q(*t.L_cap));
  if (t.StatusBar) StatusB->showMessage(Q(*t.StatusBar));
}

void Trecorder::ShowStatusGrid() {
  const bool detailed = P_dop->isVisible();
  const std::vector<GridRow> rows =
      MakeStatusGrid(GlobalStatus(), SetupOrEmpty(Setup), SampleClock, detailed);
  SG_f->clearContents();
  SG_f->setColumnCount(2);
  SG_f->setRowCount(static_cast<int>(rows.size()));
  SG_f->horizontalHeader()->setStretchLastSection(true);
  SG_f->setColumnWidth(0, 100);
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    SG_f->setItem(r, 0, new QTableWidgetItem(Q(rows[r].Name)));
    SG_f->setItem(r, 1, new QTableWidgetItem(Q(rows[r].Value)));
  }
}

void Trecorder::AllowCommand(QWidget* command, bool statusAllows) {
  command->setEnabled(statusAllows && readyCommands_.contains(command));
}

void Trecorder::UpdateButtons() {
  const StatusBlock& st = GlobalStatus();
  SB_id->setText(Q(toolkit::FormatText("N %u", unsigned{UnitNumber(st)})));
  AllowCommand(B_run, (st.sysRG & kRgSynchronised) != 0 || P_dop->isVisible());
  const bool working = (st.sysRG & (kRgAdcOn | kRgWaiting)) != 0;
  AllowCommand(B_set, !working);
  AllowCommand(B_fat, !working);
  AllowCommand(B_transl, !working);
  AllowCommand(B_stop, working);
  B_stop->setVisible(working);
  B_run->setVisible(!working);
}

void Trecorder::SB_idClick() {
  const QList<QWidget*> watched = {P_cmd, P_knopok, P_par_Rd_FL, P_car, B_read, BB_status};
  if (SB_id->isChecked()) {
    if (link_) link_->DrainMessages();
    B_read->setEnabled(false);
    for (QWidget* w : watched) w->hide();
    P_dop->setEnabled(false);
    P_dop->setAutoFillBackground(true);
    QPalette grey = P_dop->palette();
    grey.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));  // 8421504
    P_dop->setPalette(grey);
  } else {
    for (QWidget* w : watched) w->show();
    P_dop->setEnabled(true);
    P_dop->setPalette(palette());
    P_dop->setAutoFillBackground(false);
  }
}

void Trecorder::SB_dopClick() {
  if (SB_dop->isChecked()) {
    resize(762, height());
    P_dop->show();
    P_Wuz->show();
  } else {
    P_dop->hide();
    P_Wuz->hide();
    resize(630, height());
    E_Kon_adr->setEnabled(false);
    E_Beg_adr->setEnabled(false);
    CB_fat->setChecked(true);
  }
}

void Trecorder::Tmer2Timer() {
  L_time->setText(Q(PcClockCaption(platform::CurrentClock().NowUtc())));
  auto linkFailed = [this] {
    if (!link_ || link_->WriteErrors <= kWriteErrorLimit) return false;
    Tmer2->stop();
    platform::ui::MessageBox("о ш и б к а   с в я з и !", "E r r o r !", platform::ui::MsgButtons::Ok,
                             platform::ui::MsgIcon::Error);
    close();
    return true;
  };
  if (linkFailed()) return;

  if (SB_id->isChecked() && link_) {
    UnitLink& link = *link_;
    link.Log.clear();
    const bool notWritten = SendStatusRequest(link);
    if (linkFailed()) return;
    // A request that was not written has no answer to wait for.
    if (!notWritten && WaitStatus(link, GlobalStatus()) == kDone) {
      ShowStatus();
      UpdateButtons();
      ShowStatusGrid();
    }
  }

  SetTextColor(L_rd, Progress.ErrorPages.load() != 0 ? Qt::red : Qt::black);

  const double total = ReadTotal.load();
  if (total != 0 && P_rd->isVisible()) {
    const uint32_t done = Progress.PagesDone.load() + Progress.PagesInPortion.load();
    const uint32_t file = Progress.FileIndex.load();
    const uint32_t first = file < SelFiles.size() ? SelFiles[file].BeginPage : 0;
    L_rd->setText(Q(toolkit::FormatText("N_%02u;  c.%07u ", file, done + first)));
    PB->setValue(static_cast<int>(done * 100.0 / total));
    const uint32_t d = done - pagesAtLastTick_;
    pagesAtLastTick_ = done;
    const uint32_t seconds = platform::TicksSince(downloadStartTick_, platform::GetTickCount()) / 1000;
    if (d > 100) {
      L_N->setText(Q(toolkit::FormatText("%03ucek  (%03uKb/cek  -  ~%.0fcек );", seconds, d / 2,
                                         (total - Progress.PagesDone.load()) / d)));
    } else {
      L_N->setText(Q(toolkit::FormatText("%03ucek  (%03uKb/cek);", seconds, d / 2)));
    }
  }
}

}  // namespace recorder
