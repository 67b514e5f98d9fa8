#include "recorder/recorder_time.h"

#include <cstdio>

namespace recorder {
namespace {

// Days from 1899-12-30 to 1970-01-01.
constexpr int64_t kUnixFrom1899Days = 25'569;
// 4,294,967,280 seconds after 1899-12-30: what the status panel has always shown for a free entry.
constexpr int64_t kFreeEntryShownAs = 4'294'967'280;
// 31.12.49 00:00:00, the latest schedule time shown.
constexpr int64_t kScheduleLimit = 4'733'683'200;
// 2000-01-01 and 2100-01-01 as Unix seconds.
constexpr int64_t kPlausibleFromUnix = 946'684'800;
constexpr int64_t kPlausibleUntilUnix = 4'102'444'800;

struct CivilDate {
  int64_t Year;
  int Month;
  int Day;
};

// Calendar date of a count of days since 1970-01-01 (proleptic Gregorian).
CivilDate CivilFromDays(int64_t z) {
  z += 719'468;
  const int64_t era = (z >= 0 ? z : z - 146'096) / 146'097;
  const int64_t doe = z - era * 146'097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36'524 - doe / 146'096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return CivilDate{yoe + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

// Days since 1970-01-01 of a calendar date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146'097 + doe - 719'468;
}

int64_t FloorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

std::string DateTimeText(int64_t secondsSince1899) {
  const int64_t days = FloorDiv(secondsSince1899, kSecondsPerDay);
  const int64_t secondOfDay = secondsSince1899 - days * kSecondsPerDay;
  const CivilDate date = CivilFromDays(days - kUnixFrom1899Days);
  char text[48];
  std::snprintf(text, sizeof text, "%02d.%02d.%02d %02d:%02d:%02d", static_cast<int>(date.Day),
                static_cast<int>(date.Month), static_cast<int>(((date.Year % 100) + 100) % 100),
                static_cast<int>(secondOfDay / 3600), static_cast<int>(secondOfDay / 60 % 60),
                static_cast<int>(secondOfDay % 60));
  return text;
}

bool IsValidDate(int year, int month, int day) {
  if (month < 1 || month > 12 || day < 1) return false;
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

int64_t UnitSecondsFromDate(int year, int month, int day) {
  return (DaysFromCivil(year, month, day) + kUnixFrom1899Days) * kSecondsPerDay - kUnitEpochFrom1899;
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
  return t.unixSeconds - kUnitEpochFromUnix + FloorDiv(t.microseconds, 1'000'000);
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
