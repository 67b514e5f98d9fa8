#include "toolkit/start_ticks.h"

#include <cmath>

#include "toolkit/recording_file.h"

namespace toolkit {

namespace {
constexpr double kOffsetBound = 1e11;
}

TickInstant SplitStartTicks(int64_t ticks, double offsetSeconds) {
  static_assert(kStartTicksPerSecond == kTicksPerSecond);
  if (!std::isfinite(offsetSeconds)) offsetSeconds = 0.0;
  if (offsetSeconds > kOffsetBound) offsetSeconds = kOffsetBound;
  if (offsetSeconds < -kOffsetBound) offsetSeconds = -kOffsetBound;
  const double wholeOffset = std::floor(offsetSeconds);
  // offset - floor(offset) is exact in double; only the sub-second part is rounded to a tick.
  int64_t offsetTicks = std::llround((offsetSeconds - wholeOffset) * static_cast<double>(kTicksPerSecond));
  int64_t seconds =
      FloorDiv(ticks, kTicksPerSecond) + kSecondsFrom1899To1980 + static_cast<int64_t>(wholeOffset);
  int64_t rest = FloorMod(ticks, kTicksPerSecond) + offsetTicks;
  if (rest >= kTicksPerSecond) {
    rest -= kTicksPerSecond;
    ++seconds;
  }
  return TickInstant{seconds, rest};
}

double DateTimeValue(const TickInstant& t) {
  const int64_t day = t.DayNumber();
  const int64_t tickOfDay = (t.WholeSeconds - day * kSecondsPerDay) * kTicksPerSecond + t.Ticks;
  return static_cast<double>(day) + static_cast<double>(tickOfDay) / static_cast<double>(kTicksPerDay);
}

bool StartTicksFromSeconds(int64_t seconds, int64_t epochDay, int64_t ticks, int64_t& out) {
  int64_t fromEpoch = 0;
  int64_t product = 0;
  int64_t result = 0;
  if (__builtin_sub_overflow(epochDay, kDay1980, &fromEpoch)) return false;
  if (__builtin_mul_overflow(fromEpoch, kSecondsPerDay, &fromEpoch)) return false;
  if (__builtin_add_overflow(seconds, fromEpoch, &fromEpoch)) return false;
  if (__builtin_mul_overflow(fromEpoch, kTicksPerSecond, &product)) return false;
  if (__builtin_add_overflow(product, ticks, &result)) return false;
  out = result;
  return true;
}

}  // namespace toolkit
