#include "analysis/level_range.h"

#include <algorithm>
#include <cmath>

namespace analysis {

namespace {

// Shared end of both ranges: a span that is never empty, and the pixel scale. A computation keeps a tiny
// upper level (an all-zero spectrum draws on 0 .. 1e-10); the redraw lifts it to 1.
void Finish(LevelRange& r, double height, bool redraw) {
  if (r.upper < r.lower) r.upper = 2.0 * r.lower;
  if (redraw && r.upper < 1e-9) r.upper = 1.0;
  // A typed range whose upper level does not lie above the lower one still gets a span.
  if (!(r.upper > r.lower)) r.upper = r.lower + std::max(std::fabs(r.lower), 1e-9);
  if (r.log && !(r.lower > 0.0)) r.lower = 1e-13;
  if (r.log && !(r.upper > r.lower)) r.upper = 2.0 * r.lower;
  r.scale = r.log ? height / std::log(r.upper / r.lower) : height / (r.upper - r.lower);
}

double Floor(double logFloor) { return logFloor > 0.0 && std::isfinite(logFloor) ? logFloor : 1e-13; }

}  // namespace

double FullScale(uint16_t scaleKind) {
  switch (scaleKind) {
    case 2:
      return 32767.0;
    case 3:
      return 524287.0;
    case 4:
      return 8388607.0;
    default:
      return 0.0;
  }
}

LevelRange ComputationLevelRange(double largest, uint16_t scaleKind, bool automatic, double logFloor,
                                 ManualLevels& manual, double height) {
  LevelRange r;
  r.log = scaleKind != 0;
  r.upper = scaleKind >= 2 && scaleKind <= 4 ? FullScale(scaleKind) : 1e-10;
  if (std::isfinite(largest)) r.upper = std::max(r.upper, largest);
  if (automatic) {
    r.lower = r.log ? Floor(logFloor) : 0.0;
  } else if (!r.log) {
    if (manual.ManualMax <= 1e-8f)
      manual.ManualMax = 1.0f;
    else
      r.upper = manual.ManualMax;
    r.lower = manual.ManualMin;
  } else {
    r.lower = manual.ManualMin > 1e-9f ? manual.ManualMin : Floor(logFloor);
    if (manual.ManualMax < 1.01 * r.lower) manual.ManualMax = static_cast<float>(1.01 * r.lower);
    if (manual.ManualMax > 1.001e-9f) r.upper = manual.ManualMax;
  }
  Finish(r, height, false);
  return r;
}

LevelRange RedrawLevelRange(double largest, uint16_t scaleKind, bool automatic, double logFloor,
                            const ManualLevels& manual, double height) {
  LevelRange r;
  r.log = scaleKind != 0;
  r.upper = 1e-10;
  if (std::isfinite(largest)) r.upper = std::max(r.upper, largest);
  if (scaleKind >= 2 && scaleKind <= 4) r.upper = FullScale(scaleKind);
  if (automatic) {
    r.lower = r.log ? Floor(logFloor) : 0.0;
  } else if (r.log) {
    r.lower = manual.ManualMin > 1e-8f ? manual.ManualMin : Floor(logFloor);
    if (1.01 * r.lower > manual.ManualMax) r.drawNothing = true;
    if (manual.ManualMax > 1e-8f) r.upper = manual.ManualMax;
  } else {
    if (manual.ManualMax > 1e-8f) r.upper = manual.ManualMax;
    r.lower = manual.ManualMin;
  }
  Finish(r, height, true);
  return r;
}

double LevelHeight(const LevelRange& r, double v, double limit) {
  if (!std::isfinite(v) || v <= r.lower) return 0.0;
  const double h = r.log ? std::log(v / r.lower) * r.scale : (v - r.lower) * r.scale;
  if (!(h > 0.0)) return 0.0;
  return std::min(h, limit);
}

int LevelY(const LevelRange& r, double v, int bottom, int top) {
  const double h = LevelHeight(r, v, std::max(0, bottom - top));
  return std::max(top, static_cast<int>(bottom - h));
}

}  // namespace analysis
