#include "viewer/settings_pages.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "toolkit/format_text.h"
#include "toolkit/parse_number.h"

namespace viewer {

using toolkit::FormatText;
using toolkit::SetupRecord;

SpectralWindow SpectralWindowFor(double w, double dt, double low, double high) {
  SpectralWindow out;
  if (!(dt > 0.0)) return out;
  out.Valid = true;
  if (w > 0.0) {
    const double n = std::floor(std::log(1.5 * w / dt + 1.0) / std::log(2.0));
    out.N = 1 << static_cast<int>(std::clamp(n, 6.0, 14.0));
  }
  out.Seconds = out.N * dt;
  out.K1 = static_cast<int32_t>(std::clamp(low * out.Seconds, -2e9, 2e9));
  out.K2 = static_cast<int32_t>(std::clamp(high * out.Seconds, -2e9, 2e9));
  return out;
}

std::string SpectralWindowText(const SpectralWindow& window) {
  if (!window.Valid) return {};
  return FormatText("%d точек; полоса от %d до %d", window.N, window.K1, window.K2);
}

BandMarks SearchBandMarks(double low, double high, double dt) {
  BandMarks m;
  if (!(0.999 * high >= low)) m.LowRed = m.HighRed = true;
  if (dt > 0.0 && high > 0.5 / dt) m.HighRed = true;
  if (low < 0.0001) m.LowRed = true;
  return m;
}

bool SearchBandValid(double low, double high, double dt) {
  return 0.999 * high >= low && dt > 0.0 && high <= 0.5 / dt && low >= 0.0001;
}

bool RmsWindowValid(double minutes) { return minutes >= 0.0 && minutes < 256.0; }

std::string StoreSearchValues(SetupRecord& s, const SearchValues& v) {
  std::string message;
  s.SearchMethod = static_cast<uint16_t>(v.Method);
  const SpectralWindow window = SpectralWindowFor(v.Window, s.Dt, v.Low, v.High);
  s.SpectralChangeWindow = window.Valid ? window.Seconds : v.Window;
  if (RmsWindowValid(v.RmsMinutes)) {
    s.HistogramRmsMinutes = static_cast<uint8_t>(std::max(1, static_cast<int>(v.RmsMinutes)));
  } else {
    message = "Ошибка задания окна ср.кв.амплитуды";
  }
  s.SearchBandLow = v.Low;
  s.SearchBandHigh = v.High;
  if (!SearchBandValid(v.Low, v.High, s.Dt)) message = "Ошибка задания фильтра";
  if (v.Lta >= 0.1 && v.Lta <= 1000) {
    s.LtaWindow = v.Lta;
  } else {
    message = "Ошибка задания LTA";
  }
  if (v.Sta >= 0.1 && v.Sta <= s.LtaWindow) {
    s.StaWindow = v.Sta;
  } else {
    message = "Ошибка задания STA";
  }
  if (v.Scale >= 0.01 && v.Scale <= 1000) {
    s.StaLtaScale = v.Scale;
  } else {
    message = "Ошибка задания LTA_K_STA";
  }
  return message;
}

bool HarmonicFirstValid(long long first) { return first >= 0 && first < kHarmonicTable; }
bool HarmonicEndValid(long long first, long long end) { return end > first && end <= kHarmonicTable; }
bool HarmonicStepValid(long long step) { return step >= 1 && step < kHarmonicTable; }
bool TestLengthValid(double length) { return length >= 2.0 && length <= 2147483647.0; }
bool NoiseValid(double noise) { return noise >= 0.0 && noise <= 2147483647.0; }

std::string SpectrumGroupCaption(double dt, uint32_t n) {
  return FormatText(" Сплошной спектр.  Частоты  W(k)  = 2 * Pi * F(k) * %.2f / %u  ", dt > 0.0 ? 0.5 / dt : 0.0, n);
}

std::string TestChannelsCaption(int channels) {
  return channels <= 1 ? std::string(" Тест в 1 канале ") : FormatText(" Тест в %d каналах ", channels);
}

void RaiseIntegralFloor(SetupRecord& s) {
  double* values[] = {&s.Integral1,          &s.Integral2,           &s.IntegralCorner,
                      &s.IntegralDecay,      &s.DerivativePotterPoints, &s.DerivativeCutoff,
                      &s.StoredCornerLow,    &s.StoredCornerHigh,    &s.FreqIntegrationLow,
                      &s.FreqIntegrationHigh, &s.FreqDifferentiationLow, &s.FreqDifferentiationHigh};
  for (double* v : values) {
    if (!(*v >= 0.001)) *v = 0.001;
  }
}

bool ReadIntegralNumber(const std::string& text, double& value, std::string& message) {
  const double v = std::strtod(text.c_str(), nullptr);
  if (!(std::fabs(v) < toolkit::kMaxTypedNumber)) {
    message = FormatText("\"%s\": нужно число от -1e10 до 1e10; значение не изменено", text.c_str());
    return false;
  }
  value = v;
  return true;
}

std::string IntegralExponentText(double exponent) {
  return FormatText("интеграл   f ( t ) * exp { -%.4f * t } dt", exponent);
}

bool StationHoursFit(int channels, int hours, double dt) {
  if (!(dt > 0.0)) return false;
  const double perChannel = std::floor(hours * 4.0 * 3600.0 / dt);
  if (perChannel > 9e15) return false;
  return int64_t{channels} * static_cast<int64_t>(perChannel) < 0x55000001LL;
}

uint32_t ClampStationStart(int64_t seconds) {
  const int64_t lo = int64_t{kStationFirstDay} * 86400;
  const int64_t hi = 0xFFFFFFFFLL;  // day 49710 ends past the 32-bit count
  return static_cast<uint32_t>(std::clamp(seconds, lo, hi));
}

std::string HarmfulBandText(float low, float high) {
  return FormatText("%.4f   +/-   %.4f   ", (static_cast<double>(low) + high) / 2, (static_cast<double>(high) - low) / 2);
}

}  // namespace viewer
