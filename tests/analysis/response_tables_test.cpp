// The peak rules behind "for_ACF.txt" and the ratio fallback.
#include "analysis/response_tables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using analysis::Peak;

// Recording names as stored and the line each makes in a text file.
const struct {
  std::string stored, line;
} kNames[] = {
    {"r", "r"},
    {"re\nc\xE0.xx", "re cа.xx"},  // a newline and Windows-1251 "а"
    {"запись\t.rec", "запись .rec"},  // a name in UTF-8 stays UTF-8
    {"\xE0\x80\xAF.x", "аЂЇ.x"},     // an overlong "/" is not UTF-8: Windows-1251
};

TEST(PeaksAboveLevel, CrossingsOpenAndCloseThePeaks) {
  struct Case {
    const char* what;
    std::vector<float> s;
    std::vector<int> bins;
  };
  const Case cases[] = {
      {"two peaks, the larger value of each", {0, 0, 2, 5, 3, 0, 0, 4, 6, 7, 0, 0}, {3, 9}},
      {"a spectrum that ends above T leaves its last peak open", {0, 0, 2, 0, 0, 3, 4, 5}, {2}},
      {"a flat spectrum has none", {1, 1, 1, 1, 1, 1}, {}},
  };
  for (const Case& c : cases) {
    const std::vector<Peak> p =
        analysis::PeaksAboveLevel(c.s.data(), 2, static_cast<int>(c.s.size()) - 1, 1.0, 1024, 0.01);
    std::vector<int> bins;
    for (const Peak& q : p) bins.push_back(q.bin);
    EXPECT_EQ(bins, c.bins) << c.what;
  }
  const std::vector<float> s = {0, 0, 2, 5, 3, 0};
  const std::vector<Peak> p = analysis::PeaksAboveLevel(s.data(), 2, 5, 1.0, 1000, 0.01);
  ASSERT_EQ(p.size(), 1u);
  EXPECT_DOUBLE_EQ(p[0].frequency, 3 / 10.0);
  for (const auto& n : kNames)
    EXPECT_EQ(analysis::PeaksAboveText(n.stored, 2, "Z", p),
              "\n\n   " + n.line + ":  канал 2 - Z\n\n000.3000;   001.0000;   005.0000;");
}

TEST(PeaksAboveLevel, StopsAfter200Peaks) {
  std::vector<float> s;
  for (int i = 0; i < 500; ++i) s.insert(s.end(), {0.0f, 2.0f});
  EXPECT_EQ(analysis::PeaksAboveLevel(s.data(), 1, 999, 1.0, 2048, 0.01).size(), 200u);
}

TEST(ResponsePeaks, NeverReadsPastTheComputedHalf) {
  // L = 8: bins 0..3 computed; bin 3 cannot be a peak (its right neighbour is not computed).
  std::vector<float> s = {0, 1, 0.5f, 2, 1e9f};
  const analysis::ChannelPeaks c = analysis::ResponsePeaks(s.data(), 8, 0.125);
  EXPECT_DOUBLE_EQ(c.largest, 2.0);
  ASSERT_EQ(c.peaks.size(), 1u);
  EXPECT_EQ(c.peaks[0].bin, 1);
  EXPECT_DOUBLE_EQ(c.peaks[0].value, 0.5);
  // A silent channel has no peaks and prints zeros in the rows of the others.
  const analysis::ChannelPeaks silent = analysis::ResponsePeaks(std::vector<float>(5, 0.0f).data(), 8, 0.125);
  EXPECT_TRUE(silent.peaks.empty());
  for (const auto& n : kNames)
    EXPECT_EQ(analysis::ResponseText(n.stored, {"a", "b"}, {c, silent}),
              "\n\n      " + n.line +
                  ":\n   0 - a;   1 - b;\n\n     2.00000;     *       0.00000;     *  "
                  "\n   1.00 -  0.5000;     0.00 -  0.0000;  ");
}

TEST(ResponsePeaks, KeepsTheFirst199PeaksOfAChannelWithMore) {
  // 250 peaks at bins 2, 4, ..., 500, each higher than the one before: the table lists the first 199.
  std::vector<float> s(1024, 0.0f);
  for (int i = 0; i < 250; ++i) s[2 + 2 * i] = 1.0f + 0.001f * i;
  const analysis::ChannelPeaks c = analysis::ResponsePeaks(s.data(), 2048, 0.01);
  ASSERT_EQ(c.peaks.size(), 199u);
  EXPECT_EQ(c.peaks.front().bin, 2);
  EXPECT_EQ(c.peaks.back().bin, 2 + 2 * 198);
  EXPECT_DOUBLE_EQ(c.peaks.back().frequency, (2 + 2 * 198) / (2048 * 0.01));
}

TEST(ComponentRatio, FallsBackToOneOverASilentVerticalComponent) {
  EXPECT_FLOAT_EQ(analysis::ComponentRatio(4.0, 16.0, 1.0, 1), 3.0f);
  EXPECT_FLOAT_EQ(analysis::ComponentRatio(8.0, 32.0, 2.0, 2), 3.0f);
  EXPECT_FLOAT_EQ(analysis::ComponentRatio(4.0, 16.0, 0.0, 1), 1.0f);
  for (const auto& n : kNames)
    EXPECT_EQ(analysis::RatioFileHead(1024, n.stored), "A[i] * exp { 2*3.14*i/1024 }   из  <" + n.line + "> \n\n");
}

}  // namespace
