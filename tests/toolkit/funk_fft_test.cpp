#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "dsp_reference.h"
#include "toolkit/fft_core.h"
#include "toolkit/funk.h"

namespace toolkit {
namespace {

// Both directions of the transform against numpy for every length 2^6 .. 2^20 and for 2^22, whose top
// stages take their twiddles from products of two short tables; the error is measured against the
// largest magnitude of the reference.
TEST(FftTest, MatchesNumpyInBothDirections) {
  TFunk funk;
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  for (int bits = 6; bits <= 22; bits += bits == 20 ? 2 : 1) {
    const int n = 1 << bits;
    std::vector<float> re(n), im(n);
    std::vector<double> pairs(2 * static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
      re[i] = u(rng) + (i % 17 == 0 ? 3.0f : 0.0f);
      im[i] = u(rng);
      pairs[2 * i] = re[i];
      pairs[2 * i + 1] = im[i];
    }
    const std::string in = dsptest::WriteArray("fft_in", pairs);
    const std::string out = dsptest::OutputPath("fft_out");
    ASSERT_TRUE(dsptest::RunReference("fft " + in + " " + out));
    const std::vector<double> ref = dsptest::ReadArray(out);
    ASSERT_EQ(ref.size(), 4 * static_cast<size_t>(n));

    for (int dir : {-1, 1}) {
      std::vector<float> r = re, m = im;
      ASSERT_TRUE(funk.Fft(dir, n, r.data(), m.data()));
      const double* x = ref.data() + (dir < 0 ? 0 : 2 * static_cast<size_t>(n));
      double peak = 0.0, err = 0.0;
      for (int i = 0; i < n; ++i) {
        peak = std::max(peak, std::abs(std::complex<double>(x[2 * i], x[2 * i + 1])));
        err = std::max(err, std::abs(std::complex<double>(r[i] - x[2 * i], m[i] - x[2 * i + 1])));
      }
      EXPECT_LT(err, 1e-6 * peak) << "n = " << n << ", direction " << dir;
    }
  }
}

TEST(FftTest, ForwardThenInverseRestoresTheInput) {
  TFunk funk;
  for (int n : {1, 2, 4, 8, 4096}) {
    std::vector<float> re(n), im(n);
    for (int i = 0; i < n; ++i) {
      re[i] = std::sin(0.37f * i) + 0.25f;
      im[i] = (i % 3) - 1.0f;
    }
    std::vector<float> r = re, m = im;
    ASSERT_TRUE(funk.Fft(-1, n, r.data(), m.data()));
    ASSERT_TRUE(funk.Fft(1, n, r.data(), m.data()));
    for (int i = 0; i < n; ++i) {
      EXPECT_NEAR(r[i], re[i], 2e-6) << n << " " << i;
      EXPECT_NEAR(m[i], im[i], 2e-6) << n << " " << i;
    }
  }
}

TEST(FftTest, RefusesLengthsThatAreNotPowersOfTwo) {
  TFunk funk;
  std::vector<float> re(12, 1.0f), im(12, 0.0f);
  EXPECT_FALSE(funk.Fft(-1, 12, re.data(), im.data()));
  EXPECT_FALSE(funk.Fft(-1, 0, re.data(), im.data()));
  EXPECT_FALSE(funk.Fft(-1, -8, re.data(), im.data()));
  EXPECT_EQ(re, std::vector<float>(12, 1.0f));
}

// What a plan keeps after its transform: the twiddle table stops at 2^20 entries whatever the length,
// and a long plan's own index is 1/64 byte a point, so the plans of a day-long channel hold little.
TEST(FftTest, PlansKeepLittleMemoryAtAnyLength) {
  struct Row {
    uint32_t n;
    size_t table, indexAtMost;
  };
  const Row rows[] = {{1u << 10, 1u << 10, 4u << 10}, {1u << 20, 1u << 20, (1u << 20) / 64},
                      {1u << 23, 1u << 20, (1u << 23) / 64}};
  for (const Row& r : rows) {
    const fft::Plan<float> plan(r.n);
    EXPECT_GE(plan.TableEntries(), r.table) << r.n;
    EXPECT_LE(plan.TableEntries(), size_t{1} << 20) << r.n;
    EXPECT_LE(plan.IndexBytes(), r.indexAtMost) << r.n;
  }
}

TEST(FftTest, TransformLengthIsTheNextPowerOfTwo) {
  EXPECT_EQ(TFunk::TransformLength(0), 1u);
  EXPECT_EQ(TFunk::TransformLength(1), 1u);
  EXPECT_EQ(TFunk::TransformLength(3), 4u);
  for (uint32_t bits = 1; bits <= 63; ++bits) {
    const uint64_t p = uint64_t{1} << bits;
    EXPECT_EQ(TFunk::TransformLength(p), p);
    EXPECT_EQ(TFunk::TransformLength(p - 1), bits == 1 ? 1u : p);
    EXPECT_EQ(TFunk::TransformLength(p + 1), bits == 63 ? 0u : 2 * p) << bits;  // 2^64 does not fit
  }
  EXPECT_EQ(TFunk::TransformLength(UINT64_MAX), 0u);
}

// Records whose transform would be longer than the longest one made are refused before a sample is
// read or changed (the arrays here are short: nothing may touch them).
TEST(FftTest, FilterRefusesRecordsBeyondTheLongestTransform) {
  TFunk funk;
  std::vector<float> x(16, 1.0f);
  float* channels[] = {x.data()};
  TFunk::FftFilterBand band;
  band.High = 10.0;
  for (uint32_t n : {toolkit::fft::kMaxLength + 1, 0x80000000u, 0x80000001u, 0xFFFFFFFFu})
    for (int32_t mode : {0, 1, 2}) EXPECT_FALSE(funk.FftFilter(mode, n, channels, 0, 1, band)) << n;
  EXPECT_EQ(x, std::vector<float>(16, 1.0f));
}

}  // namespace
}  // namespace toolkit
