#include "viewer/view_envelope.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "toolkit/format_text.h"

#if defined(__SSE__)
#include <immintrin.h>
#endif

namespace viewer {

using toolkit::SetupRecord;

namespace {

constexpr float kMinStart = 9.9e9f;
constexpr float kMaxStart = -9.9e9f;

// mn = min(mn, x) and mx = max(mx, x) over p[0 .. count - 1], with exactly the outcome of that scalar
// rule: a NaN sample never replaces a number, a NaN start stays. Lanes start from mn and mx and are
// combined by the same rule, which is order-independent for these comparisons.
void MinMaxRun(const float* p, size_t count, float& mn, float& mx) {
  size_t k = 0;
#if defined(__SSE__)
  if (count >= 16) {
    __m128 lo0 = _mm_set1_ps(mn), lo1 = lo0, lo2 = lo0, lo3 = lo0;
    __m128 hi0 = _mm_set1_ps(mx), hi1 = hi0, hi2 = hi0, hi3 = hi0;
    for (; k + 16 <= count; k += 16) {
      const __m128 a = _mm_loadu_ps(p + k), b = _mm_loadu_ps(p + k + 4);
      const __m128 c = _mm_loadu_ps(p + k + 8), d = _mm_loadu_ps(p + k + 12);
      // _mm_min_ps(x, m) is x < m ? x : m, and _mm_max_ps(x, m) is x > m ? x : m.
      lo0 = _mm_min_ps(a, lo0);
      lo1 = _mm_min_ps(b, lo1);
      lo2 = _mm_min_ps(c, lo2);
      lo3 = _mm_min_ps(d, lo3);
      hi0 = _mm_max_ps(a, hi0);
      hi1 = _mm_max_ps(b, hi1);
      hi2 = _mm_max_ps(c, hi2);
      hi3 = _mm_max_ps(d, hi3);
    }
    alignas(16) float lanes[32];
    _mm_store_ps(lanes, lo0);
    _mm_store_ps(lanes + 4, lo1);
    _mm_store_ps(lanes + 8, lo2);
    _mm_store_ps(lanes + 12, lo3);
    _mm_store_ps(lanes + 16, hi0);
    _mm_store_ps(lanes + 20, hi1);
    _mm_store_ps(lanes + 24, hi2);
    _mm_store_ps(lanes + 28, hi3);
    for (int i = 0; i < 16; ++i) {
      if (lanes[i] < mn) mn = lanes[i];
      if (lanes[16 + i] > mx) mx = lanes[16 + i];
    }
  }
#endif
  for (; k < count; ++k) {
    if (p[k] < mn) mn = p[k];
    if (p[k] > mx) mx = p[k];
  }
}

// Brings Nn and Nk inside a record of `samples` (at least 1) samples; an empty or reversed range becomes
// the smallest valid one. Returns true when the range had to be changed beyond the clamp of Nk.
bool MendRange(SetupRecord& s) {
  const int32_t lastSample = static_cast<int32_t>(std::min<uint32_t>(s.Samples - 1, INT32_MAX));
  bool mended = false;
  if (s.Nn < 0 || s.Nn > lastSample) {
    s.Nn = std::clamp(s.Nn, 0, lastSample);
    mended = true;
  }
  if (s.Nk <= s.Nn) {
    if (lastSample == 0) {
      s.Nk = 0;
    } else {
      if (s.Nn == lastSample) s.Nn = lastSample - 1;
      s.Nk = s.Nn + 1;
    }
    mended = true;
  }
  return mended;
}

// Samples per column of a range of `span` samples over `width` columns, 0 when the range is narrower
// than the plot (stretched). Within 10 samples of the whole record the quotient is rounded up, so that
// the whole record fits the plot.
uint32_t LaidOutSamplesPerColumn(const SetupRecord& s, int width, double span) {
  if (width <= 0 || !(span > 0.0)) return 0;
  const float perColumn = static_cast<float>(span / width);
  const double bias = static_cast<double>(static_cast<uint32_t>(s.Samples - 10)) >= span ? 0.02 : 0.99;
  return static_cast<uint32_t>(std::max(0.0, std::trunc(perColumn + bias)));
}

}  // namespace

uint32_t SamplesPerColumnOf(const SetupRecord& s, int plotWidth) {
  if (s.SamplesPerColumn < UINT16_MAX) return std::max<uint32_t>(s.SamplesPerColumn, 1);
  const int width = std::clamp(plotWidth, 0, toolkit::kMaxPlotColumns);
  const double span = static_cast<double>(static_cast<int64_t>(s.Nk) - s.Nn);
  return std::max<uint32_t>(LaidOutSamplesPerColumn(s, width, span), UINT16_MAX);
}

ViewEnvelope::ViewEnvelope() : data_(new float[toolkit::kMaxChannels * kEnvelopeFloats]()) {}

float InterpolateSample(double position, const float* samples, int32_t limit, bool cubic) {
  if (limit <= 1 || !(position > 0.0)) return samples[0];
  if (position >= limit - 1) return samples[limit - 1];
  // In double, and brought back into the float range: neighbours near the largest floats would
  // overflow a float sum, and a curve between them may overshoot them.
  double v;
  if (cubic && limit >= 4) {
    const float p = static_cast<float>(position);
    int32_t i = static_cast<int32_t>(p);
    if (i <= 1) i = 1;
    if (i >= limit - 3) i = limit - 3;  // keeps d = samples[i + 2] a valid sample
    const double t = static_cast<double>(p) - i;
    const double a = samples[i - 1], b = samples[i], c = samples[i + 1], d = samples[i + 2];
    v = ((t - 1) * b - t * c) * (t + 1) * (t - 2) * 0.5 + ((t + 1) * d - (t - 2) * a) * t * (t - 1) / 6;
  } else {
    const int32_t i = static_cast<int32_t>(position);
    v = samples[i] + (position - i) * (static_cast<double>(samples[i + 1]) - samples[i]);
  }
  constexpr double kLargest = std::numeric_limits<float>::max();
  return static_cast<float>(std::clamp(v, -kLargest, kLargest));
}

void DecimateChannel(const EnvelopeLayout& layout, uint32_t samplesPerColumn, int32_t first, int32_t last,
                     int32_t& columnCount, const float* channel, float* envelope, float& runningMin,
                     float& runningMax) {
  const int width = std::min(layout.plotWidth, toolkit::kMaxPlotColumns);
  if (width <= 0 || first < 0 || static_cast<uint32_t>(first) >= layout.samples) return;
  const float* from = channel + first;

  if (columnCount == 0 && layout.pixelsPerSample > 1) {
    // Stretched: every column gets the value between the samples it falls on.
    const int32_t limit = static_cast<int32_t>(std::min<uint32_t>(layout.samples - first, INT32_MAX));
    const float step = 1.0f / static_cast<float>(layout.pixelsPerSample);
    for (int x = 0; x < width; ++x) {
      const float v =
          InterpolateSample(static_cast<double>(static_cast<float>(x) * step), from, limit, layout.cubic);
      envelope[x] = v;
      envelope[x + kEnvelopeMaxOffset] = v;
      if (runningMin > v) runningMin = v;
      if (runningMax < v) runningMax = v;
      columnCount = x + 1;
    }
    return;
  }

  // Reducing: column c takes samples n ... n + samplesPerColumn - 1, never past `last`.
  const int64_t lastValid = static_cast<int64_t>(layout.samples) - 1;
  const int64_t end = std::min<int64_t>(last, lastValid);
  int64_t n = first;
  int32_t c = columnCount;
  do {
    float mn = channel[n], mx = channel[n];
    if (samplesPerColumn > 1 && n + 1 <= end) {
      const int64_t stop = std::min<int64_t>(n + samplesPerColumn, end);
      // The first neighbour is always taken, then up to (not including) `stop`.
      const int64_t count = std::max<int64_t>(stop - (n + 1), 1);
      MinMaxRun(channel + n + 1, static_cast<size_t>(count), mn, mx);
    }
    if (runningMin > mn) runningMin = mn;
    if (runningMax < mx) runningMax = mx;
    envelope[c] = mn;
    envelope[c + kEnvelopeMaxOffset] = mx;
    n += samplesPerColumn;
    ++c;
  } while (n < end && c < width);
  columnCount = c;
}

ForCursResult for_curs(SetupRecord& s, const ChannelSamples& samples, ViewEnvelope& envelope, int plotWidth) {
  ForCursResult result;
  const int width = std::clamp(plotWidth, 0, toolkit::kMaxPlotColumns);
  double span = static_cast<double>(static_cast<int64_t>(s.Nk) - s.Nn);
  // A record without samples has no range to show: it is drawn empty, with nothing to report.
  if (span < 0.1 && s.Samples > 0) {
    result.spanMessage = true;
    result.spanText = toolkit::FormatText("%.15g", span);
  }
  if (static_cast<uint32_t>(s.Nk) > s.Samples - 1) s.Nk = static_cast<int32_t>(s.Samples - 1);

  const int shownEnd = std::min<int>(s.ShownEnd, std::min<int>(s.ChannelCount, toolkit::kMaxChannels));
  const int firstShown = std::min<int>(s.FirstChannel, shownEnd);
  s.PixelsPerSample = 1;
  if (s.Samples == 0 || width == 0 || firstShown >= shownEnd) {
    s.SamplesPerColumn = 1;
    for (int ch = firstShown; ch < shownEnd; ++ch) {
      s.ColumnCount[ch] = 0;
      s.ChannelMin[ch] = 0.0f;
      s.ChannelMax[ch] = 0.0f;
    }
    result.empty = true;
    return result;
  }
  if (MendRange(s)) span = static_cast<double>(s.Nk - s.Nn);

  uint32_t samplesPerColumn = LaidOutSamplesPerColumn(s, width, span);
  if (samplesPerColumn == 0) {
    samplesPerColumn = 1;
    s.PixelsPerSample = s.Nk > s.Nn ? width / (s.Nk - s.Nn) : width;
  }
  // The record's field is 16 bits wide; SamplesPerColumnOf gives readers the true value.
  s.SamplesPerColumn = static_cast<uint16_t>(std::min<uint32_t>(samplesPerColumn, UINT16_MAX));

  const EnvelopeLayout layout{width, s.PixelsPerSample, s.Cubic != 0, s.Samples};
  for (int ch = firstShown; ch < shownEnd; ++ch) {
    s.ColumnCount[ch] = 0;
    s.ChannelMin[ch] = kMinStart;
    s.ChannelMax[ch] = kMaxStart;
    if (samples[ch] == nullptr) continue;
    DecimateChannel(layout, samplesPerColumn, s.Nn, s.Nk, s.ColumnCount[ch], samples[ch], envelope[ch],
                    s.ChannelMin[ch], s.ChannelMax[ch]);
  }
  return result;
}

}  // namespace viewer
