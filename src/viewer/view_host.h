#pragma once
// What the plot's keyboard, cursor and processing logic asks of the main window. The window implements
// it over its paint boxes, menus and status bar; tests implement it to record the calls.
#include <string>

namespace viewer {

class ViewHost {
 public:
  virtual ~ViewHost() = default;

  // Columns of the main plot (TForm1.PlotWidth).
  virtual int PlotWidth() const = 0;
  // Lays out the visible range and recomputes the column envelopes of the shown channels.
  virtual void for_curs() = 0;
  // Redraws the plot; 0 puts markers and the first cursor of each set back to their defaults.
  virtual void DrawChannels(int keepMarkers) = 0;
  // Moves and redraws the current cursor and marker and rewrites the readout (see cursor_readout.h).
  virtual void DrawTimeAxis(int dx, int dy, int mode) = 0;
  virtual void EnableDataMenus(int on) = 0;
  // A modal message with OK.
  virtual void ShowMessage(const std::string& text) = 0;
  // Panel 0 of the status bar.
  virtual void SetStatusText(const std::string& text) = 0;
  // The overview strip follows the main view: its frame is redrawn after the range changed.
  virtual bool OverviewShown() const = 0;
  virtual void RedrawOverviewFrame() = 0;
  // Reads the files of the station interval again (after SetupRecord.StationStart moved).
  virtual void ReadStationAgain() = 0;
  // Reduces channel `ch` over the visible range again and draws it over the present plot in the
  // highlight colour (a filtered channel shown before the plot is redrawn).
  virtual void DrawFilteredChannel(int ch) = 0;
  // Blinks the marker of `channel` in `set`: it disappears, flashes `count` times and comes back.
  virtual void BlinkMarker(int channel, int set, int count) = 0;
};

// The one way the view is brought up to date after samples or the visible range changed: for_curs,
// DrawChannels(0), and in cursor mode DrawTimeAxis(0, 0, 3) to draw the cursors and markers again.
void RedrawView(ViewHost& host, bool cursorMode);

}  // namespace viewer
