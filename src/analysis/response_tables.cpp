#include "analysis/response_tables.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/checked_file.h"
#include "analysis/finite_cells.h"
#include "platform/cp1251.h"
#include "toolkit/format_text.h"

namespace analysis {

namespace {

// The numbers pass through `v`: one that is not finite is written as 0 and counted.
std::string Format(FiniteCells& v, const char* format, double a, double b = 0.0, double c = 0.0) {
  char buf[128];
  std::snprintf(buf, sizeof buf, format, v(a), v(b), v(c));
  return buf;
}

}  // namespace

ChannelPeaks ResponsePeaks(const float* s, int32_t L, double dt) {
  ChannelPeaks out;
  const int32_t half = L / 2;
  for (int32_t k = 1; k <= half - 1; ++k) out.largest = std::max(out.largest, static_cast<double>(s[k]));
  if (!(out.largest > 0.0)) return out;
  const double threshold = 0.05 * out.largest;
  // Slots 0 .. 198 take the first peaks; later ones would only overwrite slot 199, which is never listed.
  for (int32_t k = 1; k <= half - 2 && static_cast<int>(out.peaks.size()) < kPeakSlots - 1; ++k) {
    if (!(s[k] > threshold && s[k - 1] < s[k] && s[k] > s[k + 1])) continue;
    out.peaks.push_back(Peak{k / (L * dt), s[k] / out.largest, k});
  }
  return out;
}

std::string ResponseText(const std::string& recording, const std::vector<std::string>& channelNames,
                         const std::vector<ChannelPeaks>& channels, int64_t* zeroed) {
  FiniteCells v;
  std::string list;
  for (size_t c = 0; c < channelNames.size(); ++c) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "   %d - %s;", static_cast<int>(c), channelNames[c].c_str());
    list += buf;
  }
  std::string text = "\n\n      " + platform::NameToTextLine(recording) + ":\n" + list + "\n";
  std::string line;
  size_t rows = 0;
  for (const ChannelPeaks& ch : channels) {
    line += Format(v, "%12.5f;     *  ", ch.largest);
    rows = std::max(rows, ch.peaks.size());
  }
  text += "\n" + line;
  for (size_t r = 0; r < rows; ++r) {
    line.clear();
    for (const ChannelPeaks& ch : channels) {
      const Peak p = r < ch.peaks.size() ? ch.peaks[r] : Peak{};
      line += Format(v, "%7.2f - %7.4f;  ", p.frequency, p.value);
    }
    text += "\n" + line;
  }
  v.Report(zeroed);
  return text;
}

std::vector<Peak> PeaksAboveLevel(const float* s, int32_t first, int32_t last, double T, int32_t n, double dt) {
  std::vector<Peak> done;
  Peak open{0.0, 1e-8, 0};
  for (int32_t k = std::max(first, 1); k <= last && static_cast<int>(done.size()) < kPeakSlots; ++k) {
    const double before = s[k - 1], now = s[k];
    if (before < T && T < now) {
      open = Peak{0.0, now, k};
    } else if (before > T && now > T) {
      if (now > open.value) open = Peak{0.0, now, k};
    } else if (before > T && T > now) {
      open.frequency = open.bin / (n * dt);
      done.push_back(open);
      open = Peak{0.0, 1e-8, 0};
    }
  }
  return done;
}

double PeaksLargest(const std::vector<Peak>& peaks) {
  double m = 1e-8;
  for (const Peak& p : peaks) m = std::max(m, p.value);
  return m;
}

std::string PeaksAboveText(const std::string& recording, int channel, const std::string& channelName,
                           const std::vector<Peak>& peaks, int64_t* zeroed) {
  FiniteCells v;
  std::string text = toolkit::FormatText("\n\n   %s:  канал %d - %s\n", platform::NameToTextLine(recording).c_str(),
                                         channel, channelName.c_str());
  const double largest = PeaksLargest(peaks);
  for (const Peak& p : peaks)
    text += Format(v, "\n%08.4f;   %08.4f;   %08.4f;", p.frequency, p.value / largest, p.value);
  v.Report(zeroed);
  return text;
}

float ComponentRatio(double p0, double p1, double p2, int32_t intervals) {
  const double n = std::max(intervals, 1);
  const double a2 = std::sqrt(p2 / n);
  if (!(a2 > 1e-10)) return 1.0f;
  return static_cast<float>(0.5 * (std::sqrt(p0 / n) + std::sqrt(p1 / n)) / a2);
}

std::string RatioFileHead(int32_t n, const std::string& recording) {
  return toolkit::FormatText("A[i] * exp { 2*3.14*i/%d }   из  <%s> \n\n", n,
                             platform::NameToTextLine(recording).c_str());
}

std::string RatioFileTable(const std::vector<double>* powers, const std::vector<float>& ratio, int32_t n,
                           double dt, int32_t intervals, int64_t* zeroed) {
  FiniteCells v;
  std::string text =
      "  N            f                   S0                    S1                    S2                     "
      "АЧХ_WZ \n";
  const double count = std::max(intervals, 1);
  for (int32_t k = 1; k <= n / 2 / 3 - 1; ++k) {
    char buf[192];
    std::snprintf(buf, sizeof buf, "%04d  %13.3f   %20.5f   %20.5f   %20.5f   %20.5f \n", k, v(k / (n * dt)),
                  v(std::sqrt(powers[0][k] / count)), v(std::sqrt(powers[1][k] / count)),
                  v(std::sqrt(powers[2][k] / count)), v(ratio[k]));
    text += buf;
  }
  v.Report(zeroed);
  return text;
}

bool AppendTextFile(const std::string& path, const std::string& text, std::string& error) {
  CheckedFile f;
  if (!f.Open(path, "a")) {
    error = f.ErrorText();
    return false;
  }
  f.Write(text.data(), text.size());
  if (!f.Close()) {
    error = "не записан файл " + path;
    return false;
  }
  return true;
}

}  // namespace analysis
