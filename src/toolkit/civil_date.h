#pragma once
// Proleptic Gregorian calendar arithmetic on day numbers counted from 1899-12-30 (day 0, the origin of
// the date-time values both programs use). Everything is 64-bit integer arithmetic: no time zone, no
// locale, no floating point. Divisions round towards minus infinity, so instants before an epoch split
// into the day and time of day a clock would show.
#include <cstdint>

namespace toolkit {

struct CivilDate {
  int32_t Year = 1899;
  uint32_t Month = 12;  // 1 ... 12
  uint32_t Day = 30;    // 1 ... 31
};

struct TimeOfDay {
  uint32_t Hour = 0;
  uint32_t Minute = 0;
  uint32_t Second = 0;
};

struct CivilDateTime {
  CivilDate Date;
  TimeOfDay Time;
};

// Day numbers (days since 1899-12-30) of the epochs in use.
constexpr int64_t kDayUnixEpoch = 25569;  // 1970-01-01
constexpr int64_t kDay1980 = 29221;       // 1980-01-01, origin of StartTicks
constexpr int64_t kDayGpsEpoch = 29226;   // 1980-01-06, origin of the recorder's clock
constexpr int64_t kSecondsPerDay = 86400;

// Quotient and remainder rounded towards minus infinity (divisor > 0).
constexpr int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && (a < 0)); }
constexpr int64_t FloorMod(int64_t a, int64_t b) { return a % b < 0 ? a % b + b : a % b; }

constexpr bool IsLeapYear(int64_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

// Days in `month` (1 ... 12) of `year`; 0 for a month outside 1 ... 12.
constexpr uint32_t DaysInMonth(int64_t year, uint32_t month) {
  constexpr uint8_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29u : kDays[month - 1];
}

constexpr bool IsValidDate(const CivilDate& d) { return d.Day >= 1 && d.Day <= DaysInMonth(d.Year, d.Month); }

// Day number of a date. Month 0 counts as December of the year before and a day beyond the month's end
// runs on into the next month (as mktime normalises), so every Month 0 ... 12 and any Day give a number.
constexpr int64_t DaysFromCivil(const CivilDate& d) {
  const int64_t month = d.Month > 12 ? 12 : d.Month;
  const int64_t y = static_cast<int64_t>(d.Year) - (month <= 2 ? 1 : 0);
  const int64_t era = FloorDiv(y, 400);
  const int64_t yoe = y - era * 400;                            // 0 ... 399
  const int64_t mp = month > 2 ? month - 3 : month + 9;         // March = 0
  const int64_t doy = (153 * mp + 2) / 5 + int64_t{d.Day} - 1;  // day of the March-based year
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + kDayUnixEpoch;  // 719468: 0000-03-01 to 1970-01-01
}

constexpr CivilDate CivilFromDays(int64_t dayNumber) {
  const int64_t z = dayNumber - kDayUnixEpoch + 719468;
  const int64_t era = FloorDiv(z, 146097);
  const int64_t doe = z - era * 146097;                                       // 0 ... 146096
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;  // 0 ... 399
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  CivilDate out;
  out.Day = static_cast<uint32_t>(doy - (153 * mp + 2) / 5 + 1);
  out.Month = static_cast<uint32_t>(mp < 10 ? mp + 3 : mp - 9);
  out.Year = static_cast<int32_t>(yoe + era * 400 + (out.Month <= 2 ? 1 : 0));
  return out;
}

// Time of day of a second count; whole days are dropped (negative counts wrap into the day before).
constexpr TimeOfDay SplitTimeOfDay(int64_t seconds) {
  const int64_t s = FloorMod(seconds, kSecondsPerDay);
  return TimeOfDay{static_cast<uint32_t>(s / 3600), static_cast<uint32_t>(s / 60 % 60),
                   static_cast<uint32_t>(s % 60)};
}

constexpr int64_t SecondsOfDay(const TimeOfDay& t) {
  return int64_t{t.Hour} * 3600 + int64_t{t.Minute} * 60 + int64_t{t.Second};
}

// Seconds counted from 00:00:00 of day `epochDay` (a day number) <-> date and time.
constexpr CivilDateTime CivilFromSeconds(int64_t seconds, int64_t epochDay = 0) {
  return CivilDateTime{CivilFromDays(epochDay + FloorDiv(seconds, kSecondsPerDay)), SplitTimeOfDay(seconds)};
}
constexpr int64_t SecondsFromCivil(const CivilDateTime& dt, int64_t epochDay = 0) {
  return (DaysFromCivil(dt.Date) - epochDay) * kSecondsPerDay + SecondsOfDay(dt.Time);
}

// Seconds since 1980-01-01 00:00:00, the whole-second part of StartTicks.
constexpr CivilDateTime CivilFromSecondsSince1980(int64_t seconds) {
  return CivilFromSeconds(seconds, kDay1980);
}
constexpr int64_t SecondsSince1980(const CivilDateTime& dt) { return SecondsFromCivil(dt, kDay1980); }

static_assert(DaysFromCivil({1899, 12, 30}) == 0);
static_assert(DaysFromCivil({1970, 1, 1}) == kDayUnixEpoch);
static_assert(DaysFromCivil({1980, 1, 1}) == kDay1980);
static_assert(DaysFromCivil({1980, 1, 6}) == kDayGpsEpoch);

}  // namespace toolkit
