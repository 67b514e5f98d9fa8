// Plot geometry: the common scale, row baselines, gains, marker defaults and texts, and the strokes of
// an envelope.
#include "viewer/plot_layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

using toolkit::SetupRecord;

class PlotLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    s_ = std::make_unique<SetupRecord>();
    toolkit::SetSetupDefaults(*s_, "/");
    s_->Header.Rate = 100;
    s_->Header.StartTicks = 0;
  }
  // Channels with the given minima and maxima (as the reduction leaves them), all shown.
  void Channels(std::vector<std::pair<float, float>> ranges) {
    s_->ChannelCount = static_cast<uint16_t>(ranges.size());
    s_->FirstChannel = 0;
    s_->ShownEnd = s_->ChannelCount;
    for (size_t i = 0; i < ranges.size(); ++i) {
      s_->ChannelMin[i] = ranges[i].first;
      s_->ChannelMax[i] = ranges[i].second;
      s_->ColumnCount[i] = 10;
    }
  }
  // Screen y of value v of channel ch under the layout just computed.
  float ScreenY(const viewer::ChannelPlotLayout& l, int ch, float v) const {
    return l.plotHeight - (v * l.rows[ch - s_->FirstChannel].scale + l.rows[ch - s_->FirstChannel].offset);
  }

  std::unique_ptr<SetupRecord> s_;
  toolkit::TFunk funk_;
};

TEST_F(PlotLayoutTest, StackedRowsTakeEqualHeightsFromTheTop) {
  Channels({{0, 10}, {-5, 5}, {100, 120}, {1, 2}});
  const auto l = viewer::LayoutChannelPlot(*s_, 1200, 410, 0, funk_);
  EXPECT_EQ(l.rowHeight, 100);
  const float baselines[] = {304, 204, 104, 4};
  for (int ch = 0; ch < 4; ++ch) {
    EXPECT_EQ(s_->Baseline[ch], baselines[ch]);
    // The channel's minimum sits on its baseline.
    EXPECT_NEAR(ScreenY(l, ch, s_->ChannelMin[ch]), 410 - baselines[ch], 1e-3);
    EXPECT_EQ(l.LabelY[ch], static_cast<int>(410 - baselines[ch] - 50));
    EXPECT_EQ(l.rows[ch].colourIndex, (ch + 9) % 15 + 1);
  }
  EXPECT_FLOAT_EQ(s_->PlotRange, 20.0f);  // the largest range of the rows
  EXPECT_FLOAT_EQ(s_->PlotScale, 405.0f / 20.0f / 4);
  EXPECT_TRUE(l.showRange);
  EXPECT_EQ(l.rangeText, "     20.00000 ");
  // Markers start on each channel's minimum and maximum, stored as screen y plus the baseline.
  EXPECT_EQ(s_->MarkerY[0][2], static_cast<int>(ScreenY(l, 2, 100) + s_->Baseline[2]));
  EXPECT_EQ(s_->MarkerY[1][2], static_cast<int>(ScreenY(l, 2, 120) + s_->Baseline[2]));
  EXPECT_EQ(s_->CursorColumns[0][0], 0);
  EXPECT_EQ(s_->CursorColumns[1][0], 1200);
}

TEST_F(PlotLayoutTest, CommonRangeDrawsEveryRowOnOneScaleAtItsTrueLevel) {
  Channels({{-5, 5}, {90, 110}, {-1020, -980}});
  s_->PlotLayout = 1;
  const auto l = viewer::LayoutChannelPlot(*s_, 1200, 400, 0, funk_);
  EXPECT_FLOAT_EQ(s_->PlotRange, 1130.0f);
  for (int ch = 0; ch < 3; ++ch) {
    EXPECT_FLOAT_EQ(s_->RowReference[ch], -1020.0f);
    EXPECT_EQ(s_->Baseline[ch], 65.0f);
  }
  // One value lands on the same screen y in every row.
  EXPECT_FLOAT_EQ(ScreenY(l, 0, 0.0f), ScreenY(l, 1, 0.0f));
  EXPECT_FLOAT_EQ(ScreenY(l, 1, 0.0f), ScreenY(l, 2, 0.0f));
  // Overlaid labels step down by 15 pixels a channel.
  EXPECT_EQ(l.LabelY[0] - l.LabelY[1], 15);
}

TEST_F(PlotLayoutTest, OneShownChannelUsesItsOwnRange) {
  Channels({{0, 1000}, {0, 3}, {0, 50}});
  s_->PlotLayout = 1;
  s_->FirstChannel = 1;
  s_->ShownEnd = 2;
  const auto l = viewer::LayoutChannelPlot(*s_, 1200, 400, 0, funk_);
  EXPECT_FLOAT_EQ(s_->PlotRange, 3.0f);
  ASSERT_EQ(l.rows.size(), 1u);
  EXPECT_EQ(l.rows[0].channel, 1);
  EXPECT_EQ(l.LabelY[0], 0);  // not shown
}

