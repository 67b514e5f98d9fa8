#include "analysis/spectrogram_map.h"

#include <algorithm>
#include <cmath>

namespace analysis {

namespace {

int ColourIndex(double x) {
  if (!(x >= 1.0)) return 1;  // also a value that is not a number
  return x >= 12.0 ? 12 : static_cast<int>(x);
}

}  // namespace

ColourMap BuildColourMap(SpectrumBuffers& b, const ColourMapInput& in) {
  ColourMap m;
  m.log = in.log;
  const int32_t n = std::max(b.N, 2);
  const int32_t d = CellWidth(n);
  const int filled = std::max(1, std::min(n / 2 / d, kSpectrumCells));  // cells holding values
  const int sumCells = std::min(filled, 510);
  const int wanted = (std::max(in.lastBin, 0) + 1 + d - 1) / d;
  m.cells = std::clamp(std::min(wanted, 510), 1, filled);
  m.rows = std::max(0, std::min({b.IntervalCount, in.plotHeight, kSpectraCount}));
  m.dx = std::clamp((in.plotWidth - 50) / m.cells, 1, 4);
  m.dy = m.rows > 0 ? std::clamp(in.plotHeight / m.rows, 1, 4) : 1;

  for (int t = 0; t < m.rows; ++t) {
    auto& row = b.Spectra[t];
    float f = 1.0f;
    if (in.density) {
      double sum = 0.0;
      for (int c = 0; c < sumCells; ++c) sum += row[c];
      if (sum >= 1e-7) f = static_cast<float>(1.0 / sum);
    }
    row[kSpectrumCells] = f;
  }

  double U = 0.0, L = 0.0, R = 1.0;
  if (in.automatic) {
    for (int t = 0; t < m.rows; ++t)
      for (int c = 0; c < m.cells; ++c) {
        const double v = static_cast<double>(b.Spectra[t][c]) * b.Spectra[t][kSpectrumCells];
        if (v > U) U = v;
      }
    R = 100.0;
  } else if (!in.log) {
    U = in.manual.ManualMax > 1e-8f ? in.manual.ManualMax : 0.0;
    L = in.manual.ManualMin;
  } else {
    const double lower = in.manual.ManualMin > 1e-8f ? static_cast<double>(in.manual.ManualMin) : in.logFloor;
    U = in.manual.ManualMax > 1e-8f ? in.manual.ManualMax : 0.0;
    if (!(lower > 0.0) || U < 1.01 * lower) m.drawNothing = true;
    R = m.drawNothing ? 1.0 : U / lower;
  }
  if (!in.log && !(U > L)) m.drawNothing = true;
  if (in.log && !(U > 0.0)) m.drawNothing = true;
  m.upper = U;
  m.lower = in.log ? R : L;
  if (m.drawNothing) return m;

  m.index.assign(static_cast<size_t>(m.rows) * m.cells, 1);
  const double logR = std::log(R);
  for (int t = 0; t < m.rows; ++t) {
    const auto& row = b.Spectra[t];
    const double f = row[kSpectrumCells];
    for (int c = 0; c < m.cells; ++c) {
      const double v = row[c] * f;
      double x;
      if (!in.log)
        x = (v - L) * 11.0 / (U - L) + 1.5;
      else
        x = R * v > U ? std::log(R * v / U) * 11.0 / logR + 1.5 : 1.0;
      m.index[static_cast<size_t>(t) * m.cells + c] = static_cast<uint8_t>(ColourIndex(x));
    }
  }
  return m;
}

double ColourMapLowerLevel(const ColourMap& m) { return m.log ? m.upper / m.lower : m.lower; }

double ColourLevel(bool log, double lowerOrRatio, double upper, int i) {
  if (!log) return i == 1 ? lowerOrRatio : (upper - lowerOrRatio) * (i - 1.5) / 11.0 + lowerOrRatio;
  const double base = upper / lowerOrRatio;
  return i == 1 ? base : base * std::pow(lowerOrRatio, (i - 1.5) / 11.0);
}

}  // namespace analysis
