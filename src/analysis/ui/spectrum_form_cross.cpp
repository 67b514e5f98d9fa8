// The cross-spectrum commands of the spectrum window: "вз-й спектр" (the processed channel against the
// next), "вз-й всех;" (channel 0 against every other channel) and the button that chooses what they draw.
#include <QAction>
#include <QCheckBox>
#include <QPainter>
#include <QPushButton>
#include <algorithm>
#include <cmath>

#include "analysis/cross_spectrum.h"
#include "analysis/cross_spectrum_file.h"
#include "analysis/finite_cells.h"
#include "analysis/spectrum_limits.h"
#include "analysis/spectrum_values.h"
#include "analysis/ui/spectrum_form.h"
#include "platform/clock.h"
#include "platform/ui/colors.h"
#include "platform/ui/message_box.h"
#include "toolkit/format_text.h"
#include "viewer/channel_colors.h"
#include "viewer/channel_samples.h"

namespace analysis {

namespace {

constexpr const char* kPressAnyKey = "Нажми любую клавишу";

// Samples of memory channel `ch` when the selection lies inside what it holds; otherwise null.
const float* ChannelData(const toolkit::SetupRecord& s, int ch) {
  const viewer::ChannelSamples& samples = viewer::GlobalChannelSamples();
  if (ch < 0 || ch >= s.ChannelCount || ch >= 64) return nullptr;
  const float* x = samples[static_cast<size_t>(ch)];
  const int64_t held =
      std::min<int64_t>(s.Samples, static_cast<int64_t>(samples.Capacity(static_cast<size_t>(ch))));
  if (x == nullptr || s.Nn < 0 || s.Nk <= s.Nn || s.Nk > held || !(s.Dt > 0.0)) return nullptr;
  return x;
}

void PressAnyKey() {
  platform::ui::MessageBox(kPressAnyKey, "", platform::ui::MsgButtons::Ok, platform::ui::MsgIcon::Question);
}

void WriteCrossFile(const toolkit::SetupRecord& s, const std::string& text, int64_t zeroed) {
  std::string error;
  if (!WriteTextFile(CrossFileName(s), text, error))
    platform::ui::ShowMessage(error);
  else if (zeroed > 0)
    platform::ui::ShowMessage(ZeroedCellsNote(CrossFileName(s), zeroed));
}

}  // namespace

// Draws values[k] for k = first .. last as heights `scale` pixels per unit above the bottom line.
static void DrawHeights(TForm_spek& f, const std::vector<double>& values, int32_t first, int32_t last, double scale,
                        uint32_t bgr) {
  last = std::min<int32_t>(last, static_cast<int32_t>(values.size()) - 1);
  if (last < first) return;
  const int bins = std::max<int>(toolkit::Setup->SpectrumLastBin, 1);
  const int bottom = f.Plot.Bottom;
  QPolygon line;
  for (int32_t k = first; k <= last; ++k) {
    double y = bottom - values[k] * scale;
    if (!std::isfinite(y)) y = bottom;
    line << QPoint(BinX(f.Plot, k, bins), static_cast<int>(std::clamp(y, 0.0, static_cast<double>(bottom))));
  }
  QPainter p(&f.PBs->Image());
  p.setPen(platform::ui::ColorFromBgr(bgr));
  if (line.size() == 1)
    p.drawPoint(line[0]);
  else
    p.drawPolyline(line);
}

void TForm_spek::H_i_KOGERClick() {
  static const char* const kCaptions[] = {"передаточная функция", "передаточная и когер.",
                                          "Во вз. спектре рисуем все"};
  TransferMode = (TransferMode + 1) % 3;
  H_i_KOGER->setText(kCaptions[TransferMode]);
}

void TForm_spek::Bza_spClick(QAction* sender) {
  toolkit::SetupRecord& s = S();
  if (s.SpectrumScale != 0) {
    platform::ui::ShowMessage("только в линейном масштабе");
    return;
  }
  if (!CB_am_sp->isChecked()) {
    platform::ui::ShowMessage("масштаб  AUTO");
    CB_am_sp->setChecked(true);
    CB_am_spClick();
  }
  if (s.ChannelCount < 2) {
    platform::ui::ShowMessage("а чего с чем?");
    return;
  }
  bool done = false;
  if (sender == B3_Bcex) {
    done = H_i_kog_all();
  } else {
    if (s.Channel + 1 >= s.ChannelCount) {
      platform::ui::ShowMessage("обрабатываем каналы 0 и 1");
      s.Channel = 0;
    }
    done = H_i_kog();
  }
  if (!done) return;
  Buffers.CrossMode = 1;
  EnableSpectrumMenus(1);
}

bool TForm_spek::BeginCrossComputation(int32_t& n) {
  toolkit::SetupRecord& s = S();
  std::string error;
  n = CheckedModeLength(s, 0, error);
  if (n == 0) {
    platform::ui::ShowMessage(error);
    return false;
  }
  RedrawValid = 0;
  CursorMode = 0;
  ClampShift(s);
  ClampBins(s, n / 2);
  Buffers.N = n;
  PBs->Clear();
  ClearRect = QRect(QPoint(0, 0), PBs->Image().size());
  return true;
}

bool TForm_spek::H_i_kog() {
  toolkit::SetupRecord& s = S();
  const int ch = s.Channel;
  const float* x0 = ChannelData(s, ch);
  const float* x1 = ChannelData(s, ch + 1);
  if (x0 == nullptr || x1 == nullptr) {
    platform::ui::ShowMessage("нет данных для спектра: загрузите запись и выделите участок");
    return false;
  }
  int32_t n = 0;
  if (!BeginCrossComputation(n)) return false;
  const int32_t half = n / 2;
  CrossInput in{x0, x1, s.Nn, s.Nk, n, s.SpectrumShift, s.WindowType};
  const CrossSums sums = ComputeCrossSums(in, Buffers.Window, &Buffers);
  Buffers.IntervalCount = sums.intervals;
  for (int32_t k = 0; k < half; ++k) Buffers.WorkBuffer[k] = static_cast<float>(std::sqrt(sums.S00[k]));
  const int32_t last = s.SpectrumLastBin;
  const TransferCurves t = Transfer(sums, last, false);
  const int32_t hi = last - 2;
  const auto colour = [](int i) { return viewer::ChannelColors[i]; };
  ScaleLog = false;
  ScaleMin = 0.0f;

  if (TransferMode == 2) {
    const double top = std::sqrt(LargestCrossPower(sums));
    ScaleHeight = static_cast<float>(Plot.PlotHeight);
    ScaleMax = static_cast<float>(top);
    DrawSpectrumAxes(ScaleHeight, 0.0, top, n);
    DrawText(220, 22, "Спектp: ", 0xFFFF00);
    const double scale = ScaleHeight / top;
    std::vector<double> a(hi + 1 > 0 ? hi + 1 : 0);
    const struct {
      int colourIndex;
      const char* label;
      int x;
    } curves[] = {{9, "0-0;", 330}, {10, "1-1;", 410}, {11, "0-1;", 490}};
    for (int c = 0; c < 3; ++c) {
      for (int32_t k = 1; k <= hi && k < half; ++k)
        a[k] = c == 0 ? std::sqrt(sums.S00[k])
                      : c == 1 ? std::sqrt(sums.S11[k]) : std::sqrt(std::hypot(sums.C[k], sums.Q[k]));
      DrawHeights(*this, a, 1, std::min(hi, half - 1), scale, colour(curves[c].colourIndex));
      DrawText(curves[c].x, 22, curves[c].label, colour(curves[c].colourIndex));
      Present();
      PressAnyKey();
    }
  }

  const double hmax = std::max(t.Hmax, kTransferFloor);
  const double step = 1.0 / (n * s.Dt);
  DrawText(220, 47, QString::fromStdString(toolkit::FormatText("H(f);  Hmax(%.2f) = %.4f;", t.HmaxBin * step, hmax)),
           colour(14));
  double scale = 0.0;
  if (TransferMode == 2) {
    scale = 200.0 / hmax;
  } else {
    ScaleHeight = static_cast<float>(Plot.PlotHeight);
    ScaleMax = static_cast<float>(hmax);
    DrawSpectrumAxes(ScaleHeight, 0.0, hmax, n);
    scale = ScaleHeight / hmax;
  }
  DrawHeights(*this, t.H, 5, hi, scale, colour(14));
  if (CB_fase->isChecked()) {
    DrawText(570, 22, "fase;", colour(12));
    std::vector<double> code(t.Phase.size());
    for (size_t k = 0; k < code.size(); ++k) code[k] = PhaseCode(t.Phase[k]);
    DrawHeights(*this, code, 5, hi, 1.0, colour(12));
    Present();
    PressAnyKey();
  }
  if (TransferMode != 0) {
    const double gmax = std::max(t.Gmax, kTransferFloor);
    DrawText(220, 72,
             QString::fromStdString(toolkit::FormatText("G(f);  Gmax(%.2f) = %.2f;", t.GmaxBin * step, gmax)),
             colour(13));
    scale = 200.0 / gmax;
    DrawHeights(*this, t.G, 5, hi, scale, colour(13));
  }
  Present();
  int64_t zeroed = 0;
  const std::string text = PairCrossText(s, ch, sums, t, last, &zeroed);
  WriteCrossFile(s, text, zeroed);
  s.SpectrumFirstBin = 0;
  s.SpectrumCount = t.GmaxBin;
  s.SpectrumMax = static_cast<float>(scale);
  s.SpectrumEnd = static_cast<uint32_t>(sums.end);
  return true;
}

bool TForm_spek::H_i_kog_all() {
  toolkit::SetupRecord& s = S();
  if (s.WindowType == 3) {
    platform::ui::ShowMessage("смени на окно хеmминга");
    return false;
  }
  const int count = std::min<int>(s.ChannelCount, 64);
  std::vector<const float*> x(count);
  for (int c = 0; c < count; ++c) {
    x[c] = ChannelData(s, c);
    if (x[c] == nullptr) {
      platform::ui::ShowMessage("нет данных для спектра: загрузите запись и выделите участок");
      return false;
    }
  }
  int32_t n = 0;
  if (!BeginCrossComputation(n)) return false;
  const int32_t half = n / 2;
  const int32_t last = s.SpectrumLastBin;
  const int32_t hi = last - 2;
  std::vector<TransferCurves> curves;
  curves.reserve(count - 1);
  CrossSums sums;
  double hmax = kTransferFloor, gmax = kTransferFloor;
  for (int c = 1; c < count; ++c) {
    CrossInput in{x[0], x[c], s.Nn, s.Nk, n, s.SpectrumShift, s.WindowType};
    sums = ComputeCrossSums(in, Buffers.Window, c == 1 ? &Buffers : nullptr);
    if (c == 1)
      for (int32_t k = 0; k < half; ++k) Buffers.WorkBuffer[k] = static_cast<float>(std::sqrt(sums.S00[k]));
    curves.push_back(Transfer(sums, last, true));
    hmax = std::max(hmax, curves.back().Hmax);
    gmax = std::max(gmax, curves.back().Gmax);
  }
  Buffers.IntervalCount = sums.intervals;
  ScaleLog = false;
  ScaleMin = 0.0f;
  ScaleHeight = static_cast<float>(Plot.PlotHeight);
  ScaleMax = static_cast<float>(hmax);
  DrawSpectrumAxes(ScaleHeight, 0.0, hmax, n);
  const double scale = ScaleHeight / hmax;
  for (int c = 1; c < count; ++c) {
    int i = c + 9;
    while (i > 15) i -= 15;
    const uint32_t bgr = viewer::ChannelColors[i];
    const TransferCurves& t = curves[c - 1];
    DrawText(70 * c, 22, QString::fromStdString(toolkit::FormatText("00-%02d", c)), bgr);
    DrawHeights(*this, t.H, 5, hi, scale, bgr);
    if (CB_fase->isChecked()) {
      std::vector<double> code(t.Phase.size());
      for (size_t k = 0; k < code.size(); ++k) code[k] = PhaseCode(t.Phase[k]);
      DrawHeights(*this, code, 5, hi, 1.0, bgr);
    }
    if (TransferMode != 0) DrawHeights(*this, t.G, 5, hi, 200.0 / gmax, bgr);
    if (s.DrawDelay > 0) {
      Present();
      platform::Sleep(static_cast<uint32_t>(s.DrawDelay));
    }
  }
  Present();
  int64_t zeroed = 0;
  const std::string text = AllCrossText(s, n, curves, last, &zeroed);
  WriteCrossFile(s, text, zeroed);
  s.SpectrumFirstBin = 0;
  s.SpectrumCount = sums.intervals;
  s.SpectrumMax = static_cast<float>(scale);
  s.SpectrumEnd = static_cast<uint32_t>(sums.end);
  return true;
}

}  // namespace analysis
