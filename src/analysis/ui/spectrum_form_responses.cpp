// Responses and exports of the spectrum window: "АЧХ;" (peaks of every channel's spectrum for the
// response period), "АЧХ_WZ;" (three-component ratio) and " В ФАЙЛ выше курсора; ".
#include <QCheckBox>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <algorithm>
#include <cmath>

#include "platform/cp1251.h"
#include "analysis/finite_cells.h"
#include "analysis/interval_spectrum.h"
#include "analysis/response_tables.h"
#include "analysis/spectrum_colors.h"
#include "analysis/spectrum_limits.h"
#include "analysis/spectrum_values.h"
#include "analysis/ui/spectrum_form.h"
#include "platform/clock.h"
#include "platform/ui/colors.h"
#include "platform/ui/message_box.h"
#include "toolkit/setup_file.h"
#include "viewer/channel_samples.h"

namespace analysis {

namespace {

std::string ChannelNameText(const toolkit::SetupRecord& s, int c) {
  // Names come from the recording's headers in Windows-1251 and go into UTF-8 text files.
  return c >= 0 && c < 64 ? platform::FieldToTextLine(s.MemChannels[c].Name) : std::string();
}

}  // namespace

void TForm_spek::forACHClick() {
  toolkit::SetupRecord& s = S();
  const int channels = s.ChannelCount;
  if (channels > kMaxResponseChannels) {
    platform::ui::ShowMessage("вызвано на экран больше 8 каналов. Убавь!");
    return;
  }
  if (s.WindowType != 0) platform::ui::ShowMessage("Окно лучше прямоугольное(без окна)!");
  const double period = s.ResponsePeriod;
  const double selected = static_cast<double>(s.CursorSamples[1] - s.CursorSamples[0]) * s.Dt;
  if (period > 0.0 && std::trunc(selected / period + 1e-6) < 1.0) {
    char text[160];
    std::snprintf(text, sizeof text, "Мал выделенный участок.\n Желаемый период %.1f сек больше!", period);
    platform::ui::ShowMessage(text);
    return;
  }
  const double length = s.Header.Rate * (period + 1e-16);
  if (!(period > 0.0) || !(length >= kMinFourierLength && length < kMaxFourierLength + 1.0)) {
    char text[200];
    std::snprintf(text, sizeof text, "период %.3f сек при %u отсчётах в секунду даёт длину вне %u..%u точек",
                  period, static_cast<unsigned>(s.Header.Rate), kMinFourierLength, kMaxFourierLength);
    platform::ui::ShowMessage(text);
    return;
  }
  const int32_t L = static_cast<int32_t>(length);
  s.FourierLength = static_cast<uint32_t>(L);
  RedrawValid = 0;
  CursorMode = 0;
  const uint16_t processed = s.Channel;
  std::vector<ChannelPeaks> tables;
  std::vector<std::string> names;
  for (int c = 0; c < channels; ++c) {
    s.Channel = static_cast<uint16_t>(c);
    if (SelectedSamples() == nullptr) {
      s.Channel = processed;
      return;
    }
    ComputeSingleSpectrum(L);
    tables.push_back(ResponsePeaks(Buffers.WorkBuffer.data(), L, s.Dt));
    names.push_back(ChannelNameText(s, c));
  }
  s.Channel = processed;
  lastMode_ = 1;
  EnableSpectrumMenus(1);
  std::string error;
  int64_t zeroed = 0;
  const std::string path = toolkit::ProgramDir + "for_ACF.txt";
  const std::string text = ResponseText(toolkit::FieldText(s.FileName), names, tables, &zeroed);
  if (!AppendTextFile(path, text, error))
    platform::ui::ShowMessage(error);
  else if (zeroed > 0)
    platform::ui::ShowMessage(ZeroedCellsNote(path, zeroed));
}

void TForm_spek::N_XYZClick() {
  RedrawValid = 0;
  CursorMode = 0;
  ComputeRatioWZ();
  EnableSpectrumMenus(1);
}

void TForm_spek::ComputeRatioWZ() {
  toolkit::SetupRecord& s = S();
  if (s.ChannelCount != 3) {
    platform::ui::ShowMessage("для 3-х каналов только!");
    return;
  }
  s.Channel = 0;
  std::string error;
  const int32_t n = CheckedModeLength(s, 0, error);
  if (n == 0) {
    platform::ui::ShowMessage(error);
    return;
  }
  const float* x[3];
  for (int c = 0; c < 3; ++c) {
    s.Channel = static_cast<uint16_t>(c);
    x[c] = SelectedSamples();
    if (x[c] == nullptr) {
      s.Channel = 0;
      return;
    }
  }
  s.Channel = 0;
  ClampShift(s);
  BeginComputation(n);
  const int32_t half = n / 2;
  const int32_t last = s.SpectrumLastBin;
  const std::string path = toolkit::FieldText(s.FileName) + "_АЧХ_WZ.txt";
  const std::string recording = toolkit::FieldText(s.FileName);

  // Channel 0's interval spectra stay in the window's buffers; the other two use their own.
  SpectrumBuffers other[2];
  IntervalSpectrumInput in;
  in.Nn = s.Nn;
  in.Nk = s.Nk;
  in.N = n;
  in.shift = s.SpectrumShift;
  in.windowType = s.WindowType;
  std::unique_ptr<IntervalSpectrum> run[3];
  for (int c = 0; c < 3; ++c) {
    in.x = x[c];
    run[c] = std::make_unique<IntervalSpectrum>(c == 0 ? Buffers : other[c - 1], in);
  }
  std::vector<double> power[3];
  for (auto& p : power) p.assign(half, 0.0);
  std::vector<float>& ratio = Buffers.WorkBuffer;
  std::vector<int> previous(last + 1, Plot.PlotHeight - 30), current(last + 1);
  int colour = 2;
  float largest = 0.0f;
  int32_t count = 0;
  while (run[0]->More()) {
    for (int c = 0; c < 3; ++c) {
      run[c]->Next();
      const std::vector<float>& a = run[c]->Amplitudes();
      for (int32_t k = 0; k < half; ++k) power[c][k] += static_cast<double>(a[k]) * a[k];
    }
    ++count;
    for (int32_t k = 0; k < half; ++k) ratio[k] = ComponentRatio(power[0][k], power[1][k], power[2][k], count);
    if (count == 1) {
      float first = 1e-10f;
      for (int32_t k = 2; k <= last; ++k) first = std::max(first, ratio[k]);
      StartComputationPlot(first);
    }
    for (int32_t k = 2; k <= last; ++k) {
      current[k] = LevelToY(ratio[k], 140);
      largest = std::max(largest, ratio[k]);
    }
    if (++colour > 12) colour = 1;
    DrawCurve(previous, Background, 2);
    DrawCurve(current, SpectrumColors[colour], 2);
    previous.swap(current);
    ProgressBar1->setValue(ProgressPosition(count, run[0]->Total()));
    if (s.DrawDelay > 0 || !run[0]->More() ||
        platform::TicksSince(lastPresent_, platform::GetTickCount()) >= 16)
      Present();
    if (s.DrawDelay > 0) platform::Sleep(static_cast<uint32_t>(s.DrawDelay));
  }
  const int32_t lastStart = run[0]->IntervalStart();
  Buffers.N = n;
  Buffers.IntervalCount = count;
  Buffers.CrossMode = 0;
  lastMode_ = 0;
  lastStart_ = s.Nn;
  s.SpectrumMax = std::max(s.SpectrumMax, largest);
  s.SpectrumFirstBin = 0;
  s.SpectrumCount = count;
  s.SpectrumEnd = static_cast<uint32_t>(lastStart + n);
  ProgressBar1->hide();
  Present();
  int64_t zeroed = 0;
  const std::string text = RatioFileHead(n, recording) + RatioFileTable(power, ratio, n, s.Dt, count, &zeroed);
  if (!WriteTextFile(path, text, error)) {
    platform::ui::ShowMessage(error);
    return;
  }
  if (zeroed > 0) platform::ui::ShowMessage(ZeroedCellsNote(path, zeroed));
  platform::ui::ShowMessage("записан файл " + path);
}

void TForm_spek::N_formaClick() {
  const toolkit::SetupRecord& s = S();
  const double T = Cursor.CursorValue;
  char text[64];
  std::snprintf(text, sizeof text, "выше %.3f", T);
  platform::ui::ShowMessage(text);
  const int32_t half = Buffers.N / 2;
  const int lastBin = std::max<int>(s.SpectrumLastBin, 1);
  const int32_t first = std::max(2, (Cursor.CursorX - 5) * lastBin / std::max(Plot.PlotWidth, 1));
  const std::vector<Peak> peaks =
      PeaksAboveLevel(Buffers.WorkBuffer.data(), first, half - 2, T, std::max(Buffers.N, 1), s.Dt);
  std::string error;
  int64_t zeroed = 0;
  const std::string list =
      PeaksAboveText(toolkit::FieldText(s.FileName), s.Channel, ChannelNameText(s, s.Channel), peaks, &zeroed);
  if (!AppendTextFile("for_ACF.txt", list, error)) {
    platform::ui::ShowMessage(error);
    return;
  }
  if (zeroed > 0) platform::ui::ShowMessage(ZeroedCellsNote("for_ACF.txt", zeroed));
  if (peaks.empty()) return;
  const double largest = PeaksLargest(peaks);
  const double floor = s.LogFloor > 0.0 ? s.LogFloor : 1e-13;
  QPolygon line;
  for (const Peak& p : peaks) {
    const double r = p.value / largest;
    double y;
    if (!ScaleLog)
      y = std::max(Plot.Bottom - r * Plot.PlotHeight, 20.0);
    else
      y = r <= floor ? Plot.Bottom : Plot.Bottom - std::log(r / floor) * Plot.PlotHeight / std::log(1.0 / floor);
    y = std::clamp(y, 20.0, static_cast<double>(Plot.Bottom));
    line << QPoint(BinX(Plot, p.bin, lastBin), static_cast<int>(y));
  }
  {
    QPainter painter(&PBs->Image());
    painter.setPen(platform::ui::ColorFromBgr(SpectrumColors[7]));
    painter.drawPolyline(line);
  }
  PBs->update();
}

}  // namespace analysis
