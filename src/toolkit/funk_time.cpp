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
  const double v = std::fabs(value);
  // Counted in whole 1e-5 s, so a value just under a minute never shows 60 seconds.
  if (!(v < 9e13)) return FormatText("%c%g", sign, v);
  const long long units = std::llround(v * 1e5);
  const long long hours = units / 360'000'000;
  const long long minutes = units / 6'000'000 % 60;
  const long long secondUnits = units % 6'000'000;
  return FormatText("%c%lld:%02lld:%lld.%05lld", sign, hours, minutes, secondUnits / 100'000,
                    secondUnits % 100'000);
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
