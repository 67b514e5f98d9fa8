#pragma once
// TFunk: the processing program's toolkit object. Its operations are grouped by the file that
// implements them; each group keeps to its own section of this declaration.
#include <cstdint>
#include <string>

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
    double Seconds = 0.0;       // seconds of the minute including the fraction
    int32_t WholeSeconds = 0;   // whole seconds since 1899-12-30 00:00:00
    int32_t Microseconds = 0;   // beyond WholeSeconds
    double DateTime = 0.0;      // days since 1899-12-30
  };

  std::string text;             // scratch text
  double SpareDateTime = 0.0;   // kept for layout compatibility; unused
  CalendarFields Calendar;

  // ---- Time texts and number parsing (funk_time.cpp) ----

  // ---- FFT and channel filters (funk_fft.cpp, funk_filters.cpp) ----

  // ---- Setup file (setup_file.cpp) ----
};

// The program-wide instance, built at start and used for time texts and FFTs by every unit.
TFunk& GlobalFunk();

}  // namespace toolkit
