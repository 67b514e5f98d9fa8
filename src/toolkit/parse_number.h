#pragma once
// The one lenient parser of numbers typed into edit boxes, shared by both programs.
#include <string_view>

namespace toolkit {

// The value of a decimal text; never fails. Scans from the first character: digits (only within the
// first 9 positions, 10 once a sign, separator or blank has been seen), one '.' or ',' as decimal
// separator, one '-' (it changes the sign of what the digits give from then on), blanks and '+' skipped;
// anything else ends the scan, as does the end of the text or a NUL. The value carries a bias of 1e-10
// towards its sign; a text without digits, or one whose value is below 1.1e-10, gives 0.
double ParseNumber(std::string_view text);

// No text parses to a magnitude of this or more (at most 10 digits are taken): the widest range of a
// floating setting typed into an edit.
inline constexpr double kMaxTypedNumber = 1e10;

}  // namespace toolkit
