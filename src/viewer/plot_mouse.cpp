#include "viewer/plot_mouse.h"

#include <algorithm>
#include <cstdlib>

namespace viewer {

using toolkit::SetupRecord;

namespace {
constexpr int kPickDistance = 4;
}  // namespace

bool MarginRowHit(int y, int rowY, int rowHeight) { return std::abs(y - rowY) < rowHeight / 2; }

bool IsSingleChannel(const SetupRecord& setup) {
  return setup.Channel < setup.ChannelCount && setup.Channel < toolkit::kMaxChannels;
}

CursorPick PickCursor(const SetupRecord& setup, int x, int y) {
  const int first = std::min<int>(setup.FirstChannel, toolkit::kMaxChannels);
  const int shown = std::max(0, std::min<int>(setup.ShownEnd, toolkit::kMaxChannels) - first);
  const int markers = std::min(shown, 3);
  const int cursors = std::min<int>(setup.VerticalCursorCount, toolkit::kMaxVerticalCursors);
  for (uint8_t s = 0; s < 2; ++s) {
    for (int i = 0; i < cursors; ++i) {
      if (std::abs(setup.CursorColumns[s][i] - x) < kPickDistance)
        return {CursorPick::VerticalCursor, s, static_cast<uint16_t>(i)};
    }
    for (int c = first; c < first + markers; ++c) {
      const int markerY = setup.MarkerY[s][c] - static_cast<int>(setup.Baseline[c]);
      if (std::abs(markerY - y) < kPickDistance)
        return {CursorPick::HorizontalMarker, s, static_cast<uint16_t>(c)};
    }
  }
  return {};
}

void StartDrag(SetupRecord& setup, const CursorPick& pick) {
  if (pick.kind == CursorPick::None) return;
  setup.CursorSet = pick.set;
  if (pick.kind == CursorPick::VerticalCursor) {
    setup.CursorIndex = pick.index;
  } else {
    setup.MarkerChannel = pick.index;
  }
}

DragStep DragOffsets(const SetupRecord& setup, int x, int y) {
  const int set = setup.CursorSet > 1 ? 0 : setup.CursorSet;
  const int cursor = std::min<int>(setup.CursorIndex, toolkit::kMaxChannels - 1);
  const int marker = std::min<int>(setup.MarkerChannel, toolkit::kMaxChannels - 1);
  return {x - setup.CursorColumns[set][cursor],
          y - (setup.MarkerY[set][marker] - static_cast<int>(setup.Baseline[marker]))};
}

bool ToggleSingleChannel(SetupRecord& setup, uint16_t& savedPercent) {
  if (setup.ShownEnd == setup.FirstChannel + 1) {
    setup.FirstChannel = 0;
    setup.ShownEnd = setup.ChannelCount;
    setup.PlotHeightPercent = savedPercent;
    return true;
  }
  if (!IsSingleChannel(setup)) return false;
  setup.FirstChannel = setup.Channel;
  setup.ShownEnd = static_cast<uint16_t>(setup.Channel + 1);
  savedPercent = setup.PlotHeightPercent;
  setup.PlotHeightPercent = 100;
  return true;
}

void ShowAllChannels(SetupRecord& setup, uint16_t savedPercent) {
  setup.Channel = setup.ChannelCount;
  setup.FirstChannel = 0;
  setup.ShownEnd = setup.ChannelCount;
  setup.PlotHeightPercent = savedPercent;
}

void SetDefaultCursorColumns(SetupRecord& setup, int plotWidth) {
  for (int i = 0; i < toolkit::kMaxVerticalCursors; ++i) {
    setup.CursorColumns[0][i] = 12 * i;
    setup.CursorColumns[1][i] = plotWidth - 12 * i;
  }
}

}  // namespace viewer
