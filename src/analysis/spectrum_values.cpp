#include "analysis/spectrum_values.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "analysis/checked_file.h"
#include "analysis/finite_cells.h"
#include "platform/cp1251.h"
#include "toolkit/format_text.h"
#include "toolkit/recording_chooser.h"

namespace analysis {

namespace {

// truncate(v) as a bin number, kept inside -1 .. limit so that no value overflows.
int64_t Bin(double v, int64_t limit) {
  if (!std::isfinite(v)) return v > 0 ? limit : -1;
  return static_cast<int64_t>(std::clamp(v, -1.0, static_cast<double>(limit)));
}

// Sum of WorkBuffer[k]^2 over lo < k < hi, k inside the spectrum.
double Energy(const SpectrumBuffers& b, int64_t lo, int64_t hi, int64_t half) {
  double e = 0.0;
  for (int64_t k = std::max<int64_t>(lo + 1, 0); k < hi && k < half; ++k)
    e += static_cast<double>(b.WorkBuffer[k]) * b.WorkBuffer[k];
  return e;
}

int Shown(int64_t bin, int64_t half) { return static_cast<int>(std::clamp<int64_t>(bin, 0, half - 1)); }

}  // namespace

std::vector<std::string> SpectrumValueLines(const SpectrumBuffers& b, const toolkit::SetupRecord& s) {
  using toolkit::FormatText;
  std::vector<std::string> out;
  const int n = b.N;
  const double dt = s.Dt;
  const int64_t half = std::clamp(n / 2, 1, kWorkBufferSize);
  out.push_back(FormatText(b.CrossMode != 0 ? "взаимный спектр по  %5d точкам /%8.4f сеk."
                                           : "спектр по  %5d точкам /%8.4f сеk.",
                           n, n * dt));
  out.push_back(FormatText("смещение  %5d точек /%8.4f сеk.", int{s.SpectrumShift}, s.SpectrumShift * dt));
  out.push_back(WindowNameText(b.Window));
  if (b.IntervalCount != 1) out.push_back(FormatText("сумма по %d интервалам", b.IntervalCount));

  const auto bin = [&](double f) { return static_cast<double>(n) * f * dt; };
  const int64_t limit = half + 1;
  const int64_t lo = Bin(bin(s.HarmfulBandLow) + 0.5, limit);
  const int64_t hi = Bin(bin(s.HarmfulBandHigh) + 0.5, limit);
  const double E2 = Energy(b, lo, hi, half);
  const int64_t c = Bin(0.5 * bin(static_cast<double>(s.UsefulBandLow) + s.UsefulBandHigh) + 0.5, limit);
  const int64_t h = Bin(0.5 * bin(static_cast<double>(s.UsefulBandHigh) - s.UsefulBandLow) + 0.5, limit);
  const double E1 = Energy(b, c - h, c + h, half);
  double E3 = 0.0;
  const bool harmonics = 2 * h < c;
  if (harmonics)
    for (int64_t m = 2; m <= 12; ++m) E3 += Energy(b, m * c - h, m * c + h, half);

  out.push_back(FormatText("В полосе %.3f - %.3f(%d +/- %d): %.3e/%.1f%%", s.UsefulBandLow, s.UsefulBandHigh,
                           Shown(c, half), Shown(h, half), E1, 100.0 * E1 / (E1 + E2 + 1e-11)));
  out.push_back(FormatText("В полосе %.3f(%d) - %.3f(%d): %.3e/%.1f%%", s.HarmfulBandLow, Shown(lo, half),
                           s.HarmfulBandHigh, Shown(hi, half), E2, 100.0 * E2 / (E1 + E2 + 1e-11)));
  if (harmonics) {
    out.push_back(FormatText("в кратных полосах %d +/- %d , %d ...", Shown(2 * c, half), Shown(h, half),
                             Shown(3 * c, half)));
    out.push_back(FormatText("   :  %.4e;  K = %.3f", E3, E3 / (E3 + E1 + 1e-11)));
  }
  out.push_back("смена полосы на вкладке <cпектр>");
  out.push_back("       *   *   *");
  for (int64_t k = 0; k < std::min<int64_t>(half, 4000); ++k)
    out.push_back(FormatText("Sp[%04d) = %15.5f  W =%11.7f Hz", static_cast<int>(k), b.WorkBuffer[k],
                             static_cast<double>(k) / (n * dt)));
  return out;
}

std::string SpectrumFileText(const SpectrumBuffers& b, const toolkit::SetupRecord& s, const std::string& recording,
                             bool intervalMode, int32_t start, const std::string& startText, int64_t* zeroed) {
  using toolkit::FormatText;
  FiniteCells value;
  const int n = b.N;
  const double dt = s.Dt;
  std::string t;
  t += FormatText(" спектp A[i] * exp { 2*3.14*i/%d }   из  <%s> \n\n", n,
                  platform::NameToTextLine(recording).c_str());
  t += WindowNameText(b.Window) + "\n";
  t += FormatText("начало pеализации: %s;  длинa: %.3f (выделено %.3f)\n", startText.c_str(),
                  (static_cast<double>(s.SpectrumEnd) - start) * dt, (static_cast<double>(s.Nk) - s.Nn) * dt);
  t += FormatText("%d интеpвалов длиной %.3f, смещение %.3f\n", s.SpectrumCount, n * dt, s.SpectrumShift * dt);
  t += FormatText("f=i/%d/dt (Гц)          |A[f]|\n", n);
  const int half = std::clamp(n / 2, 0, kWorkBufferSize);
  for (int i = 0; i < half - 1; ++i) t += FormatText("%13.5f %20.5f \n", i / (n * dt), value(b.WorkBuffer[i]));
  if (intervalMode && b.IntervalCount > 5) {
    const int R = std::min(half, 510);
    const int T = std::min(b.IntervalCount, kSpectraCount);
    float M = 0.0f;
    for (int tt = 0; tt < T; ++tt)
      for (int i = 0; i < R; ++i)
        if (std::isfinite(b.Spectra[tt][i])) M = std::max(M, b.Spectra[tt][i]);
    t += FormatText("\n\n %d точек по времени\n max - %.8f\n", T, M);
    t += "f / t";
    for (int tt = 0; tt < T; ++tt) t += FormatText("%5d", tt);
    for (int i = 0; i < R; ++i) {
      t += FormatText("\n%5d", i);
      for (int tt = 0; tt < T; ++tt)
        t += FormatText("%5d", M > 0.0f ? static_cast<int>(1000.0 * value(b.Spectra[tt][i]) / M) : 0);
    }
  }
  value.Report(zeroed);
  return t;
}

std::string SpectrumFileName(const toolkit::SetupRecord& s, int channel) {
  return toolkit::CurrentFilePath(s) + ".s" + std::to_string(channel);
}

bool WriteTextFile(const std::string& path, const std::string& text, std::string& error) {
  CheckedFile f;
  if (!f.Open(path, "w")) {
    error = f.ErrorText();
    return false;
  }
  f.Write(text.data(), text.size());
  if (!f.Close()) {
    error = "ошибка записи файла " + path;
    return false;
  }
  return true;
}

}  // namespace analysis