TEST_F(PlotLayoutTest, NormalisationGivesEveryChannelTheSameHeightAndFlatChannelsGainOne) {
  Channels({{0, 10}, {-400, 400}, {7, 7}});
  s_->NormaliseChannels = 1;
  const auto l = viewer::LayoutChannelPlot(*s_, 1200, 400, 0, funk_);
  EXPECT_FALSE(l.showRange);
  EXPECT_DOUBLE_EQ(s_->DisplayGain[0], 10.0);
  EXPECT_DOUBLE_EQ(s_->DisplayGain[1], 0.125);
  EXPECT_DOUBLE_EQ(s_->DisplayGain[2], 1.0);
  const float h0 = ScreenY(l, 0, 0) - ScreenY(l, 0, 10);
  const float h1 = ScreenY(l, 1, -400) - ScreenY(l, 1, 400);
  EXPECT_NEAR(h0, h1, 1e-3);
}

TEST_F(PlotLayoutTest, AllChannelsSelectedPrintsStarsAndPutsTheMarkAtTheTop) {
  Channels({{0, 1}, {0, 1}});
  s_->Channel = 2;
  auto l = viewer::LayoutChannelPlot(*s_, 1200, 400, 0, funk_);
  EXPECT_EQ(l.channelText, "**");
  EXPECT_EQ(l.markY, 2);
  s_->Channel = 1;
  l = viewer::LayoutChannelPlot(*s_, 1200, 400, 0, funk_);
  EXPECT_EQ(l.channelText, "01");
  EXPECT_EQ(l.markY, l.LabelY[1] + 2);
}

TEST_F(PlotLayoutTest, LabelsStartLineAndKeptMarkers) {
  Channels({{0, 1}, {0, 1}});
  toolkit::SetFieldText(s_->MemChannels[0].Name, "00_vertical");
  toolkit::SetFieldText(s_->MemChannels[1].Name, "01_N");
  s_->TestMode = 1;
  s_->TestChannels = 1;
  s_->Nn = 150;  // 1.5 s after the start at 100 Hz
  s_->Nk = 900;
  s_->PixelsPerSample = 1;
  s_->SamplesPerColumn = 7;
  s_->MarkerY[0][1] = 1234;
  const auto l = viewer::LayoutChannelPlot(*s_, 1200, 400, 1, funk_);
  EXPECT_EQ(l.rows[0].label, "tst");
  EXPECT_EQ(l.rows[1].label, "01_N");
  EXPECT_EQ(l.startLine, " началo: 01/01/1980 00:00:01.5000;  (1:7)  ");
  EXPECT_EQ(s_->MarkerY[0][1], 1234);
  EXPECT_EQ(s_->CursorSamples[0], 150);
  EXPECT_EQ(s_->CursorSamples[1], 900);
  s_->TestMode = 0;
  EXPECT_EQ(viewer::LayoutChannelPlot(*s_, 1200, 400, 1, funk_).rows[0].label, "00_ver");
}

TEST_F(PlotLayoutTest, FlatOrEmptyPlotsGetScaleOne) {
  Channels({{3, 3}});
  viewer::LayoutChannelPlot(*s_, 1200, 400, 0, funk_);
  EXPECT_EQ(s_->PlotScale, 1.0f);
  Channels({});
  const auto l = viewer::LayoutChannelPlot(*s_, 1200, 6, 0, funk_);
  EXPECT_TRUE(l.rows.empty());
  EXPECT_EQ(l.rowHeight, 0);  // a tiny plot never gives a negative row height
  EXPECT_EQ(viewer::PlotHeightFor(700, 100), 690);
  EXPECT_EQ(viewer::PlotHeightFor(5, 100), 0);
}

TEST(EnvelopeStrokes, FlatColumnsArePixelsAndNeighboursAlwaysTouch) {
  std::vector<float> env(3605, 0.0f);
  const float lows[] = {10, 10, 50, 20, 1e30f, std::nanf("")};
  const float highs[] = {10, 30, 60, 25, 1e30f, std::nanf("")};
  for (int x = 0; x < 6; ++x) {
    env[x] = lows[x];
    env[x + 1400] = highs[x];
  }
  struct S {
    int x, top, bottom;
  };
  std::vector<S> strokes;
  viewer::ForEachEnvelopeStroke(env.data(), 6, 1.0f, 0.0f, 100, [&](int x, int top, int bottom) {
    strokes.push_back({x, top, bottom});
  });
  ASSERT_EQ(strokes.size(), 6u);
  EXPECT_EQ(strokes[0].top, 90);
  EXPECT_EQ(strokes[0].bottom, 90);  // one pixel
  EXPECT_EQ(strokes[1].top, 70);
  EXPECT_EQ(strokes[1].bottom, 90);
  EXPECT_EQ(strokes[2].top, 40);  // 40 ... 50 joined down to the previous top at 70
  EXPECT_EQ(strokes[2].bottom, 70);
  EXPECT_EQ(strokes[3].top, 70);  // 75 ... 80 joined up to the previous (joined) bottom at 70
  EXPECT_EQ(strokes[3].bottom, 80);
  for (const auto& st : strokes) {
    EXPECT_GE(st.top, 0);
    EXPECT_LE(st.bottom, 100);
  }
  EXPECT_EQ(viewer::EnvelopeY(1e30f, 1, 0, 100), 0);
  EXPECT_EQ(viewer::EnvelopeY(-1e30f, 1, 0, 100), 100);
  EXPECT_EQ(viewer::EnvelopeY(std::nanf(""), 1, 0, 100), 0);
}

}  // namespace
