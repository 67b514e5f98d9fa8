#pragma once
// Recorder time: whole seconds since 1980-01-06 00:00:00 UTC (the GPS epoch) with tick fractions, and
// its texts "dd.mm.yy hh:mm:ss". All arithmetic is 64-bit integer, so no value wraps in 2036.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/clock.h"
#include "toolkit/civil_date.h"

namespace recorder {

inline constexpr int64_t kSecondsPerDay = toolkit::kSecondsPerDay;
// Seconds from 1899-12-30 00:00:00 (the date-time origin) to 1980-01-06 00:00:00: 2,525,126,400.
inline constexpr int64_t kUnitEpochFrom1899 = toolkit::kDayGpsEpoch * kSecondsPerDay;
// Seconds from 1970-01-01 00:00:00 to 1980-01-06 00:00:00.
inline constexpr int64_t kUnitEpochFromUnix =
    (toolkit::kDayGpsEpoch - toolkit::kDayUnixEpoch) * kSecondsPerDay;
static_assert(kUnitEpochFrom1899 == 2'525'126'400 && kUnitEpochFromUnix == 315'964'800);
// Value of a free calendar entry.
inline constexpr uint32_t kFreeEntry = 0xFFFF'FFFF;

// "dd.mm.yy hh:mm:ss" of a count of seconds since 1899-12-30 00:00:00 (UTC, no time zone).
std::string DateTimeText(int64_t secondsSince1899);

// True for a real calendar date (month 1..12, day within the month).
bool IsValidDate(int year, int month, int day);
// Recorder seconds of 00:00:00 UTC of a calendar date (negative before 1980-01-06).
int64_t UnitSecondsFromDate(int year, int month, int day);

// A recorder time as "dd.mm.yy hh:mm:ss".
std::string UnitTimeText(uint32_t unitSeconds);

// A calendar entry's switch-on time as the status panel shows it: a free entry (all bits set) reads
// 05.02.36 06:28:00, any other value its exact time.
std::string CalendarOnText(uint32_t unitSeconds);

// A scheduled switch-on or switch-off time (T_start, T_End): clamped to 31.12.49 00:00:00.
std::string ScheduleTimeText(uint32_t unitSeconds);

// Microseconds of a tick count in 1/65536 tick, with `tikInSek` + 1 ticks a second.
double TickMicroseconds(uint32_t ticks65536, uint16_t tikInSek);

// Recorder seconds of a UTC instant (whole seconds, rounded down); may lie outside uint32.
int64_t UnitSecondsFromUtc(const platform::UtcTime& t);
// The UTC instant of a recorder time.
platform::UtcTime UtcFromUnitSeconds(int64_t unitSeconds);

// The PC-clock value for a recorder clock reading, or nothing when the reading is implausible for a
// clock to be set from (before 2000-01-01 or from 2100-01-01 on: an unsynchronised or garbled clock).
std::optional<platform::UtcTime> PcClockFromUnitTime(uint32_t unitSeconds);

}  // namespace recorder
