#pragma once
// Column envelopes of the main plot: the visible range of each shown channel reduced to one minimum and
// one maximum per screen column, or, where the range holds fewer samples than columns, one interpolated
// value per column.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "toolkit/setup_record.h"
#include "viewer/channel_samples.h"

namespace viewer {

// Floats per channel: column x keeps its minimum at [x] and its maximum at [x + kEnvelopeMaxOffset].
constexpr size_t kEnvelopeFloats = 3605;
constexpr size_t kEnvelopeMaxOffset = toolkit::kMaxPlotColumns;

// The 64 envelope buffers of a plot, allocated once and reused by every reduction.
class ViewEnvelope {
 public:
  ViewEnvelope();
  float* operator[](size_t ch) { return data_.get() + ch * kEnvelopeFloats; }
  const float* operator[](size_t ch) const { return data_.get() + ch * kEnvelopeFloats; }

 private:
  std::unique_ptr<float[]> data_;
};

// What a reduction needs to know about the plot and the record.
struct EnvelopeLayout {
  int plotWidth = 0;        // columns, 1 ... 1400
  int pixelsPerSample = 1;  // SetupRecord.PixelsPerSample
  bool cubic = false;       // SetupRecord.Cubic
  uint32_t samples = 0;     // valid samples per channel (SetupRecord.Samples)
};

struct ForCursResult {
  // The range of a record with samples was empty or reversed: its span is shown as a number, and the
  // view goes on with the smallest valid range.
  bool spanMessage = false;
  std::string spanText;
  // Nothing to draw (no samples or no shown channel): every shown channel has 0 columns.
  bool empty = false;
};

// Lays out the visible range Nn ... Nk over `plotWidth` columns (SetupRecord.SamplesPerColumn,
// SetupRecord.PixelsPerSample) and fills the envelope, column count, minimum and maximum of every shown
// channel. Nn and Nk are brought inside the record first (a range of one sample or a reversed one becomes
// the smallest valid range), so that no range ends the program.
ForCursResult for_curs(toolkit::SetupRecord& setup, const ChannelSamples& samples, ViewEnvelope& envelope,
                       int plotWidth);

// Samples one column of the main plot covers for the range for_curs laid out over `plotWidth` columns
// (at least 1). SetupRecord.SamplesPerColumn keeps the value within its 16 bits; a range that needs more
// (a day-long record shown whole) gets the true value here, from the range itself.
uint32_t SamplesPerColumnOf(const toolkit::SetupRecord& setup, int plotWidth);

// Reduces samples first ... last of one channel (`channel` points at its sample 0) into its envelope from
// column `columnCount` on, updating the column count and the running minimum and maximum.
void DecimateChannel(const EnvelopeLayout& layout, uint32_t samplesPerColumn, int32_t first, int32_t last,
                     int32_t& columnCount, const float* channel, float* envelope, float& runningMin,
                     float& runningMax);

// The value at `position` samples after `samples`, of which `limit` are valid: linear between the two
// neighbours, or with `cubic` the four-point Lagrange form. Positions at or past the last valid sample
// give that sample; nothing past it is ever read.
float InterpolateSample(double position, const float* samples, int32_t limit, bool cubic);

}  // namespace viewer
