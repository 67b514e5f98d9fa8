// Settings as a damaged "qvd.0" holds them, mended by the sanitiser, through the analysis computations:
// no output shows or writes a number that is not finite, and no conversion to an integer overflows (the
// sanitizer build runs this).
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>

#include "analysis/interval_spectrum.h"
#include "analysis/level_range.h"
#include "analysis/spectral_time_analysis.h"
#include "analysis/spectrum_axes.h"
#include "analysis/spectrum_parameters.h"
#include "analysis/spectrum_values.h"
#include "scoped_work_dir.h"
#include "spectrum_reference.h"
#include "toolkit/setup_record.h"

namespace {

std::string Read(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void ExpectOnlyFiniteNumbers(const std::string& text, const std::string& what) {
  for (const char* word : {"nan", "inf", "-2147483648"})
    EXPECT_EQ(text.find(word), std::string::npos) << what << ": " << word;
}

TEST(DamagedSettings, ReachNoOutputAsNumbersThatAreNotFinite) {
  analysis_test::ScopedWorkDir dir;
  const std::vector<float> x = analysis_test::TestSignal(8192);
  analysis::SpectrumBuffers spectrum;
  {
    analysis::IntervalSpectrumInput in{x.data(), 0, 8192, 1024, 512, 1};
    analysis::IntervalSpectrum run(spectrum, in);
    while (run.More()) run.Next();
    run.Finish();
  }
  const double damaged[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity(), 1e300, -1e300, 3e38, 1e12, 0.0, -1.0, 1e-30};
  std::mt19937 random(2024);
  std::uniform_int_distribution<size_t> pick(0, std::size(damaged));  // the last index: keep the default
  for (int round = 0; round < 60; ++round) {
    toolkit::SetupRecord s;
    toolkit::SetSetupDefaults(s, "/x/");
    const auto damage = [&](auto& field) {
      const size_t i = pick(random);
      if (i < std::size(damaged)) field = static_cast<std::remove_reference_t<decltype(field)>>(damaged[i]);
    };
    damage(s.LogFloor);
    damage(s.UsefulBandLow);
    damage(s.UsefulBandHigh);
    damage(s.HarmfulBandLow);
    damage(s.HarmfulBandHigh);
    damage(s.SwanLow);
    damage(s.SwanHigh);
    damage(s.SwanDamping);
    toolkit::SanitizeSetup(s);
    const std::string what = "round " + std::to_string(round);

    std::string lines;
    for (const std::string& l : analysis::SpectrumValueLines(spectrum, s)) lines += l + "\n";
    ExpectOnlyFiniteNumbers(lines, what + " values list");

    // A typed logarithmic scale and the automatic one, over the computed spectrum.
    for (const bool automatic : {false, true}) {
      analysis::ManualLevels manual;
      const analysis::LevelRange r = analysis::ComputationLevelRange(3.0, 1, automatic, s.LogFloor, manual, 400.0);
      ASSERT_TRUE(std::isfinite(static_cast<float>(r.upper)) && std::isfinite(static_cast<float>(r.lower))) << what;
      ASSERT_TRUE(std::isfinite(manual.ManualMax)) << what;
      const analysis::PlotGeometry g{1280, 500, 530};
      std::string axes = analysis::ScaleLabelText(r.upper) + analysis::ScaleLabelText(r.lower);
      for (const analysis::AxisText& t : analysis::SpectrumAxes(g, 400.0, r, spectrum.N, s.Dt, 500).texts)
        axes += t.text;
      ExpectOnlyFiniteNumbers(axes, what + " scale");
    }

    std::string error;
    analysis::SwanSettings swan = analysis::SwanSettingsOf(s, error);
    swan.N = 512;
    const analysis::SwanMap map = analysis::ComputeSwanMap(x.data(), 8192, 0, 0.01, swan);
    ASSERT_TRUE(analysis::WriteSwanFile("cwan", map, error)) << error;
    ExpectOnlyFiniteNumbers(Read("cwan"), what + " cwan");
  }
}

// The "cwan" table never converts a number beyond an integer's range: centre frequencies far above any
// record's are written at the end of the range.
TEST(DamagedSettings, CwanHeaderOfFrequenciesBeyondTheIntegerRange) {
  analysis_test::ScopedWorkDir dir;
  analysis::SwanMap map;
  map.N = 512;
  map.M = 1;
  map.dt = 0.01;
  map.cells.assign(static_cast<size_t>(analysis::kSwanRows) * analysis::kSwanColumns, 1.0f);
  map.maxValue = 1.0f;
  for (int r = 0; r < analysis::kSwanRows; ++r) map.centre[r] = 1e8 * std::pow(10.0, 0.1 * r);
  std::string error;
  ASSERT_TRUE(analysis::WriteSwanFile("cwan", map, error)) << error;
  const std::string text = Read("cwan");
  ExpectOnlyFiniteNumbers(text, "cwan");
  EXPECT_NE(text.find("1000000000"), std::string::npos);

  // A map of a signal holding inf: its largest value and cells are not numbers, written as 0 and counted.
  map.maxValue = std::numeric_limits<float>::infinity();
  map.at(5, 7) = std::numeric_limits<float>::quiet_NaN();
  int64_t zeroed = 0;
  ASSERT_TRUE(analysis::WriteSwanFile("cwan", map, error, &zeroed)) << error;
  ExpectOnlyFiniteNumbers(Read("cwan"), "cwan of inf");
  EXPECT_EQ(zeroed, 2);
}

}  // namespace
