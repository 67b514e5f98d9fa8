#include "analysis/finite_cells.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "analysis/cross_spectrum_file.h"
#include "analysis/response_tables.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

// Each text file of the spectrum window, built from values of which `want` are not finite: none of them
// reaches the text, each is written as 0 and counted.
TEST(FiniteCellsTest, TextFilesWriteNonFiniteValuesAsZeroAndCountThem) {
  toolkit::SetupRecord s{};
  s.Dt = 0.01;
  s.ChannelCount = 2;
  analysis::CrossSums sums;
  sums.N = 64;
  sums.S00.assign(32, 1.0);
  sums.S11.assign(32, 1.0);
  sums.C.assign(32, 0.5);
  sums.Q.assign(32, 0.5);
  sums.S11[3] = kInf;  // |1|
  sums.C[4] = kNan;    // |01| and re(H)
  analysis::TransferCurves t;
  t.H.assign(32, 1.0);
  t.G.assign(32, 1.0);
  t.Phase.assign(32, 0.0);
  t.H[5] = -kInf;
  t.Phase[6] = kNan;
  analysis::ChannelPeaks channel{kInf, {{kNan, 0.5, 3}, {2.0, kInf, 4}}};
  const std::vector<analysis::Peak> peaks{{1.0, kNan, 2}, {kInf, 0.5, 3}};
  std::vector<double> powers[3];
  for (auto& p : powers) p.assign(32, 4.0);
  powers[1][2] = kInf;
  std::vector<float> ratio(32, 1.0f);
  ratio[3] = std::numeric_limits<float>::quiet_NaN();

  struct Case {
    const char* what;
    std::function<std::string(int64_t*)> text;
    int64_t want;
  };
  const Case cases[] = {
      {".kog of a pair", [&](int64_t* z) { return analysis::PairCrossText(s, 0, sums, t, 20, z); }, 5},
      {".kog of all channels", [&](int64_t* z) { return analysis::AllCrossText(s, 64, {t}, 20, z); }, 2},
      {"for_ACF.txt response", [&](int64_t* z) { return analysis::ResponseText("r", {"a"}, {channel}, z); }, 3},
      {"for_ACF.txt peaks", [&](int64_t* z) { return analysis::PeaksAboveText("r", 0, "a", peaks, z); }, 3},
      {"_АЧХ_WZ table", [&](int64_t* z) { return analysis::RatioFileTable(powers, ratio, 64, 0.01, 1, z); }, 2},
  };
  for (const Case& c : cases) {
    int64_t zeroed = -1;
    const std::string text = c.text(&zeroed);
    EXPECT_EQ(zeroed, c.want) << c.what;
    for (const char* word : {"inf", "nan", "INF", "NAN"}) EXPECT_EQ(text.find(word), std::string::npos) << c.what;
  }
}

TEST(FiniteCellsTest, NoteGivesTheCountOnlyWhenValuesWereReplaced) {
  EXPECT_EQ(analysis::ZeroedCellsNote("a.kog", 0), "");
  EXPECT_EQ(analysis::ZeroedCellsNote("a.kog", 3), "a.kog: 3 значений не числа (переполнение), записаны нулями");
}

}  // namespace
