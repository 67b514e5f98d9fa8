#pragma once
// Geometry of the processing program's main window, computed from the screen and client sizes.
namespace viewer {

constexpr int kMaxFormWidth = 1400;

struct FormSize {
  int width = 0;
  int height = 0;
};

// The window at start: the screen less 10 pixels each way, at most kMaxFormWidth wide.
FormSize InitialFormSize(int screenWidth, int screenHeight);
// The window's width after the user resized it: the screen width less 5, at most kMaxFormWidth.
int ResizedFormWidth(int screenWidth);

// Plot columns at start: the client width less the 100-pixel label margin, rounded down to a multiple
// of 16 (at least 16).
int InitialPlotWidth(int clientWidth);
// Plot columns after a resize: the client width less 80 with its low four bits cleared, less 16 (at
// least 16).
int ResizedPlotWidth(int clientWidth);

}  // namespace viewer
