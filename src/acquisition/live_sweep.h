#pragma once
// The arithmetic of the live window's sweep graphs and its texts, apart from any widget: where a
// column's values land on the screen, the channel scales, the columns a drawing batch covers, the
// auto-scale result and the captions and panel texts of the window.
#include <cstdint>
#include <string>

#include "acquisition/live_shared.h"
#include "recorder/setup_block.h"
#include "recorder/status_block.h"

namespace acquisition {

inline constexpr int32_t kMinScale = 1;
inline constexpr int32_t kMaxScale = 65536;
inline constexpr int32_t kStartScale = 128;

// y of `value` in a row whose zero line is at `base`: base - (value - offset) / scale, within top..bottom.
int SweepY(int32_t value, int base, int32_t offset, int32_t scale, int top, int bottom);
// A scale halved (at least 1) or doubled (at most 65536).
int32_t HalveScale(int32_t scale);
int32_t DoubleScale(int32_t scale);
// Columns from ring index `from` to `to` in steps of `step` values around a ring of `ringSize`.
int32_t ColumnsBetween(int32_t from, int32_t to, int32_t ringSize, int32_t step);

// The offset and scale an auto-scale collection gives a channel of rows `rowHeight` high.
struct ChannelScale {
  int32_t Offset = 0;
  int32_t Scale = 1;
};
ChannelScale AutoScaleOf(const Extreme& e, int rowHeight);

// The up-downs' increments: the column samples step by 1, by 5 above 19, by 10 above 39; the
// smoothing points by 1 below 40, else by 5.
int ColumnSamplesStep(int position);
int SmoothPointsStep(int position);

// Window captions. `width` is the sweep's width in pixels, `dt` the sampling interval.
std::string SmoothedCaption(int columnSamples, int width, double dt, int smoothPoints, bool narrow,
                            bool withPoints);
std::string RawCaption(int columnSamples, int width, double dt);

// The time panel's text in mode 0..3 and whether it is shown dark red.
struct TimePanel {
  std::string Text;
  bool DarkRed = false;
};
TimePanel TimePanelText(int mode, const recorder::StatusBlock& st, int64_t blockSeconds,
                        uint16_t gpsInterval);
// The hint of the time panel in mode 0..3.
const char* TimePanelHint(int mode);

// "файл (минут) %u;  %u Гц;  Kyc =  " and the gain of each recorded channel followed by a blank.
std::string SizeText(const recorder::YSTANOV& s, const recorder::ChannelList& channels);

}  // namespace acquisition
