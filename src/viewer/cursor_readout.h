#pragma once
// Cursor mode of the main plot: the vertical cursors and horizontal markers (drawn by XOR over the plot)
// and the readout strip above it with the times under the cursors, their distance, the matching
// frequency and the amplitudes at the markers. The logic here says what to draw; the window draws it.
#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/setup_record.h"

namespace viewer {

// One XOR stroke over the plot: vertical cursor `index` at column `pos`, or the horizontal line of
// channel `index` at row `pos`. Drawing a stroke twice removes it.
struct XorStroke {
  bool vertical = false;
  int index = 0;
  int pos = 0;
  bool operator==(const XorStroke&) const = default;
};

// A text of the readout strip, in ChannelColors[colourIndex], or in `bgr` when colourIndex is -1.
struct ReadoutText {
  int x = 0;
  int y = 0;
  int colourIndex = -1;
  uint32_t bgr = 0;
  std::string text;
};

struct ReadoutGeometry {
  int plotWidth = 0;
  int plotHeight = 0;
  bool largeFont = false;  // the window's font size is 12
};

// What DrawTimeAxis draws: the strokes over the plot in this order, then the texts on the readout strip
// after it has been cleared, and the status-bar text.
struct TimeAxisPicture {
  std::vector<XorStroke> strokes;
  std::vector<ReadoutText> texts;
  std::string status;
};

inline constexpr const char* kCursorKeyHelp =
    "<Ctrl> стрелки,  куpсоpы <Ins>,  выход <Enter>,   пpосмотp <Space>";

// The channel whose envelope and colour the frequency line shows: the processed channel, or the first
// shown channel while all channels are processed.
int ReadoutChannel(const toolkit::SetupRecord& setup);

// Moves the current cursor by dx columns and the current marker by dy pixels and says what to redraw.
// mode 0 both, 1 the marker stays, 2 the cursor stays, 3 draw (or erase) every cursor and marker.
// `envelope` is the column envelope of ReadoutChannel (null when there is none).
TimeAxisPicture DrawTimeAxisStep(toolkit::SetupRecord& setup, int dx, int dy, int mode,
                                 const ReadoutGeometry& g, const float* envelope);

// The amplitude text of a marker: "%.7f" cut to 8 characters, or "%.2e" for very small or large values.
std::string AmplitudeText(double v);

}  // namespace viewer
