#include "viewer/view_navigation.h"

#include <gtest/gtest.h>

#include "viewer/view_host_fake.h"
#include "viewer/view_keys.h"

namespace {

using viewer::HandleViewKey;
using viewer_test::MakeSetup;
using viewer_test::RecordingHost;
using Axis = RecordingHost::Axis;
using Blink = RecordingHost::Blink;

struct Plot {
  std::unique_ptr<toolkit::SetupRecord> setup;
  RecordingHost host;
  uint8_t last = 0;
  explicit Plot(int channels = 4, uint32_t samples = 1'000'000) : setup(MakeSetup(channels, samples)) {}
  void Key(int key, int ctrl = 0) { HandleViewKey(*setup, host, last, key, ctrl); }
  void Range(int32_t nn, int32_t nk) {
    setup->Nn = nn;
    setup->Nk = nk;
  }
  int32_t Span() const { return setup->Nk - setup->Nn; }
};

TEST(ViewZoom, PlusNarrowsInStepsOfThePlotWidth) {
  Plot p;
  p.Range(1000, 2000);
  std::vector<int32_t> spans;
  for (int i = 0; i < 4; ++i) {
    p.Key(viewer::kKeyPlus);
    spans.push_back(p.Span());
    EXPECT_EQ(p.setup->Nn, 1000);
  }
  EXPECT_EQ(spans, (std::vector<int32_t>{600, 300, 150, 150}));
  EXPECT_EQ(p.host.forCurs, 4);
  EXPECT_EQ(p.host.drawChannels, (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(p.host.status.back(), viewer::kViewKeyHelp);
}

TEST(ViewZoom, LargeSpansZoomInByWholeWidthsAndOutByAFifth) {
  Plot p;
  p.Range(0, 12000);
  p.Key(viewer::kKeyPlus);
  EXPECT_EQ(p.Span(), 9600);
  p.Key(viewer::kKeyMinus);
  EXPECT_EQ(p.Span(), 10800);
  EXPECT_EQ(p.setup->Nn, 0);
  // A span just above the plot width would give 0 samples: half the plot width instead.
  p.Range(500, 500 + 1300);
  p.Key(viewer::kKeyPlus);
  EXPECT_EQ(p.Span(), 600);
}

TEST(ViewZoom, ZoomNeverLeavesTheRecord) {
  Plot p(2, 5000);
  p.Range(4900, 4990);
  p.Key(
      viewer::kKeyPlus);  // 150 samples do not fit after Nn: the range keeps Nn and ends at the record's end
  EXPECT_EQ(p.setup->Nn, 4900);
  EXPECT_EQ(p.setup->Nk, 4999);
  p.Range(4000, 4999);
  for (int i = 0; i < 5; ++i) p.Key(viewer::kKeyMinus);
  EXPECT_EQ(p.setup->Nn, 0);
  EXPECT_EQ(p.setup->Nk, 4999);
  const int draws = static_cast<int>(p.host.drawChannels.size());
  const int forCurs = p.host.forCurs;
  p.Key(viewer::kKeyMinus);  // the whole record is shown: nothing to widen, only a redraw
  EXPECT_EQ(p.host.forCurs, forCurs);
  EXPECT_EQ(static_cast<int>(p.host.drawChannels.size()), draws + 1);
}

TEST(ViewPaging, HalfSpanStepsStopAtBothEnds) {
  Plot p(2, 10000);
  p.Range(9000, 9800);
  p.Key(viewer::kKeyRight);
  EXPECT_EQ(p.setup->Nk, 9999);
  EXPECT_EQ(p.setup->Nn, 9999 - 800);
  p.Key(viewer::kKeyRight);
  EXPECT_EQ(p.setup->Nk, 9999);
  p.Range(100, 900);
  p.Key(viewer::kKeyLeft);
  EXPECT_EQ(p.setup->Nn, 0);
  EXPECT_EQ(p.setup->Nk, 800);
  p.Range(2000, 2800);
  p.Key(viewer::kKeyLeft);
  EXPECT_EQ(p.setup->Nn, 1600);
  EXPECT_EQ(p.setup->Nk, 2400);
  p.Key(viewer::kKeySpace);
  EXPECT_EQ(p.setup->Nn, 0);
  EXPECT_EQ(p.setup->Nk, 9999);
}

TEST(ViewPaging, StationModeMovesTheIntervalWhenTheWholeRecordIsShown) {
  Plot p(2, 10000);
  p.setup->StationMode = 1;
  p.setup->StationHours = 2;
  p.setup->StationStart = 1'000'000;
  p.host.overview = true;
  p.Key(viewer::kKeyRight);
  EXPECT_EQ(p.setup->StationStart, 1'000'000u + 5400u);
  p.Key(viewer::kKeyLeft);
  EXPECT_EQ(p.setup->StationStart, 1'000'000u);
  EXPECT_EQ(p.host.stationReads, 2);
  EXPECT_EQ(p.host.overviewFrames, 2);
  EXPECT_EQ(p.host.forCurs, 2);
  // A part of the record shown pages inside it.
  p.Range(0, 1000);
  p.Key(viewer::kKeyRight);
  EXPECT_EQ(p.host.stationReads, 2);
  EXPECT_EQ(p.setup->Nk, 1500);
}

TEST(ViewKeys, TinyRecordsAndOtherKeysChangeNothing) {
  for (uint32_t samples : {0u, 1u}) {
    Plot p(1, samples);
    for (int key :
         {viewer::kKeyPlus, viewer::kKeyMinus, viewer::kKeyLeft, viewer::kKeyRight, viewer::kKeySpace}) {
      p.Key(key);
      EXPECT_EQ(p.setup->Nn, 0);
      EXPECT_EQ(p.setup->Nk, 0);
    }
    EXPECT_EQ(p.host.forCurs, 0);
  }
  Plot p;
  p.Key('Q');
  EXPECT_TRUE(p.host.calls.empty());
  EXPECT_TRUE(p.host.status.empty());
}

TEST(ViewKeys, NormalisationAndLayoutKeys) {
  Plot p;
  p.setup->NormaliseChannels = 0;
  p.setup->PlotLayout = 2;
  p.Key(viewer::kKeyV);
  EXPECT_EQ(p.setup->NormaliseChannels, 1);
  p.Key(viewer::kKeyInsert);
  EXPECT_EQ(p.setup->PlotLayout, 0);
  p.Key(viewer::kKeyInsert);
  EXPECT_EQ(p.setup->PlotLayout, 1);
  EXPECT_EQ(p.host.forCurs, 0);  // neither changes the range
  EXPECT_EQ(p.host.drawChannels.size(), 3u);
  // One channel shown: V does nothing, not even a redraw.
  p.setup->FirstChannel = 2;
  p.setup->ShownEnd = 3;
  p.Key(viewer::kKeyV);
  EXPECT_EQ(p.setup->NormaliseChannels, 1);
  EXPECT_EQ(p.host.drawChannels.size(), 3u);
}

TEST(CursorKeys, EnterTogglesCursorModeAndTheMenus) {
  Plot p;
  p.setup->FirstChannel = 1;
  p.setup->MarkerChannel = 3;
  p.setup->CursorSet = 1;
  p.Key(viewer::kKeyEnter);
  EXPECT_EQ(p.setup->CursorMode, 1);
  EXPECT_EQ(p.setup->MarkerChannel, 1);
  EXPECT_EQ(p.setup->CursorSet, 0);
  p.Key(viewer::kKeyEnter);
  EXPECT_EQ(p.setup->CursorMode, 0);
  EXPECT_EQ(p.host.axis, (std::vector<Axis>{{0, 0, 3}, {0, 0, 3}}));
  EXPECT_EQ(p.host.menus, (std::vector<int>{0, 1}));
}

TEST(CursorKeys, ArrowsMoveByOneOrTenWithCtrl) {
  Plot p;
  p.setup->CursorMode = 1;
  p.Key(viewer::kKeyRight, 1);
  p.Key(viewer::kKeyLeft);
  p.Key(viewer::kKeyUp, 1);
  p.Key(viewer::kKeyDown);
  EXPECT_EQ(p.host.axis, (std::vector<Axis>{{10, 0, 0}, {-1, 0, 0}, {0, -10, 0}, {0, 1, 0}}));
  EXPECT_EQ(p.host.forCurs, 0);
}

TEST(CursorKeys, InsertSwitchesSetsAndWalksTheFirstThreeMarkerChannels) {
  Plot p(4);
  p.Key(viewer::kKeyEnter);
  std::vector<std::pair<int, int>> seen;  // (marker channel, set) after each Insert
  for (int i = 0; i < 5; ++i) {
    p.Key(viewer::kKeyInsert);
    seen.emplace_back(p.setup->MarkerChannel, p.setup->CursorSet);
  }
  EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{0, 1}, {1, 1}, {2, 1}, {0, 0}, {1, 0}}));
  EXPECT_EQ(p.host.blinks.front(), (Blink{0, 1, 4}));
  EXPECT_EQ(p.host.blinks.back(), (Blink{1, 0, 8}));
  // Another key in between makes the next Insert a first press again.
  p.Key(viewer::kKeyLeft);
  p.Key(viewer::kKeyInsert);
  EXPECT_EQ(p.setup->MarkerChannel, 1);
  EXPECT_EQ(p.setup->CursorSet, 1);
  EXPECT_EQ(p.host.blinks.back(), (Blink{1, 1, 4}));
}

