#pragma once
// TFunk: the processing program's toolkit object. Its operations are grouped by the file that
// implements them; each group keeps to its own section of this declaration.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

  // Filter type codes of the channel filters (the settings page's codes).
  enum FilterKind : uint16_t {
    kFilterLowPass = 0,
    kFilterBandPass = 1,
    kFilterHighPass = 2,
    kFilterBandStop = 3,
  };

  // Band of the frequency-domain filter: `Dt` the sampling interval in s, `Type` a FilterKind (read by
  // mode 0 only), `Low` and `High` the band edges in Hz of the mode (the setup record's filter band for
  // mode 0, the integration band for mode 1, the differentiation band for mode 2).
  struct FftFilterBand {
    double Dt = 0.01;
    uint16_t Type = kFilterLowPass;
    double Low = 0.0;
    double High = 0.0;
  };
  // The band of the given mode as the setup record holds it (mode 0 for any other mode).
  static FftFilterBand FftFilterBandOf(const SetupRecord& setup, int32_t mode);

  // In-place complex transform of n points: direction -1 is the forward transform
  // sum x[k] e^(-2 pi i jk / n) without scaling, +1 the inverse divided by n. Returns false and leaves
  // the arrays alone when n is not a power of two. Plans are kept per thread.
  bool Fft(int32_t direction, int32_t n, float* re, float* im);

  // Transform length for n samples: the least power of two at or above n. Lengths above
  // fft::kMaxLength cannot be made; FftFilter refuses them.
  static uint64_t TransformLength(uint64_t n);

  // Half kernel h[0..N] of a windowed-sinc low-pass at fc Hz for the sampling interval dt, with unit
  // gain at 0 Hz (h[0] + 2 sum h[k] = 1). A cut-off of 0 Hz gives the all-zero kernel.
  static void PotterKernel(int16_t N, double* h, double fc, double dt);
  // Half kernel h[0..N] of the given FilterKind built from the low-pass kernels at f1 and f2 (band-pass
  // f1 .. f2, high-pass at f1, band-stop f1 .. f2; other codes: low-pass at f1).
  static std::vector<double> PotterTaps(int N, uint16_t type, double f1, double f2, double dt);

  // Filters samples 0 .. samples - 2 of data with the symmetric kernel of 2N + 1 taps (N at most
  // 3000) of the given FilterKind: low-pass at f1, band-pass f1 .. f2, high-pass at f1, band-stop
  // f1 .. f2 (other codes: low-pass). The edges repeat the first and the last sample; the last sample
  // keeps its value.
  void PotterFilter(float* data, uint32_t samples, int16_t N, uint16_t type, double f1, double f2, double dt);

  // Band filter (mode 0), integration (mode 1) or differentiation (mode 2) in the frequency domain
  // over the first n samples of channels[first] .. channels[end - 1] (at least channels[first]); the
  // transform length is TransformLength(n) and sample n - 1 is left alone. Returns false, changing
  // nothing, for another mode, an unknown filter type, a sampling interval that is not positive or a
  // transform longer than fft::kMaxLength.
  bool FftFilter(int32_t mode, uint32_t n, float* const* channels, int32_t first, int32_t end,
                 const FftFilterBand& band);

  // Designs a Butterworth filter with GlobalButterworth() (designer type codes 1..4) and runs it over
  // data as cascaded second-order sections, starting in the steady state of the mean of the first
  // samples, so an offset gives no start-up transient. Any status but Ok leaves data unchanged; the
  // designer's text then holds the message.
  ButterworthStatus ApplyButterworth(int32_t order, int32_t type, double rate, double f1, double f2,
                                     float* data, uint32_t samples);

  // Integrates a channel in the time domain: high-pass (order 2 at highPassHz) to remove the offset,
  // a leaky sum with decay exp(-dt * decay), the high-pass again and the mean removed. Any status but
  // Ok leaves data unchanged.
  ButterworthStatus Integrate(float* data, uint32_t samples, double rate, double dt, double highPassHz,
                              double decay);

  // ---- Setup file (setup_file.cpp) ----
  // Mode 0 loads the global Setup from "qvd.0" in ProgramDir (defaults when the file is missing or of
  // another size), mode 1 saves it. A failed result means the program must show its text and end
  // with exit status 1.
  SetupFileError ReadWriteSetup(int mode);
};

// The program-wide instance, built at start and used for time texts and FFTs by every unit.
TFunk& GlobalFunk();

}  // namespace toolkit
