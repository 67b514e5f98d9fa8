#include "recorder/recorder_time.h"

#include "toolkit/civil_date.h"
#include "toolkit/format_text.h"

namespace recorder {
namespace {

// 4,294,967,280 seconds after 1899-12-30: what the status panel has always shown for a free entry.
constexpr int64_t kFreeEntryShownAs = 4'294'967'280;
// 31.12.49 00:00:00, the latest schedule time shown.
constexpr int64_t kScheduleLimit = 4'733'683'200;
// 2000-01-01 and 2100-01-01 as Unix seconds.
constexpr int64_t kPlausibleFromUnix = 946'684'800;
constexpr int64_t kPlausibleUntilUnix = 4'102'444'800;

}  // namespace

std::string DateTimeText(int64_t secondsSince1899) {
  const toolkit::CivilDateTime t = toolkit::CivilFromSeconds(secondsSince1899);
  return toolkit::FormatText("%02u.%02u.%02u %02u:%02u:%02u", t.Date.Day, t.Date.Month,
                             static_cast<unsigned>(toolkit::FloorMod(t.Date.Year, 100)), t.Time.Hour,
                             t.Time.Minute, t.Time.Second);
}

bool IsValidDate(int year, int month, int day) {
  if (month < 1 || day < 1) return false;
  return toolkit::IsValidDate({year, static_cast<uint32_t>(month), static_cast<uint32_t>(day)});
}

int64_t UnitSecondsFromDate(int year, int month, int day) {
  return toolkit::SecondsFromCivil({{year, static_cast<uint32_t>(month), static_cast<uint32_t>(day)}, {}},
                                   toolkit::kDayGpsEpoch);
}

std::string UnitTimeText(uint32_t unitSeconds) {
  return DateTimeText(static_cast<int64_t>(unitSeconds) + kUnitEpochFrom1899);
}

std::string CalendarOnText(uint32_t unitSeconds) {
  if (unitSeconds == kFreeEntry) return DateTimeText(kFreeEntryShownAs);
  return UnitTimeText(unitSeconds);
}

std::string ScheduleTimeText(uint32_t unitSeconds) {
  int64_t s = static_cast<int64_t>(unitSeconds) + kUnitEpochFrom1899;
  if (s > kScheduleLimit) s = kScheduleLimit;
  return DateTimeText(s);
}

double TickMicroseconds(uint32_t ticks65536, uint16_t tikInSek) {
  return static_cast<double>(ticks65536) * 1'000'000.0 / (static_cast<double>(tikInSek) + 1.0) / 65'536.0;
}

int64_t UnitSecondsFromUtc(const platform::UtcTime& t) {
  return t.unixSeconds - kUnitEpochFromUnix + toolkit::FloorDiv(t.microseconds, 1'000'000);
}

platform::UtcTime UtcFromUnitSeconds(int64_t unitSeconds) {
  return platform::UtcTime{unitSeconds + kUnitEpochFromUnix, 0};
}

std::optional<platform::UtcTime> PcClockFromUnitTime(uint32_t unitSeconds) {
  const platform::UtcTime t = UtcFromUnitSeconds(unitSeconds);
  if (t.unixSeconds < kPlausibleFromUnix || t.unixSeconds >= kPlausibleUntilUnix) return std::nullopt;
  return t;
}

}  // namespace recorder
