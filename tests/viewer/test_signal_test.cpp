// The test signal and the mean removal that end every read, against numpy.
#include "viewer/test_signal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <sstream>

#include "support/temp_dir.h"
#include "toolkit/python_reference.h"
#include "viewer/recording_builder.h"
#include "viewer/recording_loader.h"

namespace {

using toolkit::SetupRecord;
using viewer::ChannelSamples;

struct Record {
  std::unique_ptr<SetupRecord> setup = std::make_unique<SetupRecord>();
  ChannelSamples samples;
  Record(uint16_t channels, uint32_t n, double dt) {
    toolkit::SetSetupDefaults(*setup, "/tmp/");
    setup->ChannelCount = channels;
    setup->Samples = n;
    setup->Dt = dt;
    for (uint16_t c = 0; c < channels; ++c) {
      samples.Allocate(c, n + ChannelSamples::kSpare);
      std::fill(samples[c], samples[c] + n + ChannelSamples::kSpare, 7.0f);
    }
  }
};

std::vector<double> Numbers(const std::vector<std::string>& lines) {
  std::vector<double> v;
  for (const auto& l : lines) v.push_back(std::stod(l));
  return v;
}

TEST(TestSignal, TwoSinesWithNoiseLevelOneIsThePureSignalOnTheTestChannelsOnly) {
  for (int level : {0, 1}) {
    Record r(3, 500, 0.01);
    SetupRecord& s = *r.setup;
    s.TestMode = 1;
    s.TestChannels = 2;
    s.NoiseLevel = level;
    s.SweepAmplitude = 300;
    s.SweepFrequency = 0.390625;
    s.SweepRate = 0.25;
    s.SineAmplitude = 100;
    s.SineFrequency = 1.5625;
    EXPECT_EQ(viewer::GenerateTestSignal(s, r.samples, 42), "");
    const auto ref = Numbers(toolkit_test::RunPython("two_sines", R"(
import numpy as np
t = np.arange(500) * 0.01
y = 300 * np.sin(2 * np.pi * 0.390625 * (1 + 0.25 * t) * t) + 100 * np.sin(2 * np.pi * 1.5625 * t)
print("\n".join(repr(float(v)) for v in y.astype(np.float32)))
)"));
    ASSERT_EQ(ref.size(), 500u);
    for (int c = 0; c < 2; ++c)
      for (size_t n = 0; n < 500; ++n) ASSERT_NEAR(r.samples[c][n], ref[n], 1e-3) << c << " " << n;
    EXPECT_EQ(r.samples[2][10], 7.0f);
  }
}

TEST(TestSignal, NoiseStaysWithinItsLevel) {
  Record r(1, 2000, 0.01);
  SetupRecord& s = *r.setup;
  s.TestMode = 1;
  s.NoiseLevel = 5;
  s.SweepAmplitude = 0;
  s.SineAmplitude = 0;
  viewer::GenerateTestSignal(s, r.samples, 1);
  std::vector<int> seen(5);
  for (size_t n = 0; n < 2000; ++n) {
    const float v = r.samples[0][n];
    ASSERT_TRUE(v >= 0 && v <= 4 && v == std::floor(v)) << v;
    ++seen[static_cast<int>(v)];
  }
  for (int k : seen) EXPECT_GT(k, 300);
}

// Sum of harmonics with no phase spread against numpy, for the defaults and for settings beyond the
// phase table (first below 0, end above 4096), which are held to harmonics 0 ... 4095.
TEST(TestSignal, SumOfHarmonicsMatchesNumpyWithinTheTable) {
  struct Case {
    int first, end, step;
    const char* ks;
  } cases[] = {{32, 1024, 32, "range(32, 1024, 32)"}, {-10, 5000, 1000, "range(0, 4096, 1000)"}};
  for (const Case& c : cases) {
    Record r(2, 300, 0.01);
    SetupRecord& s = *r.setup;
    s.TestMode = 2;
    s.TestChannels = 5;
    s.HarmonicFirst = static_cast<int16_t>(c.first);
    s.HarmonicEnd = static_cast<int16_t>(c.end);
    s.HarmonicStep = static_cast<int16_t>(c.step);
    s.PhaseSpread = 0;
    s.HarmonicPeriod = 4096;
    EXPECT_EQ(viewer::GenerateTestSignal(s, r.samples, 3), "");
    EXPECT_EQ(s.TestChannels, 2);  // lowered to the channels in memory
    std::ostringstream py;
    py << "import numpy as np\nn = np.arange(300)\na = n * (6.2831853 / 4096)\n"
       << "s = sum(np.sin(k * a) for k in " << c.ks << ")\n"
       << "print('\\n'.join(repr(float(v)) for v in 100 * s))\n";
    const auto ref = Numbers(toolkit_test::RunPython("harmonics", py.str()));
    ASSERT_EQ(ref.size(), 300u);
    for (int ch = 0; ch < 2; ++ch)
      for (size_t n = 0; n < 300; ++n) ASSERT_NEAR(r.samples[ch][n], ref[n], 2e-2) << c.ks << " " << n;
  }
}

TEST(TestSignal, DefaultHarmonicsWithRandomPhasesStayWithinTheirBound) {
  Record r(1, 4096, 0.01);
  SetupRecord& s = *r.setup;
  s.TestMode = 2;
  viewer::GenerateTestSignal(s, r.samples, 9);
  float peak = 0;
  for (size_t n = 0; n < 4096; ++n) peak = std::max(peak, std::fabs(r.samples[0][n]));
  EXPECT_LE(peak, 3100.0f);
  EXPECT_GT(peak, 500.0f);
}

TEST(TestSignal, HarmonicStepOrPeriodBelowOneIsRefusedAndLeavesTheChannels) {
  for (int which = 0; which < 3; ++which) {
    Record r(1, 100, 0.01);
    SetupRecord& s = *r.setup;
    s.TestMode = 2;
    if (which == 0) s.HarmonicStep = 0;
    if (which == 1) s.HarmonicStep = -4;
    if (which == 2) s.HarmonicPeriod = 0;
    EXPECT_NE(viewer::GenerateTestSignal(s, r.samples, 1), "") << which;
    EXPECT_EQ(r.samples[0][50], 7.0f);
  }
}

TEST(TestSignal, MeanRemovalMatchesNumpyAndSkipsAnEmptyRecord) {
  Record r(2, 1000, 0.01);
  SetupRecord& s = *r.setup;
  std::mt19937 gen(5);
  std::uniform_real_distribution<float> d(-3000, 5000);
  std::ostringstream data;
  data.precision(9);
  for (size_t n = 0; n < 1000; ++n) {
    r.samples[0][n] = d(gen);
    r.samples[1][n] = 12.5f;
    data << (n ? "," : "") << r.samples[0][n];
  }
  s.RemoveMean = 1;
  viewer::GenerateTestSignal(s, r.samples, 1);
  const auto ref = Numbers(toolkit_test::RunPython("mean_removal", "import numpy as np\nx = np.array([" +
                                                                       data.str() +
                                                                       "], dtype=np.float32)\n"
                                                                       "y = (x.astype(np.float64) - x.astype(np.float64).mean()).astype(np.float32)\n"
                                                                       "print('\\n'.join(repr(float(v)) for v in y))\n"));
  ASSERT_EQ(ref.size(), 1000u);
  for (size_t n = 0; n < 1000; ++n) ASSERT_NEAR(r.samples[0][n], ref[n], 1e-3) << n;
  for (size_t n = 0; n < 1000; ++n) ASSERT_EQ(r.samples[1][n], 0.0f);

  s.Samples = 0;
  viewer::GenerateTestSignal(s, r.samples, 1);
  EXPECT_FALSE(std::isnan(r.samples[0][0]));
}

TEST(TestSignal, FollowsASingleFileRead) {
  support::TempDir dir;
  viewer_test::FilePlan plan;
  plan.frames = 200;
  viewer_test::WriteRecording(dir.File("a.dat"), plan, [](int c, uint32_t n) { return 1000 * (c + 1) + int(n); });
  auto s = std::make_unique<SetupRecord>();
  toolkit::SetSetupDefaults(*s, dir.path() + "/");
  toolkit::SetFieldText(s->DataDir, dir.path());
  toolkit::SetFieldText(s->FileName, "a.dat");
  s->FileSamples = 200;
  s->LoadChannels = 2;
  s->ChannelMap[0] = 0;
  s->ChannelMap[1] = 2;
  s->TestMode = 1;
  s->TestChannels = 1;
  s->NoiseLevel = 1;
  s->SweepAmplitude = 0;
  s->SineAmplitude = 10;
  s->SineFrequency = 25;  // a quarter of 100 Hz: 0, 10, 0, -10, ...
  s->RemoveMean = 1;
  ChannelSamples samples;
  toolkit::TFunk funk;
  ASSERT_EQ(viewer::LoadRecording(*s, samples, funk).status, viewer::LoadStatus::Ok);
  EXPECT_NEAR(samples[0][1], 10.0f, 1e-3);
  EXPECT_NEAR(samples[0][3], -10.0f, 1e-3);
  // File channel 2 holds 3000 + n: its mean, 3099.5, is gone.
  EXPECT_NEAR(samples[1][0], -99.5f, 1e-3);
  EXPECT_NEAR(samples[1][199], 99.5f, 1e-3);
}

}  // namespace
