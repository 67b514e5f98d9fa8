// The spectrum plot: axes, scale labels, curves, the sample strip and the redraw from the stored spectrum.
#include <QCheckBox>
#include <QLineEdit>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "analysis/spectrum_limits.h"
#include "analysis/ui/spectrum_form.h"
#include "platform/clock.h"
#include "platform/ui/colors.h"
#include "toolkit/funk.h"

namespace analysis {

namespace {
QColor Colour(uint32_t bgr) { return platform::ui::ColorFromBgr(bgr); }
}  // namespace

void TForm_spek::DrawText(int x, int y, const QString& text, uint32_t bgr) {
  QPainter p(&PBs->Image());
  p.setFont(PBs->font());
  p.setPen(Colour(bgr));
  const QFontMetrics m(p.font());
  p.drawText(QPoint(x, y + m.ascent()), text);
}

int TForm_spek::LevelToY(double v, int top) const {
  LevelRange r;
  r.log = ScaleLog;
  r.lower = ScaleMin;
  r.upper = ScaleMax;
  r.scale = r.log ? ScaleHeight / std::log(r.upper / r.lower) : ScaleHeight / (r.upper - r.lower);
  return LevelY(r, v, Plot.Bottom, top);
}

void TForm_spek::DrawScaleLabels(double height, double lower, double upper) {
  const int width = QFontMetrics(E_ma->font()).horizontalAdvance("0123456789") + 20;
  const int top = static_cast<int>(Plot.Bottom + 5 - height);
  const QString upperText = QString::fromStdString(ScaleLabelText(upper));
  E_ma->setGeometry(Plot.PlotWidth + 5, top, width, E_ma->sizeHint().height());
  E_ma->setText(upperText);
  E_mi->setGeometry(Plot.PlotWidth + 5, Plot.Bottom - 5, width, E_mi->sizeHint().height());
  E_mi->setText(QString::fromStdString(ScaleLabelText(lower)));
  DrawText(Plot.PlotWidth + 11, top, upperText, 0xFFFF00);
}

void TForm_spek::DrawSpectrumAxes(double height, double lower, double upper, int n) {
  LevelRange r;
  r.log = ScaleLog;
  r.lower = lower;
  r.upper = upper;
  const SpectrumAxesPicture pic = SpectrumAxes(Plot, height, r, n, S().Dt, S().SpectrumLastBin);
  {
    QPainter p(&PBs->Image());
    p.setFont(PBs->font());
    const QFontMetrics m(p.font());
    for (const AxisLine& l : pic.lines) {
      p.setPen(QPen(Colour(0x008000), 1, l.dashed ? Qt::DashDotLine : Qt::SolidLine));
      p.drawLine(l.x1, l.y1, l.x2, l.y2);
    }
    p.setPen(Colour(0xFFFF00));
    for (const AxisText& t : pic.texts) p.drawText(QPoint(t.x, t.y + m.ascent()), QString::fromStdString(t.text));
  }
  DrawScaleLabels(height, lower, upper);
}

void TForm_spek::StartComputationPlot(double largest) {
  ScaleHeight = static_cast<float>(Plot.PlotHeight - 125);
  const LevelRange r = ComputationLevelRange(largest, S().SpectrumScale, CB_am_sp->isChecked(), S().LogFloor,
                                             Manual, ScaleHeight);
  ScaleLog = r.log;
  ScaleMin = static_cast<float>(r.lower);
  ScaleMax = static_cast<float>(r.upper);
  DrawSpectrumAxes(ScaleHeight, ScaleMin, ScaleMax, Buffers.N);
}

void TForm_spek::DrawCurve(const std::vector<int>& ys, uint32_t bgr, size_t first) {
  if (ys.size() <= first) return;
  QPainter p(&PBs->Image());
  p.setPen(Colour(bgr));
  const int last = std::max<int>(S().SpectrumLastBin, 1);
  QPoint prev(BinX(Plot, static_cast<int>(first), last), ys[first]);
  if (ys.size() == first + 1) p.drawPoint(prev);
  for (size_t k = first + 1; k < ys.size(); ++k) {
    const QPoint next(BinX(Plot, static_cast<int>(k), last), ys[k]);
    p.drawLine(prev, next);
    prev = next;
  }
}

void TForm_spek::DrawSampleStrip(const float* x, int32_t first, int32_t count, int32_t n) {
  const toolkit::SetupRecord& s = S();
  const float chMin = s.Channel < 64 ? s.ChannelMin[s.Channel] : 0.0f;
  const float chMax = s.Channel < 64 ? s.ChannelMax[s.Channel] : 0.0f;
  const double q = chMax - chMin > 1e-10 ? 95.0 / (static_cast<double>(chMax) - chMin) : 1.0;
  QPainter p(&PBs->Image());
  p.fillRect(ClearRect, Colour(Background));
  p.setPen(Colour(0xFF0000));
  const auto yOf = [&](float v) {
    const double y = chMin * q + 120.0 - v * q;
    return static_cast<int>(std::clamp(std::isfinite(y) ? y : 120.0, 0.0, 121.0));
  };
  const auto xOf = [&](int64_t i) { return static_cast<int>(i * 512 / n + 5); };
  if (count > 1024) {
    // Many samples to a column: each column as the stroke from its lowest to its highest sample.
    int64_t i = 0;
    while (i < count) {
      const int column = xOf(i);
      float lo = x[first + i], hi = lo;
      for (; i < count && xOf(i) == column; ++i) {
        lo = std::min(lo, x[first + i]);
        hi = std::max(hi, x[first + i]);
      }
      p.drawLine(column, yOf(lo), column, yOf(hi));
    }
  } else {
    QPolygon line;
    line.reserve(count);
    for (int32_t i = 0; i < count; ++i) line << QPoint(xOf(i), yOf(x[first + i]));
    p.drawPolyline(line);
  }
  p.end();
  const std::string start = toolkit::GlobalFunk().DateTimeText(s.Header.StartTicks, first * s.Dt);
  DrawText(20, 6, QString::fromStdString(" начало:  " + start), 0xFFFF00);
}

void TForm_spek::Present() {
  lastPresent_ = platform::GetTickCount();
  PBs->repaint();
}

void TForm_spek::summClick() {
  if (!HasSpectrum()) return;  // nothing to redraw, and no bins to bring into a spectrum's half
  toolkit::SetupRecord& s = S();
  RedrawValid = 1;
  ClearRect = QRect(QPoint(0, 0), PBs->Image().size());
  PBs->Clear();
  const int32_t half = std::max(Buffers.N / 2, 2);
  ClampBins(s, half);
  float largest = 1e-10f;
  for (int k = s.SpectrumFirstBin; k <= s.SpectrumLastBin; ++k)
    if (std::isfinite(Buffers.WorkBuffer[k])) largest = std::max(largest, Buffers.WorkBuffer[k]);
  ScaleHeight = static_cast<float>(Plot.PlotHeight);
  const LevelRange r =
      RedrawLevelRange(largest, s.SpectrumScale, CB_am_sp->isChecked(), s.LogFloor, Manual, ScaleHeight);
  ScaleLog = r.log;
  ScaleMin = static_cast<float>(r.lower);
  ScaleMax = static_cast<float>(r.upper);
  if (r.drawNothing) {
    PBs->update();
    return;
  }
  DrawSpectrumAxes(ScaleHeight, ScaleMin, ScaleMax, Buffers.N);
  std::vector<int> ys(s.SpectrumLastBin + 1);
  for (size_t k = 0; k < ys.size(); ++k) ys[k] = LevelToY(Buffers.WorkBuffer[k], 20);
  DrawCurve(ys, 0x00FF00);
  PBs->update();
}

void TForm_spek::FormPaint() {
  if (summ->isEnabled() && RedrawValid != 0) summClick();
}

}  // namespace analysis
