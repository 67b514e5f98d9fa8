#include "toolkit/fil_batt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <string>
#include <vector>

#include "dsp_reference.h"

namespace toolkit {
namespace {

struct Band {
  int type;
  double rate, f1, f2;
};

// Types 1..4 at a few rates and bands; f2 is ignored by the odd types.
const Band kBands[] = {
    {kLowPass, 100.0, 20.0, 0.0},   {kLowPass, 1000.0, 2.5, 0.0},   {kHighPass, 100.0, 0.5, 0.0},
    {kHighPass, 250.0, 40.0, 10.0}, {kBandPass, 100.0, 5.0, 10.0},  {kBandPass, 1000.0, 30.0, 2.0},
    {kBandStop, 100.0, 10.0, 5.0},  {kBandStop, 500.0, 40.0, 60.0},
};

TEST(ButterworthTest, ResponseMatchesScipyForAllTypesAndOrders) {
  constexpr int kPoints = 401;
  std::vector<double> designs, freqs;
  for (const Band& b : kBands) {
    for (int order = 1; order <= 8; ++order) {
      designs.insert(designs.end(), {double(order), double(b.type), b.rate, b.f1, b.f2});
      for (int k = 0; k < kPoints; ++k) freqs.push_back(b.rate * 0.5 * k / kPoints);
    }
  }
  const std::string d = dsptest::WriteArray("designs", designs), f = dsptest::WriteArray("freqs", freqs);
  const std::string out = dsptest::OutputPath("resp");
  ASSERT_TRUE(dsptest::RunReference("response " + d + " " + f + " " + out));
  const std::vector<double> ref = dsptest::ReadArray(out);
  ASSERT_EQ(ref.size(), freqs.size());
  size_t row = 0;
  for (const Band& b : kBands) {
    for (int order = 1; order <= 8; ++order, ++row) {
      Tf_batt designer;
      ASSERT_EQ(designer.DesignButterworth(order, b.type, b.rate, b.f1, b.f2, nullptr, nullptr),
                ButterworthStatus::Ok);
      for (size_t k = row * kPoints; k < (row + 1) * kPoints; ++k) {
        if (!(ref[k] > -120.0)) continue;
        EXPECT_NEAR(designer.ResponseDb(freqs[k]), ref[k], 1e-6)
            << "type " << b.type << " order " << order << " f " << freqs[k];
      }
    }
  }
}

// The coefficient arrays hold the expanded polynomials oldest term first: A times the gain is
// scipy's numerator, -B its denominator.
TEST(ButterworthTest, CoefficientArraysMatchScipyPolynomials) {
  std::vector<double> designs;
  for (const Band& b : kBands) {
    for (int order = 1; order <= 4; ++order) {
      designs.insert(designs.end(), {double(order), double(b.type), b.rate, b.f1, b.f2});
    }
  }
  const std::string in = dsptest::WriteArray("designs", designs);
  const std::string out = dsptest::OutputPath("ba");
  ASSERT_TRUE(dsptest::RunReference("ba " + in + " " + out));
  const std::vector<double> ref = dsptest::ReadArray(out);
  size_t at = 0;
  for (const Band& b : kBands) {
    for (int order = 1; order <= 4; ++order) {
      Tf_batt d;
      std::vector<double> B(Tf_batt::kCoefficients, 7.0), A(Tf_batt::kCoefficients, 7.0);
      ASSERT_EQ(d.DesignButterworth(order, b.type, b.rate, b.f1, b.f2, B.data(), A.data()),
                ButterworthStatus::Ok);
      const int M = d.Degree();
      ASSERT_EQ(M, (b.type == kBandPass || b.type == kBandStop) ? 2 * order : order);
      ASSERT_LE(at + 2 * static_cast<size_t>(M + 1), ref.size());
      for (int k = 0; k <= M; ++k) {
        const double num = ref[at + k], den = ref[at + M + 1 + k];
        EXPECT_NEAR(A[M - k] * d.Gain(), num, 1e-9 * (1.0 + std::fabs(num))) << b.type << "/" << order;
        EXPECT_NEAR(-B[M - k], den, 1e-9 * (1.0 + std::fabs(den))) << b.type << "/" << order;
        EXPECT_NEAR(d.Numerator(k), num, 1e-9 * (1.0 + std::fabs(num)));
      }
      at += 2 * static_cast<size_t>(M + 1);
      EXPECT_DOUBLE_EQ(B[M], -1.0);
      EXPECT_EQ(B[M + 1], 7.0);  // nothing written past the degree
    }
  }
  EXPECT_EQ(at, ref.size());
}

TEST(ButterworthTest, RefusesOrdersAndTypesItCannotHold) {
  Tf_batt d;
  std::vector<double> B(Tf_batt::kCoefficients, 7.0), A(Tf_batt::kCoefficients, 7.0);
  EXPECT_EQ(d.DesignButterworth(0, kLowPass, 100.0, 10.0, 0.0, B.data(), A.data()),
            ButterworthStatus::BadOrder);
  EXPECT_EQ(d.text, "error order");
  EXPECT_EQ(d.Degree(), 0);
  EXPECT_EQ(B[0], 7.0);
  EXPECT_EQ(d.DesignButterworth(26, kHighPass, 100.0, 10.0, 0.0, B.data(), A.data()),
            ButterworthStatus::BadOrder);
  EXPECT_EQ(d.DesignButterworth(13, kBandPass, 100.0, 10.0, 20.0, B.data(), A.data()),
            ButterworthStatus::BadOrder);
  EXPECT_EQ(d.DesignButterworth(3, 5, 100.0, 10.0, 20.0, B.data(), A.data()), ButterworthStatus::BadType);
  EXPECT_FALSE(d.text.empty());
  EXPECT_EQ(B[0], 7.0);
  // The largest orders it holds are designed and stable.
  EXPECT_EQ(d.DesignButterworth(25, kLowPass, 100.0, 10.0, 0.0, B.data(), A.data()), ButterworthStatus::Ok);
  EXPECT_EQ(d.DesignButterworth(12, kBandStop, 100.0, 10.0, 20.0, B.data(), A.data()), ButterworthStatus::Ok);
  for (int k = 0; k < d.Degree(); ++k) EXPECT_LT(std::abs(d.Pole(k)), 1.0);
  EXPECT_TRUE(d.text.empty());
}

TEST(ButterworthTest, BandEdgesAndTheirMessage) {
  Tf_batt d;
  // Edges given upper first design the same band 5 .. 10 Hz.
  ASSERT_EQ(d.DesignButterworth(2, kBandPass, 100.0, 10.0, 5.0, nullptr, nullptr), ButterworthStatus::Ok);
  EXPECT_EQ(d.Lower(), 5.0);
  EXPECT_EQ(d.Upper(), 10.0);
  EXPECT_NEAR(d.ResponseDb(5.0), -3.0103, 1e-3);
  EXPECT_NEAR(d.ResponseDb(10.0), -3.0103, 1e-3);
  // A high-pass ignores f2, whatever it holds.
  EXPECT_EQ(d.DesignButterworth(3, kHighPass, 100.0, 1.0, 500.0, nullptr, nullptr), ButterworthStatus::Ok);
  EXPECT_TRUE(d.text.empty());
  EXPECT_EQ(d.Lower(), 0.0);
  // f1 at the Nyquist frequency: designed, but reported with the band text.
  EXPECT_EQ(d.DesignButterworth(2, kLowPass, 100.0, 50.0, 0.0, nullptr, nullptr), ButterworthStatus::BadBand);
  EXPECT_EQ(d.text, "error  задания частоты: 0.00 -:- 50.00;   100.00 Гц");
  EXPECT_EQ(d.DesignButterworth(2, kBandStop, 100.0, 10.0, 0.0, nullptr, nullptr),
            ButterworthStatus::BadBand);
  EXPECT_EQ(d.text, "error  задания частоты: 0.00 -:- 10.00;   100.00 Гц");
}

TEST(ButterworthTest, ZeroMagnitudeIsReportedAsTheFloor) {
  Tf_batt d;
  ASSERT_EQ(d.DesignButterworth(4, kLowPass, 200.0, 30.0, 0.0, nullptr, nullptr), ButterworthStatus::Ok);
  EXPECT_EQ(d.ResponseDb(100.0), -999.99);  // Nyquist, where the zeros lie
  EXPECT_NEAR(d.ResponseDb(0.0), 0.0, 1e-12);
  ASSERT_EQ(d.DesignButterworth(3, kHighPass, 200.0, 30.0, 0.0, nullptr, nullptr), ButterworthStatus::Ok);
  EXPECT_EQ(d.ResponseDb(0.0), -999.99);
  EXPECT_NEAR(d.ResponseDb(100.0), 0.0, 1e-12);
}

// The cascade of sections has the response of the zeros, poles and gain.
TEST(ButterworthTest, SectionsCarryTheDesignResponse) {
  for (const Band& b : kBands) {
    for (int order : {1, 3, 6}) {
      Tf_batt d;
      ASSERT_EQ(d.DesignButterworth(order, b.type, b.rate, b.f1, b.f2, nullptr, nullptr),
                ButterworthStatus::Ok);
      const std::vector<SosSection> sos = d.Sections();
      int degree = 0;
      for (const SosSection& s : sos) degree += (s.a2 != 0.0 || s.b2 != 0.0) ? 2 : 1;
      EXPECT_EQ(degree, d.Degree());
      for (double f : {0.0, 0.1 * b.rate, 0.21 * b.rate, 0.37 * b.rate, b.f1}) {
        const std::complex<double> zi = std::polar(1.0, -2.0 * std::numbers::pi * f / b.rate);
        std::complex<double> h = 1.0;
        for (const SosSection& s : sos)
          h *= (s.b0 + zi * (s.b1 + zi * s.b2)) / (1.0 + zi * (s.a1 + zi * s.a2));
        const double db = 20.0 * std::log10(std::abs(h));
        if (d.ResponseDb(f) > -120.0) {
          EXPECT_NEAR(db, d.ResponseDb(f), 1e-6) << b.type << "/" << order;
        }
      }
    }
  }
}

}  // namespace
}  // namespace toolkit
