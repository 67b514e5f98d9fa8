#include "recorder/calendar_check.h"

#include <cstdio>
#include <cstring>

#include "recorder/recorder_time.h"

namespace recorder {
namespace {

constexpr int kMaxReportsPerKind = 30;

void AppendFirstEntries(const YSTANOV& s, std::string& report) {
  char line[64];
  for (int i = 0; i < 10; ++i) {
    std::snprintf(line, sizeof line, "\n%d:  %09u  %09u;", i, s.Calendar[i].On, s.Calendar[i].Off);
    report += line;
  }
}

}  // namespace

bool OfferSystemTime(uint32_t unitClock, int64_t systemUnit) {
  return static_cast<int64_t>(unitClock) + 1200 < systemUnit;
}

std::string SystemTimeQuestionTitle(uint32_t unitClock, int64_t systemUnit) {
  return "T(unit)=" + UnitTimeText(unitClock) + ";  T(SYS)=" + DateTimeText(systemUnit + kUnitEpochFrom1899) +
         ";";
}

CalendarCheck CheckCalendar(YSTANOV& s, uint32_t t) {
  t = t - t % 60 + 60;
  CalendarCheck result;
  char line[128];
  std::snprintf(line, sizeof line, "печать календаря:   T(unit) %08u; ", t);
  result.Report = line;
  AppendFirstEntries(s, result.Report);
  int firstReports = 0;
  int mergeReports = 0;
  CalendarEntry* cal = s.Calendar;
  // A pass either fixes entry 0 or removes an entry, so the passes end; the bound only guards against
  // a reference time so close to the end of the recorder's clock that entry 0 can never be fixed.
  constexpr int kMaxPasses = 2 * kCalendarEntries;
  bool changed = true;
  for (int pass = 0; changed && pass < kMaxPasses; ++pass) {
    changed = false;
    CalendarEntry& e0 = cal[0];
    if (e0.On < t + 240u && e0.Off > e0.On + 65u) {
      const bool report = firstReports++ < kMaxReportsPerKind;
      if (report) {
        std::snprintf(line, sizeof line, "\n\n0: прошло время    %08u  %08u ->", e0.On, e0.Off);
        result.Report += line;
      }
      e0.On = t + 300u;
      if (e0.On + 120u > e0.Off) e0.Off = e0.On + 120u;
      if (report) {
        std::snprintf(line, sizeof line, "_%08u  %08u", e0.On, e0.Off);
        result.Report += line;
      }
      changed = true;
    }
    for (int r = 1; r <= kCalendarEntries - 2; ++r) {
      CalendarEntry& cur = cal[r];
      CalendarEntry& prev = cal[r - 1];
      if (cur.On == kFreeEntry || cur.Off == kFreeEntry) continue;
      if (!(cur.On < prev.Off + 50u && cur.On < cur.Off + 65u)) continue;
      const bool report = mergeReports++ < kMaxReportsPerKind;
      if (report) {
        std::snprintf(line, sizeof line, "\n%03d: новая вкл. рано %08u  %08u ", r, cur.On, cur.Off);
        result.Report += line;
      }
      if (cur.Off > prev.Off + 100u) {
        prev.Off = cur.Off;
        if (report) result.Report += "и кончилась позже ";
      }
      std::memmove(&cal[r], &cal[r + 1], sizeof(CalendarEntry) * (kCalendarEntries - 1 - r));
      FreeEntry(cal[kCalendarEntries - 1]);
      if (report) {
        std::snprintf(line, sizeof line, "-> %08u  %08u ", cal[r].On, cal[r].Off);
        result.Report += line;
      }
      changed = true;
    }
    if (changed) result.Changed = true;
  }
  result.Report += "\n";
  AppendFirstEntries(s, result.Report);
  return result;
}

}  // namespace recorder
