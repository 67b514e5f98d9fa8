// The main window's analysis commands: "врем.опер." → "производная", "функции" → "корреляционные",
// "поиск" and "гистограмма ", and the six items of "сохранить" that export the selection. The work is
// done by analysis/ (no windows); here the results reach the plot, the lists, the status bar and the
// message boxes.
#include <QAction>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>

#include "analysis/channel_histogram.h"
#include "analysis/correlation.h"
#include "analysis/event_search.h"
#include "analysis/finite_cells.h"
#include "analysis/selection_export.h"
#include "platform/ui/colors.h"
#include "platform/ui/message_box.h"
#include "viewer/channel_colors.h"
#include "viewer/channel_samples.h"
#include "viewer/processing_commands.h"
#include "viewer/ui/main_window.h"
#include "viewer/ui/plot_view_host.h"

namespace viewer {

using toolkit::Setup;

namespace {
constexpr int kSearchColour = 14;  // ChannelColors entry of the search curve (yellow)
}  // namespace

void TForm1::ConnectAnalysisCommands() {
  connect(N9, &QAction::triggered, this, Guarded([this] { N9Click(); }));
  for (QAction* a : {N15, N28})
    connect(a, &QAction::triggered, this, Guarded([this, a] { N_korrelClick(a); }));
  connect(N22, &QAction::triggered, this, Guarded([this] { N22Click(); }));
  connect(Gist_c, &QAction::triggered, this, Guarded([this] { Gist_cClick(); }));
  for (QAction* a : {iz_file, c_ekrana, iz_file_B_txt, c_ekrana_B_txt, iz_file_B_txt_16, N_kazan})
    connect(a, &QAction::triggered, this, Guarded([this, a] { iz_fileClick(a); }));
}

void TForm1::ShowProgress(int position) {
  if (position < 0) {
    P_PB->hide();
    return;
  }
  if (P_PB->isHidden()) {
    ProgressBar1->setRange(0, 100);
    ProgressBar1->resize(300, ProgressBar1->height());
    P_PB->show();
    P_PB->raise();
  }
  ProgressBar1->setValue(position);
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TForm1::N9Click() {
  RunCommand([this](float* const* k) {
    CommandResult res;
    const ChannelSpan span = ProcessedChannels(*Setup);
    for (int c = span.first; c < span.end; ++c) {
      const std::string message = analysis::DifferentiateChannel(*Setup, k[c], toolkit::GlobalFunk());
      if (!message.empty()) {
        res.messages.push_back(message);
        break;
      }
    }
    res.redraw = true;
    return res;
  });
}

void TForm1::N_korrelClick(QAction* sender) {
  RunCommand([this, sender](float* const* k) {
    CommandResult res;
    res.redraw = true;
    const int a = Setup->Channel;
    const int b = sender == N28 ? a + 1 : a;
    if (a >= std::min<int>(Setup->ChannelCount, toolkit::kMaxChannels) ||
        b >= std::min<int>(Setup->ChannelCount, toolkit::kMaxChannels) || k[a] == nullptr || k[b] == nullptr)
      return res;
    ShowProgress(0);
    const std::string message =
        analysis::CorrelateChannels(k[a], k[b], Setup->Samples, toolkit::GlobalFunk(), [this](int p) { ShowProgress(p); });
    ShowProgress(-1);
    if (!message.empty()) res.messages.push_back(message);
    return res;
  });
}

void TForm1::N22Click() {
  if (!Loaded) return;
  const auto k = ChannelPointers(GlobalChannelSamples());
  const ChannelSpan span = ProcessedChannels(*Setup);
  const bool all = span.end - span.first > 1;
  const QColor colour = platform::ui::ColorFromBgr(ChannelColors[kSearchColour]);
  for (int c = span.first; c < span.end; ++c) {
    if (all && (c < Setup->FirstChannel || c >= Setup->ShownEnd)) continue;
    const analysis::SearchDrawing d = analysis::SearchSpectralChange(*Setup, k[c], c, Plot.PlotWidth,
                                                                     Plot.PlotHeight, toolkit::GlobalFunk());
    {
      QPainter p(&PB1->Image());
      p.setPen(colour);
      if (!d.startText.empty()) {
        p.drawText(QRect(1, 2, Plot.PlotWidth, 14), Qt::AlignLeft | Qt::AlignTop,
                   QString::fromStdString(d.startText));
        MainStatus0->setText(QString::fromStdString(d.startText));
      }
      for (size_t i = 1; i < d.curve.size(); ++i)
        p.drawLine(d.curve[i - 1].x, d.curve[i - 1].y, d.curve[i].x, d.curve[i].y);
      if (!d.resultText.empty()) {
        p.drawText(QRect(1, 15, Plot.PlotWidth, 14), Qt::AlignLeft | Qt::AlignTop,
                   QString::fromStdString(d.resultText));
        MainStatus0->setText(QString::fromStdString(d.resultText));
      }
    }
    PB1->update();
    if (!d.error.empty()) {
      platform::ui::ShowMessage(d.error);
      break;
    }
  }
}

void TForm1::Gist_cClick() {
  if (!Loaded) return;
  const auto k = ChannelPointers(GlobalChannelSamples());
  ShowProgress(0);
  const analysis::HistogramReport rep =
      analysis::ChannelHistogram(*Setup, k.data(), [this](int p) { ShowProgress(p); });
  ShowProgress(-1);
  if (!rep.list.empty()) {
    LB_inf->clear();
    for (const std::string& line : rep.list) LB_inf->addItem(QString::fromStdString(line));
    ShowInfoList();
  }
  if (!rep.error.empty()) platform::ui::ShowMessage(rep.error);
  RedrawView(*host_, Setup->CursorMode == 1);
}

void TForm1::iz_fileClick(QAction* sender) {
  if (!Loaded) return;
  const QAction* items[] = {iz_file, c_ekrana, iz_file_B_txt, c_ekrana_B_txt, iz_file_B_txt_16, N_kazan};
  int mode = 0;
  while (mode < 5 && items[mode] != sender) ++mode;
  const auto k = ChannelPointers(GlobalChannelSamples());
  const analysis::ExportResult r = analysis::ExportRecording(*Setup, k.data(), mode, toolkit::GlobalFunk());
  if (!r.error.empty())
    platform::ui::ShowMessage(r.error);
  else if (r.zeroed > 0)
    platform::ui::ShowMessage(analysis::ZeroedCellsNote(r.path, r.zeroed));
}

}  // namespace viewer
