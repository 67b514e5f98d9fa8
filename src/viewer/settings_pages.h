#pragma once
// The logic of the settings dialog's search, test, integral, station and spectrum pages: the bounds of
// every value, the checks of the search page and the derived texts the pages show.
#include <cstdint>
#include <string>

#include "toolkit/setup_record.h"

namespace viewer {

// ---- Search page ----

// The spectral-method window for a typed length w s: N = 2^n points (64 ... 16384) with
// n = trunc(log2(1.5 w / dt + 1)), stored as N dt; k1, k2 the band edges in points.
struct SpectralWindow {
  bool Valid = false;  // false when dt is not positive: no point count
  int32_t N = 64;
  double Seconds = 0.0;
  int32_t K1 = 0;
  int32_t K2 = 0;
};
SpectralWindow SpectralWindowFor(double w, double dt, double low, double high);
std::string SpectralWindowText(const SpectralWindow& window);  // "%d точек; полоса от %d до %d"

struct BandMarks {
  bool LowRed = false;
  bool HighRed = false;
};
BandMarks SearchBandMarks(double low, double high, double dt);
bool SearchBandValid(double low, double high, double dt);

// What the search page's exit reads, as numbers.
struct SearchValues {
  int Method = 0;
  double Low = 0.0;
  double High = 0.0;
  double Lta = 0.0;
  double Sta = 0.0;
  double Scale = 0.0;
  double Window = 0.0;
  double RmsMinutes = 0.0;
};
// The RMS window of the histogram: 1 ... 255 minutes (0 reads as 1); false when outside.
bool RmsWindowValid(double minutes);
// Stores the values as the search page's exit does; returns the message of the last failed check
// (empty when all passed).
std::string StoreSearchValues(toolkit::SetupRecord& setup, const SearchValues& v);
inline constexpr const char* kSearchCaption = "Поиск";

// ---- Test page ----

// Bounds of the test generator's values.
inline constexpr int kHarmonicTable = 4096;
bool HarmonicFirstValid(long long first);
bool HarmonicEndValid(long long first, long long end);
bool HarmonicStepValid(long long step);
bool TestLengthValid(double length);  // after the raise of values below 2
bool NoiseValid(double noise);
std::string SpectrumGroupCaption(double dt, uint32_t n);  // GB_tst_sum_sin
std::string TestChannelsCaption(int channels);            // GB_tst_kan

// ---- Integral page ----

// Raises every one of the twelve integration values (+14024 ... +14112) below 0.001 to 0.001.
void RaiseIntegralFloor(toolkit::SetupRecord& setup);
// The value of a number typed into one of its edits, read by the C conversion (leading blanks skipped,
// the longest number taken, 0 without one); false, with `message`, when that value is not a finite
// number of magnitude below what any typed number can be (1e10).
bool ReadIntegralNumber(const std::string& text, double& value, std::string& message);
std::string IntegralExponentText(double exponent);

// ---- Station page ----

inline constexpr uint32_t kStationFirstDay = 35000;
inline constexpr uint32_t kStationLastDay = 49710;  // the last whole day a 32-bit second count holds
// True when `hours` of every channel on the plot fit the read buffer (channels x trunc(h 14400 / dt)
// below 0x55000001, in 64 bits); false for dt not positive.
bool StationHoursFit(int channels, int hours, double dt);
// The start of the station-read interval held within days 35000 ... 49710.
uint32_t ClampStationStart(int64_t seconds);

// ---- Spectrum page ----

std::string HarmfulBandText(float low, float high);  // "%.4f   +/-   %.4f   "

}  // namespace viewer
