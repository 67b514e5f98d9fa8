#include "analysis/channel_histogram.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "analysis/checked_file.h"
#include "analysis/finite_cells.h"
#include "analysis/file_name_text.h"
#include "toolkit/format_text.h"

namespace analysis {

using toolkit::FormatText;
using toolkit::SetupRecord;

namespace {

constexpr int64_t kStartMax = -268'435'455;  // 0xF0000001
constexpr int64_t kStartMin = 268'435'455;   // 0x0FFFFFFF
constexpr double kCountLimit = 9.0e15;       // values in counts beyond this are clamped before truncation

// The statistics of one channel over the selection.
struct ChannelStats {
  int64_t max = kStartMax;
  int64_t min = kStartMin;
  double mean = 0.0;
  double sq = 0.0;
  int64_t step = 1;
  int64_t bins = 0;
  int64_t outside = 0;
  std::vector<int64_t> counts;  // bins + 1 entries: the list prints edges 0 ... bins
  std::vector<std::pair<int64_t, double>> windows;  // (length, sum of squared deviations)
};

int64_t Counts(double v) { return static_cast<int64_t>(std::clamp(v, -kCountLimit, kCountLimit)); }

ChannelStats Measure(const float* x, int64_t nn, int64_t nk, double inv, int64_t w) {
  ChannelStats st;
  const int64_t n = nk - nn;
  double sum = 0.0;
  for (int64_t i = nn; i < nk; ++i) {
    sum += x[i];
    const double v = x[i] * inv;
    if (v > static_cast<double>(st.max)) st.max = Counts(v);
    if (v < static_cast<double>(st.min)) st.min = Counts(v);
  }
  st.mean = sum / static_cast<double>(n);
  const bool range = st.max >= st.min;
  if (range) {
    st.step = std::max<int64_t>(static_cast<int64_t>(static_cast<double>(st.max - st.min) * 0.01 + 0.3), 1);
    st.bins = (st.max - st.min) / st.step + 2;
    st.counts.assign(static_cast<size_t>(st.bins) + 1, 0);
  }
  const double minD = static_cast<double>(st.min), stepD = static_cast<double>(st.step);
  const double binsD = static_cast<double>(st.bins), invStep = 1.0 / stepD;
  int64_t* counts = st.counts.data();
  int64_t outside = 0;
  double d = 0.0;
  // Window by window, so that the inner loop keeps its sums in registers.
  for (int64_t from = nn; from < nk; from += w) {
    const int64_t to = std::min(from + w, nk);
    double acc = 0.0;
    for (int64_t i = from; i < to; ++i) {
      const double dev = x[i] - st.mean;
      acc += dev * dev;
      if (!range) continue;
      // The bin by a multiplication; next to a bin edge the division decides, as the rule states it.
      const double v = x[i] * inv - minD;
      double t = v * invStep + 0.1;
      if (t > -1.0 && t < binsD) {
        const double frac = t - static_cast<double>(static_cast<int64_t>(t));
        if (frac < 1e-6 || frac > 1.0 - 1e-6) t = v / stepD + 0.1;
      }
      if (t > -1.0 && t < binsD) {
        ++counts[static_cast<int64_t>(t)];
      } else {
        ++outside;
      }
    }
    d += acc;
    if (to - from == w || static_cast<double>(to - from) > 0.9 * static_cast<double>(w))
      st.windows.push_back({to - from, acc + 0.0});  // a copy: acc itself stays in a register
  }
  st.outside = outside;
  st.sq = std::sqrt(d / static_cast<double>(n));
  return st;
}

}  // namespace

std::string HistogramFileName(const toolkit::MAIN_HEADER& header) {
  const double to = std::isfinite(header.to) ? std::clamp(header.to, 0.0, 86400.0 * 366) : 0.0;
  const auto s = static_cast<int64_t>(to);
  const int64_t hh = s / 3600;
  const int64_t mm = (s - 3600 * hh) / 60;
  return FormatText("gistogram_for_%s_%02d%02d%02lld%02lld.txt",
                    SafeNamePart(toolkit::FieldText(header.Station), 4).c_str(), int{header.Month},
                    int{header.Day}, static_cast<long long>(hh), static_cast<long long>(mm));
}

int64_t RmsWindow(const SetupRecord& setup, int64_t n) {
  auto w = static_cast<int64_t>((setup.HistogramRmsMinutes * 60.0 + 1e-5) * setup.Header.Rate);
  w = std::max<int64_t>(w, 1);
  if (n / w > 720) w = n / 720;
  return std::max<int64_t>(w, 1);
}

HistogramReport ChannelHistogram(const SetupRecord& setup, const float* const* channels, const Progress& progress) {
  HistogramReport rep;
  const int64_t samples = setup.Samples;
  const int64_t nn = std::clamp<int64_t>(setup.Nn, 0, samples);
  const int64_t nk = std::clamp<int64_t>(setup.Nk, nn, samples);
  const int64_t n = nk - nn;
  if (n <= 0) {
    rep.error = "гистограмма: выделение пусто, считать нечего";
    return rep;
  }
  rep.fileName = HistogramFileName(setup.Header);
  CheckedFile file;
  if (!file.Open(rep.fileName, "w")) {
    rep.error = "gistogramma: error open file from disk_1\n" + rep.fileName;
    return rep;
  }
  rep.list = {"убрать - двойной Щелчок по тексту", "ЗАПИСЬ  В  " + rep.fileName, "ОКНО - на вкладке   <ПОИСК>"};
  FiniteCells v;  // a channel holding inf or nan has no finite mean: written as 0
  auto both = [&](const std::string& line) {
    rep.list.push_back(line);
    file.Line(line);
  };
  const int64_t w = RmsWindow(setup, n);
  const int count = std::min<int>(setup.ChannelCount, toolkit::kMaxChannels);
  for (int c = 0; c < count; ++c) {
    if (progress) progress(c * 100 / count);
    const float* x = channels[c];
    if (x == nullptr) continue;
    double coef = setup.MemCoef[c];
    both("         *  *  *");
    both(FormatText("канал   %d", c));
    if (coef == 0.0 || !std::isfinite(coef)) {
      rep.list.push_back(FormatText("коэфф. канала %g: взят 1", coef));
      coef = 1.0;
    }
    const double inv = 1.0 / coef;
    ChannelStats st;
    try {
      st = Measure(x, nn, nk, inv, w);
    } catch (const std::bad_alloc&) {
      rep.error = "Нет памяти для массивов";
      break;
    }
    rep.moments.push_back({st.mean, st.sq});
    both(FormatText("max: %.4e/%lld;    min: %.4e/%lld", static_cast<double>(st.max) * coef,
                    static_cast<long long>(st.max), static_cast<double>(st.min) * coef,
                    static_cast<long long>(st.min)));
    both(FormatText("D = сум{Nn=%d : Nk=%d} (Ai-cpед)*(Ai-cpед);", setup.Nn, setup.Nk));
    both("Sкв = KOPЕНЬ( C / (Nn - Nk)");
    both(FormatText("cp.: %.4e/%.4e;     Sкв: %.4e/%.4e", v(st.mean), v(st.mean / coef), v(st.sq),
                    v(st.sq / coef)));
    if (st.sq > 1e-23) {
      const double big = 0x400000 * std::sqrt(2.0) * coef / st.sq;
      rep.list.push_back(FormatText("N = 0x400000 * sqrt(2) / Sкв = %.4f", big));
      rep.list.push_back(FormatText("эфф. разряды = ln(n) / ln(2)  = %.4f", std::log(big) / std::log(2.0)));
    }
    if (st.outside != 0) rep.list.push_back(FormatText("вне инт-ла %lld точек", static_cast<long long>(st.outside)));
    for (int64_t b = 0; b <= st.bins && !st.counts.empty(); ++b) {
      const int64_t edge = b * st.step + st.min;
      const int64_t k = st.counts[static_cast<size_t>(b)];
      both(FormatText("%+8lld / %+10.4e  -  %7lld / %6.2f%%", static_cast<long long>(edge),
                      static_cast<double>(edge) * coef, static_cast<long long>(k),
                      static_cast<double>(k) * 100.0 / static_cast<double>(n)));
    }
    if (n > w) {
      both(FormatText("окно для ср. кв. %lld точек", static_cast<long long>(w)));
      int k = 0;
      for (const auto& [len, acc] : st.windows) {
        const double rms = std::sqrt(acc / static_cast<double>(len));
        both(FormatText("%03d:  %.5e; / %.5e;", ++k, v(rms), v(rms * inv)));
      }
    }
  }
  if (!file.Close() && rep.error.empty()) rep.error = "gistogramma: ошибка записи в файл\n" + rep.fileName;
  if (rep.error.empty()) rep.error = ZeroedCellsNote(rep.fileName, v.Count());
  return rep;
}

}  // namespace analysis
