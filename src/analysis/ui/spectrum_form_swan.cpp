// "CBAH;": the spectral-temporal map of the selection, drawn in the spectrum window's colours with its
// labels, the source trace above it, and written to "cwan".
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <new>

#include "analysis/finite_cells.h"
#include "analysis/spectral_time_analysis.h"
#include "analysis/spectrum_axes.h"
#include "analysis/spectrum_colors.h"
#include "analysis/ui/spectrum_form.h"
#include "platform/clock.h"
#include "platform/ui/colors.h"
#include "platform/ui/message_box.h"
#include "toolkit/format_text.h"
#include "toolkit/funk.h"
#include "viewer/channel_samples.h"

namespace analysis {

namespace {

QColor Bgr(uint32_t bgr) { return platform::ui::ColorFromBgr(bgr); }

// n samples of y as a trace across [left, left + width), centred on row y0, `scale` pixels per unit;
// columns holding several samples are drawn as the stroke from their lowest to their highest sample.
void DrawTrace(QPainter& p, const float* y, int32_t n, int left, int width, int y0, double scale) {
  const auto yOf = [&](double v) { return static_cast<int>(std::lround(y0 - std::clamp(v * scale, -1e4, 1e4))); };
  int32_t i = 0;
  while (i < n) {
    const int column = static_cast<int>(static_cast<int64_t>(i) * width / n);
    float lo = y[i], hi = y[i];
    for (; i < n && static_cast<int>(static_cast<int64_t>(i) * width / n) == column; ++i) {
      lo = std::min(lo, y[i]);
      hi = std::max(hi, y[i]);
    }
    p.drawLine(left + column, yOf(lo), left + column, yOf(hi));
  }
}

}  // namespace

// "CBAH;": the spectral-temporal analysis of the selection.
void TForm_spek::CBAH1Click() {
  RedrawValid = 0;
  const bool summWasEnabled = summ->isEnabled();
  summ->setEnabled(false);
  CB_am_spClick();
  RunSpectralTemporalAnalysis(S().Nn, S().Nk, static_cast<float>(S().Dt));
  if (summWasEnabled) summ->setEnabled(true);
}

void TForm_spek::RunSpectralTemporalAnalysis(int32_t first, int32_t end, float dt) {
  (void)end;  // the map covers N samples from the start, padded with zeros past the data
  toolkit::SetupRecord& s = S();
  std::string error;
  const SwanSettings settings = SwanSettingsOf(s, error);
  if (!error.empty()) {
    platform::ui::ShowMessage(error);
    return;
  }
  const float* x = SelectedSamples();
  if (x == nullptr) return;
  const viewer::ChannelSamples& samples = viewer::GlobalChannelSamples();
  const int64_t available =
      std::min<int64_t>(s.Samples, static_cast<int64_t>(samples.Capacity(static_cast<size_t>(s.Channel))));

  PBs->Clear();
  QImage& image = PBs->Image();
  const SwanPlacement geo = SwanPlacementOf(image.width(), image.height());
  const int32_t half = settings.N / 2;
  const double nyquist = 0.5 / dt;

  // The step display: each row's filter, its filtered signal and the source.
  std::vector<float> signal;
  double signalScale = 0.0;
  if (s.SwanDetailed == 1) {
    signal.assign(settings.N, 0.0f);
    for (int32_t i = 0; i < settings.N && first + static_cast<int64_t>(i) < available; ++i) signal[i] = x[first + i];
    float big = 0.0f;
    for (float v : signal) big = std::max(big, std::fabs(v));
    signalScale = big > 0.0f ? 50.0 / big : 0.0;
  }
  const auto showRow = [&](const SwanRowView& v) {
    image.fill(Bgr(Background));
    {
      QPainter p(&image);
      const int width = geo.Right() - geo.left;
      std::vector<float> h(v.filter, v.filter + half + 1);
      for (float& a : h) a = static_cast<float>(a / v.hmax);
      p.setPen(Bgr(0x00FFFF));
      DrawTrace(p, h.data(), half + 1, geo.left, width, 130, 100.0);
      float big = 0.0f;
      for (int32_t i = 0; i < settings.N; ++i) big = std::max({big, std::fabs(v.re[i]), std::fabs(v.im[i])});
      const double q = big > 0.0f ? 50.0 / big : 0.0;
      p.setPen(Bgr(0x00FF00));
      DrawTrace(p, v.re, settings.N, geo.left, width, 220, q);
      p.setPen(Bgr(0xFF00FF));
      DrawTrace(p, v.im, settings.N, geo.left, width, 340, q);
      p.setPen(Bgr(0xFF0000));
      DrawTrace(p, signal.data(), settings.N, geo.left, width, 480, signalScale);
    }
    DrawText(geo.left, 0, QString::fromStdString(toolkit::FormatText("от  0 Hz        до     %7.3f Гц;    max  %.3f",
                                                                     nyquist, v.hmax)),
             0xFFFF00);
    DrawText(geo.left, 150, "real", 0x00FF00);
    DrawText(geo.left, 270, "im. ", 0xFF00FF);
    DrawText(geo.left, 400, QString::fromStdString(toolkit::FormatText("волновой пакет на w(%d)=%.3fГц", v.row, v.W)),
             0xFFFF00);
    Present();
    if (v.strong && s.DrawDelay > 0) platform::Sleep(static_cast<uint32_t>(s.DrawDelay));
    if (v.row % 10 == 5) platform::ui::ShowMessage("Нажми любую клавишу");
  };

  SwanMap map;
  try {
    map = ComputeSwanMap(x, available, first, dt, settings,
                         s.SwanDetailed == 1 ? std::function<void(const SwanRowView&)>(showRow)
                                             : std::function<void(const SwanRowView&)>());
  } catch (const std::bad_alloc&) {
    platform::ui::ShowMessage("Не хватает памяти");
    return;
  }
  if (map.imaginaryResidue) platform::ui::ShowMessage("зачем-то появилась мнимая часть");

  // The colour scale, written back into the scale edits.
  const SwanScale scale = SwanScaleOf(map.maxValue, s.SpectrumScale != 0, CB_am_sp->isChecked(), Manual.ManualMax,
                                      Manual.ManualMin);
  const int editWidth = QFontMetrics(E_ma->font()).horizontalAdvance("0123456789") + 20;
  const int editHeight = E_ma->sizeHint().height();
  E_ma->setGeometry(geo.Right() + 10, geo.top, editWidth, editHeight);
  E_mi->setGeometry(geo.Right() + 10, geo.Bottom() - editHeight, editWidth, editHeight);
  E_ma->setText(QString::fromStdString(ScaleLabelText(scale.hi)));
  E_mi->setText(QString::fromStdString(ScaleLabelText(scale.log ? scale.hi / scale.lo : scale.lo)));

  std::string fileError;
  int64_t zeroed = 0;
  const bool written = WriteSwanFile("cwan", map, fileError, &zeroed);

  image.fill(Bgr(Background));
  {
    QPainter p(&image);
    // The source above the map.
    p.setPen(Bgr(0xFF0000));
    const double q = map.signalMax > 0.0f ? 100.0 / map.signalMax : 0.0;
    DrawTrace(p, map.signal.data(), map.N, geo.left, geo.Right() - geo.left, 75, q / 2.0);
    // The map, low frequencies at the bottom.
    for (int r = 0; r < kSwanRows; ++r)
      for (int c = 0; c < kSwanColumns; ++c)
        p.fillRect(geo.left + c * geo.cellW, geo.RowY(r), geo.cellW, geo.cellH,
                   Bgr(SpectrumColors[SwanLevel(scale, map.at(r, c))]));
  }
  const QFontMetrics fm(PBs->font());
  const int line = fm.height();
  const auto text = [&](int x0, int y0, const std::string& t) { DrawText(x0, y0, QString::fromStdString(t), 0xFFFF00); };
  const double columnTime = map.M * map.dt;
  text(geo.Right() - 330, 4,
       toolkit::FormatText("A( to+%.3fcek, %.3fHz ) = %.5f", map.maxColumn * columnTime, map.centre[map.maxRow],
                           map.maxValue));
  for (int r : {0, 50, 100}) text(2, geo.RowY(r) + geo.cellH / 2 - line / 2, toolkit::FormatText("%6.3f", map.centre[r]));
  const double span = map.N * map.dt;
  const int width = geo.Right() - geo.left;
  int k = 0;
  for (double t : {0.0, span / 2.0, span}) {
    text(geo.left + k * width / 2 - (k == 0 ? 0 : k == 1 ? 30 : 60), geo.Bottom() + 4, toolkit::FormatText("+%6.3f", t));
    ++k;
  }
  toolkit::TFunk& funk = toolkit::GlobalFunk();
  funk.DecodeTimeStamp(s.Header.StartTicks, first * static_cast<double>(s.Dt), 1);
  text(4, 4, toolkit::FormatText("%2d:%6.3f", funk.Calendar.Minute, funk.Calendar.Seconds));
  text(geo.left, geo.Bottom() + 4 + line + 4, SwanFilterLegend(settings.shape, settings.g));
  const std::string smoothing = SwanSmoothingLegend(settings.passes);
  if (!smoothing.empty()) text(geo.left, geo.Bottom() + 4 + 2 * (line + 4), smoothing);
  Present();
  if (!written)
    platform::ui::ShowMessage(fileError);
  else if (zeroed > 0)
    platform::ui::ShowMessage(ZeroedCellsNote("cwan", zeroed));
}

}  // namespace analysis
