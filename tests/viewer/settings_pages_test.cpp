#include "viewer/settings_pages.h"

#include <gtest/gtest.h>

#include <cstring>

namespace viewer {
namespace {

using toolkit::SetupRecord;

TEST(SearchPage, SpectralWindowPowersOfTwo) {
  struct Case {
    double w, dt;
    int N;
  } cases[] = {{30, 0.01, 4096}, {0.1, 0.01, 64}, {1000, 0.01, 16384}, {0, 0.01, 64}, {-5, 0.01, 64}};
  for (const Case& c : cases) {
    const SpectralWindow w = SpectralWindowFor(c.w, c.dt, 0.8, 1.5);
    EXPECT_TRUE(w.Valid);
    EXPECT_EQ(w.N, c.N) << c.w;
    EXPECT_DOUBLE_EQ(w.Seconds, c.N * c.dt);
  }
  const SpectralWindow w = SpectralWindowFor(30, 0.01, 0.8, 1.5);
  EXPECT_EQ(SpectralWindowText(w), "4096 точек; полоса от 32 до 61");
  EXPECT_FALSE(SpectralWindowFor(30, 0.0, 0.8, 1.5).Valid);
  EXPECT_EQ(SpectralWindowText(SpectralWindowFor(30, 0.0, 0.8, 1.5)), "");
}

TEST(SearchPage, ExitKeepsRefusedValuesAndReportsTheLastCheck) {
  SetupRecord s;
  std::memset(&s, 0, sizeof s);
  s.Dt = 0.01;
  s.LtaWindow = 10;
  s.StaWindow = 1;
  s.StaLtaScale = 2;
  SearchValues v{0, 1, 5, 20, 20, 3, 30, 5};
  EXPECT_EQ(StoreSearchValues(s, v), "");  // STA equal to LTA is accepted
  EXPECT_EQ(s.StaWindow, 20);
  v.Sta = 0.05;
  EXPECT_EQ(StoreSearchValues(s, v), "Ошибка задания STA");
  EXPECT_EQ(s.StaWindow, 20);
  v = {0, 10, 10, 1000.1, 1, 3, 30, 5};
  EXPECT_EQ(StoreSearchValues(s, v), "Ошибка задания LTA");
  EXPECT_EQ(s.LtaWindow, 20);
  EXPECT_EQ(s.SearchBandLow, 10);  // an invalid band is stored
  v = {0, 10, 10, 1000, 1, 0.001, 30, 5};
  EXPECT_EQ(StoreSearchValues(s, v), "Ошибка задания LTA_K_STA");  // the band fails earlier
  EXPECT_EQ(s.LtaWindow, 1000);
  v = {1, 1, 5, 20, 2, 3, 30, 256};
  EXPECT_EQ(StoreSearchValues(s, v), "Ошибка задания окна ср.кв.амплитуды");
  v.RmsMinutes = 0;
  EXPECT_EQ(StoreSearchValues(s, v), "");
  EXPECT_EQ(s.HistogramRmsMinutes, 1);
  EXPECT_EQ(s.SearchMethod, 1);
}

TEST(SearchPage, BandMarks) {
  EXPECT_TRUE(SearchBandMarks(10, 10, 0.01).LowRed);
  EXPECT_TRUE(SearchBandMarks(10, 10, 0.01).HighRed);
  EXPECT_FALSE(SearchBandValid(10, 10, 0.01));
  const BandMarks high = SearchBandMarks(1, 60, 0.01);
  EXPECT_TRUE(high.HighRed);
  EXPECT_FALSE(high.LowRed);
  EXPECT_TRUE(SearchBandMarks(0.00001, 10, 0.01).LowRed);
  EXPECT_TRUE(SearchBandValid(0.8, 1.5, 0.01));
  EXPECT_FALSE(SearchBandValid(0.8, 1.5, 0.0));
}

TEST(TestPage, GeneratorBounds) {
  EXPECT_TRUE(HarmonicFirstValid(0));
  EXPECT_FALSE(HarmonicFirstValid(-1));
  EXPECT_FALSE(HarmonicFirstValid(4096));
  EXPECT_TRUE(HarmonicEndValid(10, 4096));
  EXPECT_FALSE(HarmonicEndValid(10, 4097));
  EXPECT_FALSE(HarmonicEndValid(10, 10));
  EXPECT_FALSE(HarmonicStepValid(0));
  EXPECT_TRUE(HarmonicStepValid(4095));
  EXPECT_FALSE(TestLengthValid(1e12));
  EXPECT_TRUE(TestLengthValid(2));
  EXPECT_FALSE(NoiseValid(-1));
  EXPECT_EQ(TestChannelsCaption(1), " Тест в 1 канале ");
  EXPECT_EQ(TestChannelsCaption(4), " Тест в 4 каналах ");
  EXPECT_EQ(SpectrumGroupCaption(0.01, 512), " Сплошной спектр.  Частоты  W(k)  = 2 * Pi * F(k) * 50.00 / 512  ");
}

TEST(IntegralPage, FloorCoversAllTwelveValues) {
  SetupRecord s;
  std::memset(&s, 0, sizeof s);
  s.IntegralDecay = 0.5;
  s.FreqDifferentiationHigh = -3;
  RaiseIntegralFloor(s);
  EXPECT_EQ(s.Integral1, 0.001);
  EXPECT_EQ(s.StoredCornerHigh, 0.001);
  EXPECT_EQ(s.FreqDifferentiationHigh, 0.001);
  EXPECT_EQ(s.IntegralDecay, 0.5);
  EXPECT_EQ(IntegralExponentText(0.5), "интеграл   f ( t ) * exp { -0.5000 * t } dt");
}

// The integral page's edits are read by the C conversion; what is not a finite number a user could type
// is refused with a message and the value kept.
TEST(IntegralPage, NumbersBeyondWhatCanBeTypedAreRefused) {
  struct Row {
    const char* text;
    bool ok;
    double value;
  };
  const Row rows[] = {
      {" 2.5", true, 2.5},  {"1e3", true, 1000.0},     {"-7x", true, -7.0},   {"abc", true, 0.0},
      {"inf", false, 9.0},  {"-INFINITY", false, 9.0}, {"nan", false, 9.0},   {"1e300", false, 9.0},
      {"1e10", false, 9.0}, {"-1e10", false, 9.0},     {"9999999999", true, 9999999999.0},
  };
  for (const Row& r : rows) {
    double v = 9.0;
    std::string message;
    EXPECT_EQ(ReadIntegralNumber(r.text, v, message), r.ok) << r.text;
    EXPECT_EQ(v, r.value) << r.text;
    EXPECT_EQ(message.empty(), r.ok) << r.text;
    if (!r.ok) {
      EXPECT_NE(message.find(r.text), std::string::npos) << message;
    }
  }
}

TEST(StationPage, MemoryCheckIn64Bits) {
  EXPECT_TRUE(StationHoursFit(8, 24, 0.01));    // 276,480,000 bytes
  EXPECT_FALSE(StationHoursFit(8, 24, 0.001));  // 2,764,800,000: wraps in 32 bits
  EXPECT_FALSE(StationHoursFit(8, 1, 0.0));
  EXPECT_EQ(ClampStationStart(0), 35000u * 86400);
  EXPECT_EQ(ClampStationStart(int64_t{60000} * 86400), 0xFFFFFFFFu);
  EXPECT_EQ(ClampStationStart(int64_t{40000} * 86400 + 86340), 40000u * 86400 + 86340);
}

TEST(SpectrumPage, HarmfulBandLabel) { EXPECT_EQ(HarmfulBandText(49, 51), "50.0000   +/-   1.0000   "); }

}  // namespace
}  // namespace viewer
