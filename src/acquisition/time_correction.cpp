#include "acquisition/time_correction.h"

#include <algorithm>
#include <cmath>

#include "recorder/recorder_time.h"
#include "toolkit/format_text.h"

namespace acquisition {
namespace {

using recorder::DateTimeText;
using toolkit::FormatText;

constexpr const char* kNoData = "нет данных";

// Date-time text of a fractional count of seconds (its whole seconds).
std::string TimeText(long double seconds) { return DateTimeText(static_cast<int64_t>(std::floor(seconds))); }

// Whole seconds and microseconds (0 when negative) of a time, as the labels show it.
struct SplitTime {
  int64_t Whole;
  double Micro;
};
SplitTime Split(long double t) {
  const int64_t w = static_cast<int64_t>(std::trunc(t + 1e-8L));
  const double us = static_cast<double>((t - w) * 1'000'000.0L);
  return {w, us < 0 ? 0.0 : us};
}

size_t Count(const TimeCorrectionInput& in) { return in.SyncTimes ? in.SyncTimes->size() : 0; }

// Steps that depend on the two points: their texts, the drift, the exact start, the verdict.
void Evaluate(const TimeCorrectionInput& in, TimeCorrection& c) {
  const size_t n = Count(in);
  const auto& times = *in.SyncTimes;
  const auto& values = *in.SyncTable;
  c.HasDrift = false;
  c.DriftRate = 0;
  c.DriftInterval = 0;
  if (n > 0) {
    c.E_n = DateTimeText(times[c.First]);
    c.E_k = DateTimeText(times[c.Second]);
    c.E_dt_n = FormatText("%.4f", values[c.First]);
    c.E_dt_k = FormatText("%.4f", values[c.Second]);
    c.DriftInterval = static_cast<double>(times[c.Second] - c.SyncBase);
    c.HasDrift = c.Second > c.First && c.DriftInterval > 0;
    if (c.HasDrift) c.DriftRate = -(values[c.Second] * 1e-6) / c.DriftInterval;
    c.Label2 = FormatText("1) Unit был синхронизован в  %s ", DateTimeText(c.SyncBase).c_str());
  } else {
    c.E_n = c.E_k = c.E_dt_n = c.E_dt_k = "";
    c.Label2 = FormatText("1) Unit был синхронизован в  %s ", kNoData);
  }
  if (c.HasDrift) {
    c.Label10 = FormatText("2) относительный уход %.3e за %.1fмин", c.DriftRate, c.DriftInterval / 60);
    c.ExactStart = (c.Start - c.SyncBase) * c.DriftRate + c.Start;
  } else {
    c.Label10 = FormatText("2) относительный уход: %s", kNoData);
    c.ExactStart = c.Start;
  }
  const SplitTime exact = Split(c.ExactStart);
  c.Label8 = FormatText("тогда, точное начало: %s + %.4fmk", DateTimeText(exact.Whole).c_str(), exact.Micro);
  c.Label1 = FormatText("коррекция по : %d - %d", c.First, c.Second);
  c.Good = c.HasDrift && c.HasEnd && c.Second == c.First + 1 &&
           static_cast<double>(times[c.Second]) >= c.End && c.Start >= c.SyncBase;
}

}  // namespace

TimeCorrection ComputeTimeCorrection(const TimeCorrectionInput& in) {
  TimeCorrection c;
  const recorder::FileEntry& f = in.File;
  const size_t n = Count(in);
  const auto& times = *in.SyncTimes;
  c.Start = static_cast<long double>(int64_t{f.StartTime} + recorder::kUnitEpochFrom1899) + f.Correction;
  const SplitTime start = Split(c.Start);
  c.Label3 = FormatText("начало: %s + %.1fmk", DateTimeText(start.Whole).c_str(), start.Micro);
  c.Label9 = FormatText("интервал синхронизации %02u мин %02u сек", in.GpsInterval / 60, in.GpsInterval % 60);
  // Whole frames of up to 150 values a page.
  c.HasEnd = f.Channels != 0 && in.SampleClock != 0;
  if (c.HasEnd) {
    const double pageSeconds = static_cast<double>(150 / f.Channels) * f.Decimation / in.SampleClock;
    const double pages = static_cast<double>(int64_t{f.EndPage} - int64_t{f.BeginPage} + 1);
    c.End = static_cast<double>(c.Start) + pages * pageSeconds;
    c.Label4 = "конец  " + TimeText(c.End);
  } else {
    c.Label4 = std::string("конец  ") + kNoData;
  }

  c.First = 0;
  for (size_t i = 0; i < n; ++i) {
    if (c.Start > static_cast<long double>(times[i] + in.GpsInterval)) c.First = static_cast<int32_t>(i);
  }
  c.SyncBase = n > 0 ? times[c.First] + in.GpsInterval : 0;
  c.Second = n > 0 ? std::min<int32_t>(c.First + 1, static_cast<int32_t>(n) - 1) : 0;
  if (c.HasEnd) {
    for (size_t i = n; i-- > 0;) {
      if (static_cast<double>(times[i]) > c.End && times[i] > c.SyncBase) c.Second = static_cast<int32_t>(i);
    }
  }

  const size_t from = static_cast<size_t>(std::max(c.First - 100, 0));
  const size_t to = std::min(static_cast<size_t>(c.Second) + 100, n);
  for (size_t i = from; i < to && c.Lines.size() < kCorrectionListLines; ++i) {
    const double v = (*in.SyncTable)[i];
    if (in.SyncKinds && i < in.SyncKinds->size() && (*in.SyncKinds)[i] == 1) {
      c.Lines.push_back(FormatText("синхронизация в  %s  ->  %.8fмк ", DateTimeText(times[i]).c_str(), v));
    } else {
      c.Lines.push_back(FormatText("%02d :  %lld   %s  ->  %.8fмк ", static_cast<int>(i),
                                   static_cast<long long>(times[i]), DateTimeText(times[i]).c_str(), v));
    }
  }
  Evaluate(in, c);
  return c;
}

bool MoveSyncPoint(const TimeCorrectionInput& in, TimeCorrection& c, int keyCode) {
  const int32_t last = static_cast<int32_t>(Count(in)) - 1;
  if (last < 0) return false;
  int32_t first = c.First;
  int32_t second = c.Second;
  switch (keyCode) {
    case 187: first = std::min(first + 1, second); break;
    case 189: first = std::max(first - 1, 0); break;
    case 107: second = std::min(second + 1, last); break;
    case 109: second = std::max(second - 1, first); break;
    default: return false;
  }
  if (first == c.First && second == c.Second) return false;
  c.First = first;
  c.Second = second;
  c.SyncBase = (*in.SyncTimes)[first] + in.GpsInterval;
  Evaluate(in, c);
  return true;
}

std::vector<std::string> TimeCorrectionLogLines(const TimeCorrectionInput& in, const TimeCorrection& c) {
  std::vector<std::string> lines;
  lines.push_back(FormatText("начало: %s;    конец:  %s;", TimeText(c.Start).c_str(),
                             c.HasEnd ? TimeText(c.End).c_str() : kNoData));
  if (c.Good) {
    const auto& times = *in.SyncTimes;
    const auto& values = *in.SyncTable;
    lines.push_back(FormatText("%u: %s  %.5f    /   %u: %s / %.5f", static_cast<unsigned>(c.First),
                               DateTimeText(times[c.First]).c_str(), values[c.First],
                               static_cast<unsigned>(c.Second), DateTimeText(times[c.Second]).c_str(),
                               values[c.Second]));
  } else {
    lines.push_back("  -  А  В О Т  З А Ч Е М  Э Т О  Д Е Л А Е М ?");
  }
  return lines;
}

}  // namespace acquisition
