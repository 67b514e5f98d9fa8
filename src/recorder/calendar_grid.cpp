#include "recorder/calendar_grid.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "recorder/recorder_time.h"
#include "toolkit/format_text.h"
#include "toolkit/parse_number.h"

namespace recorder {
namespace {

constexpr unsigned kValuesPerFrameLimit = 150;

bool Blank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

}  // namespace

std::vector<CalendarGridRow> CalendarGridFromSetup(const YSTANOV& s, uint32_t unitTime) {
  std::vector<CalendarGridRow> rows(kCalendarEntries);
  for (int i = 0; i < kCalendarEntries; ++i) {
    const CalendarEntry& e = s.Calendar[i];
    if (IsFree(e)) continue;
    CalendarGridRow& r = rows[i];
    r.Start = UnitTimeText(e.On);
    if (e.Off >= e.On && e.Off - e.On > 59) {
      r.Minutes = std::to_string((e.Off - e.On) / 60);
      r.Ahead = e.On > unitTime ? std::to_string(e.On - unitTime) : std::string("прошло");
    }
  }
  return rows;
}

std::optional<uint32_t> ParseStartText(const std::string& text, int64_t near) {
  int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0, used = 0;
  const int fields = std::sscanf(text.c_str(), " %d.%d.%d %n", &day, &month, &year, &used);
  if (fields != 3) return std::nullopt;
  std::string rest = text.substr(static_cast<size_t>(used));
  if (!Blank(rest)) {
    int tail = 0;
    const int timeFields = std::sscanf(rest.c_str(), "%d:%d%n:%d%n", &hour, &minute, &tail, &second, &tail);
    if (timeFields < 2 || !Blank(rest.substr(static_cast<size_t>(tail)))) return std::nullopt;
  }
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return std::nullopt;
  const int64_t timeOfDay = hour * 3600 + minute * 60 + second;
  auto within = [&](int y) -> std::optional<int64_t> {
    if (!IsValidDate(y, month, day)) return std::nullopt;
    const int64_t t = UnitSecondsFromDate(y, month, day) + timeOfDay;
    if (t < 0 || t >= int64_t{kFreeEntry}) return std::nullopt;
    return t;
  };
  std::optional<int64_t> best;
  if (year >= 0 && year < 100) {
    for (const int century : {1900, 2000, 2100}) {
      const std::optional<int64_t> t = within(century + year);
      if (t && (!best || std::llabs(*t - near) < std::llabs(*best - near))) best = t;
    }
  } else {
    best = within(year);
  }
  if (!best) return std::nullopt;
  return static_cast<uint32_t>(*best);
}

int64_t StartReference(const CalendarEntry& e, uint32_t unitTime) {
  constexpr int64_t kFiftyYears = 50 * 36524 * 864;  // 50 x 365.24 days
  return IsFree(e) ? int64_t{unitTime} + kFiftyYears : int64_t{e.On};
}

std::optional<uint32_t> ParseMinutes(const std::string& text) {
  if (Blank(text)) return 0u;
  const double m = std::trunc(toolkit::ParseNumber(text) + 0.00001);
  if (!(m >= 0) || m > 0xFFFF'FFFFu / 60) return std::nullopt;
  return static_cast<uint32_t>(m);
}

CalendarRefusal StoreCalendarGrid(YSTANOV& s, const std::vector<CalendarGridRow>& edited,
                                  const std::vector<CalendarGridRow>& shown, uint32_t unitTime) {
  CalendarEntry calendar[kCalendarEntries];
  for (int i = 0; i < kCalendarEntries; ++i) calendar[i] = s.Calendar[i];
  for (size_t i = 0; i < edited.size() && i < kCalendarEntries; ++i) {
    const CalendarGridRow& r = edited[i];
    if (i < shown.size() && r.Start == shown[i].Start && r.Minutes == shown[i].Minutes) continue;
    const int row = static_cast<int>(i);
    const std::optional<uint32_t> minutes = ParseMinutes(r.Minutes);
    if (!minutes) return {toolkit::FormatText("строка %d: неправильная длина", row + 1), row};
    if (*minutes == 0) {
      FreeEntry(calendar[i]);
      continue;
    }
    // A start left as shown is the entry's own, whatever its text can say.
    const bool inUse = !IsFree(calendar[i]);
    const std::optional<uint32_t> on = inUse && i < shown.size() && r.Start == shown[i].Start
                                           ? std::optional<uint32_t>(calendar[i].On)
                                           : ParseStartText(r.Start, StartReference(calendar[i], unitTime));
    if (!on) return {toolkit::FormatText("строка %d: неправильное время вкл-я", row + 1), row};
    const uint64_t off = uint64_t{*on} + uint64_t{*minutes} * 60;
    if (off >= kFreeEntry) return {toolkit::FormatText("строка %d: слишком поздно", row + 1), row};
    calendar[i] = {*on, static_cast<uint32_t>(off)};
  }
  for (int i = 0; i < kCalendarEntries; ++i) s.Calendar[i] = calendar[i];
  return {};
}

bool SetRowStart(YSTANOV& s, int row, uint32_t on, CalendarGridRow& gridRow, CalendarRefusal& refusal) {
  const std::optional<uint32_t> minutes = ParseMinutes(gridRow.Minutes);
  if (minutes && *minutes > 0) {
    const uint64_t off = uint64_t{on} + uint64_t{*minutes} * 60;
    if (off >= kFreeEntry) {
      refusal = {toolkit::FormatText("строка %d: слишком поздно", row + 1), row};
      return false;
    }
    s.Calendar[row] = {on, static_cast<uint32_t>(off)};
  }
  gridRow.Start = UnitTimeText(on);
  return true;
}

uint64_t CalendarPages(const std::vector<CalendarGridRow>& rows, unsigned channels, unsigned rate) {
  if (channels == 0 || channels > kValuesPerFrameLimit) return 0;
  const uint64_t framesPerPage = kValuesPerFrameLimit / channels;
  uint64_t pages = 0;
  for (const CalendarGridRow& r : rows) {
    const std::optional<uint32_t> minutes = ParseMinutes(r.Minutes);
    if (!minutes) continue;
    const uint64_t frames = uint64_t{*minutes} * 60 * rate;
    pages += (frames + framesPerPage - 1) / framesPerPage;
  }
  return pages;
}

}  // namespace recorder
