// The spectrum command: spectra over intervals (FFT) and single direct transforms, drawn while they
// are computed.
#include <QPainter>
#include <QProgressBar>
#include <algorithm>
#include <cmath>

#include "analysis/interval_spectrum.h"
#include "analysis/spectrum_colors.h"
#include "analysis/spectrum_limits.h"
#include "analysis/ui/spectrum_form.h"
#include "platform/clock.h"
#include "platform/ui/colors.h"
#include "platform/ui/message_box.h"
#include "toolkit/funk.h"
#include "viewer/channel_samples.h"

namespace analysis {

namespace {
constexpr uint32_t kPresentMs = 16;  // at most 60 pictures a second
}  // namespace

const float* TForm_spek::SelectedSamples() {
  toolkit::SetupRecord& s = S();
  const viewer::ChannelSamples& samples = viewer::GlobalChannelSamples();
  const int ch = s.Channel;
  const float* x = samples[static_cast<size_t>(ch)];
  const int64_t held = std::min<int64_t>(s.Samples, static_cast<int64_t>(samples.Capacity(static_cast<size_t>(ch))));
  if (x == nullptr || s.Nn < 0 || s.Nk <= s.Nn || s.Nk > held || !(s.Dt > 0.0)) {
    platform::ui::ShowMessage("нет данных для спектра: загрузите запись и выделите участок");
    return nullptr;
  }
  return x;
}

void TForm_spek::spektrClick() {
  RedrawValid = 0;
  CursorMode = 0;
  toolkit::SetupRecord& s = S();
  const uint16_t mode = s.SpectrumMode <= 2 ? s.SpectrumMode : 0;
  if (mode == 2) s.CursorSpanLength = CursorSpan(s);
  std::string error;
  const int32_t n = CheckedModeLength(s, mode, error);
  if (n == 0) {
    platform::ui::ShowMessage(error);
    return;
  }
  if (SelectedSamples() == nullptr) return;
  ClampShift(s);
  lastMode_ = mode;
  if (mode == 0)
    ComputeIntervalSpectrum(n);
  else
    ComputeSingleSpectrum(n);
  EnableSpectrumMenus(1);
}

void TForm_spek::BeginComputation(int32_t n) {
  PBs->Clear();
  ClearRect = QRect(0, 0, PBs->Image().width(), 122);
  ProgressBar1->setValue(0);
  ProgressBar1->show();
  ClampBins(S(), n / 2);
}

void TForm_spek::ComputeIntervalSpectrum(int32_t n) {
  toolkit::SetupRecord& s = S();
  const float* x = SelectedSamples();
  BeginComputation(n);
  const int32_t half = n / 2;
  const int32_t last = s.SpectrumLastBin;
  IntervalSpectrumInput in;
  in.x = x;
  in.Nn = s.Nn;
  in.Nk = s.Nk;
  in.N = n;
  in.shift = s.SpectrumShift;
  in.windowType = s.WindowType;
  IntervalSpectrum run(Buffers, in);
  lastStart_ = s.Nn;
  std::vector<int> previous(last + 1, Plot.PlotHeight - 30), current(last + 1);
  int colour = 2;
  float largestDrawn = 0.0f;
  // Every interval is computed; the picture is painted when it can be seen (at most 60 times a second,
  // each interval when a drawing delay is set, and always the first and the last), which leaves the same
  // image as painting each interval: the curve painted last is erased before the next is drawn.
  while (run.More()) {
    run.Next();
    const bool first = Buffers.IntervalCount == 1;
    if (first) StartComputationPlot(run.LargestAmplitude(half - 1));
    largestDrawn = std::max(largestDrawn, run.LargestAmplitude(last));
    if (++colour > 12) colour = 1;
    ProgressBar1->setValue(ProgressPosition(Buffers.IntervalCount, run.Total()));
    const bool paint = first || !run.More() || s.DrawDelay > 0 ||
                       platform::TicksSince(lastPresent_, platform::GetTickCount()) >= kPresentMs;
    if (!paint) continue;
    const std::vector<float>& a = run.Amplitudes();
    for (int32_t k = 0; k <= last; ++k) current[k] = LevelToY(a[k], 140);
    DrawCurve(previous, Background);
    DrawCurve(current, SpectrumColors[colour]);
    previous.swap(current);

    const int32_t p = run.IntervalStart();
    const int32_t m = static_cast<int32_t>(std::min<int64_t>(n, static_cast<int64_t>(s.Nk) - p));
    DrawSampleStrip(x, p, m, n);
    Present();
    if (s.DrawDelay > 0) platform::Sleep(static_cast<uint32_t>(s.DrawDelay));
  }
  const int32_t end = run.Finish();
  s.SpectrumMax = largestDrawn;
  s.SpectrumFirstBin = 0;
  s.SpectrumCount = Buffers.IntervalCount;
  s.SpectrumEnd = static_cast<uint32_t>(end);
  ProgressBar1->hide();
  Present();
}

void TForm_spek::ComputeSingleSpectrum(int32_t n) {
  toolkit::SetupRecord& s = S();
  const float* x = SelectedSamples();
  BeginComputation(n);
  const int32_t start = SingleSpectrumStart(s);
  lastStart_ = start;
  const float largest = analysis::ComputeSingleSpectrum(x, start, s.Nk, n, s.WindowType, Buffers);
  ProgressBar1->setValue(100);
  const double full = FullScale(s.SpectrumScale);
  s.SpectrumMax = static_cast<float>(std::max({1e-10, full, static_cast<double>(largest)}));
  StartComputationPlot(largest);
  std::vector<int> ys(s.SpectrumLastBin + 1);
  for (size_t k = 0; k < ys.size(); ++k) ys[k] = LevelToY(Buffers.WorkBuffer[k], 140);
  DrawCurve(ys, SpectrumColors[2]);
  const int32_t m = static_cast<int32_t>(std::min<int64_t>(n, static_cast<int64_t>(s.Nk) - start));
  DrawSampleStrip(x, start, m, n);
  DrawText(500, 6, QString("длина %1 ").arg(n), 0xFFFF00);
  s.SpectrumFirstBin = 0;
  s.SpectrumCount = 1;
  s.SpectrumEnd = static_cast<uint32_t>(start + n);
  ProgressBar1->hide();
  Present();
}

}  // namespace analysis
