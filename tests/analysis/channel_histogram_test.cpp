#include "analysis/channel_histogram.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

#include "analysis/finite_cells.h"
#include "reference_arrays.h"
#include "scoped_work_dir.h"
#include "toolkit/format_text.h"

namespace {

using analysis::ChannelHistogram;
using analysis_test::Numpy;

toolkit::SetupRecord Record(uint32_t samples, uint16_t rate, int channels) {
  toolkit::SetupRecord s{};
  s.Samples = samples;
  s.Nn = 0;
  s.Nk = static_cast<int32_t>(samples);
  s.ChannelCount = static_cast<uint16_t>(channels);
  s.Header.Rate = rate;
  s.Header.Month = 7;
  s.Header.Day = 28;
  s.Header.to = 13 * 3600 + 45 * 60 + 10;
  toolkit::SetFieldText(s.Header.Station, "ABCDEF");
  s.HistogramRmsMinutes = 5;
  for (int c = 0; c < 64; ++c) s.MemCoef[c] = 1.0;
  return s;
}

std::string FileText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

int CountPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
  int n = 0;
  for (const std::string& l : lines) n += l.rfind(prefix, 0) == 0;
  return n;
}

TEST(HistogramNameTest, StationTimeAndUnsafeCharacters) {
  toolkit::SetupRecord s = Record(10, 100, 1);
  EXPECT_EQ(analysis::HistogramFileName(s.Header), "gistogram_for_ABCD_07281345.txt");
  toolkit::SetFieldText(s.Header.Station, "a/\x01\xC6z");  // '/', a control character, cp1251 "Ж"
  EXPECT_EQ(analysis::HistogramFileName(s.Header), "gistogram_for_a__Ж_07281345.txt");
}

// Counts against np.histogram on the edges of the +0.1 rule, mean and RMS against numpy, and the file
// holding every line the list shows but the effective-bit lines.
TEST(HistogramTest, MatchesNumpyAndWritesTheFile) {
  analysis_test::ScopedWorkDir work;
  toolkit::SetupRecord s = Record(30000, 100, 1);
  s.MemCoef[0] = 0.5;
  s.Nn = 1000;
  s.Nk = 25000;
  std::vector<float> x(s.Samples);
  const std::vector<float> noise = analysis_test::Noise(s.Samples, 5);
  for (uint32_t i = 0; i < s.Samples; ++i)
    x[i] = 0.5f * std::round(3000.0f * noise[i] + 400.0f * std::sin(0.003f * i));  // counts x 0.5
  const float* channels[1] = {x.data()};
  const analysis::HistogramReport r = ChannelHistogram(s, channels, nullptr);
  ASSERT_EQ(r.error, "");
  const std::vector<double> sel(x.begin() + s.Nn, x.begin() + s.Nk);
  const std::vector<double> ref = Numpy("hist", {sel},
                                        "v = in1 / 0.5; lo = np.trunc(v.min()); hi = np.trunc(v.max())\n"
                                        "step = max(int((hi - lo) * 0.01 + 0.3), 1); bins = int(hi - lo) // step + 2\n"
                                        "edges = lo + (np.arange(bins + 1) - 0.1) * step\n"
                                        "c, _ = np.histogram(v, edges)\n"
                                        "out = np.concatenate([[in1.mean(), in1.std(), lo, step], c])");
  ASSERT_GT(ref.size(), 4u);
  const int64_t lo = static_cast<int64_t>(ref[2]), step = static_cast<int64_t>(ref[3]);
  std::vector<std::string> bins;
  for (const std::string& l : r.list)
    if (l.find(" / ") != std::string::npos && l.find("%") != std::string::npos) bins.push_back(l);
  ASSERT_EQ(bins.size(), ref.size() - 4 + 1);  // the list prints the edge past the last bin too
  for (size_t b = 0; b + 4 < ref.size(); ++b) {
    long long edge = 0, count = 0;
    double edgeValue = 0, share = 0;
    ASSERT_EQ(std::sscanf(bins[b].c_str(), "%lld / %le  -  %lld / %lf", &edge, &edgeValue, &count, &share), 4);
    EXPECT_EQ(edge, lo + static_cast<int64_t>(b) * step);
    EXPECT_EQ(count, static_cast<long long>(ref[4 + b])) << "bin " << b;
  }
  ASSERT_EQ(r.moments.size(), 1u);
  EXPECT_NEAR(r.moments[0].mean, ref[0], 1e-6 * std::fabs(ref[0]));
  EXPECT_NEAR(r.moments[0].rms, ref[1], 1e-6 * ref[1]);
  EXPECT_EQ(CountPrefix(r.list, toolkit::FormatText("cp.: %.4e/%.4e;     Sкв: %.4e/%.4e", ref[0], ref[0] / 0.5,
                                                    ref[1], ref[1] / 0.5)),
            1);
  // 240 s at 100 Hz: shorter than one 5-minute window, so no window lines.
  EXPECT_EQ(CountPrefix(r.list, "окно для ср. кв."), 0);
  std::string expected;
  for (size_t i = 3; i < r.list.size(); ++i)
    if (r.list[i].rfind("N = ", 0) != 0 && r.list[i].rfind("эфф.", 0) != 0) expected += r.list[i] + "\n";
  EXPECT_EQ(FileText(r.fileName), expected);
}

