#pragma once
// The vertical scale of the spectrum plot: the level range (automatic or typed, linear or logarithmic)
// and the mapping of a level to a pixel row.
#include <cstdint>

namespace analysis {

// Levels typed into the two scale edits; they keep their values for the whole run.
struct ManualLevels {
  float ManualMax = 0.0f;
  float ManualMin = 1e-13f;
};

struct LevelRange {
  bool log = false;
  double lower = 0.0;
  double upper = 1.0;
  double scale = 0.0;    // pixels per unit (linear) or per unit of ln (logarithmic)
  bool drawNothing = false;  // a typed logarithmic range the redraw cannot show
};

// The full scale of scale kinds 2..4 (16-, 20-, 24-bit converters); 0 for the others.
double FullScale(uint16_t scaleKind);

// The range of a computation: `largest` is the largest amplitude of the curve (bin 0 counted half).
// A typed logarithmic maximum below 1.01 x the lower level is raised there in `manual`.
LevelRange ComputationLevelRange(double largest, uint16_t scaleKind, bool automatic, double logFloor,
                                 ManualLevels& manual, double height);
// The range of the redraw from the stored spectrum: `largest` over the bins shown.
LevelRange RedrawLevelRange(double largest, uint16_t scaleKind, bool automatic, double logFloor,
                            const ManualLevels& manual, double height);

// Height in pixels of level v above the bottom: 0 at or below the lower level and for a value that is
// not a number; never more than `limit`.
double LevelHeight(const LevelRange& r, double v, double limit);
// Row of level v: truncate(bottom - h), never above `top`.
int LevelY(const LevelRange& r, double v, int bottom, int top);

}  // namespace analysis