TEST(CursorKeys, InsertWrapsToTheFirstShownChannel) {
  Plot p(6);
  p.setup->FirstChannel = 3;
  p.setup->ShownEnd = 5;  // two shown channels
  p.Key(viewer::kKeyEnter);
  p.Key(viewer::kKeyInsert);
  p.Key(viewer::kKeyInsert);
  EXPECT_EQ(p.setup->MarkerChannel, 4);
  p.Key(viewer::kKeyInsert);  // past the last shown: back to the first shown, the set switches
  EXPECT_EQ(p.setup->MarkerChannel, 3);
  EXPECT_EQ(p.host.blinks.back(), (Blink{3, 0, 8}));
}

TEST(CursorKeys, SpaceZoomsBetweenTheCursors) {
  Plot p(2, 100000);
  p.setup->CursorMode = 1;
  p.setup->SamplesPerColumn = 10;
  p.setup->CursorSamples[0] = 1000;
  p.setup->CursorSamples[1] = 1005;  // less than a column apart
  p.Key(viewer::kKeySpace);
  EXPECT_EQ(p.host.calls, (std::vector<std::string>{"message !!!!!!!"}));
  EXPECT_EQ(p.last, 0);
  p.host.calls.clear();

  p.setup->CursorSamples[1] = 1000 + 2500;  // 2500 / 1200 + 0.01 = 2.09: three plot widths
  p.host.overview = true;
  p.Key(viewer::kKeySpace);
  EXPECT_EQ(p.setup->Nn, 1000);
  EXPECT_EQ(p.setup->Nk, 1000 + 3600);
  EXPECT_EQ(p.host.calls, (std::vector<std::string>{"for_curs", "DrawChannels", "DrawTimeAxis", "overview",
                                                    "DrawTimeAxis"}));
  EXPECT_EQ(p.setup->CursorMode, 1);

  p.setup->CursorSamples[0] = 2000;
  p.setup->CursorSamples[1] = 2200;  // a short stretch: an eighth of the plot width
  p.Key(viewer::kKeySpace);
  EXPECT_EQ(p.setup->Nn, 2000);
  EXPECT_EQ(p.setup->Nk, 2150);
  p.setup->CursorSamples[1] = 2500;  // up to half the width: a quarter
  p.Key(viewer::kKeySpace);
  EXPECT_EQ(p.setup->Nk, 2300);
}

