#pragma once
// The setup block's files: "unit_setup" (the raw 2560-byte block) and the text schedule "unit_kalend"
// (a start date line DDMMYY, then time lines HHMMLLL: start hour, minute and length in minutes).
#include <cstdint>
#include <string>
#include <vector>

#include "recorder/setup_block.h"

namespace recorder {

inline constexpr const char* kSetupFileName = "unit_setup";
inline constexpr const char* kKalendFileName = "unit_kalend";
inline constexpr int kKalendMaxLines = 256;
inline constexpr int kKalendMaxRows = 256;

// Writes the whole block to `path`. On false `error` holds the message and no partial file is left.
bool SaveSetupFile(const YSTANOV& s, const std::string& path, std::string& error);

enum class SetupFilePart { Whole, Calendar };
// Loads `path`, which must hold exactly 2560 bytes, into the block: all of it, or only the calendar
// (bytes 512..2559). The station name the block held is kept either way. On false the block is
// unchanged and `error` holds the message. Both files are read only when they are regular files.
bool LoadSetupFile(YSTANOV& s, const std::string& path, SetupFilePart part, std::string& error);

// The explanation shown before a schedule import (the title of its question is "продолжать?").
extern const char* const kKalendFormatText;

struct KalendLine {
  uint32_t Hour = 0;
  uint32_t Minute = 0;
  uint32_t Minutes = 0;  // length of the period
};

struct KalendFile {
  uint32_t Day = 0;
  uint32_t Month = 0;
  uint32_t Year = 0;  // four digits
  std::vector<KalendLine> Lines;
  // The explanation followed by what was read, for the second "продолжать?" question.
  std::string ReplyText;
  // "kalend: Больше 256 строк" when lines beyond the 256th were left unread, else empty.
  std::string Warning;
};

// Reads and checks "unit_kalend". On false `error` holds the message: "Open error!", "error read date!",
// "error data!" (no such date) or "error read time!" (no time lines).
bool ReadKalendFile(const std::string& path, KalendFile& out, std::string& error);

struct CalendarRow {
  int64_t Start = 0;     // recorder seconds
  uint32_t Minutes = 0;  // length
};

// The periods of a schedule, day after day from its start date, skipping those that begin before
// `nowUnit` (recorder seconds) and those that would end past the recorder's clock; at most 256.
std::vector<CalendarRow> GenerateCalendarRows(const KalendFile& k, int64_t nowUnit);

// The calendar of `rows` (entry i from row i, On = start, Off = On + the length), every other entry
// free, as the calendar grid would store them but to the second, whatever the year.
void CalendarFromRows(YSTANOV& s, const std::vector<CalendarRow>& rows);

}  // namespace recorder
