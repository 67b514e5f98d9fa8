#include "analysis/spectrum_cursor.h"

#include <algorithm>
#include <cmath>

#include "toolkit/format_text.h"

namespace analysis {

bool MoveCursor(SpectrumCursor& c, int key, bool ctrl, const PlotGeometry& g) {
  const int step = ctrl ? 10 : 1;
  switch (key) {
    case 37:
      c.CursorX -= step;
      break;
    case 38:
      c.CursorY -= step;
      break;
    case 39:
      c.CursorX += step;
      break;
    case 40:
      c.CursorY += step;
      break;
    default:
      return false;
  }
  c.CursorX = std::clamp(c.CursorX, 5, g.PlotWidth + 5);
  c.CursorY = std::clamp(c.CursorY, 20, std::max(20, g.Bottom));
  return true;
}

std::string CursorReadout(SpectrumCursor& c, const PlotGeometry& g, int lastBin, int n, double dt, bool log,
                          double scaleMin, double scaleMax, double height) {
  const double perPixel = n > 0 && g.PlotWidth > 0 && dt > 0.0 ? lastBin / (n * g.PlotWidth * dt) : 0.0;
  const double h = g.Bottom - c.CursorY;
  if (height <= 0.0) height = 1.0;
  if (log && scaleMin > 0.0 && scaleMax > 0.0)
    c.CursorValue = scaleMin * std::exp(std::log(scaleMax / scaleMin) * h / height);
  else
    c.CursorValue = (scaleMax - scaleMin) * h / height + scaleMin;
  std::string text = toolkit::FormatText("%.3fГц;  ", (c.CursorX - 5) * perPixel);
  const double a = std::fabs(c.CursorValue);
  if (a <= 0.0005 || a >= 99999.9) {
    text += toolkit::FormatText("%.1e  ", c.CursorValue);
  } else {
    std::string v = toolkit::FormatText("%.6f", c.CursorValue);
    if (v.size() > 7) v.resize(7);
    text += v;
  }
  return text;
}

}  // namespace analysis
