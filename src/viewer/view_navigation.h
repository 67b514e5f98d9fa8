#pragma once
// Keyboard navigation of the main plot: zoom and paging of the visible range Nn ... Nk in view mode,
// cursor and marker moves in cursor mode. Every range the keys produce lies inside the record.
#include <cstdint>

#include "toolkit/setup_record.h"
#include "viewer/view_host.h"

namespace viewer {

// The visible range, first and last sample (both inside the record once a key has acted).
struct ViewRange {
  int32_t Nn = 0;
  int32_t Nk = 0;
};

// Status-bar help of view mode, shown when a view key acts.
inline constexpr const char* kViewKeyHelp = "стрелки,  <M>, <Ins>, <+>, <->, курсор <Enter>, вся <Space>";

// Each takes the range, the record length `samples` (at least 2) and the plot width `width` (at least
// 16) and returns the new range, held inside 0 ... samples - 1.
// Zoom out: widen by a fifth (at least one plot width), in whole plot widths.
ViewRange ZoomOut(ViewRange r, int64_t samples, int width);
// Zoom in: an eighth, a quarter or a half of the plot width for short spans, else the span divided by
// 1.2 plot widths, in whole plot widths; a span just above the plot width gives half the plot width.
ViewRange ZoomIn(ViewRange r, int64_t samples, int width);
// Page by half the span.
ViewRange PageRight(ViewRange r, int64_t samples);
ViewRange PageLeft(ViewRange r, int64_t samples);
// The range between the two cursor samples, widened to whole plot widths or to a fraction of one.
ViewRange ZoomToCursors(int32_t first, int32_t second, int64_t samples, int width);

// The key handler of the plot while a record is loaded. `key` is one of the codes of view_keys.h (others
// are ignored in view mode), `ctrl` is 1 while Ctrl is held. `lastViewKey` is the previous key handled
// in cursor mode, kept by the caller across calls (starts 0).
void HandleViewKey(toolkit::SetupRecord& setup, ViewHost& host, uint8_t& lastViewKey, int key, int ctrl);

}  // namespace viewer
