#include "toolkit/setup_record.h"

#include <cmath>
#include <cstring>

#include "toolkit/parse_number.h"

namespace toolkit {

SetupRecord* Setup = nullptr;

void SetSetupDefaults(SetupRecord& s, const std::string& programDir) {
  std::memset(&s, 0, sizeof s);
  SetFieldText(s.DataDir, programDir);
  for (int i = 0; i < 64; ++i) {
    s.MemCoef[i] = 1.0;
    s.DisplayGain[i] = 1.0;
    s.ChannelMap[i] = static_cast<uint16_t>(i);
    s.FileChannels[i].Number = 1;
    s.FileChannels[i].Coef = 1.0;
    s.FileChannels[i].Coef2 = 1.0;
  }
  s.ArrayCount = 3;
  s.ArraysAllocated = 3;
  s.PlotLayout = 2;
  s.Cubic = 1;
  s.Header.Channels = 3;
  s.LoadChannels = 3;
  s.UseCoefficients = 1;
  s.VerticalCursorCount = 1;
  s.HistogramRmsMinutes = 5;

  s.PotterHalfLength = 100;
  s.SpectrumFirstBin = 1;
  s.FftLength = 4096;
  s.SpectrumLastBin = static_cast<uint16_t>(s.FftLength / 2 - 2);
  s.SpectrumShift = 256;
  s.WindowType = 1;
  s.SpectrumScale = 1;
  s.StationStart = 3'024'000'000u;  // day 35000
  s.StationHours = 1;
  s.PlotHeightPercent = 100;
  s.LogFloor = 0.01;
  s.FourierLength = 4000;
  s.ArithmeticA = 1.0f;
  s.ArithmeticB = 1.0f;
  s.ArithmeticC = 1.0f;
  s.Dt = 0.01;
  s.FilterLow = 20.0;
  s.FilterHigh = 25.0;
  s.IntegralCorner = 0.1;
  s.IntegralDecay = 1.0;
  s.DerivativePotterPoints = 100.0;
  s.DerivativeCutoff = 20.0;
  s.StoredCornerLow = 0.1;
  s.StoredCornerHigh = 20.0;
  s.FreqIntegrationLow = 0.1;
  s.FreqIntegrationHigh = 20.0;
  s.FreqDifferentiationLow = 0.1;
  s.FreqDifferentiationHigh = 20.0;
  s.HarmonicFirst = 32;
  s.HarmonicEnd = 1024;
  s.HarmonicStep = 32;
  s.PhaseSpread = 20;
  s.TestChannels = 1;
  s.SweepAmplitude = 300.0;
  s.SweepFrequency = 0.390625;
  s.SineAmplitude = 100.0;
  s.SineFrequency = 1.5625;
  s.NoiseLevel = 5;
  s.LtaWindow = 30.0;
  s.StaWindow = 1.0;
  s.StaLtaScale = 1.0;
  s.SearchStoredLow = 0.8;
  s.SearchStoredHigh = 1.5;
  s.SearchBandLow = 0.8;
  s.SearchBandHigh = 1.5;
  s.SpectralChangeWindow = 30.0;
  s.HarmonicPeriod = 4096;
  s.UsefulBandLow = 0.3f;
  s.UsefulBandHigh = 0.5f;
  s.HarmfulBandLow = s.UsefulBandLow + 10.0f;
  s.HarmfulBandHigh = 1000.0f;
  s.SwanLow = 0.2f;
  s.SwanHigh = 8.0f;
  s.SwanDamping = 10.0f;
  s.SwanFilter = 1;
  s.SwanNormalise = 1;
  s.SwanSmoothPoints = 4;
  s.ButterworthOrder = 3;
}

namespace {

class Fixer {
 public:
  int changes = 0;

