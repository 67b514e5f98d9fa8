#include <gtest/gtest.h>

#include "toolkit/setup_record.h"
#include "viewer/main_window_layout.h"
#include "viewer/plot_mouse.h"

namespace viewer {
namespace {

using toolkit::SetupRecord;

TEST(MainWindowLayout, SizedToTheScreenAtMost1400Wide) {
  EXPECT_EQ(InitialFormSize(1920, 1080, 0).width, 1400);
  EXPECT_EQ(InitialFormSize(1024, 768, 0).width, 1014);
  // A 40-pixel panel and a 30-pixel frame: the window and its frame fill the rest, and no more.
  EXPECT_EQ(InitialFormSize(1920, 1040, 30).height, 1010);
  EXPECT_EQ(InitialPlotWidth(1400), 1296);
  EXPECT_EQ(InitialPlotWidth(1014), 912);
  EXPECT_EQ(InitialPlotWidth(1115), 1008);
  EXPECT_EQ(InitialPlotWidth(50), 16);
  EXPECT_EQ(ResizedFormWidth(1920), 1400);
  EXPECT_EQ(ResizedFormWidth(1280), 1275);
  EXPECT_EQ(ResizedPlotWidth(1275), 1168);  // ((1275 - 80) & ~15) - 16
  EXPECT_EQ(ResizedPlotWidth(60), 16);
}

SetupRecord CursorSetup() {
  SetupRecord s{};
  s.VerticalCursorCount = 2;
  s.CursorColumns[0][0] = 100;
  s.CursorColumns[0][1] = 300;
  s.CursorColumns[1][0] = 600;
  s.FirstChannel = 1;
  s.ShownEnd = 6;
  for (int c = 0; c < 64; ++c) s.Baseline[c] = 10.7f;  // truncated to 10
  s.MarkerY[0][3] = 210;                               // screen y 200
  s.MarkerY[1][4] = 410;                               // channel 4: beyond the first three shown
  return s;
}

TEST(PlotMousePick, StrictlyLessThanFourPixelsPicks) {
  const SetupRecord s = CursorSetup();
  CursorPick p = PickCursor(s, 103, 500);
  EXPECT_EQ(p.kind, CursorPick::VerticalCursor);
  EXPECT_EQ(p.set, 0);
  EXPECT_EQ(p.index, 0);
  EXPECT_EQ(PickCursor(s, 104, 500).kind, CursorPick::None);
  EXPECT_EQ(PickCursor(s, 96, 500).kind, CursorPick::None);
  p = PickCursor(s, 298, 500);
  EXPECT_EQ(p.index, 1);
  p = PickCursor(s, 602, 500);
  EXPECT_EQ(p.kind, CursorPick::VerticalCursor);
  EXPECT_EQ(p.set, 1);

  p = PickCursor(s, 450, 203);
  EXPECT_EQ(p.kind, CursorPick::HorizontalMarker);
  EXPECT_EQ(p.set, 0);
  EXPECT_EQ(p.index, 3);
  EXPECT_EQ(PickCursor(s, 450, 204).kind, CursorPick::None);
  // Only the markers of the first three shown channels (1, 2, 3) can be picked.
  EXPECT_EQ(PickCursor(s, 450, 400).kind, CursorPick::None);
  SetupRecord one = s;
  one.VerticalCursorCount = 1;
  EXPECT_EQ(PickCursor(one, 300, 500).kind, CursorPick::None);
}

TEST(PlotMousePick, DragStartsOnThePickAndMeasuresFromIt) {
  SetupRecord s = CursorSetup();
  StartDrag(s, PickCursor(s, 450, 202));
  EXPECT_EQ(s.CursorSet, 0);
  EXPECT_EQ(s.MarkerChannel, 3);
  StartDrag(s, PickCursor(s, 601, 0));
  EXPECT_EQ(s.CursorSet, 1);
  EXPECT_EQ(s.CursorIndex, 0);
  const DragStep step = DragOffsets(s, 610, 250);
  EXPECT_EQ(step.dx, 10);
  EXPECT_EQ(step.dy, 250 - (s.MarkerY[1][3] - 10));
}

TEST(PlotMouseChannels, MarginDoubleClickIsolatesAndRestores) {
  SetupRecord s{};
  s.ChannelCount = 4;
  s.ShownEnd = 4;
  s.Channel = 2;
  s.PlotHeightPercent = 250;
  uint16_t saved = 0;
  EXPECT_TRUE(ToggleSingleChannel(s, saved));
  EXPECT_EQ(s.FirstChannel, 2);
  EXPECT_EQ(s.ShownEnd, 3);
  EXPECT_EQ(s.PlotHeightPercent, 100);
  EXPECT_EQ(saved, 250);
  EXPECT_TRUE(ToggleSingleChannel(s, saved));
  EXPECT_EQ(s.FirstChannel, 0);
  EXPECT_EQ(s.ShownEnd, 4);
  EXPECT_EQ(s.PlotHeightPercent, 250);
}

TEST(PlotMouseChannels, AllChannelsSelectedIsNeverUsedAsAChannel) {
  SetupRecord s{};
  s.ChannelCount = 64;
  s.ShownEnd = 64;
  s.Channel = 64;  // all channels
  s.PlotHeightPercent = 180;
  uint16_t saved = 120;
  EXPECT_FALSE(IsSingleChannel(s));
  EXPECT_FALSE(ToggleSingleChannel(s, saved));
  EXPECT_EQ(s.FirstChannel, 0);
  EXPECT_EQ(s.ShownEnd, 64);
  EXPECT_EQ(s.PlotHeightPercent, 180);
  EXPECT_EQ(saved, 120);

  s.Channel = 5;
  ASSERT_TRUE(ToggleSingleChannel(s, saved));
  ShowAllChannels(s, saved);
  EXPECT_EQ(s.Channel, 64);
  EXPECT_EQ(s.FirstChannel, 0);
  EXPECT_EQ(s.ShownEnd, 64);
  EXPECT_EQ(s.PlotHeightPercent, 180);
}

TEST(PlotMouseChannels, MarginRowWithinHalfARow) {
  EXPECT_TRUE(MarginRowHit(100, 100, 40));
  EXPECT_TRUE(MarginRowHit(119, 100, 40));
  EXPECT_FALSE(MarginRowHit(120, 100, 40));
  EXPECT_TRUE(MarginRowHit(84, 100, 35));  // half of 35 is 17
  EXPECT_FALSE(MarginRowHit(83, 100, 35));
  EXPECT_TRUE(MarginRowHit(83, 100, 36));
}

TEST(PlotMouseChannels, DefaultCursorColumns) {
  SetupRecord s{};
  SetDefaultCursorColumns(s, 1296);
  EXPECT_EQ(s.CursorColumns[0][0], 0);
  EXPECT_EQ(s.CursorColumns[0][15], 180);
  EXPECT_EQ(s.CursorColumns[1][0], 1296);
  EXPECT_EQ(s.CursorColumns[1][15], 1116);
  EXPECT_EQ(s.CursorColumns[0][16], 0);
}

}  // namespace
}  // namespace viewer
