#include "viewer/processing_commands.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <numbers>

#include "platform/memory_budget.h"
#include "toolkit/civil_date.h"
#include "toolkit/fil_batt.h"
#include "toolkit/fft_core.h"
#include "toolkit/format_text.h"
#include "viewer/view_envelope.h"

namespace viewer {

using toolkit::FormatText;
using toolkit::SetupRecord;

namespace {

constexpr const char* kFewChannels = "мало каналов!!";
constexpr const char* kEmptyRange = "пустой участок!!";
constexpr const char* kNoFit = "подгонка невозможна: мало точек или все x равны";
constexpr const char* kFlatChannel1 = "сравнение невозможно: канал 1 постоянен";
constexpr const char* kOneChannel = "тики: выберите один канал";
constexpr const char* kBadSettings = "фильтр не выполнен: неверные установки";
constexpr const char* kFilterOutOfMemoryText = "Не хватает памяти: фильтр не выполнен, каналы не изменены.";

int ChannelsInMemory(const SetupRecord& s) { return std::min<int>(s.ChannelCount, toolkit::kMaxChannels); }

// The selection [Nn, Nk) inside the samples in memory.
struct Selection {
  int64_t first = 0;
  int64_t end = 0;
  int64_t size() const { return end - first; }
};
Selection SelectionOf(const SetupRecord& s) {
  const int64_t samples = s.Samples;
  Selection r{std::clamp<int64_t>(s.Nn, 0, samples), std::clamp<int64_t>(s.Nk, 0, samples)};
  if (r.end < r.first) r.end = r.first;
  return r;
}

bool FiniteFloat(long double v) {
  return std::isfinite(v) && std::fabs(v) <= static_cast<long double>(std::numeric_limits<float>::max());
}

// Truncation toward zero of a sample difference; a difference beyond the range of int counts as the
// largest int so that it is never taken for a regular step.
int64_t TruncDiff(double v) {
  if (!std::isfinite(v) || std::fabs(v) > 2e9) return std::numeric_limits<int32_t>::max();
  return static_cast<int64_t>(v);
}

// Time of day hh:mm:ss of `seconds` after midnight.
std::string TimeOfDayText(double seconds) {
  if (!std::isfinite(seconds)) seconds = 0;
  const auto t = toolkit::SplitTimeOfDay(toolkit::FloorMod(static_cast<int64_t>(std::floor(seconds)), 86400));
  return FormatText("%02u:%02u:%02u", static_cast<unsigned>(t.Hour), static_cast<unsigned>(t.Minute),
                    static_cast<unsigned>(t.Second));
}

bool ThreeChannels(const SetupRecord& s, float* const* k) {
  return ChannelsInMemory(s) >= 3 && k[0] && k[1] && k[2];
}

// K1 := a x + b where x is K1 (or K1 + K2), then K2 := K1 - K0, over the selection.
void ApplyFit(float* const* k, const Selection& r, double a, double b, bool sumOf12) {
  for (int64_t n = r.first; n < r.end; ++n) {
    const double x = sumOf12 ? static_cast<double>(k[1][n]) + k[2][n] : k[1][n];
    k[1][n] = static_cast<float>(a * x + b);
    k[2][n] = k[1][n] - k[0][n];
  }
}

CommandResult FitCommand(SetupRecord& setup, float* const* k, bool sumOf12) {
  CommandResult res;
  if (!ThreeChannels(setup, k)) {
    res.messages.push_back(kFewChannels);
    return res;
  }
  const Selection r = SelectionOf(setup);
  std::vector<float> x;
  const float* xs = k[1] + r.first;
  if (sumOf12) {
    platform::CheckWorkingSpace(static_cast<uint64_t>(r.size()) * sizeof(float));
    x.resize(static_cast<size_t>(r.size()));
    for (int64_t n = 0; n < r.size(); ++n) x[n] = k[1][r.first + n] + k[2][r.first + n];
    xs = x.data();
  }
  double a = 0, b = 0;
  if (!LeastSquares(xs, k[0] + r.first, r.size(), a, b)) {
    res.messages.push_back(r.size() == 0 ? kEmptyRange : kNoFit);
    return res;
  }
  res.messages.push_back(FormatText("K усиления = %.5f; смещение %.5f ", a, b));
  ApplyFit(k, r, a, b, sumOf12);
  res.redraw = true;
  return res;
}

}  // namespace

ChannelSpan ProcessedChannels(const SetupRecord& setup) {
  const int count = ChannelsInMemory(setup);
  if (setup.Channel == setup.ChannelCount) return {0, count};
  if (setup.Channel < count) return {setup.Channel, setup.Channel + 1};
  return {0, 0};
}

// ---- Channel arithmetic ----

void PrepareChannelOperation(SetupRecord& setup) {
  const int count = ChannelsInMemory(setup);
  if (setup.Channel >= count) setup.Channel = 0;
  setup.ArithmeticChannel2 =
      static_cast<int16_t>(std::clamp<int>(setup.ArithmeticChannel2, 0, std::max(count - 1, 0)));
}

std::string ChannelOperationCaption(const SetupRecord& setup) {
  return FormatText("Пишем в канал %d. Сменить - выбор обрабат. канала.", setup.Channel);
}

std::string ChannelOperationFormula(const SetupRecord& setup) {
  const int d = setup.Channel;
  return FormatText(" K[%d] = ( K[%d]  +  %.4f ) %c ( %.4f * K[%d]  +  %.4f )", d, d, setup.ArithmeticA,
                    static_cast<char>(setup.ArithmeticSign), setup.ArithmeticB, setup.ArithmeticChannel2,
                    setup.ArithmeticC);
}

uint8_t SignOfItem(int index, uint8_t current) {
  static constexpr char kSigns[] = {'+', '-', '*', '/'};
  return index >= 0 && index < 4 ? static_cast<uint8_t>(kSigns[index]) : current;
}

CommandResult ChannelArithmetic(SetupRecord& setup, float* const* channels) {
  CommandResult res;
  const int count = ChannelsInMemory(setup);
  const int d = setup.Channel;
  const int e = setup.ArithmeticChannel2;
  if (d >= count || e < 0 || e >= count || !channels[d] || !channels[e]) {
    res.messages.push_back(kFewChannels);
    return res;
  }
  float* kd = channels[d];
  const float* ke = channels[e];
  const long double a = setup.ArithmeticA, b = setup.ArithmeticB, c = setup.ArithmeticC;
  const char sign = static_cast<char>(setup.ArithmeticSign);
  auto value = [&](uint32_t n, bool& zeroDivisor) -> long double {
    const long double left = kd[n] + a;
    const long double right = b * ke[n] + c;
    switch (sign) {
      case '+':
        return left + right;
      case '-':
        return left - right;
      case '*':
        return left * right;
      case '/':
        if (right == 0) {
          zeroDivisor = true;
          return 0;
        }
        return left / right;
      default:
        return kd[n];
    }
  };
  // Checked over the whole channel first, so a refused operation leaves every sample as it was.
  for (uint32_t n = 0; n < setup.Samples; ++n) {
    bool zero = false;
    const long double v = value(n, zero);
    if (zero) {
      res.messages.push_back(FormatText("деление на 0: канал %d не изменён", d));
      return res;
    }
    if (!FiniteFloat(v)) {
      res.messages.push_back(FormatText("результат вне диапазона: канал %d не изменён", d));
      return res;
    }
  }
  for (uint32_t n = 0; n < setup.Samples; ++n) {
    bool zero = false;
    kd[n] = static_cast<float>(value(n, zero));
  }
  res.redraw = true;
  return res;
}

// ---- Comparisons ----

bool LeastSquares(const float* x, const float* y, int64_t n, double& a, double& b) {
  if (n < 2 || std::all_of(x + 1, x + n, [&](float v) { return v == x[0]; })) return false;
  // Centred sums: the spread of a channel may be a millionth of its level (a 24-bit channel at
  // 8,000,000 counts with a few counts of noise), which raw sums of x and x squared lose.
  double sx = 0, sy = 0;
  for (int64_t i = 0; i < n; ++i) {
    sx += x[i];
    sy += y[i];
  }
  const double nn = static_cast<double>(n);
  const double mx = sx / nn, my = sy / nn;
  // The sums of the deviations correct what the rounding of the means left.
  double dx = 0, dy = 0, dxx = 0, dxy = 0;
  for (int64_t i = 0; i < n; ++i) {
    const double u = x[i] - mx, v = y[i] - my;
    dx += u;
    dy += v;
    dxx += u * u;
    dxy += u * v;
  }
  const double sxx = dxx - dx * dx / nn;
  const double sxy = dxy - dx * dy / nn;
  if (!(sxx > 0.0)) return false;
  const double ga = sxy / sxx;
  const double gb = (my + dy / nn) - ga * (mx + dx / nn);
  if (!std::isfinite(ga) || !std::isfinite(gb)) return false;
  a = ga;
  b = gb;
  return true;
}

CommandResult CompareByRange(SetupRecord& setup, float* const* k) {
  CommandResult res;
  if (!ThreeChannels(setup, k)) {
    res.messages.push_back(kFewChannels);
    return res;
  }
  const Selection r = SelectionOf(setup);
  if (r.size() == 0) {
    res.messages.push_back(kEmptyRange);
    return res;
  }
  const double range1 = static_cast<double>(setup.ChannelMax[1]) - setup.ChannelMin[1];
  const double g = (static_cast<double>(setup.ChannelMax[0]) - setup.ChannelMin[0]) / range1;
  if (!(range1 > 0) || !std::isfinite(g)) {
    res.messages.push_back(kFlatChannel1);
    return res;
  }
  const double min0 = setup.ChannelMin[0], min1 = setup.ChannelMin[1];
  for (int64_t n = r.first; n < r.end; ++n) {
    k[1][n] = static_cast<float>((k[1][n] - min1) * g + min0);
    k[2][n] = k[1][n] - k[0][n];
  }
  res.redraw = true;
  return res;
}

CommandResult CompareByFit(SetupRecord& setup, float* const* channels) {
  return FitCommand(setup, channels, false);
}

CommandResult SubtractDifferenceChannels(SetupRecord& setup, float* const* channels) {
  return FitCommand(setup, channels, true);
}

// ---- Single-channel commands ----

CommandResult AbsoluteValue(SetupRecord& setup, float* const* channels) {
  CommandResult res;
  if (setup.CursorMode == 1) return res;
  const ChannelSpan span = ProcessedChannels(setup);
  for (int c = span.first; c < span.end; ++c) {
    if (!channels[c]) continue;
    for (uint32_t n = 0; n < setup.Samples; ++n) channels[c][n] = std::fabs(channels[c][n]);
  }
  res.redraw = true;
  return res;
}

void SmoothChannel(float* k, uint32_t samples) {
  if (samples < 4) return;
  const int64_t steps = static_cast<int64_t>(samples) - 3;
  double dir = k[1] > k[0] ? 1.0 : -1.0;
  int64_t s = 0;
  double v = std::fabs(k[0]);
  double x = 999999.0;
  for (int64_t i = 0; i < steps; ++i) {
    if (dir * k[i] > dir * x) x = k[i];
    if (dir * k[i + 1] < dir * x || i == steps - 1) {
      dir = -dir;
      const int64_t len = std::max<int64_t>(i - s, 1);
      const double slope = (v - std::fabs(k[i])) / static_cast<double>(len);
      for (int64_t j = s; j <= i; ++j) k[j] = static_cast<float>(v - static_cast<double>(j - s) * slope);
      v = std::fabs(k[i]);
      s = i;
      x = -dir * 999500.0;
    }
  }
}

CommandResult SmoothBySegments(SetupRecord& setup, float* const* channels) {
  CommandResult res;
  const ChannelSpan span = ProcessedChannels(setup);
  for (int c = span.first; c < span.end; ++c) {
    if (channels[c]) SmoothChannel(channels[c], setup.Samples);
  }
  res.redraw = true;
  return res;
}

CommandResult CheckTicks(const SetupRecord& setup, float* const* channels, int plotWidth) {
  CommandResult res;
  if (setup.RemoveMean != 0) {
    res.messages.push_back("убери НЧ фильтр в установках");
    return res;
  }
  const ChannelSpan span = ProcessedChannels(setup);
  if (span.end - span.first != 1) {
    res.messages.push_back(span.end > span.first ? kOneChannel : kFewChannels);
    return res;
  }
  const float* k = channels[span.first];
  const Selection r = SelectionOf(setup);
  if (!k || r.size() < 2) {
    res.messages.push_back(kEmptyRange);
    return res;
  }
  const int64_t rate = setup.Header.Rate;
  const int64_t step = TruncDiff(static_cast<double>(k[r.first + 1]) - k[r.first]);
  std::string text = "Для проверки тиков в отмеченнои канале\nпила c шагом  " + std::to_string(step) +
                     "  до  " + std::to_string(rate * step) + "\n";
  const int64_t spc = SamplesPerColumnOf(setup, plotWidth);
  int anomalies = 0;
  for (int64_t n = r.first + 1; n < r.end - 1; ++n) {
    const int64_t d = TruncDiff(static_cast<double>(k[n + 1]) - k[n]);
    if (d == step || d == step - rate * step) continue;
    ++anomalies;
    if (anomalies < 15) {
      text +=
          FormatText("\nточка графика %04d / %s:    %09f - %09f = %d", static_cast<int>((n - r.first) / spc),
                     TimeOfDayText(static_cast<double>(n) * setup.Dt + setup.Header.to).c_str(), k[n + 1],
                     k[n], static_cast<int>(d));
      ++anomalies;
    }
  }
  text += anomalies != 0 ? "\n   проблемы !!!" : "\n   порядок";
  res.messages.push_back(text);
  return res;
}

CommandResult InterpolationTest(const SetupRecord& setup, float* const* k) {
  CommandResult res;
  constexpr int kSourceRate = 1601;
  std::string text = FormatText("интерполяция Sin ( %d Гц )  к  %d Гц", kSourceRate, setup.Header.Rate);
  if (ChannelsInMemory(setup) < 6 || !std::all_of(k, k + 6, [](const float* p) { return p != nullptr; })) {
    res.messages.push_back(text + "\n надо не менее 6 каналов");
    return res;
  }
  const double w = 2.0 * std::numbers::pi * setup.SweepFrequency / kSourceRate;
  const double amp = setup.SineAmplitude;
  const double ampInt = std::trunc(amp);
  const double refW = 2.0 * std::numbers::pi * setup.SineFrequency;
  static constexpr double kOffsets[3] = {0.0, 0.00026625, 0.0006425};
  for (uint32_t n = 0; n < setup.Samples; ++n) {
    for (int p = 0; p < 3; ++p) {
      const double t = n * 0.00125 + kOffsets[p];
      const double i = std::trunc(kSourceRate * t + 1e-6);
      const double u = 1.0 - (t - i / kSourceRate) * kSourceRate;
      const double yp1 = ampInt * std::sin((i + 1) * w);
      const double y0 = ampInt * std::sin(i * w);
      const double ym1 = ampInt * std::sin((i - 1) * w);
      const double ym2 = amp * std::sin((i - 2) * w);
      const double v = ym2 * u * (1 - u) * (2 - u) / 6 - ym1 * u * (1 - u) * (3 - u) / 2 +
                       y0 * u * (2 - u) * (3 - u) / 2 + yp1 * (1 - u) * (2 - u) * (3 - u) / 6;
      const double ref = amp * std::sin(refW * t);
      k[2 * p][n] = static_cast<float>(v);
      k[2 * p + 1][n] = static_cast<float>(ref - v);
    }
  }
  res.messages.push_back(text);
  return res;
}

// ---- Filters ----

CommandResult FrequencyDomainCommand(SetupRecord& setup, float* const* channels, toolkit::TFunk& funk,
                                     int mode) {
  CommandResult res;
  const ChannelSpan span = ProcessedChannels(setup);
  res.redraw = true;
  if (span.end <= span.first) return res;
  if (toolkit::TFunk::TransformLength(setup.Samples) > toolkit::fft::kMaxLength) {
    res.messages.push_back(FormatText("спектр.опер.: %u отсчётов, длина БПФ больше %u точек; каналы не изменены",
                                      setup.Samples, toolkit::fft::kMaxLength));
    return res;
  }
  if (!funk.FftFilter(mode, setup.Samples, channels, span.first, span.end,
                      toolkit::TFunk::FftFilterBandOf(setup, mode)))
    res.messages.push_back(kBadSettings);
  return res;
}

CommandResult IntegrateCommand(SetupRecord& setup, float* const* channels, toolkit::TFunk& funk) {
  CommandResult res;
  const ChannelSpan span = ProcessedChannels(setup);
  for (int c = span.first; c < span.end; ++c) {
    if (!channels[c]) continue;
    const auto status = funk.Integrate(channels[c], setup.Samples, setup.Header.Rate, setup.Dt,
                                       setup.IntegralCorner, setup.IntegralDecay);
    if (status != toolkit::ButterworthStatus::Ok) {
      res.messages.push_back(toolkit::GlobalButterworth().text);
      break;
    }
  }
  res.redraw = true;
  return res;
}

std::string TimeDomainFilter(const SetupRecord& setup, float* data, toolkit::TFunk& funk, bool butterworth) {
  if (!data) return {};
  if (butterworth) {
    const auto status = funk.ApplyButterworth(setup.ButterworthOrder, setup.FilterType + 1,
                                              static_cast<double>(setup.Header.Rate), setup.FilterLow,
                                              setup.FilterHigh, data, setup.Samples);
    return status == toolkit::ButterworthStatus::Ok ? std::string() : toolkit::GlobalButterworth().text;
  }
  funk.PotterFilter(data, setup.Samples, static_cast<int16_t>(std::min<int>(setup.PotterHalfLength, 3000)),
                    setup.FilterType, setup.FilterLow, setup.FilterHigh, setup.Dt);
  return {};
}

void RunTimeDomainFilter(SetupRecord& setup, float* const* channels, toolkit::TFunk& funk, bool butterworth,
                         ViewHost& host) {
  const ChannelSpan span = ProcessedChannels(setup);
  for (int c = span.first; c < span.end; ++c) {
    if (!channels[c]) continue;
    std::string refused;
    try {
      refused = TimeDomainFilter(setup, channels[c], funk, butterworth);
    } catch (const std::bad_alloc&) {
      // A filter takes its working memory before it writes: channel c is as it was.
      refused =
          c == span.first
              ? std::string(kFilterOutOfMemoryText)
              : FormatText("Не хватает памяти: каналы %d ... %d отфильтрованы, каналы %d ... %d не изменены.",
                           span.first, c - 1, c, span.end - 1);
    }
    if (!refused.empty()) {
      host.ShowMessage(refused);
      break;
    }
    host.DrawFilteredChannel(c);
  }
  host.ShowMessage("жми");
  RedrawView(host, setup.CursorMode == 1);
}

void FinishCommand(ViewHost& host, const CommandResult& result, const SetupRecord& setup) {
  for (const std::string& m : result.messages) host.ShowMessage(m);
  if (result.redraw) RedrawView(host, setup.CursorMode == 1);
}

}  // namespace viewer
