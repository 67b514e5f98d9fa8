#pragma once
// The logic of the header editor page: the texts it shows for the current file's headers and the save
// that writes edited texts back. A save is all or nothing: any field that does not read as a sound
// value is reported and the record is left as it was. A field whose text is unchanged since it was
// shown keeps its stored value exactly (no loss through the shown format).
#include <cstdint>
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

// Coefficient text: fixed point with 4, 6 or 11 decimals by size, and at least 7 significant digits.
std::string CoefficientText(double coef);

// The texts the page shows for `setup`'s header.
HeaderTexts ShowHeader(const toolkit::SetupRecord& setup);

// Writes `edited` into `setup` where it differs from `shown`. Returns the faults; when there is any,
// `setup` is unchanged. Station and names become Windows-1251 bytes cut to 11 and 23 bytes.
HeaderFaults SaveHeader(toolkit::SetupRecord& setup, const HeaderTexts& shown, const HeaderTexts& edited);

// True when every character of `text` belongs to a plain decimal number (digits, one separator, signs,
// blanks) and there is at least one digit: text that the edit-box parser reads completely.
bool IsPlainDecimal(const std::string& text);

}  // namespace viewer