TEST(CursorKeys, ZoomToCursorsStaysInsideTheRecord) {
  struct Case {
    int32_t first, second;
    int64_t samples;
    int width;
    int32_t nn, nk;
  } cases[] = {
      // Near the end a whole plot width does not fit after the first cursor: it ends at the second.
      {99000, 99900, 100000, 1200, 99900 - 1200, 99900},
      // A second cursor past the last sample: the range is laid out from the cursors as they stand,
      // then its end is brought to the last sample.
      {99950, 100800, 100000, 1200, 100800 - 1200, 99999},
      {5900, 6480, 6000, 1200, 5900, 5999},  // a quarter of the width from the first cursor
      {250, 290, 300, 1200, 250, 299},       // the record is shorter than a plot width
      {100, 5000, 6000, 1296, 100, 100 + 4 * 1296},
  };
  for (const Case& c : cases) {
    const auto r = viewer::ZoomToCursors(c.first, c.second, c.samples, c.width);
    EXPECT_EQ(r.Nn, c.nn) << c.first << " " << c.second;
    EXPECT_EQ(r.Nk, c.nk) << c.first << " " << c.second;
  }
}

TEST(CursorKeys, MarkerChannelOutsideTheShownOnesIsBroughtBack) {
  Plot p(8);
  p.setup->CursorMode = 1;
  p.setup->FirstChannel = 4;
  p.setup->ShownEnd = 8;
  p.setup->MarkerChannel = 1;
  p.setup->CursorSet = 7;
  p.Key(viewer::kKeyDown);
  EXPECT_EQ(p.setup->MarkerChannel, 4);
  EXPECT_EQ(p.setup->CursorSet, 0);
  EXPECT_EQ(p.last, viewer::kKeyDown);
}

}  // namespace
