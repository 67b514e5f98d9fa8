#pragma once
// The F(f,t) colour map of the spectra of the last interval computation: one row per interval, one
// column per cell, each cell coloured by its level (12 colours), and the levels of the colour legend.
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/level_range.h"
#include "analysis/spectrum_buffers.h"

namespace analysis {

struct ColourMapInput {
  bool density = false;    // each interval normalised to unit sum
  bool automatic = true;   // levels from the map itself, else the typed ones
  bool log = false;
  ManualLevels manual;
  double logFloor = 0.01;
  int plotWidth = 0;
  int plotHeight = 0;
  int lastBin = 1;         // last bin of the plot
};

struct ColourMap {
  int rows = 0;            // intervals drawn
  int cells = 0;           // cells drawn per interval
  int dx = 1, dy = 1;      // pixels per cell
  bool drawNothing = false;  // the levels leave no span
  bool log = false;
  double lower = 0.0;      // linear lower level, or the logarithmic ratio R
  double upper = 0.0;
  std::vector<uint8_t> index;  // colour index 1..12 of cell c of row t at t * cells + c
};

// Computes the interval factors (stored in cell 512 of each interval) and the colour of every cell.
ColourMap BuildColourMap(SpectrumBuffers& b, const ColourMapInput& in);

// The lower level shown in the scale edit: L (linear) or U / R (logarithmic).
double ColourMapLowerLevel(const ColourMap& m);

// The level of colour i (1..12) of the legend, for (lower or ratio, upper).
double ColourLevel(bool log, double lowerOrRatio, double upper, int i);

}  // namespace analysis
