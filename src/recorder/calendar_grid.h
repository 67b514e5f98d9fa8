#pragma once
// The calendar grid of the setup editor: 256 rows of start time, length in minutes and the time left
// until the start, filled from the block's calendar and stored back into it, all rows or none; the
// memory a calendar will fill on the card.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "recorder/setup_block.h"

namespace recorder {

struct CalendarGridRow {
  std::string Start = " ";    // "dd.mm.yy hh:mm:ss"
  std::string Minutes = " ";  // length
  std::string Ahead = " ";    // seconds until the start, or "прошло"
};

// One row per entry. Every entry in use shows, free entries are blank rows, so a grid stored
// unchanged gives the calendar back exactly. `unitTime` is the recorder clock.
std::vector<CalendarGridRow> CalendarGridFromSetup(const YSTANOV& s, uint32_t unitTime);

// Recorder seconds of a start text "dd.mm.yy hh:mm:ss" (also four-digit years, the time or its seconds
// left out). A two-digit year takes the century that puts the time within the recorder's clock
// (1980-01-06 to 2116) nearest `near` (recorder seconds, see StartReference), so a row edit never moves
// a start by a century. Nothing for a text that is not such a time or lies outside the recorder's clock.
std::optional<uint32_t> ParseStartText(const std::string& text, int64_t near);

// What a row's two-digit year is read near: the start the entry holds, or for a free entry 50 years
// after the recorder clock `unitTime`, so a new period lies ahead of the clock where it can.
int64_t StartReference(const CalendarEntry& e, uint32_t unitTime);

// The length cell in minutes: blank counts 0; nothing for a negative or unreadable length.
std::optional<uint32_t> ParseMinutes(const std::string& text);

struct CalendarRefusal {
  std::string Text;  // empty: accepted
  int Row = -1;      // 0-based
};

// Stores the grid into the calendar. Rows whose start and length are as `shown` keep their entry bit
// for bit, and a row whose start text is as shown keeps its start exactly; a changed row with length 0
// (or blank) frees its entry, any other needs a readable start and an end within the recorder's clock.
// `unitTime` (the recorder clock) places the two-digit years of new rows. On a refusal nothing is
// stored.
CalendarRefusal StoreCalendarGrid(YSTANOV& s, const std::vector<CalendarGridRow>& edited,
                                  const std::vector<CalendarGridRow>& shown, uint32_t unitTime);

// The new start of a row from the time pickers, keeping the row's length: the entry is stored (On,
// Off = On + the length) when the row has a length; a row without one only gets its start text, and
// is stored when the grid is left with a length typed. False, with `refusal` set, when the end would
// pass the recorder's clock.
bool SetRowStart(YSTANOV& s, int row, uint32_t on, CalendarGridRow& gridRow, CalendarRefusal& refusal);

// Card pages a calendar fills: for each row with a length, the samples of `channels` channels at
// `rate` over its minutes, in pages of whole frames of at most 150 values.
uint64_t CalendarPages(const std::vector<CalendarGridRow>& rows, unsigned channels, unsigned rate);

}  // namespace recorder
