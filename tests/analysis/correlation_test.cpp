#include "analysis/correlation.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/memory_budget.h"
#include "reference_arrays.h"

namespace {

using analysis::CorrelateChannels;
using analysis_test::Noise;
using analysis_test::Numpy;
using analysis_test::ToDouble;

TEST(CorrelationTest, TransformHoldsTwiceTheSamples) {
  EXPECT_EQ(analysis::CorrelationLength(1000), 2048u);
  EXPECT_EQ(analysis::CorrelationLength(1024), 2048u);
  EXPECT_EQ(analysis::CorrelationLength(1025), 4096u);
  EXPECT_EQ(analysis::CorrelationLength(1u << 29), 1u << 30);
  EXPECT_EQ(analysis::CorrelationLength((1u << 29) + 1), uint64_t{1} << 31);
  EXPECT_EQ(analysis::CorrelationLength(0x80000001u), uint64_t{1} << 33);
}

// Lengths whose transform cannot be made are refused before a sample is read (the arrays are short).
TEST(CorrelationTest, RefusesRecordsBeyondTheLongestTransform) {
  std::vector<float> a(8, 1.0f), b(8, 2.0f);
  toolkit::TFunk funk;
  for (uint32_t n : {(1u << 29) + 1, 1u << 30, 0x80000001u, 0xFFFFFFFFu}) {
    for (const float* other : {a.data(), b.data()}) {
      const std::string refused = CorrelateChannels(a.data(), other, n, funk, nullptr);
      EXPECT_NE(refused.find("длина БПФ больше"), std::string::npos) << n << refused;
    }
  }
  EXPECT_EQ(a, std::vector<float>(8, 1.0f));
}

// b is a copied `delay` samples later (positive) or earlier (negative) plus a little noise: numpy's
// correlate(b, a) over the kept lags, normalised by sqrt(Ea Eb).
TEST(CorrelationTest, CrossMatchesNumpyForBothDelays) {
  for (int delay : {37, -37}) {
    const uint32_t n = 1000;
    const std::vector<float> a = Noise(n, 7);
    const std::vector<float> extra = Noise(n, 99);
    std::vector<float> b(n);
    for (uint32_t i = 0; i < n; ++i) {
      const int64_t j = static_cast<int64_t>(i) - delay;
      b[i] = (j >= 0 && j < n ? a[j] : 0.0f) + 0.1f * extra[i];
    }
    const std::vector<double> ref =
        Numpy("xcorr", {ToDouble(a), ToDouble(b)},
              "n = len(in1); m = int(0.9 * n)\n"
              "out = np.correlate(in2, in1, 'full')[n - 1:n - 1 + m] / np.sqrt(np.dot(in1, in1) * np.dot(in2, in2))");
    ASSERT_EQ(ref.size(), 900u);
    std::vector<float> got = a;
    toolkit::TFunk funk;
    ASSERT_EQ(CorrelateChannels(got.data(), b.data(), n, funk, nullptr), "");
    double worst = 0.0;
    for (size_t m = 0; m < ref.size(); ++m) worst = std::max(worst, std::fabs(got[m] - ref[m]));
    EXPECT_LT(worst, 2e-5) << "delay " << delay;
    for (uint32_t m = 900; m < n; ++m) ASSERT_EQ(got[m], 0.0f);
    EXPECT_GT(delay > 0 ? got[delay] : 1.0f, 0.95f);
    EXPECT_LT(delay < 0 ? std::fabs(got[-delay]) : 0.0f, 0.2f);
  }
}

TEST(CorrelationTest, AutoStartsAtOneAndMatchesNumpyOnALongRecord) {
  const uint32_t n = 200000;
  std::vector<float> a = Noise(n, 3);
  for (uint32_t i = 0; i < n; ++i) a[i] += 2000.0f * std::sin(0.01f * i);  // large counts
  const std::vector<double> ref =
      Numpy("acorr", {ToDouble(a)},
            "n = len(in1); m = int(0.9 * n)\n"
            "out = signal.correlate(in1, in1, 'full', method='fft')[n - 1:n - 1 + m] / np.dot(in1, in1)");
  toolkit::TFunk funk;
  std::vector<int> positions;
  ASSERT_EQ(CorrelateChannels(a.data(), a.data(), n, funk, [&](int p) { positions.push_back(p); }), "");
  EXPECT_NEAR(a[0], 1.0f, 1e-6);
  double worst = 0.0;
  for (size_t m = 0; m < ref.size(); ++m) worst = std::max(worst, std::fabs(a[m] - ref[m]));
  EXPECT_LT(worst, 2e-5);
  EXPECT_EQ(positions, (std::vector<int>{5, 15, 50, 90}));
}

TEST(CorrelationTest, RefusedInputsLeaveTheChannel) {
  toolkit::TFunk funk;
  std::vector<float> silent(500, 0.0f), a = Noise(500, 1);
  const std::vector<float> before = a;
  EXPECT_NE(CorrelateChannels(a.data(), silent.data(), 500, funk, nullptr), "");
  EXPECT_EQ(a, before);
  EXPECT_NE(CorrelateChannels(silent.data(), silent.data(), 500, funk, nullptr), "");
  EXPECT_EQ(silent, std::vector<float>(500, 0.0f));
  {
    const platform::ScopedMemoryForNewData budget(0);  // the transform's arrays are beyond the budget
    EXPECT_EQ(CorrelateChannels(a.data(), a.data(), 500, funk, nullptr), "Нет памяти для массивов");
    EXPECT_EQ(a, before);
  }
  std::vector<float> one{5.0f, 7.0f};
  EXPECT_NE(CorrelateChannels(one.data(), one.data(), 1, funk, nullptr), "");
  EXPECT_EQ(one[0], 5.0f);
}

// The windowed-sinc low-pass (numpy convolution), then the backward difference over dt.
TEST(DifferentiateTest, MatchesPotterReferenceThenDiff) {
  toolkit::SetupRecord s{};
  s.Samples = 4000;
  s.Dt = 0.01;
  s.DerivativePotterPoints = 40;
  s.DerivativeCutoff = 8.0;
  std::vector<float> x(s.Samples);
  for (uint32_t i = 0; i < s.Samples; ++i) x[i] = static_cast<float>(100 * std::sin(2 * M_PI * 1.5 * i * s.Dt) + 3 * i * s.Dt);
  const std::string in = dsptest::WriteArray("pot_in", ToDouble(x));
  const std::string out = dsptest::OutputPath("pot_out");
  ASSERT_TRUE(dsptest::RunReference("potter 40 0 8 50 0.01 " + in + " " + out));
  const std::vector<double> y = dsptest::ReadArray(out);
  const std::vector<double> d = Numpy("diff", {y}, "out = np.diff(in1) / 0.01");
  ASSERT_EQ(d.size(), s.Samples - 1u);
  toolkit::TFunk funk;
  ASSERT_EQ(analysis::DifferentiateChannel(s, x.data(), funk), "");
  double worst = 0.0, peak = 0.0;
  for (uint32_t i = 1; i < s.Samples; ++i) {
    worst = std::max(worst, std::fabs(x[i] - d[i - 1]));
    peak = std::max(peak, std::fabs(d[i - 1]));
  }
  EXPECT_LT(worst, 1e-3 * peak);
  EXPECT_EQ(x[0], x[1]);

  std::vector<float> single{4.0f};
  s.Samples = 1;
  EXPECT_EQ(analysis::DifferentiateChannel(s, single.data(), funk), "");
  EXPECT_EQ(single[0], 4.0f);
}

}  // namespace
