#pragma once
// TFunk: the processing program's toolkit object. Its operations are grouped by the file that
// implements them; each group keeps to its own section of this declaration.
#include <cstdint>
#include <string>
#include <string_view>

#include "toolkit/fil_batt.h"
#include "toolkit/setup_file.h"

namespace toolkit {

class TFunk {
 public:
  // Calendar fields of the last DecodeTimeStamp.
  struct CalendarFields {
    uint16_t Year = 0;
    uint16_t Month = 0;
    uint16_t Day = 0;
    uint16_t Hour = 0;
    uint16_t Minute = 0;
    double Seconds = 0.0;      // seconds of the minute including the fraction
    int64_t WholeSeconds = 0;  // whole seconds since 1899-12-30 00:00:00 (past 2^31 since 1968)
    int32_t Microseconds = 0;  // beyond WholeSeconds
    double DateTime = 0.0;     // days since 1899-12-30
  };

  std::string text;            // scratch text
  double SpareDateTime = 0.0;  // kept for layout compatibility; unused
  CalendarFields Calendar;

  // ---- Time texts and number parsing (funk_time.cpp) ----
  // Each takes `ticks` on the StartTicks scale (1/256 us since 1980-01-01) and an `offset` in seconds
  // added to it; see toolkit/time_texts.h for the formats.

  // Fills Calendar with the instant and returns its file-name text: "yyMMddhhmm.t" with `longName`
  // non-zero, "MMddhhmm.t" with 0 (t: tens of seconds, yy: two digits of the year).
  std::string DecodeTimeStamp(int64_t ticks, double offset, uint16_t longName);
  std::string TimeText(int64_t ticks, double offset) const;
  std::string DateTimeText(int64_t ticks, double offset) const;
  std::string FormatTimeStamp(int64_t ticks) const;
  std::string FormatSignedDms(double value) const;
  // The edit-box number parser (toolkit/parse_number.h); static so that code without a TFunk shares it.
  static double ParseNumber(std::string_view text);

  // ---- FFT and channel filters (funk_fft.cpp, funk_filters.cpp) ----

  // In-place complex transform of n points: direction -1 is the forward transform
  // sum x[k] e^(-2 pi i jk / n) without scaling, +1 the inverse divided by n. Returns false and leaves
  // the arrays alone when n is not a power of two. Plans are kept per thread.
  bool Fft(int32_t direction, int32_t n, float* re, float* im);

  // Transform length for n samples: the least power of two at or above n (n at most 2^31).
  static uint32_t TransformLength(uint32_t n);

  // ---- Setup file (setup_file.cpp) ----
  // Mode 0 loads the global Setup from "qvd.0" in ProgramDir (defaults when the file is missing or of
  // another size), mode 1 saves it. A failed result means the program must show its text and end
  // with exit status 1.
  SetupFileError ReadWriteSetup(int mode);
};

// The program-wide instance, built at start and used for time texts and FFTs by every unit.
TFunk& GlobalFunk();

}  // namespace toolkit
