// Level ranges, the level-to-pixel mapping, the axes picture and the scale edit texts.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "analysis/level_range.h"
#include "analysis/spectrum_axes.h"
#include "toolkit/parse_number.h"

namespace {

using analysis::LevelRange;
using analysis::ManualLevels;

TEST(LevelRange, ComputationAndRedrawRanges) {
  struct Case {
    const char* what;
    bool redraw;
    double largest;
    uint16_t kind;
    bool automatic;
    float manualMax, manualMin;
    double lower, upper;
    bool nothing;
  };
  const Case cases[] = {
      {"auto linear", false, 3.0, 0, true, 0, 0, 0.0, 3.0, false},
      {"auto linear, all zero", false, 0.0, 0, true, 0, 0, 0.0, 1e-10, false},
      {"redraw of zeros: upper below 1e-9 becomes 1", true, 0.0, 0, true, 0, 0, 0.0, 1.0, false},
      {"auto log", false, 50.0, 1, true, 0, 0, 0.01, 50.0, false},
      {"16-bit full scale", false, 50.0, 2, true, 0, 0, 0.01, 32767.0, false},
      {"24-bit full scale on redraw", true, 9e6, 4, true, 0, 0, 0.01, 8388607.0, false},
      {"manual linear", false, 3.0, 0, false, 5.0f, 1.0f, 1.0, 5.0, false},
      {"manual linear, max unset keeps the upper", false, 3.0, 0, false, 0.0f, 0.0f, 0.0, 3.0, false},
      {"manual log", false, 3.0, 1, false, 100.0f, 0.1f, 0.1, 100.0, false},
      {"manual log below 1.01 lower: redraw draws nothing", true, 3.0, 1, false, 0.1f, 0.1f, 0.1, 0.1f, true},
      {"manual linear lower = upper gets a span", false, 3.0, 0, false, 2.0f, 2.0f, 2.0, 4.0, false},
      {"manual linear upper below lower doubles the lower", true, 3.0, 0, false, 0.5f, 1.0f, 1.0, 2.0, false},
      {"non-finite largest", false, std::numeric_limits<double>::infinity(), 0, true, 0, 0, 0.0, 1e-10, false},
  };
  for (const Case& c : cases) {
    ManualLevels m{c.manualMax, c.manualMin};
    const LevelRange r = c.redraw ? analysis::RedrawLevelRange(c.largest, c.kind, c.automatic, 0.01, m, 200.0)
                                  : analysis::ComputationLevelRange(c.largest, c.kind, c.automatic, 0.01, m, 200.0);
    EXPECT_NEAR(r.lower, c.lower, 1e-7 * std::fabs(c.lower)) << c.what;
    if (!c.nothing) {
      EXPECT_NEAR(r.upper, c.upper, 1e-6 * std::fabs(c.upper)) << c.what;
    }
    EXPECT_EQ(r.drawNothing, c.nothing) << c.what;
    EXPECT_GT(r.upper, r.lower) << c.what;
    EXPECT_TRUE(std::isfinite(r.scale) && r.scale > 0) << c.what;
  }
  // A computation raises a typed logarithmic maximum below 1.01 x the lower level instead.
  ManualLevels m{0.1f, 0.1f};
  analysis::ComputationLevelRange(3.0, 1, false, 0.01, m, 200.0);
  EXPECT_FLOAT_EQ(m.ManualMax, 0.101f);
}

TEST(LevelRange, LevelsMapToRowsInsideThePlot) {
  LevelRange lin{false, 0.0, 10.0, 20.0, false};  // 20 pixels a unit
  LevelRange log{true, 0.01, 100.0, 200.0 / std::log(1e4), false};
  struct Case {
    const LevelRange* r;
    double v;
    int y;
  };
  const double nan = std::nan("");
  const Case cases[] = {{&lin, 5.0, 300}, {&lin, 0.0, 400}, {&lin, -3.0, 400}, {&lin, 1e30, 140},
                        {&lin, nan, 400}, {&lin, INFINITY, 400}, {&log, 1.0, 300}, {&log, 99.0, 200},
                        {&log, 0.001, 400}};
  for (const Case& c : cases) EXPECT_EQ(analysis::LevelY(*c.r, c.v, 400, 140), c.y) << c.v;
}

TEST(SpectrumAxes, DecibelLinesLinearLinesAndFrequencyTicks) {
  const analysis::PlotGeometry g{1280, 600, 630};
  // 10^4 range: 20 dB lines at upper, upper/10, ...; 10^6 switches to 40 dB steps.
  LevelRange r{true, 0.01, 100.0, 0, false};
  auto pic = analysis::SpectrumAxes(g, 400.0, r, 4096, 0.01, 2000);
  std::vector<int> dashed;
  for (const auto& l : pic.lines)
    if (l.dashed) dashed.push_back(l.y1);
  EXPECT_EQ(dashed, (std::vector<int>{230, 330, 430, 530}));
  EXPECT_EQ(pic.texts[0].text, "-20дб");
  EXPECT_EQ(pic.texts[0].y, 323);
  r.lower = 1e-4;
  pic = analysis::SpectrumAxes(g, 400.0, r, 4096, 0.01, 2000);
  EXPECT_EQ(pic.texts[0].text, "-40дб");

  LevelRange lin{false, 0.0, 1.0, 0, false};
  pic = analysis::SpectrumAxes(g, 400.0, lin, 4096, 0.01, 2000);
  dashed.clear();
  for (const auto& l : pic.lines)
    if (l.dashed) dashed.push_back(l.y1);
  EXPECT_EQ(dashed, (std::vector<int>{230, 310, 390, 470, 550}));

  // fmax = 2000 / 40.96 = 48.8 Hz: step 4 Hz, ticks every 4 Hz at 1280 / 48.83 pixels a hertz.
  int ticks = 0;
  for (const auto& l : pic.lines)
    if (l.x1 == l.x2) {
      ++ticks;
      EXPECT_EQ(l.y1, 631);
      EXPECT_LT(l.x1, 1285);
    }
  EXPECT_EQ(ticks, 13);
  bool labelled = false;
  for (const auto& t : pic.texts)
    if (t.text == "4.000 Гц. ( 0.25000 sek) ") {
      labelled = true;
      EXPECT_EQ(t.x, static_cast<int>(1279.9 * 4 * 40.96 / 2000 + 5));
      EXPECT_EQ(t.y, 637);
    }
  EXPECT_TRUE(labelled);

  // fmax 0.3 Hz: a step of 0.5 Hz leaves only the tick at 0 inside the plot.
  pic = analysis::SpectrumAxes(g, 400.0, lin, 4096, 0.01, 12);
  ticks = 0;
  for (const auto& l : pic.lines) ticks += l.x1 == l.x2;
  EXPECT_EQ(ticks, 1);
}

TEST(SpectrumAxes, ScaleLabelsKeepEveryIntegerDigitAndReadBack) {
  struct Case {
    double v;
    const char* text;
  };
  const Case cases[] = {{0.5, "0.5"},          {0.0, "0."},           {12.25, "12.25"},   {1e-13, "0."},
                        {1234567.8, "1234567.8"}, {1e8, "100000000"}, {123456789012.0, "123456789012"},
                        {-0.5, "-0.5"},        {32767.0, "32767."},  {0.01, "0.01"}};
  for (const Case& c : cases) EXPECT_EQ(analysis::ScaleLabelText(c.v), c.text) << c.v;
  EXPECT_NEAR(toolkit::ParseNumber(analysis::ScaleLabelText(100000000.0)), 1e8, 1e-3);
  EXPECT_FALSE(analysis::ScaleLabelText(1e300).empty());
}

}  // namespace
