// Column envelopes: the layout of the visible range over the plot's columns, the reduction to minima and
// maxima, the stretched (interpolating) form, and ranges that must not end the program.
#include "viewer/view_envelope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <random>

namespace {

using toolkit::SetupRecord;
using viewer::ChannelSamples;
using viewer::ViewEnvelope;

class EnvelopeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setup_ = std::make_unique<SetupRecord>();
    toolkit::SetSetupDefaults(*setup_, "/");
  }
  // `channels` channels of `samples` samples; the arrays hold no spare floats, so that a read past the
  // last sample is caught by the address sanitiser.
  void Record(int channels, uint32_t samples, uint32_t seed = 1) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-1000.0f, 1000.0f);
    for (int c = 0; c < channels; ++c) {
      ASSERT_TRUE(samples_.Allocate(c, std::max<uint32_t>(samples, 1)));
      for (uint32_t n = 0; n < samples; ++n) samples_[c][n] = u(rng);
    }
    setup_->ChannelCount = static_cast<uint16_t>(channels);
    setup_->FirstChannel = 0;
    setup_->ShownEnd = static_cast<uint16_t>(channels);
    setup_->Samples = samples;
  }
  viewer::ForCursResult View(int32_t nn, int32_t nk, int width = 1200) {
    setup_->Nn = nn;
    setup_->Nk = nk;
    return viewer::for_curs(*setup_, samples_, envelope_, width);
  }

  std::unique_ptr<SetupRecord> setup_;
  ChannelSamples samples_;
  ViewEnvelope envelope_;
};

// Column c of a reduction from `first` with `per` samples a column takes samples first + c * per up to
// (not including) min(first + (c + 1) * per, last), and always at least its first two.
void ExpectReducedColumns(const float* x, const float* env, int32_t first, int32_t last, uint32_t per,
                          int columns) {
  for (int c = 0; c < columns; ++c) {
    const int64_t from = first + int64_t{c} * per;
    const int64_t to = std::max<int64_t>(std::min<int64_t>(from + per, last), per > 1 ? from + 2 : from + 1);
    ASSERT_EQ(env[c], *std::min_element(x + from, x + to)) << "column " << c;
    ASSERT_EQ(env[c + 1400], *std::max_element(x + from, x + to)) << "column " << c;
  }
}

