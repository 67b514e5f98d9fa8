#pragma once
// The logic of the header editor page: the texts it shows for the current file's headers and the save
// that writes edited texts back. A save is all or nothing: any field that does not read as a sound
// value is reported and the record is left as it was. A field whose text is unchanged since it was
// shown keeps its stored value exactly (no loss through the shown format).
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "toolkit/civil_date.h"
#include "toolkit/setup_record.h"

namespace viewer {

// Everything the page shows; texts are UTF-8.
struct HeaderTexts {
  toolkit::CivilDate Date;   // start date (plain calendar value, no zone)
  toolkit::TimeOfDay Time;   // start time of day
  std::string Microseconds;  // "%6d"
  std::string Rate;
  std::string Latitude;
  std::string Longitude;
  std::string Station;
  std::vector<std::string> Names;         // one per file channel
  std::vector<std::string> Coefficients;  // one per file channel
  std::string StartText;                  // date-and-time text of the start
};

// Which fields of a save did not read as sound values.
struct HeaderFaults {
  bool Date = false;  // before 1980-01-01, not a date, or out of the tick range
  bool Microseconds = false;
  bool Rate = false;
  std::vector<int> Coefficients;  // file channels whose cell is refused
  bool Any() const { return Date || Microseconds || Rate || !Coefficients.empty(); }
};

// Valid sampling rates of a recording, Hz.
inline constexpr int kMinRate = 49;
inline constexpr int kMaxRate = 10000;

// Channels the page edits: the header's channel count held within 0 ... 64.
int HeaderChannelCount(const toolkit::SetupRecord& setup);

// Coefficient text: fixed point with 4 decimals, 6 below 0.1, 11 below 0.0005. An untouched cell keeps
// its exact value whatever the text shows.
std::string CoefficientText(double coef);

// The texts the page shows for a file's main header and its channel headers (at most 64 are shown). The
// start and rate are those the header check completes (an older layout keeps them in other fields).
HeaderTexts ShowHeader(const toolkit::MAIN_HEADER& header, std::span<const toolkit::CHANNEL_HEADER> channels);

// Writes `edited` into the headers where it differs from `shown`: a field the user did not touch keeps
// its stored bytes. Returns the faults; when there is any, nothing is changed. Station and names become
// Windows-1251 bytes cut to 11 and 23 bytes.
HeaderFaults SaveHeader(toolkit::MAIN_HEADER& header, std::span<toolkit::CHANNEL_HEADER> channels,
                        const HeaderTexts& shown, const HeaderTexts& edited);

// True when every character of `text` belongs to a plain decimal number (digits, one separator, signs,
// blanks) and there is at least one digit: text that the edit-box parser reads completely.
bool IsPlainDecimal(const std::string& text);

}  // namespace viewer
