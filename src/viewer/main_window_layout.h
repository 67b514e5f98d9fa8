#pragma once
// Geometry of the processing program's main window, computed from the screen and client sizes.
namespace viewer {

constexpr int kMaxFormWidth = 1400;

struct FormSize {
  int width = 0;
  int height = 0;
};

// The window at start, inside the screen's available area (the screen less its panels): the area's width
// less 10, at most kMaxFormWidth, and its height less the window frame's (title bar and borders), so that
// the whole window, status bar included, is on the screen.
FormSize InitialFormSize(int availableWidth, int availableHeight, int frameHeight);
// The widest the window may be made: the screen width less 5, at most kMaxFormWidth (the plot holds at
// most that many columns).
int ResizedFormWidth(int screenWidth);

// Plot columns at start: the client width less the 100-pixel label margin, rounded down to a multiple
// of 16 (at least 16).
int InitialPlotWidth(int clientWidth);
// Plot columns after a resize: the client width less 80 with its low four bits cleared, less 16 (at
// least 16).
int ResizedPlotWidth(int clientWidth);

}  // namespace viewer
