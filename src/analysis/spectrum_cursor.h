#pragma once
// The cross-hair cursor of the spectrum plot: its moves and its readout.
#include <string>

#include "analysis/spectrum_axes.h"

namespace analysis {

struct SpectrumCursor {
  int CursorX = 5;
  int CursorY = 0;
  double CursorValue = 0.0;
};

// Moves the cursor by a key (37 left, 38 up, 39 right, 40 down; 10 pixels with Ctrl) and keeps it in
// x 5 .. PlotWidth + 5, y 20 .. Bottom. Returns false for any other key.
bool MoveCursor(SpectrumCursor& c, int key, bool ctrl, const PlotGeometry& g);

// The readout "%.3fГц;  " + level at the cursor, for a curve of transform length n (the length of the
// curve shown), drawn over the range min .. max with scale height `height`. Sets CursorValue.
std::string CursorReadout(SpectrumCursor& c, const PlotGeometry& g, int lastBin, int n, double dt, bool log,
                          double scaleMin, double scaleMax, double height);

}  // namespace analysis