// RMS 2^22 sqrt 2 / 2^20 counts with coefficient 1: N = 2^20 and 20 effective bits. A coefficient of 0
// counts as 1 and says so.
TEST(HistogramTest, EffectiveBitsAndZeroCoefficient) {
  analysis_test::ScopedWorkDir work;
  toolkit::SetupRecord s = Record(1000, 100, 2);
  s.MemCoef[1] = 0.0;
  const float a = static_cast<float>(4.0 * std::sqrt(2.0));
  std::vector<float> x(1000), y(1000, 3.0f);
  for (int i = 0; i < 1000; ++i) x[i] = i % 2 ? a : -a;
  const float* channels[2] = {x.data(), y.data()};
  const analysis::HistogramReport r = ChannelHistogram(s, channels, nullptr);
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(CountPrefix(r.list, "N = 0x400000 * sqrt(2) / Sкв = 10485"), 1);
  EXPECT_EQ(CountPrefix(r.list, "эфф. разряды = ln(n) / ln(2)  = 20.0000"), 1);
  EXPECT_EQ(CountPrefix(r.list, "коэфф. канала 0: взят 1"), 1);
  EXPECT_EQ(CountPrefix(r.list, "max: 3.0000e+00/3;    min: 3.0000e+00/3"), 1);
}

TEST(HistogramTest, WindowLinesAreBoundedTo720) {
  analysis_test::ScopedWorkDir work;
  struct Case {
    uint32_t samples;
    uint16_t rate;
    uint8_t minutes;
    int windows;
    const char* width;
  };
  for (const Case& c : {Case{360000, 100, 5, 12, "окно для ср. кв. 30000 точек"},
                        Case{864000, 10, 1, 720, "окно для ср. кв. 1200 точек"}}) {
    toolkit::SetupRecord s = Record(c.samples, c.rate, 1);
    s.HistogramRmsMinutes = c.minutes;
    std::vector<float> x = analysis_test::Noise(c.samples, 11);
    const float* channels[1] = {x.data()};
    const analysis::HistogramReport r = ChannelHistogram(s, channels, nullptr);
    EXPECT_EQ(CountPrefix(r.list, c.width), 1);
    int windows = 0;
    for (const std::string& l : r.list) windows += l.size() > 4 && l[3] == ':' && l.find("; / ") != std::string::npos;
    EXPECT_EQ(windows, c.windows);
  }
}

// A channel holding inf has no finite mean or deviation: the file writes them as 0 and the count is told.
TEST(HistogramTest, NonFiniteMomentsAreWrittenAsZeroAndCounted) {
  analysis_test::ScopedWorkDir work;
  toolkit::SetupRecord s = Record(1000, 100, 2);
  std::vector<float> x(1000, 1.0f), y(1000, 2.0f);
  x[500] = std::numeric_limits<float>::infinity();
  const float* channels[2] = {x.data(), y.data()};
  const analysis::HistogramReport r = ChannelHistogram(s, channels, nullptr);
  const std::string name = analysis::HistogramFileName(s.Header);
  EXPECT_EQ(r.error, analysis::ZeroedCellsNote(name, 4));
  const std::string text = FileText(name);
  for (const char* word : {"inf", "nan", "INF", "NAN"}) EXPECT_EQ(text.find(word), std::string::npos) << word;
  EXPECT_NE(text.find("cp.: 2.0000e+00/2.0000e+00;"), std::string::npos);
}

TEST(HistogramTest, RefusalsNameTheProblem) {
  analysis_test::ScopedWorkDir work;
  toolkit::SetupRecord s = Record(100, 100, 1);
  std::vector<float> x(100, 1.0f);
  const float* channels[1] = {x.data()};
  s.Nn = 50;
  s.Nk = 50;
  analysis::HistogramReport r = ChannelHistogram(s, channels, nullptr);
  EXPECT_NE(r.error, "");
  EXPECT_TRUE(r.list.empty());
  s.Nk = 100;
  std::filesystem::create_directory(analysis::HistogramFileName(s.Header));  // the name is taken
  r = ChannelHistogram(s, channels, nullptr);
  EXPECT_EQ(r.error, "gistogramma: error open file from disk_1\n" + analysis::HistogramFileName(s.Header));
}

}  // namespace
