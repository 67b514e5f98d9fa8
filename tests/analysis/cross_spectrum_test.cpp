// Cross-spectra, transfer function, coherence and phase against scipy.signal (csd, welch, coherence)
// on the same segments, and the auto-spectrum against the spectrum command's.
#include "analysis/cross_spectrum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>
#include <string>

#include "analysis/interval_spectrum.h"
#include "spectrum_reference.h"
#include "support/temp_dir.h"

namespace {

using analysis::CrossInput;
using analysis::CrossSums;
using analysis::DataWindowInfo;

const char* kWindows[] = {"boxcar", "hann", "hamming", "blackmanharris"};

std::vector<float> ReadFloats(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  const auto bytes = static_cast<size_t>(in.tellg());
  std::vector<float> x(bytes / sizeof(float));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(x.data()), static_cast<std::streamsize>(bytes));
  return x;
}

struct Case {
  const char* name;
  const char* second;  // python expression of x1 from x0 (float64), rng r
  double scale;        // both channels multiplied by this
  int32_t n, shift;
  uint16_t window;
};

TEST(CrossSpectrum, TransferCoherenceAndPhaseMatchScipy) {
  support::TempDir dir;
  const std::string f0 = dir.File("x0.f32"), f1 = dir.File("x1.f32");
  const Case cases[] = {
      {"filtered", "s.lfilter(*s.butter(4, 0.2), x0) + 0.05 * r.standard_normal(len(x0))", 1.0, 1024, 256, 1},
      {"opposite", "-x0", 1.0, 512, 512, 2},
      {"delayed", "np.concatenate([np.zeros(3), x0[:-3]])", 1.0, 1024, 300, 0},
      {"identical", "x0.copy()", 1.0, 256, 128, 3},
      // Displacement-sized values: far below the guards of a power scale that multiplied amplitudes.
      {"small", "np.concatenate([np.zeros(3), x0[:-3]]) + 0.01 * r.standard_normal(len(x0))", 1e-9, 2048, 1024, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<float> x0 = analysis_test::TestSignal(40000);
    for (float& v : x0) v = static_cast<float>(v * c.scale);
    analysis_test::WriteFloats(f0, x0);
    const std::string n = std::to_string(c.n), noverlap = std::to_string(c.n - c.shift);
    const std::string args = "fs=1, window='" + std::string(kWindows[c.window]) + "', nperseg=" + n +
                             ", noverlap=" + noverlap + ", detrend=False";
    const auto ref = analysis_test::PythonNumbers(
        "csd", "import numpy as np, scipy.signal as s\n"
               "r = np.random.default_rng(7)\n"
               "x0 = np.fromfile('" + f0 + "', dtype=np.float32).astype(np.float64)\n"
               "x1 = (" + c.second + ").astype(np.float32)\n"
               "x1.tofile('" + f1 + "')\n"
               "x1 = x1.astype(np.float64)\n"
               "f, pxy = s.csd(x0, x1, " + args + ")\n"
               "f, pxx = s.welch(x0, " + args + ")\n"
               "f, pyy = s.welch(x1, " + args + ")\n"
               "f, g = s.coherence(x0, x1, " + args + ")\n"
               "for k in range(2, " + n + "//2 - 1):\n"
               "  print('%.12e\\n%.12e\\n%.12e\\n%.12e\\n%.12e' % (abs(pxy[k]) / pxx[k], g[k], -np.angle(pxy[k]),"
               " pxx[k], pyy[k]))\n");
    const int32_t half = c.n / 2;
    ASSERT_EQ(ref.size(), static_cast<size_t>(5 * (half - 3)));
    const std::vector<float> x1 = ReadFloats(f1);
    ASSERT_EQ(x1.size(), x0.size());
    DataWindowInfo window;
    const CrossInput in{x0.data(), x1.data(), 0, static_cast<int32_t>(x0.size()), c.n, c.shift, c.window};
    const CrossSums sums = analysis::ComputeCrossSums(in, window, nullptr);
    EXPECT_EQ(sums.intervals, (static_cast<int32_t>(x0.size()) - c.n) / c.shift + 1);
    const analysis::TransferCurves t = analysis::Transfer(sums, half + 1, false);
    double pm = 0.0;
    for (int32_t k = 2; k <= half - 2; ++k) pm = std::max({pm, sums.S00[k], sums.S11[k]});
    const double kappa = 4.0 * std::pow(2.0, -23) * std::log2(c.n);
    for (int32_t k = 2; k <= half - 2; ++k) {
      const double* r = &ref[5 * (k - 2)];
      const double h = r[0], g = r[1], phase = r[2];
      const double e0 = std::sqrt(pm / sums.S00[k]), e1 = std::sqrt(pm / sums.S11[k]);
      EXPECT_NEAR(t.H[k], h, 1e-4 * h + kappa * (1 + h) * e0) << "H at bin " << k;
      EXPECT_NEAR(t.G[k], g, 1e-4 + kappa * (e0 + e1)) << "G at bin " << k;
      if (g > 0.5) {
        const double d = std::remainder(t.Phase[k] * std::numbers::pi - phase, 2 * std::numbers::pi);
        EXPECT_LT(std::fabs(d), 1e-3 + kappa * (e0 + e1)) << "phase at bin " << k;
      }
      // S00 is the spectrum's power: welch's one-sided density times 2/N.
      EXPECT_NEAR(sums.S00[k], r[3] * 2 / c.n, 1e-4 * r[3] * 2 / c.n + 1e-7 * pm) << "S00 at bin " << k;
      EXPECT_NEAR(sums.S11[k], r[4] * 2 / c.n, 1e-4 * r[4] * 2 / c.n + 1e-7 * pm) << "S11 at bin " << k;
    }
    if (std::string(c.name) == "identical" || std::string(c.name) == "opposite") {
      for (int32_t k = 5; k <= half - 2; ++k) {
        EXPECT_NEAR(t.H[k], 1.0, 1e-4);
        EXPECT_NEAR(t.G[k], 1.0, 1e-4);
        EXPECT_NEAR(std::fabs(t.Phase[k]), c.name[0] == 'i' ? 0.0 : 1.0, 1e-4);
      }
    }
  }
}

TEST(CrossSpectrum, ReferenceAmplitudeIsTheSpectrumCommands) {
  const std::vector<float> x0 = analysis_test::TestSignal(30000), x1 = analysis_test::TestSignal(30000, 1.0f);
  for (uint16_t type = 0; type < 4; ++type) {
    analysis::SpectrumBuffers auto_, cross;
    analysis::IntervalSpectrum run(auto_, {x0.data(), 100, 29000, 2048, 700, type});
    while (run.More()) run.Next();
    const int32_t end = run.Finish();
    const CrossInput in{x0.data(), x1.data(), 100, 29000, 2048, 700, type};
    const CrossSums sums = analysis::ComputeCrossSums(in, cross.Window, &cross);
    EXPECT_EQ(sums.end, end);
    EXPECT_EQ(sums.intervals, auto_.IntervalCount);
    EXPECT_EQ(analysis::WindowNameText(cross.Window), analysis::WindowNameText(auto_.Window));
    for (int32_t k = 2; k <= 1022; ++k)
      EXPECT_NEAR(std::sqrt(sums.S00[k]), auto_.WorkBuffer[k], 1e-5 * auto_.WorkBuffer[k] + 1e-7) << k;
    // The reference channel's interval spectra are kept as the spectrum command keeps them.
    for (int t : {0, 5, sums.intervals - 1})
      for (int cell : {0, 1, 7, 40, 511})
        EXPECT_NEAR(cross.Spectra[t][cell], auto_.Spectra[t][cell], 1e-4 * auto_.Spectra[t][cell] + 1e-6);
  }
}

TEST(CrossSpectrum, SilentChannelsGiveZeroNotDivisions) {
  const std::vector<float> x = analysis_test::TestSignal(5000), silent(5000, 0.0f);
  struct Case {
    const float *x0, *x1;
    bool all;
    double g;  // G where the other channel is silent
  };
  for (const Case& c : {Case{x.data(), silent.data(), false, 0.0}, Case{silent.data(), x.data(), false, 0.0},
                        Case{x.data(), silent.data(), true, 1.1}, Case{silent.data(), silent.data(), false, 0.0}}) {
    DataWindowInfo w;
    const CrossSums sums = analysis::ComputeCrossSums({c.x0, c.x1, 0, 5000, 512, 256, 1}, w, nullptr);
    const analysis::TransferCurves t = analysis::Transfer(sums, 255, c.all);
    for (int32_t k = 1; k <= 253; ++k) {
      EXPECT_EQ(t.H[k], 0.0);
      EXPECT_EQ(t.G[k], c.x1 == silent.data() ? c.g : 0.0);
    }
    EXPECT_GE(analysis::LargestCrossPower(sums), 1e-30);
  }
}

// Channels near 1e18 have amplitudes whose squares leave the float range: the sums stay finite and
// identical channels still give H = G = 1.
TEST(CrossSpectrum, HugeSamplesGiveFiniteSums) {
  const int32_t n = 512, bin = 40;
  std::vector<float> x(4 * n);
  for (size_t i = 0; i < x.size(); ++i) x[i] = static_cast<float>(1e18 * std::sin(2 * M_PI * bin * i / n));
  DataWindowInfo w;
  const CrossSums sums = analysis::ComputeCrossSums({x.data(), x.data(), 0, 4 * n, n, n, 0}, w, nullptr);
  EXPECT_NEAR(std::sqrt(sums.S00[bin]), 1e18, 1e13);
  EXPECT_NEAR(std::sqrt(sums.S11[bin]), 1e18, 1e13);
  const analysis::TransferCurves t = analysis::Transfer(sums, n / 2 - 1, false);
  EXPECT_NEAR(t.H[bin], 1.0, 1e-6);
  EXPECT_NEAR(t.G[bin], 1.0, 1e-6);
}

TEST(CrossSpectrum, PhaseKeepsItsQuadrant) {
  struct Case {
    double C, Q, phase;
  };
  const Case cases[] = {{1, 0, 0},    {-1, 0, 1},    {-1, -0.0, 1}, {0, 1, 0.5},       {0, -1, -0.5},
                        {0, 0, 0.5},  {1, 1, 0.25},  {-1, 1, 0.75}, {-1, -1, -0.75},    {1e-30, -3, -0.5}};
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(analysis::PhaseOverPi(c.C, c.Q), c.phase) << c.C << " " << c.Q;
  EXPECT_DOUBLE_EQ(analysis::PhaseCode(-0.5), 50.0);
}

}  // namespace
