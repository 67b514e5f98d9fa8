// Spectra over intervals against scipy.signal.welch, and single direct transforms against numpy's FFT.
#include "analysis/interval_spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "spectrum_reference.h"
#include "support/temp_dir.h"

namespace {

using analysis::IntervalSpectrum;
using analysis::IntervalSpectrumInput;
using analysis::SpectrumBuffers;

const char* kWindows[] = {"boxcar", "hann", "hamming", "blackmanharris"};

struct Outcome {
  int32_t end = 0;
  int32_t intervals = 0;
};

Outcome Compute(const std::vector<float>& x, int32_t Nn, int32_t Nk, int32_t n, int32_t shift, uint16_t type,
            SpectrumBuffers& b) {
  IntervalSpectrumInput in{x.data(), Nn, Nk, n, shift, type};
  IntervalSpectrum run(b, in);
  int32_t count = 0;
  while (run.More()) {
    run.Next();
    ++count;
    EXPECT_EQ(run.Amplitudes().size(), static_cast<size_t>(n / 2));
  }
  EXPECT_EQ(count, b.IntervalCount);
  return {run.Finish(), count};
}

// welch's density turned into the amplitudes the window shows: sqrt(2 Pxx / N), bin 0 sqrt(Pxx / N).
std::vector<double> Welch(const std::string& file, int32_t Nn, int32_t Nk, int32_t n, int32_t shift,
                          uint16_t type) {
  return analysis_test::PythonNumbers(
      "welch", "import numpy as np, scipy.signal as s\n"
               "x = np.fromfile('" + file + "', dtype=np.float32).astype(np.float64)[" + std::to_string(Nn) +
                   ":" + std::to_string(Nk) + "]\n"
               "n = " + std::to_string(n) + "\n"
               "if len(x) < n: x = np.concatenate([x, np.zeros(n - len(x))])\n"
               "f, p = s.welch(x, fs=1, window='" + kWindows[type] + "', nperseg=n, noverlap=n-" +
                   std::to_string(shift) + ", detrend=False, scaling='density')\n"
               "a = np.sqrt(p * 2 / n); a[0] = np.sqrt(p[0] / n)\n"
               "for v in a[:n//2]: print('%.9e' % v)\n");
}

TEST(IntervalSpectrum, MatchesWelchForEveryLengthAndWindow) {
  support::TempDir dir;
  const auto x = analysis_test::TestSignal(300000, 5.0f);
  const std::string file = dir.File("x.f32");
  analysis_test::WriteFloats(file, x);
  struct Case {
    int32_t Nn, Nk, n, shift;
    uint16_t type;
  };
  const Case cases[] = {
      {100, 20000, 64, 32, 1},      {0, 50000, 1024, 300, 0},  {7, 60007, 1024, 256, 1},
      {0, 60000, 1024, 1000, 2},    {0, 60000, 1024, 1024, 3}, {3, 300000, 65536, 20000, 1},
      {50, 1050, 4096, 256, 1},     // selection shorter than N: one zero-padded interval
      {0, 20000, 8192, 8191, 0},    // odd shift
  };
  for (const Case& c : cases) {
    SpectrumBuffers b;
    Compute(x, c.Nn, c.Nk, c.n, c.shift, c.type, b);
    const auto ref = Welch(file, c.Nn, c.Nk, c.n, c.shift, c.type);
    ASSERT_EQ(ref.size(), static_cast<size_t>(c.n / 2));
    const auto d = analysis_test::Compare(b.WorkBuffer, ref, ref.size());
    EXPECT_LT(d.largest, 1e-4 * d.scale) << "N " << c.n << " window " << c.type << " from " << c.Nn;
    EXPECT_EQ(b.N, c.n);
  }
}

TEST(IntervalSpectrum, TenThousandSamplesGiveTwentyFourIntervalsAndTheirEnd) {
  const auto x = analysis_test::TestSignal(20000);
  SpectrumBuffers b;
  const Outcome r = Compute(x, 1000, 11000, 4096, 256, 1, b);
  EXPECT_EQ(r.intervals, 24);
  EXPECT_EQ(r.end, 1000 + 23 * 256 + 4096);
  IntervalSpectrumInput in{x.data(), 1000, 11000, 4096, 256, 1};
  SpectrumBuffers b2;
  EXPECT_EQ(IntervalSpectrum(b2, in).Total(), 24);
}

// The 500 interval spectra hold the mean of D bins of each interval's amplitudes; only the first 500
// intervals are kept, while the average uses all.
TEST(IntervalSpectrum, IntervalCellsAreMeansOfTheirBins) {
  support::TempDir dir;
  const auto x = analysis_test::TestSignal(140000);
  const std::string file = dir.File("x.f32");
  analysis_test::WriteFloats(file, x);
  SpectrumBuffers b;
  const int32_t n = 65536, shift = 1000;
  Compute(x, 0, 140000, n, shift, 1, b);
  EXPECT_EQ(analysis::CellWidth(n), 64);
  const auto ref = analysis_test::PythonNumbers(
      "cells", "import numpy as np, scipy.signal as s\n"
               "x = np.fromfile('" + file + "', dtype=np.float32).astype(np.float64)\n"
               "n = 65536; w = s.get_window('hann', n)\n"
               "norm = 4 / (n * n * np.mean(w * w))\n"
               "for t in (0, 37, 74):\n"
               "  X = np.fft.fft(x[t*1000:t*1000+n] * w)[:n//2]\n"
               "  a = np.abs(X) * np.sqrt(norm); a[0] *= 0.5\n"
               "  for v in a.reshape(512, 64).mean(axis=1): print('%.9e' % v)\n");
  ASSERT_EQ(ref.size(), 3u * 512);
  EXPECT_EQ(b.IntervalCount, 75);
  const int rows[] = {0, 37, 74};
  for (int i = 0; i < 3; ++i) {
    const auto d = analysis_test::Compare(b.Spectra[rows[i]], std::vector<double>(ref.begin() + 512 * i, ref.begin() + 512 * (i + 1)), 512);
    EXPECT_LT(d.largest, 1e-4 * d.scale) << rows[i];
  }
  EXPECT_EQ(b.Spectra[75][3], 0.0f);  // cleared, not computed
}

TEST(IntervalSpectrum, ConstantReadsItsValueAtBinZeroInBothModes) {
  std::vector<float> c(5000, 2.5f);
  SpectrumBuffers b;
  Compute(c, 0, 5000, 1024, 512, 0, b);
  EXPECT_NEAR(b.WorkBuffer[0], 2.5f, 1e-5);
  EXPECT_NEAR(b.WorkBuffer[1], 0.0f, 1e-5);
  analysis::ComputeSingleSpectrum(c.data(), 0, 5000, 1000, 0, b);
  EXPECT_NEAR(b.WorkBuffer[0], 2.5f, 1e-5);  // bin 0 halved as in the interval mode
}

TEST(SingleSpectrum, MatchesNumpyFftOfTheWindowedZeroPaddedData) {
  support::TempDir dir;
  const auto x = analysis_test::TestSignal(50000, -1.0f);
  const std::string file = dir.File("x.f32");
  analysis_test::WriteFloats(file, x);
  struct Case {
    int32_t start, Nk, n;
    uint16_t type;
  };
  const Case cases[] = {{0, 50000, 10, 0}, {123, 50000, 1000, 1}, {40000, 43000, 4000, 2},  // zero-padded
                        {5, 50000, 32768, 3}, {17, 40000, 32767, 1}};
  for (const Case& c : cases) {
    SpectrumBuffers b;
    analysis::ComputeSingleSpectrum(x.data(), c.start, c.Nk, c.n, c.type, b);
    const auto ref = analysis_test::PythonNumbers(
        "dft", "import numpy as np, scipy.signal as s\n"
               "x = np.fromfile('" + file + "', dtype=np.float32).astype(np.float64)[" + std::to_string(c.start) +
                   ":" + std::to_string(c.Nk) + "]\n"
               "n = " + std::to_string(c.n) + "\nx = x[:n]\n"
               "if len(x) < n: x = np.concatenate([x, np.zeros(n - len(x))])\n"
               "w = s.get_window('" + kWindows[c.type] + "', n).astype(np.float32).astype(np.float64)\n"
               "a = np.abs(np.fft.fft(x * w))[:n//2] * np.sqrt(4 / (n * n * np.mean(w * w)))\n"
               "a[0] *= 0.5\n"
               "for v in a: print('%.12e' % v)\n");
    ASSERT_EQ(ref.size(), static_cast<size_t>(c.n / 2));
    const auto d = analysis_test::Compare(b.WorkBuffer, ref, ref.size());
    EXPECT_LT(d.largest, 1e-4 * d.scale) << "N " << c.n;
    EXPECT_EQ(b.N, c.n);
    EXPECT_EQ(b.IntervalCount, 0);
  }
}

}  // namespace

// Samples near 1e18 have amplitudes whose squares leave the float range: the powers stay finite, in
// the shared transform of two intervals and in the last one alone.
TEST(IntervalSpectrum, HugeSamplesGiveFiniteAmplitudes) {
  const int32_t n = 1024, bin = 64;
  std::vector<float> x(3 * n);
  for (size_t i = 0; i < x.size(); ++i) x[i] = static_cast<float>(1e18 * std::sin(2 * M_PI * bin * i / n));
  for (int32_t Nk : {2 * n, 3 * n}) {  // two intervals in one transform; then a third alone
    SpectrumBuffers b;
    IntervalSpectrumInput in{x.data(), 0, Nk, n, n, 0};
    IntervalSpectrum run(b, in);
    while (run.More()) {
      run.Next();
      EXPECT_NEAR(run.Amplitudes()[bin], 1e18, 1e13) << Nk;
      EXPECT_NEAR(run.LargestAmplitude(n / 2 - 1), 1e18, 1e13) << Nk;
    }
    run.Finish();
    EXPECT_NEAR(b.WorkBuffer[bin], 1e18, 1e13) << Nk;
    EXPECT_TRUE(std::isfinite(b.Spectra[0][bin])) << Nk;
  }
}
