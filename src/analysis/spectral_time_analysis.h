#pragma once
// The spectral-temporal map of a channel: for 101 centre frequencies spaced logarithmically between
// two limits the signal is filtered in the frequency domain by a narrow band filter, brought back to
// the time domain, reduced to its envelope and averaged into 512 time columns.
#include <array>
#include <complex>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "toolkit/setup_record.h"

namespace analysis {

inline constexpr int kSwanRows = 101;
inline constexpr int kSwanColumns = 512;

// The settings of one run, bounded so that no value can break a logarithm or a division.
struct SwanSettings {
  int32_t N = 4096;        // transform length: a power of two, at least 512
  double fLo = 0.2;        // Hz, at least 1e-5
  double fHi = 8.0;        // Hz, at least 1.1 x fLo
  double g = 10.0;         // sharpness, at least 1
  int32_t shape = 1;       // 0, 1, or 2 and above
  bool normalise = false;  // divide each row by its filter's largest magnitude
  int passes = 4;          // 3-point smoothing passes (used when above 1)
};

// The run's settings from the setup record; empty `error` unless the transform length is unusable.
SwanSettings SwanSettingsOf(const toolkit::SetupRecord& s, std::string& error);

// Centre frequency of row r.
double SwanCentre(const SwanSettings& s, int r);
// The filter of the given shape at frequency f for centre W.
std::complex<double> SwanFilter(int32_t shape, double W, double f, double g);
// Envelope of y in place: the straight lines between the magnitudes of successive turning points.
void SwanEnvelope(float* y, int32_t n);
// `passes` passes of the 3-point mean over y[1 .. n-2] (each pass reads the previous pass's values).
void SmoothThreePoint(float* y, int32_t n, int passes);

// What a row leaves for the step display.
struct SwanRowView {
  int row = 0;
  double W = 0.0;
  double hmax = 1.0;
  const float* filter = nullptr;  // |H| over bins 0 .. N/2
  const float* re = nullptr;      // the filtered signal, N samples
  const float* im = nullptr;
  bool strong = false;  // a column of the row lies above 0.1 of the largest value so far
};

struct SwanMap {
  int32_t N = 0;
  int32_t M = 0;  // samples per column
  double dt = 0.0;
  std::vector<float> signal;  // the tapered signal
  float signalMax = 0.0f;     // its largest magnitude
  std::vector<float> cells;   // row r, column c at r * 512 + c
  std::array<double, kSwanRows> centre{};
  float maxValue = 0.0f;
  int maxRow = 0;
  int maxColumn = 0;
  float minValue = 0.0f;
  bool imaginaryResidue = false;  // some inverse transform kept an imaginary part
  float& at(int r, int c) { return cells[static_cast<size_t>(r) * kSwanColumns + c]; }
  float at(int r, int c) const { return cells[static_cast<size_t>(r) * kSwanColumns + c]; }
};

// The map of x[start .. start + N - 1] (zeros past `available` samples) at sampling interval dt.
// `onRow`, when given, sees every row before the map is smoothed across the rows.
SwanMap ComputeSwanMap(const float* x, int64_t available, int64_t start, double dt, const SwanSettings& s,
                       const std::function<void(const SwanRowView&)>& onRow = {});

// The colour scale of the map: linear lo .. hi, or logarithmic with `lo` the ratio hi / lowest level.
struct SwanScale {
  bool log = false;
  double lo = 0.0;
  double hi = 1.0;
};
// From the map's maximum, or from the typed levels unless the scale is automatic.
SwanScale SwanScaleOf(double maxValue, bool log, bool automatic, double typedMax, double typedMin);
// Colour level 1 .. 12 of value v.
int SwanLevel(const SwanScale& scale, double v);

// Where the map lies in a plot of the given size: cells of cellW x cellH pixels, row 0 (the lowest
// frequency) at the bottom.
struct SwanPlacement {
  int left = 60;
  int top = 140;
  int cellW = 1;
  int cellH = 1;
  int Right() const { return left + kSwanColumns * cellW; }
  int Bottom() const { return top + kSwanRows * cellH; }
  int RowY(int r) const { return top + (kSwanRows - 1 - r) * cellH; }
};
SwanPlacement SwanPlacementOf(int width, int height);

// Writes the map as the text table "cwan"; false with `error` naming the path when any write fails.
// Values that are not finite numbers are written as 0; their count goes to `zeroed`.
bool WriteSwanFile(const std::string& path, const SwanMap& map, std::string& error, int64_t* zeroed = nullptr);

// The filter legend and the smoothing legend (empty for passes <= 1).
std::string SwanFilterLegend(int32_t shape, double g);
std::string SwanSmoothingLegend(int passes);

}  // namespace analysis
