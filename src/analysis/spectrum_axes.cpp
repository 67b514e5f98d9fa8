#include "analysis/spectrum_axes.h"

#include <algorithm>
#include <cmath>

#include "toolkit/format_text.h"

namespace analysis {

SpectrumAxesPicture SpectrumAxes(const PlotGeometry& g, double height, const LevelRange& r, int n, double dt,
                                 int lastBin) {
  SpectrumAxesPicture pic;
  if (lastBin < 1) lastBin = 1;
  if (r.log) {
    const double span = std::log(r.upper / r.lower);
    int step = 20;
    double d = 10.0;
    if (span * 5.0 / 12.0 > 5.1) {
      step = 40;
      d = 100.0;
    }
    double level = r.upper;
    for (int i = 0; i < 1000; ++i, level /= d) {
      const int y = g.Bottom - static_cast<int>(std::log(level / r.lower) * height / span + 0.5);
      if (!(y < g.PlotHeight + 15)) break;
      if (y < g.Bottom - 25) {
        pic.lines.push_back({5, y, g.PlotWidth, y, true});
        if (i != 0) pic.texts.push_back({g.PlotWidth + 6, y - 7, toolkit::FormatText("-%dдб", i * step)});
      }
    }
  } else {
    const double stepY = 0.2 * height;
    for (int i = 0; i < 10; ++i) {
      const int y = static_cast<int>(g.Bottom - height + i * stepY);
      if (!(y < g.Bottom)) break;
      pic.lines.push_back({5, y, g.PlotWidth, y, true});
    }
  }
  pic.lines.push_back({5, g.Bottom, 5 + g.PlotWidth, g.Bottom, false});

  const double fmax = lastBin / (n * dt);
  double whole = std::trunc(fmax);
  if (fmax > 10.0) whole = std::trunc(whole / 10.0) * 10.0;
  double step = 0.1 * whole;
  if (step < 1.0) step = 0.5;
  for (int i = 0; i < 20; ++i) {
    const double xd = (g.PlotWidth - 0.1) * step * i * n * dt / lastBin + 5.0;
    if (!(xd < g.PlotWidth + 5)) continue;
    const int x = static_cast<int>(xd);
    pic.lines.push_back({x, g.Bottom + 1, x, g.Bottom + 6, false});
    if (i == 1)
      pic.texts.push_back({x, g.PlotHeight + 37, toolkit::FormatText("%.3f Гц. ( %.5f sek) ", step, 1.0 / step)});
  }
  pic.texts.push_back({5, g.PlotHeight + 37, "0"});
  return pic;
}

std::string ScaleLabelText(double level) {
  std::string t = toolkit::FormatText("%.8f", level);
  const size_t dot = t.find('.');
  size_t keep = 9;
  if (dot != std::string::npos && dot >= keep) keep = dot;  // all integer digits, no bare point
  if (t.size() > keep) t.resize(keep);
  const size_t point = t.find('.');
  if (point != std::string::npos) {
    while (t.size() > std::max<size_t>(point + 1, 2) && t.back() == '0') t.pop_back();
  }
  return t;
}

}  // namespace analysis
