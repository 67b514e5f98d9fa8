// The bounds of the spectrum computations, the parameter panel's rules, the menu states and the cursor.
#include <gtest/gtest.h>

#include "analysis/spectrum_cursor.h"
#include "analysis/spectrum_limits.h"
#include "analysis/spectrum_menus.h"
#include "analysis/spectrum_parameters.h"

namespace {

using toolkit::SetupRecord;

SetupRecord Defaults() {
  SetupRecord s;
  toolkit::SetSetupDefaults(s, "/x/");
  return s;
}

TEST(SpectrumLimits, LengthsOutsideWhatAModeTransformsAreRefused) {
  struct Case {
    uint16_t mode;
    uint32_t fft, fourier, span;
    int32_t n;
  };
  const Case cases[] = {{0, 4096, 0, 0, 4096}, {0, 1000, 0, 0, 0},   {0, 32, 0, 0, 0},    {1, 4096, 0, 0, 0},
                        {1, 4096, 1, 0, 0},    {1, 4096, 4, 0, 4},   {1, 4096, 32768, 0, 32768},
                        {1, 4096, 65536, 0, 0}, {2, 4096, 0, 10, 10}};
  for (const Case& c : cases) {
    SetupRecord s = Defaults();
    s.FftLength = c.fft;
    s.FourierLength = c.fourier;
    s.CursorSpanLength = c.span;
    std::string error;
    EXPECT_EQ(analysis::CheckedModeLength(s, c.mode, error), c.n) << c.mode << " " << c.fourier;
    EXPECT_EQ(error.empty(), c.n != 0);
  }
}

TEST(SpectrumLimits, BinsShiftProgressAndCursorStartStayInRange) {
  SetupRecord s = Defaults();
  s.SpectrumLastBin = 0;  // from an old setup file
  s.SpectrumFirstBin = 0;
  s.SpectrumShift = 0;
  analysis::ClampBins(s, 2048);
  EXPECT_EQ(s.SpectrumLastBin, 1);
  EXPECT_EQ(s.SpectrumFirstBin, 0);
  EXPECT_EQ(s.SpectrumShift, 2);
  s.SpectrumLastBin = 2048;  // the bin at half is never computed
  s.SpectrumFirstBin = 3000;
  analysis::ClampBins(s, 2048);
  EXPECT_EQ(s.SpectrumLastBin, 2047);
  EXPECT_EQ(s.SpectrumFirstBin, 2046);

  // Short selections: at least one interval, the bar never beyond 100.
  EXPECT_EQ(analysis::IntervalTotal(10000, 4096, 256), 24);
  EXPECT_EQ(analysis::IntervalTotal(4096 + 255, 4096, 256), 1);
  EXPECT_EQ(analysis::IntervalTotal(100, 4096, 256), 1);
  EXPECT_EQ(analysis::IntervalTotal(100000, 64, 0), 100000 - 64 + 1);
  EXPECT_EQ(analysis::ProgressPosition(5, 1), 100);
  EXPECT_EQ(analysis::ProgressPosition(12, 24), 50);

  // A stretched view (4 pixels a sample): the start is the first cursor's sample, not its column.
  s.Nn = 1000;
  s.Nk = 1500;
  s.PixelsPerSample = 4;
  s.SamplesPerColumn = 1;
  s.CursorColumns[0][0] = 400;
  s.CursorSamples[0] = 1100;
  s.CursorSamples[1] = 1351;
  EXPECT_EQ(analysis::SingleSpectrumStart(s), 1100);
  EXPECT_EQ(analysis::CursorSpan(s), 250u);
  s.CursorSamples[0] = 5000;
  EXPECT_EQ(analysis::SingleSpectrumStart(s), 1499);
  s.CursorSamples[1] = 4000000;
  EXPECT_EQ(analysis::CursorSpan(s), 32768u);
  s.CursorSamples[1] = s.CursorSamples[0];
  EXPECT_EQ(analysis::CursorSpan(s), 10u);
}

TEST(SpectrumParameters, OkBoundsAndIntervalLabel) {
  struct Case {
    uint16_t mode;
    uint32_t length;
    uint16_t last, first;
    uint16_t lastOut, firstOut;
  };
  const Case cases[] = {{0, 4096, 10, 0, 50, 0},    {0, 4096, 5000, 10, 2047, 10}, {1, 64, 10, 0, 31, 0},
                        {1, 4, 10, 0, 1, 0},         {0, 4096, 100, 100, 100, 99},   {2, 80, 60, 70, 39, 38}};
  for (const Case& c : cases) {
    SetupRecord s = Defaults();
    s.SpectrumMode = c.mode;
    (c.mode == 0 ? s.FftLength : c.mode == 1 ? s.FourierLength : s.CursorSpanLength) = c.length;
    s.SpectrumLastBin = c.last;
    s.SpectrumFirstBin = c.first;
    analysis::ApplyBinBoundsOnOk(s);
    EXPECT_EQ(s.SpectrumLastBin, c.lastOut) << c.mode << " " << c.length << " " << c.last;
    EXPECT_EQ(s.SpectrumFirstBin, c.firstOut);
  }
  EXPECT_EQ(analysis::FourierLengthOnOk(0), 4u);
  EXPECT_EQ(analysis::FourierLengthOnOk(65536), 32768u);
  EXPECT_EQ(analysis::ShiftOnOk(65536), 65535);
  EXPECT_EQ(analysis::ShiftOnOk(0), 2);

  EXPECT_EQ(analysis::IntervalCountLabel(1, 0, 100, 4096, 256).text, "1 интервал;");
  EXPECT_EQ(analysis::IntervalCountLabel(0, 100, 1000, 4096, 256).text, "Дополняем 3196 нулями");
  const auto many = analysis::IntervalCountLabel(0, 0, 10000, 4096, 256);
  EXPECT_EQ(many.text, "интервалов: 24");
  EXPECT_FALSE(many.red);
  EXPECT_TRUE(analysis::IntervalCountLabel(0, 0, 300000, 4096, 256).red);
}

TEST(SpectrumParameters, SwanFrequenciesOnOkStayBelowTheNyquistFrequency) {
  struct Case {
    double low, high, dt;
    float lowOut, highOut;
    bool message;
  };
  const Case cases[] = {
      {0.2, 8.0, 0.01, 0.2f, 8.0f, false},               // kept
      {0.0, 8.0, 0.01, 1e-5f, 8.0f, false},              // the lower at least 1e-5
      {5.0, 1.0, 0.01, 5.0f, 1.1f * 5.0f, false},        // the upper at least 1.1 x the lower
      {0.2, 80.0, 0.01, 0.2f, 50.0f, true},              // above 50 Hz at 100 samples a second
      {0.2, 999999999.0, 0.001, 0.2f, 500.0f, true},     // the largest typed number
      {60.0, 70.0, 0.01, 50.0f / 1.1f, 50.0f, true},     // both above: the lower below the upper
      {0.2, 50.0, 0.01, 0.2f, 50.0f, false},             // the Nyquist frequency itself
  };
  for (const Case& c : cases) {
    const analysis::SwanBand b = analysis::SwanBandOnOk(c.low, c.high, c.dt);
    EXPECT_NEAR(b.low, c.lowOut, 1e-5 * c.lowOut) << c.low << " " << c.high;
    EXPECT_EQ(b.high, c.highOut) << c.low << " " << c.high;
    EXPECT_LE(1.1f * b.low, b.high) << c.low << " " << c.high;
    EXPECT_EQ(!b.message.empty(), c.message) << c.low << " " << c.high;
  }
}

TEST(SpectrumMenus, ThreeStatesAndLongTransforms) {
  using M = analysis::SpectrumMenuStates;
  auto items = [](const M& m) {
    return std::vector<bool>{m.spektr, m.N_XYZ, m.B3_Bcex, m.Bza_sp, m.CBAH1, m.Fft1, m.summ,
                             m.cur,    m.LB_s,  m.cmena,   m.ToFile, m.N_forma, m.forACH};
  };
  using V = std::vector<bool>;
  EXPECT_EQ(items(analysis::SpectrumMenus(0, true, true, 50, 4096)), (V{1, 1, 1, 1, 1, 0, 0, 0, 0, 1, 0, 0, 1}));
  EXPECT_EQ(items(analysis::SpectrumMenus(1, true, true, 50, 4096)), (V{0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0}));
  EXPECT_EQ(items(analysis::SpectrumMenus(1, false, true, 3, 4096)), (V{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 1}));
  EXPECT_EQ(items(analysis::SpectrumMenus(1, false, true, 2, 4096)), (V{1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1, 0, 1}));
  // "Esc" or "O' k" before any computation: nothing to redraw, list, write or read with the cursor.
  EXPECT_EQ(items(analysis::SpectrumMenus(1, false, false, 0, 4096)), (V{1, 1, 1, 1, 1, 0, 0, 0, 0, 1, 0, 0, 1}));
  for (int state : {0, 1}) {
    const M m = analysis::SpectrumMenus(state, false, true, 5, 16384);
    EXPECT_FALSE(m.N_XYZ || m.B3_Bcex || m.Bza_sp) << state;
  }
}

TEST(SpectrumCursor, MovesStayInsideThePlotAndTheReadoutUsesTheCurveLength) {
  const analysis::PlotGeometry g{1280, 600, 630};
  analysis::SpectrumCursor c{1280, 630, 0};
  EXPECT_TRUE(analysis::MoveCursor(c, 39, true, g));
  EXPECT_EQ(c.CursorX, 1285);
  EXPECT_TRUE(analysis::MoveCursor(c, 39, false, g));
  EXPECT_EQ(c.CursorX, 1285);
  EXPECT_TRUE(analysis::MoveCursor(c, 40, false, g));
  EXPECT_EQ(c.CursorY, 630);
  for (int i = 0; i < 100; ++i) analysis::MoveCursor(c, 38, true, g);
  EXPECT_EQ(c.CursorY, 20);
  EXPECT_FALSE(analysis::MoveCursor(c, 13, false, g));

  // 1280 pixels over 2000 bins of a 4096-point transform at 100 Hz: 48.83 Hz at the right edge.
  c = {1285, 630 - 200, 0};
  EXPECT_EQ(analysis::CursorReadout(c, g, 2000, 4096, 0.01, false, 0.0, 4.0, 400.0), "48.828Гц;  2.00000");
  EXPECT_DOUBLE_EQ(c.CursorValue, 2.0);
  EXPECT_EQ(analysis::CursorReadout(c, g, 2000, 8192, 0.01, true, 0.01, 100.0, 400.0), "24.414Гц;  1.00000");
  EXPECT_EQ(analysis::CursorReadout(c, g, 2000, 8192, 0.01, false, 0.0, 1e-4, 400.0), "24.414Гц;  5.0e-05  ");
}

}  // namespace
