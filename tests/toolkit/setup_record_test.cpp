// The setup record's image: defaults checked byte for byte against an image built here from the layout
// table, and the sanitising of records read from a file.
#include "toolkit/setup_record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

namespace {

using toolkit::SetupRecord;

// Builds the default image independently of the struct: offset, width and value of every non-zero default.
class Image {
 public:
  Image() : bytes_(15384, 0) {}
  template <typename T>
  void Put(size_t offset, T value) {
    std::memcpy(bytes_.data() + offset, &value, sizeof value);
  }
  void PutText(size_t offset, const char* text) {
    std::memcpy(bytes_.data() + offset, text, std::strlen(text));
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

Image DefaultImage(const char* programDir) {
  Image m;
  for (int i = 0; i < 64; ++i) {
    m.Put<double>(4728 + 8 * i, 1.0);
    m.Put<double>(5240 + 8 * i, 1.0);
    m.Put<uint16_t>(8320 + 72 * i, 1);       // Number
    m.Put<double>(8320 + 72 * i + 56, 1.0);  // Coef
    m.Put<double>(8320 + 72 * i + 64, 1.0);  // Coef2
    m.Put<uint16_t>(13768 + 2 * i, static_cast<uint16_t>(i));
  }
  const std::pair<size_t, uint16_t> words[] = {
      {7800, 3},    {7802, 3},  {8200, 3},  {13766, 3}, {13906, 1},   {13918, 100}, {13920, 1}, {13922, 2046},
      {13924, 256}, {13926, 1}, {13928, 1}, {13936, 1}, {13946, 100}, {14130, 1},   {15372, 1}, {15382, 3}};
  for (auto [o, v] : words) m.Put<uint16_t>(o, v);
  m.Put<uint8_t>(7807, 2);
  m.Put<uint8_t>(7808, 1);
  m.PutText(12928, programDir);
  m.Put<uint8_t>(13910, 1);
  m.Put<uint8_t>(13911, 5);
  m.Put<uint32_t>(13932, 0xB43E9400u);
  m.Put<double>(13952, 0.01);
  m.Put<uint32_t>(13968, 4096);
  m.Put<uint32_t>(13972, 4000);
  for (size_t o : {13984, 13988, 13992}) m.Put<float>(o, 1.0f);
  m.Put<double>(14000, 0.01);
  const std::pair<size_t, double> doubles[] = {
      {14008, 20.0},  {14016, 25.0},     {14040, 0.1},   {14048, 1.0},    {14056, 100.0}, {14064, 20.0},
      {14072, 0.1},   {14080, 20.0},     {14088, 0.1},   {14096, 20.0},   {14104, 0.1},   {14112, 20.0},
      {14136, 300.0}, {14144, 0.390625}, {14160, 100.0}, {14168, 1.5625}, {14184, 30.0},  {14192, 1.0},
      {14200, 1.0},   {14208, 0.8},      {14216, 1.5},   {14224, 0.8},    {14232, 1.5},   {14240, 30.0}};
  for (auto [o, v] : doubles) m.Put<double>(o, v);
  m.Put<int16_t>(14122, 32);
  m.Put<int16_t>(14124, 1024);
  m.Put<int16_t>(14126, 32);
  m.Put<int16_t>(14128, 20);
  m.Put<int32_t>(14176, 5);
  m.Put<uint32_t>(14268, 4096);
  const std::pair<size_t, float> floats[] = {{15336, 10.3f}, {15340, 1000.0f}, {15344, 0.3f}, {15348, 0.5f},
                                             {15352, 0.2f},  {15356, 8.0f},    {15364, 10.0f}};
  for (auto [o, v] : floats) m.Put<float>(o, v);
  m.Put<int32_t>(15368, 1);
  m.Put<int16_t>(15374, 4);
  return m;
}

TEST(SetupRecord, DefaultsMatchTheLayoutByteForByte) {
  auto setup = std::make_unique<SetupRecord>();
  std::memset(setup.get(), 0xA5, sizeof *setup);  // defaults must clear every byte they do not set
  toolkit::SetSetupDefaults(*setup, "/opt/qvd/");
  const auto expected = DefaultImage("/opt/qvd/").bytes();
  const auto* got = reinterpret_cast<const uint8_t*>(setup.get());
  for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(got[i], expected[i]) << "offset " << i;
  // The last bin follows from the transform length.
  EXPECT_EQ(setup->SpectrumLastBin, setup->FftLength / 2 - 2);
}

TEST(SetupRecord, DefaultsCutAnOverlongProgramDirectoryInsideItsField) {
  SetupRecord setup;
  toolkit::SetSetupDefaults(setup, std::string(300, 'd'));
  EXPECT_EQ(toolkit::FieldText(setup.DataDir), std::string(255, 'd'));
  EXPECT_EQ(setup.FileName[0], 0);  // the next field is untouched
}

TEST(SetupRecord, DefaultRecordPassesTheSanitiserUnchanged) {
  SetupRecord setup, copy;
  toolkit::SetSetupDefaults(setup, "/x/");
  std::memcpy(&copy, &setup, sizeof setup);
  EXPECT_EQ(toolkit::SanitizeSetup(setup), 0);
  EXPECT_EQ(std::memcmp(&setup, &copy, sizeof setup), 0);
}

TEST(SetupRecord, SanitiserTerminatesTextsAndClampsCountsAndIndices) {
  SetupRecord s;
  toolkit::SetSetupDefaults(s, "/x/");
  std::memset(s.DataDir, 'a', sizeof s.DataDir);
  std::memset(s.FileName, 'b', sizeof s.FileName);
  std::memset(s.Stations[15], 'c', sizeof s.Stations[15]);
  std::memset(s.SelectedFiles[7], 'e', sizeof s.SelectedFiles[7]);
  std::memset(s.MemChannels[63].Name, 'n', sizeof s.MemChannels[63].Name);
  s.ChannelCount = 70;
  s.ArraysAllocated = 65;
  s.LoadChannels = 200;
  s.ChannelMap[5] = 64;
  s.ShownEnd = 100;
  s.FirstChannel = 90;
  s.Channel = 99;
  s.StationCount = 17;
  s.ChosenCount = 9;
  s.VerticalCursorCount = 0;
  s.CursorIndex = 3;
  s.CursorSet = 2;
  s.PlotHeightPercent = 50;
  s.FftLength = 1000;
  s.SpectrumLastBin = 9000;
  s.FourierLength = 1;
  s.SpectrumShift = 0;
  s.ColumnCount[2] = -1;
  s.ColumnCount[3] = 5000;
  s.LogFloor = std::nan("");
  const double keptDt = s.Dt = 0.004;

  EXPECT_GT(toolkit::SanitizeSetup(s), 0);

  EXPECT_EQ(toolkit::FieldText(s.DataDir), std::string(255, 'a'));
  EXPECT_EQ(toolkit::FieldText(s.FileName), std::string(63, 'b'));
  EXPECT_EQ(toolkit::FieldText(s.Stations[15]), std::string(23, 'c'));
  EXPECT_EQ(toolkit::FieldText(s.SelectedFiles[7]), std::string(63, 'e'));
  EXPECT_EQ(toolkit::FieldText(s.MemChannels[63].Name), std::string(23, 'n'));
  EXPECT_EQ(s.ChannelCount, 64);
  EXPECT_EQ(s.ArraysAllocated, 64);
  EXPECT_EQ(s.LoadChannels, 64);
  EXPECT_EQ(s.ChannelMap[5], 63);
  EXPECT_EQ(s.ShownEnd, 64);
  EXPECT_LE(s.FirstChannel, s.ShownEnd);
  EXPECT_EQ(s.Channel, 64);  // "all channels" stays representable
  EXPECT_EQ(s.StationCount, 16);
  EXPECT_EQ(s.ChosenCount, 8);
  EXPECT_EQ(s.VerticalCursorCount, 1);
  EXPECT_EQ(s.CursorIndex, 0);
  EXPECT_EQ(s.CursorSet, 1);
  EXPECT_EQ(s.PlotHeightPercent, 100);
  EXPECT_EQ(s.FftLength, 4096u);
  EXPECT_EQ(s.SpectrumLastBin, 2046);
  EXPECT_EQ(s.FourierLength, 4u);
  EXPECT_EQ(s.SpectrumShift, 2);
  EXPECT_EQ(s.ColumnCount[2], 0);
  EXPECT_EQ(s.ColumnCount[3], 1400);
  EXPECT_EQ(s.LogFloor, 1e-13);
  EXPECT_EQ(s.Dt, keptDt);  // settings without a stated range are carried through
  EXPECT_EQ(toolkit::SanitizeSetup(s), 0);
}

TEST(SetupRecord, SanitiserBoundsTheSpectrumLengthsFromBelowAndAbove) {
  struct Case {
    uint32_t fourier;
    uint16_t shift, last, first;
    uint32_t fourierOut;
    uint16_t shiftOut, lastOut, firstOut;
  };
  const Case cases[] = {
      {0, 0, 0, 0, 4, 2, 2, 0},              // zeros from an old file
      {1, 1, 1, 5, 4, 2, 2, 1},              // first bin never reaches the last
      {65536, 65535, 2046, 2046, 32768, 65535, 2046, 2045},
      {4000, 256, 100, 3, 4000, 256, 100, 3},  // in range: kept
  };
  for (const Case& c : cases) {
    SetupRecord s;
    toolkit::SetSetupDefaults(s, "/x/");
    s.FourierLength = c.fourier;
    s.SpectrumShift = c.shift;
    s.SpectrumLastBin = c.last;
    s.SpectrumFirstBin = c.first;
    toolkit::SanitizeSetup(s);
    EXPECT_EQ(s.FourierLength, c.fourierOut) << c.fourier;
    EXPECT_EQ(s.SpectrumShift, c.shiftOut) << c.shift;
    EXPECT_EQ(s.SpectrumLastBin, c.lastOut) << c.last;
    EXPECT_EQ(s.SpectrumFirstBin, c.firstOut) << c.first;
  }
}

// Floating settings from a damaged file: a value that is not a finite number takes the default, a
// finite one is forced into what its edit accepts; what the sanitiser leaves passes it unchanged.
TEST(SetupRecord, SanitiserBoundsEveryFloatingSettingOfTheAnalysisWindows) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  const double nan = std::nan("");
  struct Row {
    const char* field;
    std::function<void(SetupRecord&, double)> set;
    std::function<double(const SetupRecord&)> get;
    double damaged, mended;
  };
#define DOUBLE_FIELD(f) #f, [](SetupRecord& s, double v) { s.f = v; }, [](const SetupRecord& s) { return s.f; }
#define FLOAT_FIELD(f)                                                                             \
  #f, [](SetupRecord& s, double v) { s.f = static_cast<float>(v); }, [](const SetupRecord& s) { \
    return static_cast<double>(s.f);                                                               \
  }
  const Row rows[] = {
      {DOUBLE_FIELD(LogFloor), 1e300, 1e10},
      {DOUBLE_FIELD(LogFloor), inf, 1e-13},
      {DOUBLE_FIELD(Dt), nan, 0.01},
      {DOUBLE_FIELD(Dt), 0.0, 1e-9},
      {DOUBLE_FIELD(ResponsePeriod), inf, 0.0},
      {DOUBLE_FIELD(ResponsePeriod), -1e200, -1e10},
      {FLOAT_FIELD(UsefulBandLow), nan, 0.3f},
      {FLOAT_FIELD(UsefulBandHigh), 3e38, 1e10f},
      {FLOAT_FIELD(HarmfulBandLow), -inf, 10.3f},
      {FLOAT_FIELD(HarmfulBandHigh), inf, 1000.0f},
      {FLOAT_FIELD(HarmfulBandLow), -7.5, -7.5f},  // negative edges are typed and kept
      {FLOAT_FIELD(SwanLow), 0.0, 1e-5f},
      {FLOAT_FIELD(SwanLow), nan, 0.2f},
      {FLOAT_FIELD(SwanHigh), nan, 8.0f},
      {FLOAT_FIELD(SwanHigh), 3e38, 1.1e10f},
      {FLOAT_FIELD(SwanHigh), 0.1, 1.1f * 0.2f},  // at least 1.1 x the lower frequency
      {FLOAT_FIELD(SwanDamping), -inf, 10.0f},
      {FLOAT_FIELD(SwanDamping), 0.5, 1.0f},
      {DOUBLE_FIELD(SearchBandLow), nan, 0.8},
      {DOUBLE_FIELD(SearchBandHigh), 1e300, 1e10},
      {DOUBLE_FIELD(LtaWindow), 5000.0, 1000.0},
      {DOUBLE_FIELD(StaWindow), 50.0, 30.0},  // at most the LTA window
      {DOUBLE_FIELD(StaWindow), -inf, 1.0},
      {DOUBLE_FIELD(StaLtaScale), 0.0, 0.01},
      {DOUBLE_FIELD(SpectralChangeWindow), inf, 30.0},
      {DOUBLE_FIELD(DerivativePotterPoints), nan, 100.0},
      {DOUBLE_FIELD(DerivativePotterPoints), 1e20, 2147483647.0},
      {DOUBLE_FIELD(DerivativeCutoff), -inf, 20.0},
      {DOUBLE_FIELD(FilterLow), nan, 20.0},
      {DOUBLE_FIELD(FilterLow), 0.0, 0.005},
      {DOUBLE_FIELD(FilterHigh), 1e300, 1e10},
      {DOUBLE_FIELD(Integral1), inf, 0.0},
      {DOUBLE_FIELD(Integral2), -1.0, 0.0},
      {DOUBLE_FIELD(IntegralCorner), inf, 0.1},
      {DOUBLE_FIELD(IntegralDecay), 1e300, 1e10},
      {DOUBLE_FIELD(StoredCornerLow), nan, 0.1},
      {DOUBLE_FIELD(StoredCornerHigh), -inf, 20.0},
      {DOUBLE_FIELD(FreqIntegrationLow), 0.0, 0.001},
      {DOUBLE_FIELD(FreqIntegrationHigh), inf, 20.0},
      {DOUBLE_FIELD(FreqDifferentiationLow), nan, 0.1},
      {DOUBLE_FIELD(FreqDifferentiationHigh), 1e300, 1e10},
      {DOUBLE_FIELD(SweepAmplitude), -1e300, -1e10},
      {DOUBLE_FIELD(SweepFrequency), nan, 0.390625},
      {DOUBLE_FIELD(SweepRate), inf, 0.0},
      {DOUBLE_FIELD(SineAmplitude), -inf, 100.0},
      {DOUBLE_FIELD(SineFrequency), nan, 1.5625},
      {DOUBLE_FIELD(SearchStoredLow), inf, 0.8},
      {DOUBLE_FIELD(SearchStoredHigh), nan, 1.5},
      {FLOAT_FIELD(ArithmeticA), nan, 1.0f},
      {FLOAT_FIELD(ArithmeticB), 3e38, 1e10f},
      {FLOAT_FIELD(ArithmeticC), -inf, 1.0f},
      {FLOAT_FIELD(ArithmeticC), -2.5, -2.5f},  // negative factors are typed and kept
  };
#undef DOUBLE_FIELD
#undef FLOAT_FIELD
  for (const Row& r : rows) {
    SetupRecord s;
    toolkit::SetSetupDefaults(s, "/x/");
    r.set(s, r.damaged);
    const bool changed = !(r.get(s) == r.mended);
    EXPECT_EQ(toolkit::SanitizeSetup(s), changed ? 1 : 0) << r.field << " " << r.damaged;
    EXPECT_EQ(r.get(s), r.mended) << r.field << " " << r.damaged;
    EXPECT_EQ(toolkit::SanitizeSetup(s), 0) << r.field << " " << r.damaged;
  }
}

}  // namespace
