#include "viewer/directory_variance.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/cp1251.h"
#include "platform/output_file.h"
#include "toolkit/civil_date.h"
#include "toolkit/format_text.h"
#include "toolkit/recording_chooser.h"
#include "viewer/channel_coefficients.h"
#include "viewer/directory_recordings.h"

namespace viewer {

using toolkit::MAIN_HEADER;

namespace {

constexpr int kMaxFiles = 999;
constexpr size_t kPortionBytes = size_t{1} << 20;

struct Accepted {
  std::string name;
  double start = 0.0;  // days since 1899-12-30
  double coef[toolkit::kMaxChannels] = {};
};

// Opens `path`, checks its header against `ref` and reads its coefficients; false when it does not match.
bool Matches(std::FILE* f, const MAIN_HEADER& ref, bool useCoefficients, Accepted& a) {
  MAIN_HEADER h;
  if (!ReadCheckedMainHeader(f, h) || h.Format != ref.Format || h.Bits != ref.Bits ||
      h.Channels != ref.Channels || h.Rate != ref.Rate || toolkit::FieldText(h.Station) != toolkit::FieldText(ref.Station))
    return false;
  toolkit::CHANNEL_HEADER heads[toolkit::kMaxChannels];
  if (toolkit::ReadChannelHeaders(f, std::span(heads, h.Channels)) != toolkit::HeaderIo::Ok) return false;
  if (useCoefficients && FirstUnusableCoefficient(std::span(heads, h.Channels)) >= 0) return false;
  for (int c = 0; c < h.Channels; ++c) a.coef[c] = useCoefficients ? heads[c].Coef : 1.0;
  a.start = static_cast<double>(toolkit::DaysFromCivil({h.Year, h.Month, h.Day})) + h.to / 86400.0;
  return true;
}

// Calls fn(frames, count) for the complete frames after the headers, a portion at a time.
template <typename Fn>
void ForEachPortion(std::FILE* f, int channels, Fn&& fn) {
  const size_t frameBytes = size_t{4} * channels;
  const size_t portionFrames = std::max<size_t>(1, kPortionBytes / frameBytes);
  std::vector<int32_t> portion(portionFrames * channels);
  for (;;) {
    const size_t got = std::fread(portion.data(), 1, portionFrames * frameBytes, f) / frameBytes;
    if (got > 0) fn(portion.data(), got);
    if (got < portionFrames) break;
  }
}

// sum[c] += frame[c] over `count` frames, exactly (channel by channel, four running sums each).
void AddFrames(const int32_t* frames, size_t count, int channels, int64_t* sum) {
  for (int c = 0; c < channels; ++c) {
    const int32_t* x = frames + c;
    int64_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    size_t n = 0;
    for (; n + 4 <= count; n += 4) {
      s0 += x[n * channels];
      s1 += x[(n + 1) * channels];
      s2 += x[(n + 2) * channels];
      s3 += x[(n + 3) * channels];
    }
    for (; n < count; ++n) s0 += x[n * channels];
    sum[c] += s0 + s1 + s2 + s3;
  }
}

// squares[c] += (frame[c] * coef[c] - mean[c])^2 over `count` frames.
void AddSquares(const int32_t* frames, size_t count, int channels, const double* coef, const double* mean,
                double* squares) {
  for (int c = 0; c < channels; ++c) {
    const int32_t* x = frames + c;
    const double k = coef[c], m = mean[c];
    double q0 = 0, q1 = 0, q2 = 0, q3 = 0;
    size_t n = 0;
    for (; n + 4 <= count; n += 4) {
      const double d0 = x[n * channels] * k - m, d1 = x[(n + 1) * channels] * k - m;
      const double d2 = x[(n + 2) * channels] * k - m, d3 = x[(n + 3) * channels] * k - m;
      q0 += d0 * d0;
      q1 += d1 * d1;
      q2 += d2 * d2;
      q3 += d3 * d3;
    }
    for (; n < count; ++n) {
      const double d = x[n * channels] * k - m;
      q0 += d * d;
    }
    squares[c] += (q0 + q1) + (q2 + q3);
  }
}

}  // namespace

DirectoryVarianceOutcome DirectoryVariance(const toolkit::SetupRecord& s, const std::string& dir,
                                           const VarianceProgress& progress) {
  DirectoryVarianceOutcome out;
  const MAIN_HEADER& ref = s.Header;
  const int channels = std::clamp<int>(ref.Channels, 0, toolkit::kMaxChannels);
  const double dt = ref.dt;
  const int minutes = s.HistogramRmsMinutes;
  const double w = dt > 0.0 ? std::floor(minutes * 60 / dt + 0.001 * dt) : 0.0;
  if (channels == 0 || !(w >= 1.0) || w > 2e9) {
    out.messages.push_back(toolkit::FormatText("окно %d минут короче одной точки: файл не пишется", minutes));
    return out;
  }
  const int64_t W = static_cast<int64_t>(w);
  const bool useCoef = s.UseCoefficients != 0;

  // First pass: the means.
  double sum[toolkit::kMaxChannels] = {};
  int64_t total = 0;
  std::vector<Accepted> files;
  int maximum = 100;
  if (progress) progress(0, maximum);
  for (const std::string& name : RegularFileNames(dir)) {
    if (static_cast<int>(files.size()) >= kMaxFiles) break;
    UniqueFile f(platform::OpenForReading(toolkit::JoinPath(dir, name)));
    if (!f) {
      out.messages.push_back(kCannotOpenFile);
      continue;
    }
    Accepted a;
    a.name = name;
    if (!Matches(f.get(), ref, useCoef, a)) continue;
    int64_t fileSum[toolkit::kMaxChannels] = {};
    ForEachPortion(f.get(), channels, [&](const int32_t* frames, size_t count) {
      total += static_cast<int64_t>(count);
      AddFrames(frames, count, channels, fileSum);
    });
    for (int c = 0; c < channels; ++c) sum[c] += static_cast<double>(fileSum[c]) * a.coef[c];
    files.push_back(std::move(a));
    if (files.size() > 90) maximum = 1000;
    if (progress) progress(static_cast<int>(files.size()), maximum);
  }
  if (files.empty() || total == 0) {
    out.messages.push_back("дисперсия: подходящих файлов нет, файл не пишется");
    return out;
  }
  double mean[toolkit::kMaxChannels] = {};
  for (int c = 0; c < channels; ++c) mean[c] = sum[c] / static_cast<double>(total);

  // Replaces an earlier file only when written whole, and never through a link.
  platform::ReplacingFile txt;
  if (!txt.Open(toolkit::JoinPath(dir, kDirectoryVarianceFile))) {
    out.messages.push_back("gistogramma: error open file from disk_1");
    return out;
  }
  std::string text = toolkit::FormatText("файлов %d\n среднее _ _ _ / ", static_cast<int>(files.size()));
  for (int c = 0; c < channels; ++c) text += toolkit::FormatText("  %.5e", mean[c]);
  text += toolkit::FormatText("\nокно %d минут (%d точек)\n\n\n", minutes, static_cast<int>(W));

  std::stable_sort(files.begin(), files.end(), [](const Accepted& a, const Accepted& b) { return a.start < b.start; });
  const double windowDays = minutes / 1440.0;
  const int count = static_cast<int>(files.size());

  // Second pass: the windows of each file in time order.
  for (int i = 0; i < count; ++i) {
    if (progress) progress(i, count);
    const Accepted& a = files[i];
    UniqueFile f(platform::OpenForReading(toolkit::JoinPath(dir, a.name)));
    if (!f || std::fseek(f.get(), static_cast<long>(toolkit::HeadersSize(static_cast<uint16_t>(channels))), SEEK_SET) != 0) {
      out.messages.push_back(kCannotOpenFile);
      continue;
    }
    double squares[toolkit::kMaxChannels] = {};
    int64_t frames = 0;
    int k = 0;
    auto minutesAt = [&] { return (((k * windowDays + a.start) - files[0].start) * 86400 + dt * 0.0001) / 60; };
    auto rms = [&] {
      for (int c = 0; c < channels; ++c)
        text += toolkit::FormatText(" %.3e;", std::sqrt(squares[c] / static_cast<double>(frames)));
    };
    ForEachPortion(f.get(), channels, [&](const int32_t* portion, size_t count) {
      while (count > 0) {
        // Up to the end of the current window.
        const size_t run = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), W - frames));
        AddSquares(portion, run, channels, a.coef, mean, squares);
        portion += run * channels;
        count -= run;
        frames += static_cast<int64_t>(run);
        if (frames != W) continue;
        text += toolkit::FormatText("\n%06.1f; 100%%; ", minutesAt());
        rms();
        std::fill(squares, squares + channels, 0.0);
        frames = 0;
        if (k == 0)
          text += "; " + DateTimeText1899(static_cast<int64_t>(std::llround(a.start * 86400.0))) + "; " +
                  platform::NameToTextLine(a.name) + ";";
        ++k;
      }
    });
    if (frames <= W / 5) {
      text += toolkit::FormatText("  * остаток %d точек\n", static_cast<int>(frames));
    } else {
      text += toolkit::FormatText("\n%06.1f; %03d%%; ", minutesAt(), static_cast<int>(frames * 100 / W));
      rms();
    }
  }
  if (std::fwrite(text.data(), 1, text.size(), txt.get()) != text.size() || !txt.Commit()) {
    out.messages.push_back("gistogramma: error write file");
    return out;
  }
  out.written = true;
  return out;
}

}  // namespace viewer
