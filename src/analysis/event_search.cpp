#include "analysis/event_search.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/memory_budget.h"
#include "toolkit/format_text.h"
#include "viewer/view_envelope.h"

namespace analysis {

using toolkit::FormatText;
using toolkit::SetupRecord;

namespace {

// Four partial sums, so that the additions do not wait on each other.
double AbsSum(const float* c, int64_t from, int64_t to) {
  double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
  int64_t i = from;
  for (; i + 4 <= to; i += 4) {
    s0 += std::fabs(c[i]);
    s1 += std::fabs(c[i + 1]);
    s2 += std::fabs(c[i + 2]);
    s3 += std::fabs(c[i + 3]);
  }
  for (; i < to; ++i) s0 += std::fabs(c[i]);
  return (s0 + s1) + (s2 + s3);
}

double Ratio(double part, double whole) {
  const double r = whole >= 1e-10 ? part / whole : 0.0;
  return std::isfinite(r) ? r : 0.0;
}

// Where the curve goes on the plot: x of a sample (the inverse of the column of a sample), y of a ratio.
struct Geometry {
  int64_t nn = 0;
  int64_t pixelsPerSample = 1;
  int64_t samplesPerColumn = 1;
  double base = 0.0;
  double scale = 0.0;

  int X(int64_t n) const {
    const int64_t x = (n - nn) * pixelsPerSample / samplesPerColumn;
    return static_cast<int>(std::clamp<int64_t>(x, -1'000'000, 1'000'000));
  }
  int Y(double r) const {
    const double y = std::max(base - scale * r, 2.0);
    return static_cast<int>(std::min(y, 1.0e6));
  }
};

// Samples of a window of `seconds` at `dt`: 0 when that is not a whole sample.
int64_t WindowSamples(double seconds, double dt) {
  const double n = seconds / dt;
  if (!(n >= 1.0)) return 0;
  return static_cast<int64_t>(std::min(n, 4.0e9));
}

void Method0(const SetupRecord& s, const float* x, const Geometry& g, toolkit::TFunk& funk, SearchDrawing& out) {
  const double dt = s.Header.dt;
  const int64_t L = WindowSamples(s.LtaWindow, dt);
  const int64_t S = WindowSamples(s.StaWindow, dt);
  if (L < 1 || S < 1) {
    out.error = FormatText("поиск: окна LTA %g с и STA %g с короче шага записи %g с", s.LtaWindow, s.StaWindow, dt);
    return;
  }
  if (g.nn >= s.Nk - L - S - 1) {
    out.error = FormatText("поиск: выделение (%d точек) короче окон LTA + STA (%lld точек)", s.Nk - s.Nn,
                           static_cast<long long>(L + S + 1));
    return;
  }
  // The filtered copy's memory is kept for the next search: fresh pages of a long record cost several
  // times the filter itself.
  static thread_local std::vector<float> scratch;
  try {
    // The ratios come one a short window; the copy only when the kept one is too short.
    const bool grow = scratch.size() < size_t{s.Samples} + 50;
    platform::CheckWorkingSpace(static_cast<uint64_t>((s.Nk - g.nn) / S + 1) * sizeof(double) +
                                (grow ? (uint64_t{s.Samples} + 50) * sizeof(float) : 0));
    if (grow) {
      scratch.clear();
      scratch.shrink_to_fit();
      scratch.resize(size_t{s.Samples} + 50);
    }
  } catch (const std::bad_alloc&) {
    out.error = "Нет памяти для массивов";
    return;
  }
  float* copy = scratch.data();
  std::memcpy(copy, x, sizeof(float) * s.Samples);
  std::fill_n(copy + s.Samples, 50, 0.0f);
  const auto status = funk.ApplyButterworth(3, toolkit::kBandPass, static_cast<double>(s.Header.Rate),
                                            s.SearchBandLow, s.SearchBandHigh, copy, s.Samples);
  if (status != toolkit::ButterworthStatus::Ok) {
    out.error = toolkit::GlobalButterworth().text;
    return;
  }
  const std::vector<double> r = StaLtaRatios(copy, g.nn, s.Nk, L, S);
  const double scaleSetting = s.StaLtaScale >= 0.01 ? s.StaLtaScale : 0.01;
  out.curve.push_back({g.X(g.nn + L), static_cast<int>(g.base)});
  for (size_t i = 0; i < r.size(); ++i) {
    const int64_t p = g.nn + static_cast<int64_t>(i) * S;
    if (std::fabs(r[i]) > out.maxRatio) {
      out.maxRatio = std::fabs(r[i]);
      out.maxAt = p + L;
    }
    out.curve.push_back({g.X(p + L), g.Y(r[i] / scaleSetting)});
  }
}

void Method1(const SetupRecord& s, const float* x, const Geometry& g, toolkit::TFunk& funk, SearchDrawing& out) {
  const int32_t n = SpectralWindowLength(s.SpectralChangeWindow, s.Dt);
  auto bin = [&](double f) {
    const double k = n * s.Dt * f;
    return std::isfinite(k) ? static_cast<int32_t>(std::clamp(k, -1.0, n * 1.0)) : 0;
  };
  const int32_t k1 = std::max(bin(s.SearchBandLow), 1);
  const int32_t k2 = std::min(bin(s.SearchBandHigh), n / 2 - 2);
  out.startText = FormatText("всего: %d; обрабатываем по %d точек.  выделяем от %d до %d. сдвиг %d    ",
                             s.Nk - s.Nn, n, k1, k2, n / 32);
  if (s.Nk - g.nn < n) {
    out.error = FormatText("поиск: выделение (%d точек) короче окна (%d точек)", s.Nk - s.Nn, n);
    return;
  }
  std::vector<double> r;
  try {
    platform::CheckWorkingSpace(static_cast<uint64_t>((s.Nk - g.nn) / std::max(n / 32, 1) + 1) * sizeof(double) +
                                2 * (uint64_t(n) + 10) * sizeof(float));
    r = SpectralRatios(x, g.nn, s.Nk, n, k1, k2, funk);
  } catch (const std::bad_alloc&) {
    out.error = "Нет памяти для массивов";
    return;
  }
  out.curve.push_back({g.X(g.nn + n / 2), static_cast<int>(g.base)});
  for (size_t i = 0; i < r.size(); ++i) {
    const int64_t p = g.nn + static_cast<int64_t>(i) * (n / 32);
    if (r[i] > out.maxRatio) {
      out.maxRatio = r[i];
      out.maxAt = p;
    }
    out.curve.push_back({g.X(p + n / 2), g.Y(r[i])});
  }
}

}  // namespace

std::vector<double> StaLtaRatios(const float* c, int64_t nn, int64_t nk, int64_t L, int64_t S) {
  std::vector<double> r;
  const int64_t end = nk - L - S - 1;  // windows start below this
  if (L < 1 || S < 1 || nn >= end) return r;
  r.reserve(static_cast<size_t>((end - nn) / S + 1));
  double lta = AbsSum(c, nn, nn + L);
  for (int64_t p = nn;;) {
    const double sta = AbsSum(c, p + L, p + L + S);
    r.push_back(Ratio(sta, lta));
    if (p + S >= end) break;
    // The long window moves on by S: what leaves it at the front, what the short window held at its end.
    lta += sta - AbsSum(c, p, p + S);
    p += S;
  }
  return r;
}

int32_t SpectralWindowLength(double windowSeconds, double dt) {
  double n = 1.5 * windowSeconds / dt;
  n = std::isnan(n) ? 64.0 : std::clamp(n, 64.0, 16384.0);
  int32_t p = 64;
  while (p * 2 <= n) p *= 2;
  return p;
}

std::vector<double> SpectralRatios(const float* x, int64_t nn, int64_t nk, int32_t n, int32_t k1, int32_t k2,
                                   toolkit::TFunk& funk) {
  std::vector<double> r;
  if (nk - nn < n) return r;
  std::vector<float> re(static_cast<size_t>(n) + 10), im(static_cast<size_t>(n) + 10);
  const int64_t step = std::max(n / 32, 1);
  int64_t p = nn;
  do {
    std::copy(x + p, x + p + n, re.begin());
    std::fill(im.begin(), im.begin() + n, 0.0f);
    funk.Fft(-1, n, re.data(), im.data());
    double band = 0.0, total = 0.0;
    for (int32_t j = 0; j < n / 2; ++j) {
      const double power = double{re[j]} * re[j] + double{im[j]} * im[j];
      if (j >= k1 && j < k2) {
        band += power;
      } else {
        total += power;
      }
    }
    r.push_back(Ratio(band, total + band));
    p += step;
  } while (p < nk - 1 - n);
  return r;
}

SearchDrawing SearchSpectralChange(const SetupRecord& s, const float* x, int ch, int plotWidth,
                                   int plotHeight, toolkit::TFunk& funk) {
  SearchDrawing out;
  if (x == nullptr || ch < 0 || ch >= toolkit::kMaxChannels) {
    out.error = FormatText("поиск: канала %d нет в памяти", ch);
    return out;
  }
  if (ch < s.FirstChannel || ch >= s.ShownEnd) {
    out.error = FormatText("поиск: канал %d не показан на экране", ch);
    return out;
  }
  if (s.Nn < 0 || s.Nk > static_cast<int64_t>(s.Samples) || s.Nk <= s.Nn) {
    out.error = FormatText("поиск: выделение %d ... %d вне записи", s.Nn, s.Nk);
    return out;
  }
  Geometry g;
  g.nn = s.Nn;
  g.pixelsPerSample = std::max(s.PixelsPerSample, 1);
  g.samplesPerColumn = viewer::SamplesPerColumnOf(s, plotWidth);
  g.base = std::trunc(plotHeight - s.Baseline[ch]);
  g.scale = (plotHeight - 55.0) / (s.ShownEnd - s.FirstChannel);
  if (s.SearchMethod == 1) {
    Method1(s, x, g, funk, out);
  } else {
    Method0(s, x, g, funk, out);
  }
  if (!out.error.empty()) {
    out.curve.clear();
    return out;
  }
  out.resultText = FormatText("max. отношение %.2f   в %s", out.maxRatio,
                              funk.DateTimeText(s.Header.StartTicks, static_cast<double>(out.maxAt) * s.Header.dt).c_str());
  return out;
}

}  // namespace analysis
