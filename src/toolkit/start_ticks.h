#pragma once
// Instants on the StartTicks scale (1/256 us since 1980-01-01 00:00:00) split into whole seconds and
// the ticks beyond them, in 64-bit integers, so that a whole-second instant is never shown one second
// early and no count overflows 32 bits.
#include <cstdint>

#include "toolkit/civil_date.h"

namespace toolkit {

constexpr int64_t kStartTicksPerSecond = 256'000'000;

struct TickInstant {
  int64_t WholeSeconds = 0;  // since 1899-12-30 00:00:00, rounded towards minus infinity
  int64_t Ticks = 0;         // 0 ... 255,999,999 beyond WholeSeconds

  constexpr int64_t DayNumber() const { return FloorDiv(WholeSeconds, kSecondsPerDay); }
  constexpr CivilDateTime Civil() const { return CivilFromSeconds(WholeSeconds); }
  constexpr uint32_t Microseconds() const { return static_cast<uint32_t>(Ticks / 256); }
};

// `ticks` plus `offsetSeconds`. The offset is taken to the nearest tick; an offset that is not finite
// counts as 0 and one beyond +-1e11 s (some 3000 years) is held at that bound.
TickInstant SplitStartTicks(int64_t ticks, double offsetSeconds = 0.0);

// The date-time value of an instant: days since 1899-12-30 with the time of day as fraction.
double DateTimeValue(const TickInstant& t);

// StartTicks of `seconds` counted from 00:00:00 of day `epochDay` (a day number: kDay1980, kDayGpsEpoch,
// ...) plus `ticks`; false when the result does not fit in int64.
bool StartTicksFromSeconds(int64_t seconds, int64_t epochDay, int64_t ticks, int64_t& out);

}  // namespace toolkit
