#pragma once
// Correction for the instrument response: the response table "book." + station prefix (a frequency
// column, then an amplitude and a phase column for each of channels 0 ... 5), and the correction of one
// channel in the frequency domain.
//
// Response files: one row a line, white-space separated numbers, rising frequencies in column 0. Column
// 1 + 2c is channel c's amplitude response (a factor, above 0 over the band), column 2 + 2c its phase
// response in radians, entering as F - phase(f): a table holding the instrument's own phase lag removes it.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/funk.h"
#include "toolkit/recording_file.h"
#include "toolkit/setup_record.h"

namespace viewer {

inline constexpr int kResponseColumns = 13;
inline constexpr int kResponseMaxRows = 200;
inline constexpr int kResponseChannels = 6;

struct ResponseTable {
  std::vector<std::array<double, kResponseColumns>> rows;
};

struct ResponseTableRead {
  bool ok = false;
  ResponseTable table;
  std::vector<std::string> messages;  // shown in order (too long a line, too many rows, the refusal)
};

// The response file's name for a record: "book." + the first 3 bytes of the station as UTF-8.
std::string ResponseFileName(const toolkit::MAIN_HEADER& header);

// Parses a table's text. Blank lines are skipped; a row with more than 13 numbers keeps the first 13
// (with a message); reading stops at 200 rows (with a message); a value not given is 0. A table of
// fewer than 3 rows or with frequencies that do not rise strictly is refused.
ResponseTableRead ParseResponseTable(std::string_view text);

// Reads and parses the response file at `path`. A file that is missing or no regular file (a FIFO, a
// link, a folder) gives the one message "Open error!".
ResponseTableRead ReadResponseTable(const std::string& path);

// The value at x of the function tabulated at xs[0 .. m - 1] (m >= 3, rising): quadratic Lagrange
// through the row nearest x and its two neighbours, the first or last three at the ends.
double InterpolateTable(double x, const double* xs, const double* ys, int m);

// Corrects samples 0 ... n - 2 of `channel` (n >= 2) with the columns of table pair `pair` (0 ... 5):
// bins outside the table's band are removed, the others divided by the amplitude response and shifted
// by the phase response; a bin whose amplitude response is not above 0 is removed. The last sample keeps
// its value. Returns the refusal text, empty when done (an amplitude column not above 0 in every row of
// the band, an amplitude so small that a corrected value would not be a finite float, or too short a
// record, is refused and nothing changes).
std::string CorrectResponse(float* channel, uint32_t n, double dt, const ResponseTable& table, int pair,
                            toolkit::TFunk& funk);

// The table pair of channel `c` in memory: the channel's place in its file. After a read of several
// stations each station's channels repeat the channel map's first SetupRecord.LoadChannels entries.
int ResponseTablePair(const toolkit::SetupRecord& s, int c);

// The explanation shown before each corrected channel, naming the response file.
std::string ResponseNotice(const std::string& station3, const std::string& path);

}  // namespace viewer