TEST_F(EnvelopeTest, WholeRecordFitsThePlotAndPartialRangesFillEveryColumn) {
  Record(2, 100'000);
  View(0, 99'999);
  EXPECT_EQ(setup_->SamplesPerColumn, 84);  // trunc(83.33 + 0.99)
  EXPECT_EQ(setup_->PixelsPerSample, 1);
  EXPECT_EQ(setup_->ColumnCount[0], 1191);
  ExpectReducedColumns(samples_[1], envelope_[1], 0, 99'999, 84, 1191);
  EXPECT_EQ(setup_->ChannelMin[1], *std::min_element(samples_[1], samples_[1] + 99'999));
  EXPECT_EQ(setup_->ChannelMax[1], *std::max_element(samples_[1], samples_[1] + 99'999));

  View(25'000, 75'000);
  EXPECT_EQ(setup_->SamplesPerColumn, 41);  // trunc(41.67 + 0.02)
  EXPECT_EQ(setup_->ColumnCount[0], 1200);  // 49,200 samples; the last 800 of the range are not shown
  ExpectReducedColumns(samples_[0], envelope_[0], 25'000, 75'000, 41, 1200);
  EXPECT_EQ(setup_->ChannelMax[0], *std::max_element(samples_[0] + 25'000, samples_[0] + 25'000 + 49'200));
}

TEST_F(EnvelopeTest, NarrowRangesTakeOneSamplePerColumnOrStretch) {
  Record(1, 100'000);
  View(1000, 2190);  // 0.9917 + 0.02 reaches 1
  EXPECT_EQ(setup_->SamplesPerColumn, 1);
  EXPECT_EQ(setup_->PixelsPerSample, 1);
  EXPECT_EQ(setup_->ColumnCount[0], 1190);
  ExpectReducedColumns(samples_[0], envelope_[0], 1000, 2190, 1, 1190);

  View(1000, 1700);  // 0 samples per column, 1200 / 700 = 1 pixel per sample
  EXPECT_EQ(setup_->SamplesPerColumn, 1);
  EXPECT_EQ(setup_->PixelsPerSample, 1);
  EXPECT_EQ(setup_->ColumnCount[0], 700);

  setup_->Cubic = 0;
  View(1000, 1600);  // two columns per sample, interpolated at 0, 0.5, 1, ...
  EXPECT_EQ(setup_->SamplesPerColumn, 1);
  EXPECT_EQ(setup_->PixelsPerSample, 2);
  EXPECT_EQ(setup_->ColumnCount[0], 1200);
  const float* x = samples_[0] + 1000;
  for (int c = 0; c < 1200; ++c) {
    const float expect =
        c % 2 == 0 ? x[c / 2] : static_cast<float>(x[c / 2] + 0.5 * (double{x[c / 2 + 1]} - x[c / 2]));
    ASSERT_EQ(envelope_[0][c], expect) << c;
    ASSERT_EQ(envelope_[0][c + 1400], expect) << c;
  }
}

TEST_F(EnvelopeTest, StretchedFormAtTheEndOfTheRecordHoldsTheLastSample) {
  for (uint8_t cubic : {0, 1}) {
    Record(1, 1000);
    setup_->Cubic = cubic;
    View(990, 999, 1200);  // 9 samples over 1200 columns: positions reach 1200 / 133 = 9 samples on
    EXPECT_EQ(setup_->PixelsPerSample, 133);
    ASSERT_EQ(setup_->ColumnCount[0], 1200);
    const float last = samples_[0][999];
    for (int c = 9 * 133; c < 1200; ++c) ASSERT_EQ(envelope_[0][c], last) << c << " cubic " << int{cubic};
    EXPECT_EQ(envelope_[0][0], samples_[0][990]);
    EXPECT_EQ(envelope_[0][133], samples_[0][991]);
  }
}

TEST_F(EnvelopeTest, RangesAUserCanReachNeverEndTheProgram) {
  // A header-only file: nothing to draw and nothing to report.
  Record(2, 0);
  auto r = View(0, -1);
  EXPECT_TRUE(r.empty);
  EXPECT_FALSE(r.spanMessage);
  EXPECT_EQ(setup_->ColumnCount[0], 0);
  EXPECT_EQ(setup_->ColumnCount[1], 0);

  // One frame: the one sample across the plot.
  samples_.FreeAll();
  Record(1, 1);
  r = View(0, 0);
  EXPECT_FALSE(r.empty);
  EXPECT_EQ(r.spanText, "0");
  EXPECT_EQ(setup_->ColumnCount[0], 1200);
  EXPECT_EQ(envelope_[0][1199], samples_[0][0]);

  // A zero span in a longer record, a reversed range and one past the end become the smallest valid range.
  samples_.FreeAll();
  Record(1, 500);
  r = View(200, 200);
  EXPECT_TRUE(r.spanMessage);
  EXPECT_EQ(setup_->Nn, 200);
  EXPECT_EQ(setup_->Nk, 201);
  EXPECT_EQ(setup_->PixelsPerSample, 1200);
  r = View(300, 250);
  EXPECT_EQ(r.spanText, "-50");
  EXPECT_LT(setup_->Nn, setup_->Nk);
  View(499, 499);
  EXPECT_EQ(setup_->Nn, 498);
  EXPECT_EQ(setup_->Nk, 499);
  View(-40, 9000);  // Nk is clamped to the last sample, Nn to the first
  EXPECT_EQ(setup_->Nn, 0);
  EXPECT_EQ(setup_->Nk, 499);
  EXPECT_GT(setup_->ColumnCount[0], 0);
}

TEST_F(EnvelopeTest, OnlyShownChannelsWithArraysAreReduced) {
  Record(3, 5000);
  setup_->ColumnCount[0] = 77;
  setup_->FirstChannel = 1;
  setup_->ShownEnd = 9;  // beyond the channels in memory
  View(0, 4999);
  EXPECT_EQ(setup_->ColumnCount[0], 77);  // not shown: left alone
  EXPECT_GT(setup_->ColumnCount[1], 0);
  EXPECT_GT(setup_->ColumnCount[2], 0);
  EXPECT_EQ(setup_->ColumnCount[3], 0);
  // A plot wider than the envelope holds is cut to 1400 columns.
  View(0, 4999, 5000);
  EXPECT_LE(setup_->ColumnCount[1], 1400);
}

TEST(Decimation, FastRunMatchesTheScalarRuleIncludingNaNs) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> u(-5.0f, 5.0f);
  std::vector<float> x(20'000);
  for (auto& v : x) v = u(rng);
  x[10] = std::nanf("");    // inside a column: ignored
  x[8400] = std::nanf("");  // first sample of column 100 (84 per column): that column stays NaN
  x[777] = 1e6f;
  viewer::EnvelopeLayout layout{1200, 1, false, static_cast<uint32_t>(x.size())};
  std::vector<float> env(3605);
  int32_t columns = 0;
  float mn = 9.9e9f, mx = -9.9e9f;
  viewer::DecimateChannel(layout, 84, 0, 19'999, columns, x.data(), env.data(), mn, mx);
  ASSERT_EQ(columns, 239);
  for (int c = 0; c < columns; ++c) {
    float lo = x[c * 84], hi = x[c * 84];
    for (int k = c * 84 + 1; k < std::min(c * 84 + 84, 19'999); ++k) {
      lo = std::min(lo, x[k]);
      hi = std::max(hi, x[k]);
    }
    if (c == 100) {
      EXPECT_TRUE(std::isnan(env[c]) && std::isnan(env[c + 1400]));
      continue;
    }
    ASSERT_EQ(env[c], lo) << c;
    ASSERT_EQ(env[c + 1400], hi) << c;
  }
  EXPECT_EQ(mx, 1e6f);
}

TEST(Interpolation, BothFormsPassThroughTheSamplesAndTheCubicIsExactForCubics) {
  float x[12];
  for (int i = 0; i < 12; ++i) x[i] = 0.5f * i * i * i - 3.0f * i * i + 2.0f * i + 1.0f;
  for (bool cubic : {false, true}) {
    for (int i = 0; i < 12; ++i) EXPECT_EQ(viewer::InterpolateSample(i, x, 12, cubic), x[i]) << i << cubic;
  }
  EXPECT_FLOAT_EQ(viewer::InterpolateSample(4.5, x, 12, false), 0.5f * (x[4] + x[5]));
  for (double p : {1.25, 4.5, 7.75, 9.5, 10.5}) {
    const double expect = 0.5 * p * p * p - 3.0 * p * p + 2.0 * p + 1.0;
    EXPECT_NEAR(viewer::InterpolateSample(p, x, 12, true), expect, 1e-4) << p;
  }
  // Near the start the four points begin at sample 0; past the last sample it is held.
  EXPECT_NEAR(viewer::InterpolateSample(0.5, x, 12, true), 0.5 * 0.125 - 0.75 + 1.0 + 1.0, 1e-4);
  EXPECT_EQ(viewer::InterpolateSample(11.7, x, 12, true), x[11]);
  EXPECT_EQ(viewer::InterpolateSample(30.0, x, 12, false), x[11]);
  // Too few samples for four points: linear.
  EXPECT_FLOAT_EQ(viewer::InterpolateSample(0.5, x, 3, true), 0.5f * (x[0] + x[1]));

  // Finite samples near the float range give finite values: the midpoint of -3e38 and 3e38 is 0, and a
  // curve that overshoots the range stays at its edge.
  const float big[6] = {3e38f, -3e38f, 3e38f, -3e38f, 3e38f, -3e38f};
  EXPECT_EQ(viewer::InterpolateSample(1.5, big, 6, false), 0.0f);
  for (double p : {0.5, 1.5, 2.25, 2.5, 3.75}) {
    for (bool cubic : {false, true}) {
      EXPECT_TRUE(std::isfinite(viewer::InterpolateSample(p, big, 6, cubic))) << p << cubic;
    }
  }
  const float bump[6] = {-3e38f, -3e38f, 3e38f, 3e38f, -3e38f, -3e38f};  // the curve peaks at 3.75e38
  EXPECT_EQ(viewer::InterpolateSample(2.5, bump, 6, true), std::numeric_limits<float>::max());
}

}  // namespace
