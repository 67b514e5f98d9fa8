// The main window's commands around the record as a whole: reading the files of a station or of all
// stations, the overview strip, the correction for the instrument response and the directory variance.
#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QListWidget>
#include <QProgressBar>

#include "platform/ui/message_box.h"
#include "platform/ui/screen.h"
#include "toolkit/funk.h"
#include "viewer/channel_samples.h"
#include "viewer/directory_variance.h"
#include "viewer/response_correction.h"
#include "viewer/station_loader.h"
#include "viewer/ui/main_window.h"
#include "viewer/ui/overview_window.h"

namespace viewer {

using toolkit::Setup;

namespace {
constexpr int kListingHeight = 222;
}  // namespace

void TForm1::ConnectRecordCommands() {
  for (QAction* a : {read_buf, N_Bce_st})
    connect(a, &QAction::triggered, this, Guarded([this, a] { read_bufClick(a); }));
  connect(N_obzor, &QAction::triggered, this, Guarded([this] { N_obzorClick(); }));
  connect(N_ACH, &QAction::triggered, this, Guarded([this] { N_ACHClick(); }));
  connect(N_disp_dir, &QAction::triggered, this, Guarded([this] { N_disp_dirClick(); }));
}

void TForm1::ShowStationOutcome(const StationReadOutcome& outcome) {
  LB_inf->clear();
  for (const std::string& line : outcome.listing) LB_inf->addItem(QString::fromStdString(line));
  for (const StationMessage& m : outcome.messages) {
    if (m.caption.empty()) {
      platform::ui::ShowMessage(m.text);
    } else {
      platform::ui::MessageBox(m.text, m.caption, platform::ui::MsgButtons::Ok,
                               m.stop ? platform::ui::MsgIcon::Error : platform::ui::MsgIcon::None);
    }
  }
  if (outcome.refused) return;
  // The text export copies from one file: it has nothing to copy from after a station read.
  iz_file_B_txt->setEnabled(false);
  LB_inf->resize(LB_inf->width(), kListingHeight);
  if (outcome.filesLoaded > 0) {
    LB_inf->show();
    LB_inf->raise();
  } else {
    for (int ch = 0; ch < toolkit::kMaxChannels; ++ch) {
      float* e = (*ViewEnvelope)[static_cast<size_t>(ch)];
      std::fill(e, e + toolkit::kMaxPlotColumns, 1.0f);
      std::fill(e + kEnvelopeMaxOffset, e + kEnvelopeMaxOffset + toolkit::kMaxPlotColumns, 1.0f);
    }
  }
  setWindowTitle(QString::fromStdString(outcome.caption));
}

void TForm1::ReadStationAgain() {
  const StationReadOutcome outcome =
      CheckStationReadLimits(*Setup, GlobalChannelSamples(), toolkit::GlobalFunk(), toolkit::FieldText(Setup->DataDir));
  ShowStationOutcome(outcome);
  if (outcome.recordLost) Loaded = 0;
}

void TForm1::read_bufClick(QAction* sender) {
  Setup->SeveralStations = sender == N_Bce_st ? 1 : 0;
  for (QAction* a : {iz_file, iz_file_B_txt_16, N_kazan}) a->setEnabled(false);
  const StationReadOutcome outcome =
      CheckStationReadLimits(*Setup, GlobalChannelSamples(), toolkit::GlobalFunk(), toolkit::FieldText(Setup->DataDir));
  ShowStationOutcome(outcome);
  if (outcome.recordLost) {
    Loaded = 0;
    return;
  }
  if (outcome.refused) return;
  Loaded = 1;
  host_->for_curs();
  host_->DrawChannels(0);
  EnableDataMenus(1);
}

void TForm1::N_obzorClick() {
  if (!Loaded) return;
  if (Setup->PixelsPerSample != 1) {
    platform::ui::ShowMessage("Не люблю растянутых рисунков!!!");
    return;
  }
  if (OB3OP == nullptr) {
    TOB3OP::Source source;
    source.setup = Setup;
    source.envelope = OverviewEnvelope.get();
    source.snapshot = &Overview;
    source.plotWidth = &Plot.PlotWidth;
    source.doubleClicked = [this] { OverviewDblClick(); };
    source.closed = [this] { OverviewClose(); };
    OB3OP = std::make_unique<TOB3OP>(this, std::move(source));
  }
  OverviewOn = 1;
  N_obzor->setText("Внести в обзор");
  OB3OP->FitTo(*this);
  OB3OP->show();
  TakeOverviewSnapshot(*Setup, *ViewEnvelope, *OverviewEnvelope, Overview, OB3OP->PB_BCE->height(),
                       Plot.PlotWidth);
  OB3OP->DrawOverview();
  // The main window goes below the strip and shrinks to stay on the screen.
  move(x(), 100);
  const int room = platform::ui::ScreenSize().height() - 5 - 100;
  if (height() > room) resize(width(), std::max(room, 100));
  host_->for_curs();
  host_->DrawChannels(0);
  activateWindow();
}

void TForm1::OverviewDblClick() {
  OverviewOn = 0;
  move(x(), 0);
  Plot.PlotHeight = static_cast<uint16_t>(std::max(PB1->height() - 1, 0));
  activateWindow();
  if (!Loaded) return;
  host_->for_curs();
  host_->DrawChannels(0);
}

void TForm1::OverviewClose() {
  OverviewOn = 0;
  N_obzor->setText("обзор ВКЛ");
  if (Setup == nullptr) return;  // the program is ending
  OverviewDblClick();
  move(x(), 1);
}

void TForm1::N_ACHClick() {
  if (!Loaded || Setup->ChosenCount >= 2) return;
  const bool all = Setup->Channel == Setup->ChannelCount;
  const int from = all ? 0 : Setup->Channel;
  const int to = all ? Setup->ChannelCount : Setup->Channel + 1;
  const std::string name = ResponseFileName(Setup->Header);
  const std::string path = toolkit::ProgramDir + name;
  bool changed = false;
  for (int c = from; c < to; ++c) {
    const int pair = ResponseTablePair(*Setup, c);
    if (c >= kResponseChannels || pair >= kResponseChannels) {
      platform::ui::ShowMessage("не больше 6 !");
      break;
    }
    platform::ui::ShowMessage(ResponseNotice(name.substr(5), path));
    const ResponseTableRead table = ReadResponseTable(path);
    for (const std::string& m : table.messages) platform::ui::ShowMessage(m);
    if (!table.ok) break;
    const std::string refusal = CorrectResponse(GlobalChannelSamples()[static_cast<size_t>(c)], Setup->Samples,
                                                Setup->Dt, table.table, pair, toolkit::GlobalFunk());
    if (!refusal.empty()) {
      platform::ui::ShowMessage(refusal);
      continue;
    }
    changed = true;
  }
  if (!changed) return;
  host_->for_curs();
  host_->DrawChannels(0);
}

void TForm1::N_disp_dirClick() {
  if (!Loaded) return;
  P_PB->show();
  P_PB->raise();
  const DirectoryVarianceOutcome outcome =
      DirectoryVariance(*Setup, toolkit::FieldText(Setup->DataDir), [this](int position, int maximum) {
        ProgressBar1->setRange(0, maximum);
        ProgressBar1->setValue(std::min(position, maximum));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
      });
  P_PB->hide();
  for (const std::string& m : outcome.messages) platform::ui::ShowMessage(m);
}

}  // namespace viewer
