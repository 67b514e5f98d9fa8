#pragma once
// The calendar check of the setup editor ("проверить"): moves a first period that has already begun
// and merges periods that start too soon after the previous one.
#include <cstdint>
#include <string>

#include "recorder/setup_block.h"

namespace recorder {

// True when the recorder clock `unitClock` lags the system clock `systemUnit` (both recorder seconds)
// by more than 20 minutes, so the user is offered to check against the system time.
bool OfferSystemTime(uint32_t unitClock, int64_t systemUnit);
// Title of that question: "T(unit)=%s;  T(SYS)=%s;".
std::string SystemTimeQuestionTitle(uint32_t unitClock, int64_t systemUnit);

struct CalendarCheck {
  bool Changed = false;
  std::string Report;  // the "печать календаря" text
};

// Runs the check against the reference time `t` (recorder seconds, the recorder clock or the system
// time the user chose) until a pass changes nothing.
CalendarCheck CheckCalendar(YSTANOV& s, uint32_t t);

}  // namespace recorder
