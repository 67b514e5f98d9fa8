#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "dsp_reference.h"
#include "toolkit/funk.h"

namespace toolkit {
namespace {

constexpr double kPi = std::numbers::pi;

std::vector<float> Signal(size_t n, double dt, double offset, std::vector<std::pair<double, double>> sines,
                          double noise = 0.0, unsigned seed = 3) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> g(0.0, 1.0);
  std::vector<float> x(n);
  for (size_t i = 0; i < n; ++i) {
    double v = offset + noise * g(rng);
    for (auto [f, a] : sines) v += a * std::sin(2.0 * kPi * f * i * dt);
    x[i] = static_cast<float>(v);
  }
  return x;
}

std::vector<double> ToDouble(const std::vector<float>& x) { return {x.begin(), x.end()}; }

double MaxAbs(const std::vector<double>& x) {
  double m = 0.0;
  for (double v : x) m = std::max(m, std::fabs(v));
  return m;
}

double MaxError(const std::vector<float>& y, const std::vector<double>& ref) {
  double err = 0.0;
  for (size_t i = 0; i < y.size(); ++i) err = std::max(err, std::fabs(y[i] - ref[i]));
  return err;
}

// Root mean square over [from, to).
double Rms(const std::vector<float>& x, size_t from, size_t to) {
  double s = 0.0;
  for (size_t i = from; i < to; ++i) s += double(x[i]) * x[i];
  return std::sqrt(s / double(to - from));
}

std::string Num(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

TEST(PotterTest, KernelHasUnitGainAtZeroFrequency) {
  for (int16_t N : {1, 2, 10, 100, 3000}) {
    std::vector<double> h(N + 1);
    TFunk::PotterKernel(N, h.data(), 12.5, 0.01);
    double s = h[0];
    for (int k = 1; k <= N; ++k) s += 2.0 * h[k];
    EXPECT_NEAR(s, 1.0, 1e-12) << N;
  }
  // Nothing passes a cut-off of 0 Hz: an all-zero kernel, not a division by zero.
  std::vector<double> h(51, 1.0);
  TFunk::PotterKernel(50, h.data(), 0.0, 0.01);
  for (double v : h) EXPECT_EQ(v, 0.0);
}

// All four types, on the direct path (N below the fast-convolution bound) and on the fast path up to
// the largest N, against numpy's convolution of the edge-padded signal.
TEST(PotterTest, MatchesNumpyConvolutionWithClampedEdges) {
  const double dt = 0.01;
  const std::vector<float> x = Signal(20000, dt, 40.0, {{1.0, 10.0}, {9.0, 5.0}, {31.0, 3.0}}, 1.0);
  struct Case {
    int N, type;
  };
  for (Case c : {Case{20, 0}, Case{20, 1}, Case{47, 2}, Case{20, 3}, Case{48, 0}, Case{300, 1}, Case{300, 2},
                 Case{300, 3}, Case{3000, 0}}) {
    TFunk funk;
    std::vector<float> y = x;
    funk.PotterFilter(y.data(), static_cast<uint32_t>(y.size()), static_cast<int16_t>(c.N),
                      static_cast<uint16_t>(c.type), 5.0, 15.0, dt);
    const std::string in = dsptest::WriteArray("potter_in", ToDouble(x));
    const std::string out = dsptest::OutputPath("potter_out");
    ASSERT_TRUE(dsptest::RunReference("potter " + std::to_string(c.N) + " " + std::to_string(c.type) +
                                      " 5 15 " + Num(dt) + " " + in + " " + out));
    const std::vector<double> ref = dsptest::ReadArray(out);
    ASSERT_EQ(ref.size(), y.size());
    EXPECT_LT(MaxError(y, ref), 2e-6 * MaxAbs(ref)) << "N " << c.N << " type " << c.type;
    EXPECT_EQ(y.back(), x.back());
  }
}

TEST(PotterTest, ConstantChannelAndShortChannels) {
  TFunk funk;
  for (int16_t N : {10, 200}) {
    std::vector<float> c(1000, 123.5f);
    funk.PotterFilter(c.data(), 1000, N, 0, 10.0, 0.0, 0.01);
    for (float v : c) EXPECT_NEAR(v, 123.5f, 1e-3f);
    std::vector<float> hp(1000, 123.5f);
    funk.PotterFilter(hp.data(), 1000, N, 2, 10.0, 0.0, 0.01);
    for (size_t i = 0; i + 1 < hp.size(); ++i) EXPECT_NEAR(hp[i], 0.0f, 1e-3f);
  }
  // Fewer samples than taps: the edges repeat; one sample stays as it is.
  std::vector<float> s = {1.0f, 2.0f, 3.0f};
  funk.PotterFilter(s.data(), 3, 500, 0, 1.0, 0.0, 0.01);
  EXPECT_TRUE(std::isfinite(s[0]) && std::isfinite(s[1]));
  EXPECT_EQ(s[2], 3.0f);
  std::vector<float> one = {7.0f};
  funk.PotterFilter(one.data(), 1, 100, 0, 1.0, 0.0, 0.01);
  EXPECT_EQ(one[0], 7.0f);
}

// The cascade against scipy's sosfilt started in the steady state of the same mean.
TEST(ApplyButterworthTest, MatchesScipySosfiltFromTheSteadyState) {
  const double rate = 200.0;
  const std::vector<float> x =
      Signal(6000, 1.0 / rate, 1500.0, {{0.3, 50.0}, {12.0, 20.0}, {60.0, 8.0}}, 2.0);
  struct Case {
    int order, type;
    double f1, f2;
  };
  for (Case c : {Case{2, 1, 20.0, 0.0}, Case{5, 1, 7.5, 0.0}, Case{3, 3, 1.0, 0.0}, Case{2, 2, 5.0, 30.0},
                 Case{4, 2, 40.0, 10.0}, Case{3, 4, 8.0, 20.0}}) {
    TFunk funk;
    std::vector<float> y = x;
    ASSERT_EQ(
        funk.ApplyButterworth(c.order, c.type, rate, c.f1, c.f2, y.data(), static_cast<uint32_t>(y.size())),
        ButterworthStatus::Ok);
    const int M = (c.type % 2 == 0) ? 2 * c.order : c.order;
    const std::string in = dsptest::WriteArray("sos_in", ToDouble(x));
    const std::string out = dsptest::OutputPath("sos_out");
    ASSERT_TRUE(dsptest::RunReference("sosfilt " + std::to_string(c.order) + " " + std::to_string(c.type) +
                                      " " + Num(rate) + " " + Num(c.f1) + " " + Num(c.f2) + " " +
                                      std::to_string(M) + " " + in + " " + out));
    const std::vector<double> ref = dsptest::ReadArray(out);
    ASSERT_EQ(ref.size(), y.size());
    EXPECT_LT(MaxError(y, ref), 1e-5 * MaxAbs(ref)) << "order " << c.order << " type " << c.type;
  }
}

// Narrow low bands at high rates, where the expanded polynomial loses its stability.
TEST(ApplyButterworthTest, NarrowLowBandsStayStable) {
  struct Case {
    int order;
    double rate;
  };
  for (Case c : {Case{3, 10000.0}, Case{4, 1000.0}}) {
    const size_t n = static_cast<size_t>(c.rate * 60);
    std::vector<float> x = Signal(n, 1.0 / c.rate, 300.0, {{1.1, 10.0}, {40.0, 10.0}});
    TFunk funk;
    ASSERT_EQ(funk.ApplyButterworth(c.order, kBandPass, c.rate, 0.8, 1.5, x.data(), static_cast<uint32_t>(n)),
              ButterworthStatus::Ok);
    for (float v : x) ASSERT_TRUE(std::isfinite(v) && std::fabs(v) < 100.0f) << c.rate;
    // The last 20 s hold the 1.1 Hz sine alone, close to its full amplitude.
    const double rms = Rms(x, n - n / 3, n);
    EXPECT_NEAR(rms, 10.0 / std::sqrt(2.0), 0.6) << c.rate;
  }
}

// A high-pass or band-pass over a large offset starts at zero, without a step at the first sample.
TEST(ApplyButterworthTest, NoStartUpTransientOverAnOffset) {
  for (int type : {kHighPass, kBandPass}) {
    std::vector<float> x(5000, 20000.0f);
    TFunk funk;
    ASSERT_EQ(funk.ApplyButterworth(3, type, 100.0, 1.0, 10.0, x.data(), 5000), ButterworthStatus::Ok);
    for (float v : x) ASSERT_NEAR(v, 0.0f, 0.05f) << type;
  }
  // A low-pass keeps the offset from the first sample on.
  std::vector<float> x(100, -333.0f);
  TFunk funk;
  ASSERT_EQ(funk.ApplyButterworth(4, kLowPass, 100.0, 5.0, 0.0, x.data(), 100), ButterworthStatus::Ok);
  for (float v : x) ASSERT_NEAR(v, -333.0f, 1e-3f);
}

TEST(ApplyButterworthTest, ShortChannelsAndRefusedDesigns) {
  TFunk funk;
  // Fewer samples than the degree of the design (8 for a band-pass of order 4).
  std::vector<float> x = {5.0f, 5.0f, 5.0f};
  EXPECT_EQ(funk.ApplyButterworth(4, kBandPass, 100.0, 2.0, 8.0, x.data(), 3), ButterworthStatus::Ok);
  for (float v : x) EXPECT_NEAR(v, 0.0f, 1e-4f);
  EXPECT_EQ(funk.ApplyButterworth(4, kBandPass, 100.0, 2.0, 8.0, x.data(), 0), ButterworthStatus::Ok);
  // Refused or doubtful designs leave the channel as it is and say why.
  std::vector<float> y = {1.0f, 2.0f, 3.0f, 4.0f};
  const std::vector<float> y0 = y;
  EXPECT_EQ(funk.ApplyButterworth(0, kLowPass, 100.0, 10.0, 0.0, y.data(), 4), ButterworthStatus::BadOrder);
  EXPECT_EQ(GlobalButterworth().text, "error order");
  EXPECT_EQ(funk.ApplyButterworth(2, kLowPass, 100.0, 60.0, 0.0, y.data(), 4), ButterworthStatus::BadBand);
  EXPECT_EQ(funk.ApplyButterworth(2, kBandStop, 100.0, 10.0, -1.0, y.data(), 4), ButterworthStatus::BadBand);
  EXPECT_EQ(y, y0);
}

TEST(FftFilterTest, IntegratesAndDifferentiatesSines) {
  // 32 whole periods in the transform of 4096 points.
  const double dt = 1.0 / 512.0, f = 4.0, w = 2.0 * kPi * f;
  const uint32_t n = 4096;
  const std::vector<float> x = Signal(n, dt, 0.0, {{f, 1.0}});
  TFunk funk;
  TFunk::FftFilterBand band{dt, TFunk::kFilterLowPass, 0.1, 100.0};
  for (int mode : {1, 2}) {
    std::vector<float> y = x;
    float* channels[] = {y.data()};
    ASSERT_TRUE(funk.FftFilter(mode, n, channels, 0, 0, band));
    // Away from the edges of the zero-padded record: -cos/w for the integral, w cos for the derivative;
    // the integral's constant depends on the padding and is taken out.
    const double scale = mode == 1 ? -1.0 / w : w;
    const uint32_t from = n / 4, to = 3 * n / 4;
    double offset = 0.0;
    if (mode == 1) {
      for (uint32_t i = from; i < to; ++i) offset += y[i] - scale * std::cos(w * i * dt);
      offset /= (to - from);
    }
    double err = 0.0;
    for (uint32_t i = from; i < to; ++i) {
      err = std::max(err, std::fabs(y[i] - offset - scale * std::cos(w * i * dt)));
    }
    EXPECT_LT(err, 0.01 * std::fabs(scale)) << mode;
    EXPECT_EQ(y[n - 1], x[n - 1]);
  }
}

// The filter type codes are the settings page's: a band-pass keeps its band, a high-pass its top.
TEST(FftFilterTest, TypeCodesSelectTheBands) {
  const double dt = 0.01;
  const uint32_t n = 8192;
  const std::vector<float> x = Signal(n, dt, 0.0, {{1.0, 1.0}, {10.0, 1.0}, {30.0, 1.0}});
  const std::vector<float> only10 = Signal(n, dt, 0.0, {{10.0, 1.0}});
  const std::vector<float> only30 = Signal(n, dt, 0.0, {{30.0, 1.0}});
  const std::vector<float> no10 = Signal(n, dt, 0.0, {{1.0, 1.0}, {30.0, 1.0}});
  const std::vector<float> only1 = Signal(n, dt, 0.0, {{1.0, 1.0}});
  struct Case {
    uint16_t type;
    double lo, hi;
    const std::vector<float>* expected;
  };
  for (Case c :
       {Case{TFunk::kFilterBandPass, 5.0, 15.0, &only10}, Case{TFunk::kFilterHighPass, 20.0, 0.0, &only30},
        Case{TFunk::kFilterBandStop, 5.0, 15.0, &no10}, Case{TFunk::kFilterLowPass, 5.0, 0.0, &only1}}) {
    std::vector<float> y = x;
    float* channels[] = {y.data()};
    TFunk funk;
    ASSERT_TRUE(funk.FftFilter(0, n, channels, 0, 1, {dt, c.type, c.lo, c.hi}));
    double err = 0.0;
    for (uint32_t i = n / 8; i < 7 * n / 8; ++i)
      err = std::max(err, double(std::fabs(y[i] - (*c.expected)[i])));
    EXPECT_LT(err, 0.05) << "type " << c.type;
  }
  // A band-stop of no width changes nothing beyond the rounding of the two transforms.
  std::vector<float> y = x;
  float* channels[] = {y.data()};
  TFunk funk;
  ASSERT_TRUE(funk.FftFilter(0, n, channels, 0, 1, {dt, TFunk::kFilterBandStop, 10.0, 10.0}));
  for (uint32_t i = 0; i + 1 < n; ++i) ASSERT_NEAR(y[i], x[i], 1e-5);
  // Unknown modes and types, and a sampling interval that is not positive, change nothing.
  EXPECT_FALSE(funk.FftFilter(3, n, channels, 0, 1, {dt, 0, 1.0, 2.0}));
  EXPECT_FALSE(funk.FftFilter(0, n, channels, 0, 1, {dt, 4, 1.0, 2.0}));
  EXPECT_FALSE(funk.FftFilter(1, n, channels, 0, 1, {0.0, 0, 1.0, 2.0}));
}

// Sample counts just above a power of two need the next power as transform length; every channel
// of the range is filtered and sample n - 1 is left alone.
TEST(FftFilterTest, LengthsJustAboveAPowerOfTwo) {
  const double dt = 0.001;
  for (uint32_t n : {(1u << 14) + 1, (1u << 16) + 1, (1u << 17) + 3}) {
    std::vector<float> a = Signal(n, dt, 0.0, {{5.0, 1.0}, {200.0, 1.0}});
    std::vector<float> b = a;
    float* channels[] = {a.data(), b.data()};
    TFunk funk;
    ASSERT_TRUE(funk.FftFilter(0, n, channels, 0, 2, {dt, TFunk::kFilterLowPass, 50.0, 0.0}));
    const std::vector<float> only5 = Signal(n, dt, 0.0, {{5.0, 1.0}});
    for (const std::vector<float>* y : {&a, &b}) {
      double err = 0.0;
      for (uint32_t i = n / 8; i < 7 * n / 8; ++i) err = std::max(err, double(std::fabs((*y)[i] - only5[i])));
      EXPECT_LT(err, 0.02) << n;
    }
  }
}

TEST(FftFilterTest, BandsComeFromTheSetupRecordFieldsOfTheMode) {
  SetupRecord s{};
  s.Dt = 0.004;
  s.FilterType = 2;
  s.FilterLow = 1.0, s.FilterHigh = 2.0;
  s.FreqIntegrationLow = 3.0, s.FreqIntegrationHigh = 4.0;
  s.FreqDifferentiationLow = 5.0, s.FreqDifferentiationHigh = 6.0;
  for (int mode : {0, 1, 2}) {
    const TFunk::FftFilterBand b = TFunk::FftFilterBandOf(s, mode);
    EXPECT_EQ(b.Dt, 0.004);
    EXPECT_EQ(b.Type, 2);
    EXPECT_EQ(b.Low, 1.0 + 2 * mode);
    EXPECT_EQ(b.High, 2.0 + 2 * mode);
  }
}

// The time-domain integral of a cosine over an offset is the sine divided by the angular frequency.
TEST(IntegrateTest, IntegratesACosineOverAnOffset) {
  const double rate = 100.0, dt = 1.0 / rate, f = 1.0, w = 2.0 * kPi * f;
  const uint32_t n = 6000;
  std::vector<float> x(n);
  for (uint32_t i = 0; i < n; ++i) x[i] = static_cast<float>(500.0 + std::cos(w * i * dt));
  TFunk funk;
  ASSERT_EQ(funk.Integrate(x.data(), n, rate, dt, 0.1, 1e-6), ButterworthStatus::Ok);
  EXPECT_NEAR(Rms(x, n / 3, n), 1.0 / w / std::sqrt(2.0), 0.01 / w);
  // A corner the high-pass cannot take leaves the channel alone.
  std::vector<float> y(10, 1.0f);
  EXPECT_EQ(funk.Integrate(y.data(), 10, rate, dt, 80.0, 1.0), ButterworthStatus::BadBand);
  EXPECT_EQ(y, std::vector<float>(10, 1.0f));
}

}  // namespace
}  // namespace toolkit
