#include "analysis/event_search.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/memory_budget.h"
#include "reference_arrays.h"
#include "toolkit/format_text.h"

namespace {

using analysis::SearchSpectralChange;
using analysis_test::Numpy;
using analysis_test::ToDouble;

constexpr int kOnset = 9000;

// 100 Hz, noise with a 5 Hz arrival from kOnset on, the channel shown alone in a 455-pixel plot.
toolkit::SetupRecord Record(std::vector<float>& x) {
  toolkit::SetupRecord s{};
  s.Samples = 20000;
  s.Nn = 0;
  s.Nk = 20000;
  s.Dt = 0.01;
  s.Header.dt = 0.01;
  s.Header.Rate = 100;
  s.Header.StartTicks = 0;
  s.ChannelCount = 1;
  s.FirstChannel = 0;
  s.ShownEnd = 1;
  s.SamplesPerColumn = 20;
  s.PixelsPerSample = 1;
  s.Baseline[0] = 200.0f;
  s.LtaWindow = 10.0;
  s.StaWindow = 1.0;
  s.StaLtaScale = 1.0;
  s.SearchBandLow = 2.0;
  s.SearchBandHigh = 8.0;
  s.SpectralChangeWindow = 3.0;
  x = analysis_test::Noise(s.Samples, 21);
  for (uint32_t i = kOnset; i < s.Samples; ++i) x[i] += 4.0f * std::sin(2 * M_PI * 5.0 * i * 0.01);
  return s;
}

// The rule transcribed in numpy on scipy's filtered copy (3rd-order band-pass from the steady state):
// sums over cumulative |c| in float64; and the classic STA/LTA's maximum as a sanity check.
TEST(EventSearchTest, StaLtaMatchesNumpyTranscription) {
  std::vector<float> x;
  toolkit::SetupRecord s = Record(x);
  const std::string in = dsptest::WriteArray("sta_in", ToDouble(x));
  const std::string filtered = dsptest::OutputPath("sta_f");
  ASSERT_TRUE(dsptest::RunReference("sosfilt 3 2 100 2 8 6 " + in + " " + filtered));
  const std::vector<double> ref = Numpy("sta", {dsptest::ReadArray(filtered)},
                                        "c = in1; L, S, Nn, Nk = 1000, 100, 0, 20000\n"
                                        "cs = np.concatenate([[0.0], np.cumsum(np.abs(c))])\n"
                                        "p = np.arange(Nn, Nk - L - S - 1, S)\n"
                                        "out = (cs[p + L + S] - cs[p + L]) / (cs[p + L] - cs[p])\n"
                                        "ns, nl = 100, 1000; e = np.concatenate([[0.0], np.cumsum(c * c)])\n"
                                        "i = np.arange(nl - 1, len(c))\n"
                                        "cl = ((e[i + 1] - e[i + 1 - ns]) / ns) / ((e[i + 1] - e[i + 1 - nl]) / nl)\n"
                                        "out = np.concatenate([out, [i[np.argmax(cl)]]])");
  ASSERT_GT(ref.size(), 2u);
  toolkit::TFunk funk;
  const analysis::SearchDrawing d = SearchSpectralChange(s, x.data(), 0, 1200, 455, funk);
  ASSERT_EQ(d.error, "");
  ASSERT_EQ(d.curve.size(), ref.size());  // pen start + one point a ratio
  size_t best = 0;
  for (size_t i = 0; i + 1 < ref.size(); ++i) {
    if (ref[i] > ref[best]) best = i;
    const int y = static_cast<int>(std::max(255.0 - 400.0 * ref[i], 2.0));
    EXPECT_NEAR(d.curve[i + 1].y, y, 1) << i;
    EXPECT_EQ(d.curve[i + 1].x, static_cast<int>((i * 100 + 1000) / 20));
  }
  EXPECT_NEAR(d.maxRatio, ref[best], 1e-4 * ref[best]);
  EXPECT_EQ(d.maxAt, static_cast<int64_t>(best * 100 + 1000));
  EXPECT_LE(std::abs(d.maxAt - kOnset), 100 + 100);
  EXPECT_LE(std::abs(static_cast<int64_t>(ref.back()) - kOnset), 100 + 100);
  EXPECT_EQ(d.resultText, "max. отношение " + toolkit::FormatText("%.2f", d.maxRatio) + "   в " +
                              funk.DateTimeText(0, d.maxAt * 0.01));
}

// Running sums agree with re-summing both windows at every step.
TEST(EventSearchTest, RunningSumsAgreeWithResumming) {
  const std::vector<float> c = analysis_test::Noise(50000, 4);
  for (auto [L, S] : {std::pair<int64_t, int64_t>{3000, 100}, {50, 400}}) {
    const std::vector<double> r = analysis::StaLtaRatios(c.data(), 17, 50000, L, S);
    ASSERT_FALSE(r.empty());
    for (size_t i = 0; i < r.size(); ++i) {
      const int64_t p = 17 + static_cast<int64_t>(i) * S;
      double lta = 0, sta = 0;
      for (int64_t j = 0; j < L; ++j) lta += std::fabs(c[p + j]);
      for (int64_t j = L; j < L + S; ++j) sta += std::fabs(c[p + j]);
      ASSERT_NEAR(r[i], sta / lta, 1e-6 * sta / lta) << i;
    }
    EXPECT_LT(17 + static_cast<int64_t>(r.size() - 1) * S, 50000 - L - S - 1);
  }
}

// Method 1 against numpy's rfft of each window, with the power re^2 + im^2; a stretched view maps
// samples through the pixels per sample.
TEST(EventSearchTest, SpectralRatioMatchesNumpyRfft) {
  std::vector<float> x;
  toolkit::SetupRecord s = Record(x);
  s.SearchMethod = 1;
  s.Nn = 5000;
  s.Nk = 12000;
  s.SamplesPerColumn = 1;
  s.PixelsPerSample = 2;
  toolkit::TFunk funk;
  const analysis::SearchDrawing d = SearchSpectralChange(s, x.data(), 0, 1200, 455, funk);
  ASSERT_EQ(d.error, "");
  EXPECT_EQ(d.startText, "всего: 7000; обрабатываем по 256 точек.  выделяем от 5 до 20. сдвиг 8    ");
  const std::vector<double> ref = Numpy("band_change", {ToDouble(x)},
                                        "n, k1, k2, p, out = 256, 5, 20, 5000, []\n"
                                        "while True:\n"
                                        "  P = np.abs(np.fft.rfft(in1[p:p + n]))[:n // 2] ** 2\n"
                                        "  out.append(P[k1:k2].sum() / P.sum()); p += n // 32\n"
                                        "  if not p < 12000 - 1 - n: break\n");
  ASSERT_EQ(d.curve.size(), ref.size() + 1);
  EXPECT_EQ(d.curve[0].x, 128 * 2);
  for (size_t i = 0; i < ref.size(); ++i) {
    EXPECT_EQ(d.curve[i + 1].x, static_cast<int>((i * 8 + 128) * 2));
    EXPECT_NEAR(d.curve[i + 1].y, std::max(255.0 - 400.0 * ref[i], 2.0), 1.0) << i;
  }
}

TEST(EventSearchTest, WindowLengthsAndBins) {
  EXPECT_EQ(analysis::SpectralWindowLength(30.0, 0.01), 4096);
  EXPECT_EQ(analysis::SpectralWindowLength(0.0, 0.01), 64);
  EXPECT_EQ(analysis::SpectralWindowLength(1e9, 0.01), 16384);
  EXPECT_EQ(analysis::SpectralWindowLength(30.0, 0.0), 16384);
  std::vector<float> x;
  toolkit::SetupRecord s = Record(x);
  s.SearchMethod = 1;
  s.SpectralChangeWindow = 30.0;
  s.SearchBandLow = 0.8;
  s.SearchBandHigh = 1.5;
  toolkit::TFunk funk;
  const analysis::SearchDrawing d = SearchSpectralChange(s, x.data(), 0, 1200, 455, funk);
  EXPECT_EQ(d.startText, "всего: 20000; обрабатываем по 4096 точек.  выделяем от 32 до 61. сдвиг 128    ");
}

// Inputs that would hang, divide by zero, read past the selection or run on unfiltered data are refused
// with a message and draw nothing.
TEST(EventSearchTest, RefusedInputsDrawNothing) {
  std::vector<float> x;
  const toolkit::SetupRecord base = Record(x);
  toolkit::TFunk funk;
  struct Case {
    const char* what;
    void (*change)(toolkit::SetupRecord&);
    uint64_t memory = UINT64_MAX;  // what the memory budget gives for working space
  };
  const Case cases[] = {
      {"STA below one sample", [](toolkit::SetupRecord& s) { s.StaWindow = 0.0; }},
      {"LTA beyond the file's dt", [](toolkit::SetupRecord& s) { s.Header.dt = 20.0; }},
      {"band above Nyquist", [](toolkit::SetupRecord& s) { s.SearchBandHigh = 80.0; }},
      {"hidden channel", [](toolkit::SetupRecord& s) { s.ShownEnd = 0; }},
      {"selection shorter than the windows", [](toolkit::SetupRecord& s) { s.Nk = 1050; }},
      {"method 1 window past the selection", [](toolkit::SetupRecord& s) { s.SearchMethod = 1; s.Nk = 200; }},
      {"STA/LTA beyond the memory budget", [](toolkit::SetupRecord&) {}, 0},
      {"spectral change beyond the memory budget", [](toolkit::SetupRecord& s) { s.SearchMethod = 1; }, 0},
  };
  for (const Case& c : cases) {
    toolkit::SetupRecord s = base;
    c.change(s);
    const platform::ScopedMemoryForNewData budget(c.memory);
    const analysis::SearchDrawing d = SearchSpectralChange(s, x.data(), 0, 1200, 455, funk);
    EXPECT_NE(d.error, "") << c.what;
    EXPECT_TRUE(d.curve.empty()) << c.what;
  }
  // A ratio scale of 0 counts as 0.01; a flat channel reports 0.00 at the start.
  toolkit::SetupRecord s = base;
  s.StaLtaScale = 0.0;
  std::vector<float> flat(s.Samples, 0.0f);
  const analysis::SearchDrawing d = SearchSpectralChange(s, flat.data(), 0, 1200, 455, funk);
  EXPECT_EQ(d.error, "");
  EXPECT_EQ(d.maxAt, 0);
  EXPECT_EQ(d.resultText.rfind("max. отношение 0.00   в ", 0), 0u);
}

}  // namespace