  void Terminate(char* field, size_t size) {
    if (std::memchr(field, 0, size) == nullptr) {
      field[size - 1] = 0;
      ++changes;
    }
  }
  template <typename T, typename L>
  void AtMost(T& v, L hi) {
    if (v > static_cast<T>(hi)) {
      v = static_cast<T>(hi);
      ++changes;
    }
  }
  template <typename T, typename L, typename H>
  void Within(T& v, L lo, H hi) {
    if (v < static_cast<T>(lo)) {
      v = static_cast<T>(lo);
      ++changes;
    }
    AtMost(v, hi);
  }
  // A floating setting: a value that is not a number, or is infinite, takes `fallback`; a finite one is
  // forced into lo .. hi.
  template <typename T>
  void Finite(T& v, double lo, double hi, double fallback) {
    if (!std::isfinite(v)) {
      v = static_cast<T>(fallback);
      ++changes;
    }
    Within(v, lo, hi);
  }
};

}  // namespace

int SanitizeSetup(SetupRecord& s) {
  Fixer f;
  for (auto& ch : s.MemChannels) {
    f.Terminate(ch.Name, sizeof ch.Name);
    f.Terminate(ch.tip, sizeof ch.tip);
  }
  for (auto& ch : s.FileChannels) {
    f.Terminate(ch.Name, sizeof ch.Name);
    f.Terminate(ch.tip, sizeof ch.tip);
  }
  f.Terminate(s.Header.Station, sizeof s.Header.Station);
  for (auto& st : s.Stations) f.Terminate(st, sizeof st);
  f.Terminate(s.DataDir, sizeof s.DataDir);
  f.Terminate(s.FileName, sizeof s.FileName);
  for (auto& name : s.SelectedFiles) f.Terminate(name, sizeof name);

  // Counts of channels and arrays, and the channel numbers that index them.
  f.AtMost(s.ArrayCount, kMaxChannels);
  f.AtMost(s.ArraysAllocated, kMaxChannels);
  f.AtMost(s.ChannelCount, kMaxChannels);
  f.AtMost(s.LoadChannels, kMaxChannels);
  f.Within(s.Header.Channels, 1, kMaxChannels);
  for (auto& m : s.ChannelMap) f.AtMost(m, kMaxChannels - 1);
  f.AtMost(s.ShownEnd, s.ChannelCount);
  f.AtMost(s.FirstChannel, s.ShownEnd);
  f.AtMost(s.Channel, s.ChannelCount);  // == ChannelCount: all channels
  f.AtMost(s.MarkerChannel, kMaxChannels - 1);
  f.AtMost(s.StationCount, kStationSlots);
  f.AtMost(s.ChosenCount, kSelectedFileSlots);
  for (auto& c : s.ColumnCount) f.Within(c, 0, kMaxPlotColumns);

  // Cursors, sets and view options.
  f.Within(s.VerticalCursorCount, 1, kMaxVerticalCursors);
  f.AtMost(s.CursorIndex, s.VerticalCursorCount - 1);
  f.AtMost(s.CursorSet, 1);
  f.AtMost(s.PlotLayout, 2);
  f.Within(s.PlotHeightPercent, 100, 300);

  // Processing settings with a stated range.
  f.Within(s.PotterHalfLength, 2, 2200);
  if (s.FftLength < 64 || s.FftLength > 65536 || (s.FftLength & (s.FftLength - 1)) != 0) {
    s.FftLength = 4096;
    ++f.changes;
  }
  // The spectrum lengths, shift and bins: a 0 or 1 in any of them once meant a division by zero or a
  // loop past the spectrum buffers.
  f.Within(s.FourierLength, 4, 32768);
  f.Within(s.SpectrumShift, 2, 65535);
  f.Within(s.SpectrumLastBin, 2, s.FftLength / 2 - 2);
  f.AtMost(s.SpectrumFirstBin, s.SpectrumLastBin - 1);
  f.Within(s.SwanSmoothPoints, 1, 4);

  // The floating settings of the analysis windows and commands, each a finite number in the range its
  // edit accepts (at most what a typed number can be), so that no level, band or frequency they give
  // can become infinite or overflow an integer on its way to the screen or a file.
  constexpr double typed = kMaxTypedNumber;
  f.Finite(s.Dt, 1e-9, typed, 0.01);
  f.Finite(s.LogFloor, 1e-13, typed, 1e-13);
  f.Finite(s.ResponsePeriod, -typed, typed, 0.0);
  f.Finite(s.UsefulBandLow, -typed, typed, 0.3);
  f.Finite(s.UsefulBandHigh, -typed, typed, 0.5);
  f.Finite(s.HarmfulBandLow, -typed, typed, 10.3);
  f.Finite(s.HarmfulBandHigh, -typed, typed, 1000.0);
  f.Finite(s.SwanLow, 1e-5, typed, 0.2);
  f.Finite(s.SwanHigh, 1.1f * s.SwanLow, 1.1 * typed, 8.0);  // the spectrum panel's own rule, in float
  f.Finite(s.SwanDamping, 1.0, typed, 10.0);
  f.Finite(s.SearchBandLow, -typed, typed, 0.8);
  f.Finite(s.SearchBandHigh, -typed, typed, 1.5);
  f.Finite(s.LtaWindow, 0.1, 1000.0, 30.0);
  f.Finite(s.StaWindow, 0.1, s.LtaWindow, 1.0);
  f.Finite(s.StaLtaScale, 0.01, 1000.0, 1.0);
  f.Finite(s.SpectralChangeWindow, -typed, typed, 30.0);
  f.Finite(s.DerivativePotterPoints, 20.0, 2147483647.0, 100.0);
  f.Finite(s.DerivativeCutoff, 0.001, typed, 20.0);

  // The main window's filter corners (the filter page keeps them at least 0.005 Hz), the integration and
  // differentiation values (the integral page raises them to at least 0.001; the two never shown start at
  // 0), the test signal and the channel arithmetic.
  f.Finite(s.FilterLow, 0.005, typed, 20.0);
  f.Finite(s.FilterHigh, 0.005, typed, 25.0);
  f.Finite(s.Integral1, 0.0, typed, 0.0);
  f.Finite(s.Integral2, 0.0, typed, 0.0);
  f.Finite(s.IntegralCorner, 0.001, typed, 0.1);
  f.Finite(s.IntegralDecay, 0.001, typed, 1.0);
  f.Finite(s.StoredCornerLow, 0.001, typed, 0.1);
  f.Finite(s.StoredCornerHigh, 0.001, typed, 20.0);
  f.Finite(s.FreqIntegrationLow, 0.001, typed, 0.1);
  f.Finite(s.FreqIntegrationHigh, 0.001, typed, 20.0);
  f.Finite(s.FreqDifferentiationLow, 0.001, typed, 0.1);
  f.Finite(s.FreqDifferentiationHigh, 0.001, typed, 20.0);
  f.Finite(s.SweepAmplitude, -typed, typed, 300.0);
  f.Finite(s.SweepFrequency, -typed, typed, 0.390625);
  f.Finite(s.SweepRate, -typed, typed, 0.0);
  f.Finite(s.SineAmplitude, -typed, typed, 100.0);
  f.Finite(s.SineFrequency, -typed, typed, 1.5625);
  f.Finite(s.SearchStoredLow, -typed, typed, 0.8);
  f.Finite(s.SearchStoredHigh, -typed, typed, 1.5);
  f.Finite(s.ArithmeticA, -typed, typed, 1.0);
  f.Finite(s.ArithmeticB, -typed, typed, 1.0);
  f.Finite(s.ArithmeticC, -typed, typed, 1.0);
  return f.changes;
}

}  // namespace toolkit
