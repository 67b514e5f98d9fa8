// The F(f,t) map's levels, guards and sizes, and the legend's levels.
#include "analysis/spectrogram_map.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

using analysis::BuildColourMap;
using analysis::ColourMap;
using analysis::ColourMapInput;
using analysis::SpectrumBuffers;

std::unique_ptr<SpectrumBuffers> Buffers(int n, int intervals, float value) {
  auto b = std::make_unique<SpectrumBuffers>();
  b->N = n;
  b->IntervalCount = intervals;
  for (int t = 0; t < std::min(intervals, 500); ++t)
    for (int c = 0; c < std::min(n / 2, 512); ++c) b->Spectra[t][c] = value;
  return b;
}

ColourMapInput Input(bool automatic, bool log) {
  ColourMapInput in;
  in.automatic = automatic;
  in.log = log;
  in.plotWidth = 1200;
  in.plotHeight = 800;
  in.lastBin = 1000;
  return in;
}

TEST(SpectrogramMap, LevelsWithoutASpanDrawNothing) {
  struct Case {
    const char* what;
    bool automatic, log;
    float value, manualMin, manualMax;
    bool nothing;
  };
  const Case cases[] = {
      {"all-zero spectra, automatic linear", true, false, 0.0f, 0, 0, true},
      {"typed minimum above the maximum", false, false, 1.0f, 2.0f, 1.0f, true},
      {"typed minimum equal to the maximum", false, false, 1.0f, 1.0f, 1.0f, true},
      {"typed linear range", false, false, 1.0f, 0.0f, 2.0f, false},
      {"typed logarithmic range narrower than 1.01", false, true, 1.0f, 1.0f, 1.009f, true},
      {"typed logarithmic range of 1.02", false, true, 1.0f, 1.0f, 1.02f, false},
      {"automatic logarithmic", true, true, 1.0f, 0, 0, false},
  };
  for (const Case& c : cases) {
    auto b = Buffers(1024, 5, c.value);
    ColourMapInput in = Input(c.automatic, c.log);
    in.manual.ManualMin = c.manualMin;
    in.manual.ManualMax = c.manualMax;
    const ColourMap m = BuildColourMap(*b, in);
    EXPECT_EQ(m.drawNothing, c.nothing) << c.what;
    if (!m.drawNothing) {
      ASSERT_EQ(m.index.size(), static_cast<size_t>(m.rows * m.cells)) << c.what;
      for (uint8_t i : m.index) ASSERT_TRUE(i >= 1 && i <= 12) << c.what;
    }
  }
}

TEST(SpectrogramMap, SizesFollowTheStoredComputation) {
  struct Case {
    int n, intervals, lastBin, plotHeight;
    int rows, cells, dx, dy;
  };
  const Case cases[] = {
      {1024, 600, 1000, 800, 500, 510, 2, 1},  // 600 intervals: 500 rows
      {1024, 600, 1000, 300, 300, 510, 2, 1},  // no more rows than the plot's height
      {256, 10, 1000, 800, 10, 128, 4, 4},     // only the cells this transform filled
      {65536, 4, 1000, 800, 4, 16, 4, 4},      // 64 bins a cell: bins 0..1000 in 16 cells
      {1024, 4, 0, 800, 4, 1, 4, 4},           // a last bin of 0 still leaves one cell
  };
  for (const Case& c : cases) {
    auto b = Buffers(c.n, c.intervals, 1.0f);
    ColourMapInput in = Input(true, false);
    in.lastBin = c.lastBin;
    in.plotHeight = c.plotHeight;
    const ColourMap m = BuildColourMap(*b, in);
    EXPECT_EQ(m.rows, c.rows) << c.n << " " << c.intervals;
    EXPECT_EQ(m.cells, c.cells) << c.n << " " << c.lastBin;
    EXPECT_EQ(m.dx, c.dx) << c.n;
    EXPECT_EQ(m.dy, c.dy) << c.n;
  }
}

TEST(SpectrogramMap, AutomaticLogarithmicSpansTwoDecadesAndDensityKeepsSilentIntervals) {
  auto b = Buffers(1024, 3, 0.0f);
  b->Spectra[0][0] = 100.0f;  // the maximum
  b->Spectra[0][1] = 1.0f;    // 1 %: colour 1
  b->Spectra[0][2] = 1.01f;   // just above
  b->Spectra[1][5] = 1e-9f;   // a silent interval under the density option
  ColourMap m = BuildColourMap(*b, Input(true, true));
  EXPECT_DOUBLE_EQ(m.lower, 100.0);  // R
  EXPECT_EQ(m.index[0], 12);
  EXPECT_EQ(m.index[1], 1);
  EXPECT_EQ(m.index[2], 1);  // truncate(ln(1.01) * 11 / ln(100) + 1.5) = 1
  EXPECT_DOUBLE_EQ(analysis::ColourMapLowerLevel(m), 1.0);

  ColourMapInput density = Input(true, false);
  density.density = true;
  m = BuildColourMap(*b, density);
  EXPECT_FLOAT_EQ(b->Spectra[1][512], 1.0f);
  EXPECT_FLOAT_EQ(b->Spectra[0][512], static_cast<float>(1.0 / 102.01));
  EXPECT_FLOAT_EQ(b->Spectra[2][512], 1.0f);
  EXPECT_EQ(m.index[0], 12);
}

TEST(SpectrogramMap, LegendLevels) {
  EXPECT_DOUBLE_EQ(analysis::ColourLevel(false, 1.0, 12.0, 1), 1.0);
  EXPECT_DOUBLE_EQ(analysis::ColourLevel(false, 1.0, 12.0, 2), 1.5);
  EXPECT_DOUBLE_EQ(analysis::ColourLevel(false, 1.0, 12.0, 12), 11.5);
  EXPECT_DOUBLE_EQ(analysis::ColourLevel(true, 100.0, 5.0, 1), 0.05);
  EXPECT_NEAR(analysis::ColourLevel(true, 100.0, 5.0, 12), 0.05 * std::pow(100.0, 10.5 / 11), 1e-12);
}

}  // namespace
