#include "viewer/cursor_readout.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "toolkit/time_texts.h"
#include "viewer/plot_layout.h"
#include "viewer/view_envelope.h"
#include "viewer/view_host_fake.h"
#include "viewer/view_keys.h"
#include "viewer/view_navigation.h"

namespace {

using viewer::DrawTimeAxisStep;
using viewer::ReadoutGeometry;
using viewer::ReadoutText;
using viewer::XorStroke;

constexpr int64_t kOneHour = 3600LL * 256'000'000;

struct Readout {
  std::unique_ptr<toolkit::SetupRecord> s = viewer_test::MakeSetup(4, 100000);
  ReadoutGeometry g{1200, 400, false};
  float envelope[3605] = {};
  Readout() {
    s->CursorMode = 1;
    s->VerticalCursorCount = 2;
    s->CursorColumns[0][0] = 50;
    s->CursorColumns[0][1] = 12;
    s->CursorColumns[1][0] = 150;
    s->CursorColumns[1][1] = 1188;
    s->SamplesPerColumn = 1;
    s->PixelsPerSample = 1;
    s->Nn = 100;
    s->Header.StartTicks = kOneHour;
    s->PlotScale = 2.0f;
    for (int c = 0; c < 4; ++c) {
      s->Baseline[c] = 304.0f - 100.0f * c;
      s->RowOffset[c] = s->Baseline[c] - 4.0f;
      s->DisplayGain[c] = 1.0;
      s->MarkerY[0][c] = 400 - 100 * c;
      s->MarkerY[1][c] = 350 - 100 * c;
    }
    envelope[50] = -12.4f;
    envelope[50 + 1400] = 37.6f;
  }
  viewer::TimeAxisPicture Step(int dx, int dy, int mode) {
    return DrawTimeAxisStep(*s, dx, dy, mode, g, envelope);
  }
};

const ReadoutText* Find(const std::vector<ReadoutText>& texts, int x, int y) {
  for (const auto& t : texts)
    if (t.x == x && t.y == y) return &t;
  return nullptr;
}

TEST(CursorStrokes, EveryDrawIsPairedWithAnErase) {
  Readout r;
  std::map<std::tuple<bool, int, int>, int> times;
  auto add = [&](const viewer::TimeAxisPicture& p) {
    for (const auto& st : p.strokes) ++times[{st.vertical, st.index, st.pos}];
  };
  const auto all = r.Step(0, 0, 3);
  // Two cursors of each set, then the markers of the first three shown channels, set by set.
  ASSERT_EQ(all.strokes.size(), 10u);
  EXPECT_EQ(all.strokes[0], (XorStroke{true, 0, 50}));
  EXPECT_EQ(all.strokes[2], (XorStroke{false, 0, 96}));  // 400 - 304
  EXPECT_EQ(all.strokes[6], (XorStroke{true, 1, 1188}));
  add(all);
  add(r.Step(7, -3, 0));
  r.s->CursorSet = 1;
  r.s->CursorIndex = 1;
  r.s->MarkerChannel = 2;
  add(r.Step(-20, 5, 0));
  add(r.Step(0, 0, 3));  // erase everything where it now stands
  for (const auto& [key, n] : times) EXPECT_EQ(n % 2, 0) << std::get<0>(key) << " " << std::get<1>(key);
  EXPECT_EQ(r.s->CursorColumns[0][0], 57);
  EXPECT_EQ(r.s->CursorColumns[1][1], 1168);
  EXPECT_EQ(r.s->MarkerY[0][0], 397);
  EXPECT_EQ(r.s->MarkerY[1][2], 155);
}

TEST(CursorStrokes, MovesAreHeldInsideThePlot) {
  Readout r;
  r.s->CursorColumns[0][0] = 1195;
  r.Step(10, 0, 0);
  EXPECT_EQ(r.s->CursorColumns[0][0], 1200);
  r.Step(-5000, 0, 0);
  EXPECT_EQ(r.s->CursorColumns[0][0], 0);
  // The marker must stay strictly between row 1 and the plot height.
  r.s->MarkerY[0][0] = 304 + 2;
  r.Step(0, -1, 0);
  EXPECT_EQ(r.s->MarkerY[0][0], 306);
  r.Step(0, 1, 0);
  EXPECT_EQ(r.s->MarkerY[0][0], 307);
  r.s->MarkerY[0][0] = 304 + 399;
  r.Step(0, 1, 0);
  EXPECT_EQ(r.s->MarkerY[0][0], 703);
  // Mode 1 keeps the marker, mode 2 the cursor.
  r.s->CursorColumns[0][0] = 100;
  r.Step(5, -5, 1);
  r.Step(5, -5, 2);
  EXPECT_EQ(r.s->CursorColumns[0][0], 105);
  EXPECT_EQ(r.s->MarkerY[0][0], 698);
}

TEST(CursorStrokes, CursorSamplesFollowTheFirstCursorOfEachSet) {
  Readout r;
  r.s->SamplesPerColumn = 84;
  r.s->Nn = 1000;
  r.s->CursorColumns[0][0] = 10;
  r.s->CursorColumns[1][0] = 1200;
  r.Step(0, 0, 0);
  EXPECT_EQ(r.s->CursorSamples[0], 1000 + 840);
  EXPECT_EQ(r.s->CursorSamples[1], 1000 + 100800);
  r.s->SamplesPerColumn = 1;
  r.s->PixelsPerSample = 3;
  r.Step(0, 0, 0);
  EXPECT_EQ(r.s->CursorSamples[0], 1000 + 3);
  EXPECT_EQ(r.s->CursorSamples[1], 1000 + 400);
}

// A day at 1000 Hz shown whole in 1296 columns needs 66,667 samples a column, more than the record's
// 16-bit field holds: the field keeps 65,535, and cursor times, cursor samples, the start line and the
// zoom to the cursors use the true value.
TEST(CursorReadout, DayLongRecordShownWholeUsesTheTrueSamplesPerColumn) {
  constexpr uint32_t kDay = 86'400'000;
  Readout r;
  r.g.plotWidth = 1296;
  r.s = viewer_test::MakeSetup(4, kDay);
  r.s->Dt = 0.001;
  r.s->Nn = 0;
  r.s->Nk = kDay - 1;
  viewer::ChannelSamples none;
  viewer::ViewEnvelope envelope;
  viewer::for_curs(*r.s, none, envelope, 1296);
  EXPECT_EQ(r.s->SamplesPerColumn, UINT16_MAX);
  EXPECT_EQ(viewer::SamplesPerColumnOf(*r.s, 1296), 66'667u);

  r.s->CursorMode = 0;
  const auto view = r.Step(0, 0, 3);
  EXPECT_NE(view.texts.at(0).text.find("(1:66667)"), std::string::npos) << view.texts.at(0).text;

  r.s->CursorMode = 1;
  r.s->CursorColumns[0][0] = 0;
  r.s->CursorColumns[1][0] = 1296;
  const auto p = r.Step(0, 0, 0);
  EXPECT_EQ(r.s->CursorSamples[1], 66'667 * 1296);  // the last column reaches past the last sample
  ASSERT_NE(Find(p.texts, 52 + 2 * 122, 1), nullptr);
  EXPECT_EQ(Find(p.texts, 52 + 2 * 122, 1)->text, toolkit::FormatSignedDms(66'667 * 1296 * 0.001));

  // Space zooms to the cursors: the whole day stays in view.
  viewer_test::RecordingHost host;
  host.width = 1296;
  uint8_t last = 0;
  viewer::HandleViewKey(*r.s, host, last, viewer::kKeySpace, 0);
  EXPECT_EQ(r.s->Nn, 0);
  EXPECT_EQ(r.s->Nk, static_cast<int32_t>(kDay - 1));
}

TEST(CursorReadout, TimesDistanceFrequencyAndAmplitudes) {
  Readout r;
  const auto p = r.Step(0, 0, 3);
  EXPECT_EQ(p.status, viewer::kCursorKeyHelp);
  ASSERT_NE(Find(p.texts, 1, 1), nullptr);
  EXPECT_EQ(Find(p.texts, 1, 1)->text, "Время:");
  EXPECT_EQ(Find(p.texts, 1, 1)->colourIndex, 10);
  EXPECT_EQ(Find(p.texts, 52, 1)->text, "01:00:01.50000");  // 1 h + (50 + 100) samples of 0.01 s
  EXPECT_EQ(Find(p.texts, 174, 1)->text, "01:00:02.50000");
  EXPECT_EQ(Find(p.texts, 296, 1)->text, " 0:00:1.00000");
  const ReadoutText* f = Find(p.texts, 4 * 122 + 52 + 10, 2);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->text, "f=   1.000Гц;(100)   -12  :38   ;  ");
  EXPECT_EQ(f->colourIndex, 10);  // channel 0
  // Channel 0: markers 4 and 54 pixels above the row's reference, scale 2.
  EXPECT_EQ(Find(p.texts, 0, 18)->text, "2.000000");
  EXPECT_EQ(Find(p.texts, 70, 18)->text, "27.00000");
  EXPECT_EQ(Find(p.texts, 140, 18)->text, "25.00000");
  EXPECT_EQ(Find(p.texts, 208, 18)->colourIndex, 11);  // channel 1
  EXPECT_EQ(Find(p.texts, 3 * 208, 18), nullptr);      // only three channel blocks
}

TEST(CursorReadout, SecondRowForAnotherCursorAndTheLargeFont) {
  Readout r;
  r.s->CursorIndex = 1;
  r.g.largeFont = true;
  r.s->CursorColumns[1][1] = r.s->CursorColumns[0][1];  // no distance in the last row
  const auto p = r.Step(0, 0, 3);
  const ReadoutText* title = Find(p.texts, 1, 1 + 2 * 17);
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->text, "от <0>:");
  EXPECT_EQ(title->colourIndex, 11);
  EXPECT_EQ(Find(p.texts, 62, 35)->text, "00:00:00.38000");  // |12 - 50| columns of 0.01 s
  EXPECT_EQ(Find(p.texts, 62 + 2 * 142, 35)->text, " 0:00:0.00000");
  EXPECT_EQ(Find(p.texts, 4 * 142 + 62 + 10, 2)->text, "     -0012:00038;");
  EXPECT_NE(Find(p.texts, 258, 19), nullptr);
}

TEST(CursorReadout, AllChannelsReadTheFirstShownChannel) {
  Readout r;
  r.s->Channel = r.s->ChannelCount;
  r.s->FirstChannel = 2;
  EXPECT_EQ(viewer::ReadoutChannel(*r.s), 2);
  r.s->Channel = 3;
  EXPECT_EQ(viewer::ReadoutChannel(*r.s), 3);
  r.s->Channel = r.s->ChannelCount;
  const auto p = r.Step(0, 0, 3);
  EXPECT_EQ(Find(p.texts, 4 * 122 + 52 + 10, 2)->colourIndex, 12);
}

TEST(CursorReadout, ViewModeShowsOnlyTheStartLine) {
  Readout r;
  r.s->CursorMode = 0;
  const auto p = r.Step(0, 0, 3);
  EXPECT_EQ(p.strokes.size(), 10u);  // leaving cursor mode erases them all
  ASSERT_EQ(p.texts.size(), 1u);
  EXPECT_EQ(p.texts[0].text, "началo: 01/01/1980 01:00:01.0000;  (1:1)");
  EXPECT_EQ(p.texts[0].bgr, 0xFFFF00u);
  EXPECT_EQ(p.status, viewer::kPlotKeyHelp);
}

TEST(CursorReadout, AmplitudeTexts) {
  EXPECT_EQ(viewer::AmplitudeText(1.23456789), "1.234567");
  EXPECT_EQ(viewer::AmplitudeText(-0.5), "-0.50000");
  EXPECT_EQ(viewer::AmplitudeText(0.0004), "4.00e-04");
  EXPECT_EQ(viewer::AmplitudeText(123456.0), "1.23e+05");
  EXPECT_EQ(viewer::AmplitudeText(0.0), "0.00e+00");
}

}  // namespace
