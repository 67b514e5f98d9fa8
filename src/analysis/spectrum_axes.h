#pragma once
// The axes of the spectrum plot as a picture: level lines with their decibel labels, the frequency
// axis with its ticks and the step label, and the texts of the two scale edits.
#include <string>
#include <vector>

#include "analysis/level_range.h"

namespace analysis {

// Where the plot lies: curves start at x = 5; bin k of 0 .. lastBin lies at k * plotWidth / lastBin + 5.
struct PlotGeometry {
  int PlotWidth = 0;
  int PlotHeight = 0;
  int Bottom = 0;  // PlotHeight + 30
};

struct AxisLine {
  int x1, y1, x2, y2;
  bool dashed;
};
struct AxisText {
  int x, y;
  std::string text;
};

struct SpectrumAxesPicture {
  std::vector<AxisLine> lines;
  std::vector<AxisText> texts;
};

// DrawSpectrumAxes's picture for a curve of scale height `height` over range `r`, transform length n,
// sampling interval dt and last bin `lastBin` (at least 1).
SpectrumAxesPicture SpectrumAxes(const PlotGeometry& g, double height, const LevelRange& r, int n, double dt,
                                 int lastBin);

// The text of a scale edit for a level: "%.8f" cut to 9 characters, trailing zeros of the fraction
// removed; integer digits are never cut.
std::string ScaleLabelText(double level);

// x of bin k.
inline int BinX(const PlotGeometry& g, int k, int lastBin) {
  return static_cast<int>(static_cast<double>(k) * g.PlotWidth / lastBin) + 5;
}

}  // namespace analysis
