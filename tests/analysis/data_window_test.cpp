// The data windows against scipy's windows, their power normalisation and their byte-exact names.
#include "analysis/data_window.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "analysis/interval_spectrum.h"
#include "spectrum_reference.h"

namespace {

using analysis::DataWindowInfo;

TEST(DataWindow, WeightsMatchScipyAndPowerIsTheMeanSquare) {
  const char* names[] = {"boxcar", "hann", "hamming", "blackmanharris"};
  const int lengths[] = {64, 1000, 4096};
  // One run prints, for each length and window, mean(w^2) and then the weights.
  const auto ref = analysis_test::PythonNumbers(
      "window", "import numpy as np, scipy.signal as s\n"
                "for n in (64, 1000, 4096):\n"
                "  for name in ('boxcar', 'hann', 'hamming', 'blackmanharris'):\n"
                "    w = s.get_window(name, n, fftbins=True)\n"
                "    print('%.12e' % np.mean(w*w))\n"
                "    for v in w: print('%.12e' % v)\n");
  ASSERT_EQ(ref.size(), 4u * (64 + 1000 + 4096 + 3));
  size_t at = 0;
  for (int n : lengths) {
    for (uint16_t type = 0; type < 4; ++type) {
      std::vector<float> w(n);
      DataWindowInfo info;
      const double norm = analysis::ApplySpectrumWindow(type, w.data(), n, info);
      const double power = 4.0 / (norm * n * n);
      EXPECT_NEAR(power, ref[at], 2e-6 * ref[at]) << names[type] << " " << n;
      const auto d = analysis_test::Compare(w, std::vector<double>(ref.begin() + at + 1, ref.begin() + at + 1 + n), n);
      EXPECT_LT(d.largest, 1e-6) << names[type] << " " << n;
      at += n + 1;
    }
  }
}

TEST(DataWindow, NamesAndParametersAreTheListedBytes) {
  struct Case {
    uint16_t type;
    double parameter;
    const char* bytes;
  };
  // Windows-1251: the rectangular name holds a Latin "p", the Hamming name a Latin "m".
  const Case cases[] = {
      {0, 1.0, "\xef\x70\xff\xec\xee\xf3\xe3\xee\xeb\xfc\xed\xee\xe5\x20\xee\xea\xed\xee"},
      {1, 0.5, "\xee\xea\xed\xee\x20\xf5\xe0\xed\xed\xe0\x20\x20\x20\x20"},
      {2, 0.54, "\xee\xea\xed\xee\x20\xf5\xe5\x6d\xec\xe8\xed\xe3\xe0\x20"},
      {3, 1111.0, "\xee\xea\xed\xee\x20\xc1\xeb\xfd\xea\xec\xe0\xed\xe0\x20"},
      {9, 1.0, "\xef\x70\xff\xec\xee\xf3\xe3\xee\xeb\xfc\xed\xee\xe5\x20\xee\xea\xed\xee"},  // unknown: rectangular
  };
  for (const Case& c : cases) {
    std::vector<float> w(16);
    DataWindowInfo info;
    std::memset(info.WindowName, 'x', sizeof info.WindowName);
    analysis::ApplySpectrumWindow(c.type, w.data(), 16, info);
    EXPECT_EQ(info.WindowParameter, c.parameter);
    char expected[20] = {};
    std::memcpy(expected, c.bytes, std::strlen(c.bytes));
    EXPECT_EQ(std::memcmp(info.WindowName, expected, sizeof expected), 0) << c.type;
  }
  DataWindowInfo info;
  std::vector<float> w(8);
  analysis::ApplySpectrumWindow(2, w.data(), 8, info);
  EXPECT_EQ(analysis::WindowNameText(info), "окно хеmминга ");
  EXPECT_DOUBLE_EQ(analysis::ApplySpectrumWindow(3, w.data(), 8, info), 4.0 / (0.257963599095 * 64));
}

// The normalisation is a power one: a sine of amplitude A reads A only with the rectangular window,
// 0.816 A with Hann and 0.857 A with Hamming, while white noise reads the same level with every window.
TEST(DataWindow, SineReadsLowerWithTaperedWindowsWhileNoiseDoesNot) {
  const int n = 1024;
  std::vector<float> sine(n);
  for (int i = 0; i < n; ++i) sine[i] = static_cast<float>(2.0 * std::sin(2 * M_PI * 100.0 * i / n));
  const double expected[] = {2.0, 2.0 * 0.5 / std::sqrt(0.375), 2.0 * 0.54 / std::sqrt(0.54 * 0.54 + 0.5 * 0.46 * 0.46)};
  double noiseLevel[3];
  for (uint16_t type = 0; type < 3; ++type) {
    analysis::SpectrumBuffers b;
    analysis::ComputeSingleSpectrum(sine.data(), 0, n, n, type, b);
    EXPECT_NEAR(b.WorkBuffer[100], expected[type], 1e-4) << type;
    const auto noise = analysis_test::TestSignal(1 << 16);
    std::vector<float> white(noise.size());
    uint32_t st = 7;
    for (float& v : white) {
      st = st * 1664525u + 1013904223u;
      v = static_cast<float>(static_cast<double>(st >> 8) / 16777216.0 - 0.5);
    }
    analysis::IntervalSpectrumInput in{white.data(), 0, static_cast<int32_t>(white.size()), 256, 128, type};
    analysis::IntervalSpectrum run(b, in);
    while (run.More()) run.Next();
    run.Finish();
    double mean = 0.0;
    for (int k = 10; k < 100; ++k) mean += b.WorkBuffer[k] * b.WorkBuffer[k];
    noiseLevel[type] = mean / 90;
  }
  EXPECT_NEAR(noiseLevel[1] / noiseLevel[0], 1.0, 0.05);
  EXPECT_NEAR(noiseLevel[2] / noiseLevel[0], 1.0, 0.05);
  EXPECT_NEAR(expected[1] / 2.0, 0.816, 0.001);
  EXPECT_NEAR(expected[2] / 2.0, 0.857, 0.001);
}

}  // namespace
