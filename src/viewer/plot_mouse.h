#pragma once
// What presses and double clicks on the main plot do to the view: the channel picked in the label
// margin, the cursor or marker picked for dragging, and the switch between one channel and all.
#include <cstdint>
#include <span>

#include "toolkit/setup_record.h"

namespace viewer {

// Channels whose label row lies within half a row of `y` (integer halving), below the channel count.
// The caller walks them in order, as the margin click selects each in turn.
bool MarginRowHit(int y, int rowY, int rowHeight);

// The processed channel selects one channel (not "all channels", which equals the channel count).
bool IsSingleChannel(const toolkit::SetupRecord& setup);

// What a left press in cursor mode picks: nothing, a vertical cursor or a horizontal marker.
struct CursorPick {
  enum Kind : uint8_t { None = 0, VerticalCursor = 1, HorizontalMarker = 2 };
  Kind kind = None;
  uint8_t set = 0;
  uint16_t index = 0;  // cursor within its set, or the marker's channel
};
// Pick distance: strictly less than 4 pixels. Cursors of set 0, then markers of set 0, then set 1.
CursorPick PickCursor(const toolkit::SetupRecord& setup, int x, int y);
// Starts the drag of a pick in the setup record (dragged set, cursor or marker).
void StartDrag(toolkit::SetupRecord& setup, const CursorPick& pick);
// The distance from the dragged cursor and marker to the mouse, as the cursor routine takes it.
struct DragStep {
  int dx = 0;
  int dy = 0;
};
DragStep DragOffsets(const toolkit::SetupRecord& setup, int x, int y);

// Double click in the label margin: with one channel shown all are shown again and the height
// percentage comes back from `savedPercent`; otherwise only the processed channel is shown at 100 %,
// its percentage saved. With all channels selected nothing is isolated. True when the view changed.
bool ToggleSingleChannel(toolkit::SetupRecord& setup, uint16_t& savedPercent);
// Click on the strip above the plot: all channels selected and shown, the saved height percentage.
void ShowAllChannels(toolkit::SetupRecord& setup, uint16_t savedPercent);

// The default cursor columns: column i of the first set at 12 i, of the second at plotWidth - 12 i.
void SetDefaultCursorColumns(toolkit::SetupRecord& setup, int plotWidth);

}  // namespace viewer
