// TFunk's time texts and number parsing, and the free time texts they share with the header check.
#include <cmath>
#include <cstdio>

#include "toolkit/format_text.h"
#include "toolkit/funk.h"
#include "toolkit/parse_number.h"
#include "toolkit/start_ticks.h"
#include "toolkit/time_texts.h"

namespace toolkit {

namespace {

constexpr int64_t kTicksPer10Us = kStartTicksPerSecond / 100'000;
constexpr int64_t kTicksPer100Us = kStartTicksPerSecond / 10'000;

}  // namespace

std::string TimeText(int64_t ticks, double offset) {
  const TickInstant t = SplitStartTicks(ticks, offset);
  const TimeOfDay tod = t.Civil().Time;
  return FormatText("%02u:%02u:%02u.%05u", tod.Hour, tod.Minute, tod.Second,
                    static_cast<unsigned>(t.Ticks / kTicksPer10Us));
}

std::string DateTimeText(int64_t ticks, double offset) {
  const TickInstant t = SplitStartTicks(ticks, offset);
  const CivilDateTime c = t.Civil();
  return FormatText("%02u.%02u.%04d %02u:%02u:%02u.%05u", c.Date.Day, c.Date.Month, c.Date.Year, c.Time.Hour,
                    c.Time.Minute, c.Time.Second, static_cast<unsigned>(t.Ticks / kTicksPer10Us));
}

std::string FormatTimeStamp(int64_t ticks) {
  const TickInstant t = SplitStartTicks(ticks);
  const CivilDateTime c = t.Civil();
  return FormatText("%02u/%02u/%02d %02u:%02u:%02u.%04u", c.Date.Day, c.Date.Month, c.Date.Year, c.Time.Hour,
                    c.Time.Minute, c.Time.Second, static_cast<unsigned>(t.Ticks / kTicksPer100Us));
}

std::string FormatSignedDms(double value) {
  const char sign = value >= 0 ? ' ' : '-';
  double v = std::fabs(value);
  if (!(v < 9e13)) return FormatText("%c%g", sign, v);
  // Whole hours and minutes come off exactly (the subtrahend is at least half the value), so the
  // seconds round as "%.5f" rounds the value's own fraction.
  long long hours = 0, minutes = 0;
  if (v >= 3600) {
    hours = static_cast<long long>(v / 3600);
    v -= static_cast<double>(hours) * 3600;
  }
  if (v >= 60) {
    minutes = static_cast<long long>(v / 60);
    v -= static_cast<double>(minutes) * 60;
  }
  std::string seconds = FormatText("%02.5f", v);
  // Seconds just under a minute that round up to it count as the next minute, never as 60.
  if (seconds.rfind("60.", 0) == 0) {
    seconds = "0.00000";
    if (++minutes == 60) {
      minutes = 0;
      ++hours;
    }
  }
  return FormatText("%c%lld:%02lld:", sign, hours, minutes) + seconds;
}

std::string TFunk::DecodeTimeStamp(int64_t ticks, double offset, uint16_t longName) {
  const TickInstant t = SplitStartTicks(ticks, offset);
  const CivilDateTime c = t.Civil();
  Calendar.DateTime = DateTimeValue(t);
  Calendar.WholeSeconds = t.WholeSeconds;
  Calendar.Microseconds = static_cast<int32_t>(t.Microseconds());
  Calendar.Year = static_cast<uint16_t>(c.Date.Year);
  Calendar.Month = static_cast<uint16_t>(c.Date.Month);
  Calendar.Day = static_cast<uint16_t>(c.Date.Day);
  Calendar.Hour = static_cast<uint16_t>(c.Time.Hour);
  Calendar.Minute = static_cast<uint16_t>(c.Time.Minute);
  Calendar.Seconds = c.Time.Second + Calendar.Microseconds * 1e-6;
  const unsigned tens = c.Time.Second / 10;
  if (longName != 0) {
    const int yy = static_cast<int>(FloorMod(c.Date.Year, 100));
    return FormatText("%02d%02u%02u%02u%02u.%u", yy, c.Date.Month, c.Date.Day, c.Time.Hour, c.Time.Minute,
                      tens);
  }
  return FormatText("%02u%02u%02u%02u.%u", c.Date.Month, c.Date.Day, c.Time.Hour, c.Time.Minute, tens);
}

std::string TFunk::TimeText(int64_t ticks, double offset) const { return toolkit::TimeText(ticks, offset); }
std::string TFunk::DateTimeText(int64_t ticks, double offset) const {
  return toolkit::DateTimeText(ticks, offset);
}
std::string TFunk::FormatTimeStamp(int64_t ticks) const { return toolkit::FormatTimeStamp(ticks); }
std::string TFunk::FormatSignedDms(double value) const { return toolkit::FormatSignedDms(value); }
double TFunk::ParseNumber(std::string_view text) { return toolkit::ParseNumber(text); }

}  // namespace toolkit
