#pragma once
// The logic of the filter-design page: reading and bounding its values, the Potter kernel of the chosen
// type, both amplitude-response curves in plot coordinates, the Butterworth difference equation text and
// the fixed-point coefficient listing of short low-pass Potter filters.
#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/fil_batt.h"
#include "toolkit/setup_record.h"

namespace viewer {

inline constexpr int kMaxPotterHalfLength = 2200;
inline constexpr int kListingMaxHalfLength = 128;  // the listing is written below this half length
inline constexpr const char* kPotterListingFile = "filtr_pottera.txt";
inline constexpr const char* kNoRateText = "нет частоты";

// What the page's controls hold.
struct FilterInputs {
  int Type = 0;        // 0 low-pass, 1 band-pass, 2 high-pass, 3 band-stop
  int OrderIndex = 0;  // order - 2
  std::string F1;
  std::string F2;
  std::string Points;
};

enum class FilterRead { Ok, BadBand, NoRate };
struct FilterReadResult {
  FilterRead Status = FilterRead::Ok;
  bool PointsNotInteger = false;  // the points text is not an integer; the stored value stays
};

// Reads the controls into `setup` with their bounds: f1 (and f2 for band types) within 0.005 ... 0.45 x
// rate, the Potter half length at most 2200 (below 2 the stored value stays). With no rate in the
// header nothing is stored and the status is NoRate.
FilterReadResult ReadFilterValues(toolkit::SetupRecord& setup, const FilterInputs& in);

// Strict integer conversion: optional blanks, an optional sign, digits, nothing else.
bool StrictInteger(const std::string& text, long long& value);

// Plot geometry: W = width - 30, baseline B = height - 5; Xs, Ys the scale indices.
struct ResponseFrame {
  int Width = 0;
  int Height = 0;
  int XScale = 0;  // 0 ... 8
  int YScale = 0;  // 0 ... 9
  int W() const { return Width - 30; }
  int B() const { return Height - 5; }
  // Plot y of an amplitude value (1.0 at y = 5, YScale / 10 at the baseline).
  double Y(double v) const;
};

struct PlotPoint {
  int X = 0;
  int Y = 0;
};

// Potter half kernel of the type: half length n (held at most 3000), edges f1, f2, interval dt.
std::vector<double> DesignPotterKernel(int n, int type, double f1, double f2, double dt);
// Amplitude h[0] + sum 2 h[k] cos(k w).
double KernelResponse(const std::vector<double>& h, double w);

// The 256 Butterworth points from the designer's last design (dB to linear amplitude), for dt.
std::vector<PlotPoint> ButterworthCurve(const toolkit::Tf_batt& designer, double dt, const ResponseFrame& f);
// The 255 Potter points of kernel h.
std::vector<PlotPoint> PotterCurve(const std::vector<double>& h, const ResponseFrame& f);

// The Butterworth difference equation of the designer's last design.
std::string ButterworthEquation(const toolkit::Tf_batt& designer);

// The fixed-point listing of a low-pass kernel h[0..n]: its text and, when the last coefficient could
// not make the sum exact, the correction message to show.
struct PotterListing {
  std::string Text;
  std::string Correction;  // empty when none was needed
  std::vector<int64_t> K;  // the integer coefficients
};
PotterListing BuildPotterListing(const std::vector<double>& h, double f1, double dt);

}  // namespace viewer
