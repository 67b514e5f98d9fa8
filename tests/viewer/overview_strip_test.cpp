// The overview strip's snapshot, strokes and frame lines.
#include "viewer/overview_strip.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using toolkit::SetupRecord;

struct Plot {
  std::unique_ptr<SetupRecord> s = std::make_unique<SetupRecord>();
  viewer::ViewEnvelope view, overview;
  viewer::OverviewSnapshot snap;
  Plot() {
    s->ChannelCount = 3;
    s->FirstChannel = 0;
    s->ShownEnd = 3;
    s->PixelsPerSample = 1;
    s->SamplesPerColumn = 10;
    s->PlotRange = 200.0f;
    s->Nn = 1000;
    s->Nk = 1000 + 10 * 400 - 1;
    for (int ch = 0; ch < 3; ++ch) {
      s->DisplayGain[ch] = 1.0;
      s->RowReference[ch] = -100.0f;
      s->ColumnCount[ch] = 400;
      for (int x = 0; x < 400; ++x) {
        view[ch][x] = static_cast<float>(-50.3 + x % 7);
        view[ch][x + viewer::kEnvelopeMaxOffset] = static_cast<float>(40.3 + x % 5);
      }
    }
  }
};

TEST(OverviewStrip, SnapshotKeepsScaleStartAndColumnsOfItsMoment) {
  Plot p;
  ASSERT_TRUE(viewer::TakeOverviewSnapshot(*p.s, p.view, p.overview, p.snap, 98, 1200));
  EXPECT_EQ(p.s->OverviewStart, 1000);
  EXPECT_EQ(p.s->OverviewSamplesPerColumn, 10);
  EXPECT_FLOAT_EQ(p.s->OverviewScale[1], 32.0f / 200.0f);  // row (98 - 2) / 3 = 32
  EXPECT_EQ(p.s->OverviewReference[2], -100.0f);
  // A later zoom changes the main plot's columns, not the snapshot's.
  p.s->ColumnCount[0] = 17;
  int columns = 0;
  viewer::ForEachOverviewStroke(*p.s, p.overview, p.snap, 98, [&](int ch, int, int, int, int) { columns += ch == 0; });
  EXPECT_EQ(columns, 400);

  p.s->PixelsPerSample = 3;
  viewer::OverviewSnapshot other;
  EXPECT_FALSE(viewer::TakeOverviewSnapshot(*p.s, p.view, p.overview, other, 98, 1200));
  EXPECT_FALSE(other.taken);
}

// Strokes against the rule worked out by hand: y = trunc(H - 1 - (v scale + baseline - scale ref)), then
// joined to the neighbour.
TEST(OverviewStrip, StrokesFollowTheRowsAndJoinNeighbours) {
  Plot p;
  ASSERT_TRUE(viewer::TakeOverviewSnapshot(*p.s, p.view, p.overview, p.snap, 98, 1200));
  const float scale = 32.0f / 200.0f;
  int prevLo = 0, prevHi = 0, seen = 0;
  viewer::ForEachOverviewStroke(*p.s, p.overview, p.snap, 98, [&](int ch, int colour, int x, int yLo, int yHi) {
    if (ch != 0) return;
    EXPECT_EQ(colour, 10);
    const float offset = (3 - 1 - 0) * 32 + 1 - scale * -100.0f;
    int lo = static_cast<int>(97 - ((-50.3f + x % 7) * scale + offset));
    int hi = static_cast<int>(97 - ((40.3f + x % 5) * scale + offset));
    if (x == 0) prevLo = lo, prevHi = hi;
    lo = std::max(lo, prevHi);
    hi = std::min(hi, prevLo);
    ASSERT_EQ(yLo, lo) << x;
    ASSERT_EQ(yHi, hi) << x;
    prevLo = lo, prevHi = hi;
    ++seen;
  });
  EXPECT_EQ(seen, 400);
  EXPECT_EQ(viewer::OverviewColourIndex(7), 2);
}

TEST(OverviewStrip, FrameLinesMoveWithTheViewAndVanishOutsideIt) {
  Plot p;
  ASSERT_TRUE(viewer::TakeOverviewSnapshot(*p.s, p.view, p.overview, p.snap, 98, 1200));
  struct Case {
    int32_t nn, nk;
    bool first, second;
    int x1, x2;
  } cases[] = {{1000, 4999, true, true, 0, 399},    {2000, 2999, true, true, 100, 199},
               {500, 2999, false, true, 0, 199},    {3000, 20000, true, false, 200, 0},
               {900, 990, false, false, 0, 0}, {999, 999, true, true, 0, 0}};
  for (const Case& c : cases) {
    p.s->Nn = c.nn;
    p.s->Nk = c.nk;
    const auto f = viewer::OverviewFrameLines(*p.s, 1000);
    EXPECT_EQ(f.showFirst, c.first) << c.nn;
    EXPECT_EQ(f.showSecond, c.second) << c.nk;
    if (c.first) {
      EXPECT_EQ(f.x1, c.x1);
    }
    if (c.second) {
      EXPECT_EQ(f.x2, c.x2);
    }
  }
  p.s->OverviewSamplesPerColumn = 0;
  const auto none = viewer::OverviewFrameLines(*p.s, 1000);
  EXPECT_FALSE(none.showFirst || none.showSecond);
}

TEST(OverviewStrip, NoShownChannelOrZeroRangeDrawsNothingAndDoesNotDivideByZero) {
  Plot p;
  p.s->ShownEnd = 0;
  ASSERT_TRUE(viewer::TakeOverviewSnapshot(*p.s, p.view, p.overview, p.snap, 98, 1200));
  int strokes = 0;
  viewer::ForEachOverviewStroke(*p.s, p.overview, p.snap, 98, [&](int, int, int, int, int) { ++strokes; });
  EXPECT_EQ(strokes, 0);
  EXPECT_EQ(viewer::OverviewRowHeight(98, 4, 4), 0);

  Plot q;
  q.s->PlotRange = 0.0f;
  ASSERT_TRUE(viewer::TakeOverviewSnapshot(*q.s, q.view, q.overview, q.snap, 98, 1200));
  EXPECT_EQ(q.s->OverviewScale[0], 0.0f);
  EXPECT_EQ(viewer::OverviewY(std::numeric_limits<float>::infinity(), 1.0f, 0.0f, 98), 0);
}

}  // namespace
