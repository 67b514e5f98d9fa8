#include "analysis/spectral_time_analysis.h"

#include <algorithm>
#include <cmath>

#include "analysis/checked_file.h"
#include "analysis/finite_cells.h"
#include "platform/memory_budget.h"
#include "toolkit/fft_core.h"
#include "toolkit/format_text.h"
#include "toolkit/funk.h"

namespace analysis {

namespace {

double Finite(double v, double fallback) { return std::isfinite(v) ? v : fallback; }

// y[p .. q] := the straight line from magnitude a at p to magnitude b at q.
void Line(float* y, int32_t p, int32_t q, float a, float b) {
  if (q == p) {
    y[p] = a;
    return;
  }
  const double step = (static_cast<double>(b) - a) / (q - p);
  for (int32_t j = p; j <= q; ++j) y[j] = static_cast<float>(a + step * (j - p));
}

}  // namespace

SwanSettings SwanSettingsOf(const toolkit::SetupRecord& s, std::string& error) {
  SwanSettings r;
  error.clear();
  if (s.FftLength < 512 || s.FftLength > 65536 || !toolkit::fft::IsPowerOfTwo(s.FftLength)) {
    error = toolkit::FormatText("длина преобразования %u: нужна степень двойки от 512 до 65536", s.FftLength);
    return r;
  }
  r.N = static_cast<int32_t>(s.FftLength);
  r.fLo = std::max(Finite(s.SwanLow, 0.0), 1e-5);
  r.fHi = std::max(Finite(s.SwanHigh, 0.0), 1.1 * r.fLo);
  r.g = std::max(Finite(s.SwanDamping, 0.0), 1.0);
  r.shape = std::max(s.SwanFilter, 0);
  r.normalise = s.SwanNormalise != 1;
  r.passes = s.SwanSmoothPoints;
  return r;
}

double SwanCentre(const SwanSettings& s, int r) { return s.fLo * std::exp(0.01 * r * std::log(s.fHi / s.fLo)); }

std::complex<double> SwanFilter(int32_t shape, double W, double f, double g) {
  if (shape == 0) {
    const double u = (W - f) / W;
    return std::exp(-g * u * u);
  }
  if (shape == 1) return std::exp(-g * (W - f) * (W - f) / W);
  return f * f / std::complex<double>((W - f) * (W - f), f / g);
}

void SwanEnvelope(float* y, int32_t n) {
  if (n <= 0) return;
  int32_t previous = 0;
  float previousMag = std::fabs(y[0]);
  int direction = 0;  // 0 until the signal first moves
  float extreme = y[0];
  int32_t extremeAt = 0;
  for (int32_t i = 1; i < n; ++i) {
    const float v = y[i];
    const float d = v - extreme;
    if (direction == 0) {
      if (d != 0.0f) {
        direction = d > 0.0f ? 1 : -1;
        extreme = v;
        extremeAt = i;
      }
    } else if (d * static_cast<float>(direction) >= 0.0f) {
      extreme = v;
      extremeAt = i;
    } else {
      // The sample turned back: the extreme is a turning point.
      const float mag = std::fabs(extreme);
      Line(y, previous, extremeAt, previousMag, mag);
      previous = extremeAt;
      previousMag = mag;
      direction = -direction;
      extreme = v;
      extremeAt = i;
    }
  }
  Line(y, previous, n - 1, previousMag, std::fabs(previous == n - 1 ? previousMag : y[n - 1]));
}

void SmoothThreePoint(float* y, int32_t n, int passes) {
  for (int p = 0; p < passes; ++p) {
    float before = y[0];
    for (int32_t i = 1; i + 1 < n; ++i) {
      const float here = y[i];
      y[i] = (before + here + y[i + 1]) / 3.0f;
      before = here;
    }
  }
}

SwanMap ComputeSwanMap(const float* x, int64_t available, int64_t start, double dt, const SwanSettings& s,
                       const std::function<void(const SwanRowView&)>& onRow) {
  const int32_t N = s.N;
  // The map, the signal, four transforms, the filter and the complex response.
  platform::CheckWorkingSpace(uint64_t{kSwanRows} * kSwanColumns * sizeof(float) +
                              uint64_t(std::max(N, 0)) * (6 * sizeof(float) + sizeof(std::complex<double>)));
  SwanMap map;
  map.N = N;
  map.M = N / kSwanColumns;
  map.dt = dt;
  map.cells.assign(static_cast<size_t>(kSwanRows) * kSwanColumns, 0.0f);
  map.signal.assign(N, 0.0f);
  for (int32_t i = 0; i < N; ++i) {
    const int64_t k = start + i;
    if (k >= 0 && k < available) map.signal[i] = x[k];
  }
  for (int32_t i = 0; i < N / 10; ++i) {
    const double c = std::cos(5.0 * M_PI * i / N);
    const float w = static_cast<float>(1.0 - c * c);
    map.signal[i] *= w;
    map.signal[N - 1 - i] *= w;
  }
  for (float v : map.signal) map.signalMax = std::max(map.signalMax, std::fabs(v));

  std::vector<float> XR(map.signal), XI(N, 0.0f), re(N), im(N), filter(N / 2 + 1);
  toolkit::TFunk& funk = toolkit::GlobalFunk();
  funk.Fft(-1, N, XR.data(), XI.data());

  const int32_t half = N / 2;
  const double df = 1.0 / (N * dt);
  std::vector<std::complex<double>> H(half + 1);
  float largest = 0.0f;
  bool anyCell = false;
  for (int r = 0; r < kSwanRows; ++r) {
    const double W = SwanCentre(s, r);
    map.centre[r] = W;
    double hmax = 0.0;
    for (int32_t k = 0; k <= half; ++k) {
      H[k] = SwanFilter(s.shape, W, k * df, s.g);
      filter[k] = static_cast<float>(std::abs(H[k]));
      hmax = std::max(hmax, std::abs(H[k]));
    }
    // A filter that vanishes on every bin (its centre far above the Nyquist frequency) leaves zeros.
    if (!s.normalise || !(hmax > 0.0) || !std::isfinite(hmax)) hmax = 1.0;
    for (int32_t k = 0; k <= half; ++k) {
      const std::complex<double> v = std::complex<double>(XR[k], XI[k]) * H[k];
      re[k] = static_cast<float>(v.real());
      im[k] = static_cast<float>(v.imag());
    }
    // The bins at 0 and at the Nyquist frequency are their own mirror images: real.
    im[0] = 0.0f;
    im[half] = 0.0f;
    for (int32_t k = 1; k < half; ++k) {
      re[N - k] = re[k];
      im[N - k] = -im[k];
    }
    funk.Fft(1, N, re.data(), im.data());
    float reMax = 0.0f, imMax = 0.0f;
    for (int32_t i = 0; i < N; ++i) {
      reMax = std::max(reMax, std::fabs(re[i]));
      imMax = std::max(imMax, std::fabs(im[i]));
    }
    if (imMax > 1e-4f * reMax && imMax > 1e-30f) map.imaginaryResidue = true;

    std::vector<float> env(re);
    SwanEnvelope(env.data(), N);
    if (s.passes > 1) SmoothThreePoint(env.data(), N, s.passes);
    bool strong = false;
    for (int c = 0; c < kSwanColumns; ++c) {
      double sum = 0.0;
      for (int32_t i = c * map.M; i < (c + 1) * map.M; ++i) sum += env[i];
      const float v = static_cast<float>(sum / map.M / hmax);
      map.at(r, c) = v;
      if (!anyCell || v > map.maxValue) {
        map.maxValue = v;
        map.maxRow = r;
        map.maxColumn = c;
      }
      if (!anyCell || v < map.minValue) map.minValue = v;
      anyCell = true;
      largest = std::max(largest, v);
    }
    for (int c = 0; c < kSwanColumns && !strong; ++c) strong = map.at(r, c) > 0.1f * largest && largest > 0.0f;
    if (onRow) {
      SwanRowView view;
      view.row = r;
      view.W = W;
      view.hmax = hmax;
      view.filter = filter.data();
      view.re = re.data();
      view.im = im.data();
      view.strong = strong;
      onRow(view);
    }
  }
  if (s.passes > 1) {
    std::vector<float> column(kSwanRows);
    for (int c = 0; c < kSwanColumns; ++c) {
      for (int r = 0; r < kSwanRows; ++r) column[r] = map.at(r, c);
      SmoothThreePoint(column.data(), kSwanRows, s.passes);
      for (int r = 0; r < kSwanRows; ++r) map.at(r, c) = column[r];
    }
  }
  return map;
}

SwanScale SwanScaleOf(double maxValue, bool log, bool automatic, double typedMax, double typedMin) {
  SwanScale r;
  r.log = log;
  r.hi = maxValue;
  r.lo = log ? 100.0 : 0.0;
  if (!automatic) {
    if (!log && typedMin < typedMax) {
      r.lo = typedMin;
      r.hi = typedMax;
    } else if (log) {
      r.hi = typedMax;
      r.lo = typedMin > 1e-10 ? typedMax / typedMin : 100.0;
    }
  }
  if (!std::isfinite(r.hi)) r.hi = 1.0;
  if (log) {
    if (!(r.hi > 0.0)) r.hi = maxValue > 0.0 ? maxValue : 1e-10;
    if (!(r.lo > 1.0) || !std::isfinite(r.lo)) r.lo = 100.0;
  } else if (!(r.hi > r.lo)) {
    r.hi = r.lo + 1.0;
  }
  return r;
}

int SwanLevel(const SwanScale& s, double v) {
  if (!std::isfinite(v)) return 1;
  double level;
  if (!s.log) {
    level = (v - s.lo) * 11.0 / (s.hi - s.lo) + 1.5;
  } else {
    if (s.lo * v <= s.hi) return 1;
    level = 11.0 * std::log(s.lo * v / s.hi) / std::log(s.lo) + 1.5;
  }
  return static_cast<int>(std::clamp(std::trunc(level), 1.0, 12.0));
}

SwanPlacement SwanPlacementOf(int width, int height) {
  SwanPlacement g;
  g.cellW = std::max(1, (width - g.left - 80) / kSwanColumns);
  g.cellH = std::max(1, (height - g.top - 70) / kSwanRows);
  return g;
}

bool WriteSwanFile(const std::string& path, const SwanMap& map, std::string& error, int64_t* zeroed) {
  CheckedFile f;
  error.clear();
  if (!f.Open(path, "w")) {
    error = "не удалось создать файл " + path;
    return false;
  }
  const double max = map.maxValue;
  // Numbers of the table as integers; a value beyond their range (a frequency far above any record's)
  // is written at the range's end.
  // is written at the range's end; one that is not a finite number (a map of a signal holding inf) as 0.
  FiniteCells finite;
  const auto whole = [&finite](double v) { return static_cast<int>(std::clamp(finite(v), -1e9, 1e9)); };
  f.Print("веpхняя стpока - частота, умноженная на 100;    вниз идет вpемя c dt = %.5f", finite(map.M * map.dt));
  f.Print("\nчисла надо умножить на max/10000 = %.5f \n", finite(0.0001 * max));
  f.Print("\n     ");
  for (int r = 1; r < kSwanRows - 1; ++r) f.Print("%5d", r);
  f.Print("\n");
  f.Print("\n t/w ");
  for (int r = 1; r < kSwanRows - 1; ++r) f.Print("%5d", whole(std::trunc(map.centre[r] * 100.0)));
  for (int c = 0; c < kSwanColumns; ++c) {
    f.Print("\n%4d:", c);
    for (int r = 1; r < kSwanRows - 1; ++r) {
      const double v = max > 0.0 ? std::trunc(map.at(r, c) * 10000.0 / max) : 0.0;
      f.Print("%5d", whole(v));
    }
  }
  if (!f.Close()) {
    error = "ошибка записи в файл " + path;
    return false;
  }
  finite.Report(zeroed);
  return true;
}

std::string SwanFilterLegend(int32_t shape, double g) {
  if (shape == 0) return toolkit::FormatText("фильтp: exp { - %.2f * [ ( w - Wn ) / w ] ^2 }", g);
  if (shape == 1) return toolkit::FormatText("фильтp: exp { - %.2f * [ ( w - Wn ) ^2 ] / w }", g);
  return toolkit::FormatText("фильтp: Wn*Wn / [ ( w - Wn) ^ 2 + i*Wn/%.2f]", g);
}

std::string SwanSmoothingLegend(int passes) {
  if (passes <= 1) return {};
  return toolkit::FormatText("%d - кpатное сглаживание фильтpом (по 3 точкам) ", passes);
}

}  // namespace analysis
