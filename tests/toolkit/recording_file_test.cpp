#include "toolkit/recording_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "header_bytes.h"

namespace toolkit {
namespace {

using toolkit_test::Bytes;

constexpr int64_t kTps = 256'000'000;
constexpr int64_t kDay = 86400 * kTps;

MAIN_HEADER FromBytes(const Bytes& b) {
  MAIN_HEADER h;
  EXPECT_EQ(b.data().size(), sizeof h);
  std::memcpy(&h, b.data().data(), sizeof h);
  return h;
}

Bytes ToBytes(const MAIN_HEADER& h) {
  Bytes b(sizeof h);
  std::vector<uint8_t> raw(sizeof h);
  std::memcpy(raw.data(), &h, sizeof h);
  for (size_t i = 0; i < raw.size(); ++i) b.Text(i, std::string(1, static_cast<char>(raw[i])));
  return b;
}

std::string TempPath(const char* name) {
  return std::string(name) + "_" + std::to_string(::getpid()) + ".bin";
}

// ---- Header check: channel count and current layout ----

TEST(CheckMainHeader, ChannelCountOutsideOneToSixtyFourIsRefusedUntouched) {
  for (uint16_t channels : {0, 65}) {
    const Bytes image = toolkit_test::MainHeaderBytes(channels, 60, 100, 12345);
    MAIN_HEADER h = FromBytes(image);
    std::string text;
    EXPECT_EQ(CheckMainHeader(h, text), 1);
    EXPECT_EQ(text, "каналов " + std::to_string(channels) + " (другой формат)");
    EXPECT_EQ(ToBytes(h).data(), image.data());
  }
}

TEST(CheckMainHeader, CurrentLayoutRateBounds) {
  for (uint16_t rate : {48, 10001, 0}) {
    MAIN_HEADER h = FromBytes(toolkit_test::MainHeaderBytes(3, 60, rate, 0));
    std::string text;
    EXPECT_EQ(CheckMainHeader(h, text), 1) << rate;
    EXPECT_EQ(text, "другой формат: частота " + std::to_string(rate) + " Гц");
  }
  for (uint16_t rate : {49, 10000}) {
    MAIN_HEADER h = FromBytes(toolkit_test::MainHeaderBytes(3, 60, rate, 0));
    std::string text;
    EXPECT_EQ(CheckMainHeader(h, text), 0) << rate;
    EXPECT_DOUBLE_EQ(h.dt, 1.0 / rate);
  }
}

TEST(CheckMainHeader, CurrentLayoutTakesDateAndSecondOfDayFromStartTicks) {
  MAIN_HEADER h = FromBytes(toolkit_test::MainHeaderBytes(3, 75, 200, 0));
  h.dt = 0.5;
  h.to = 999.0;
  std::string text;
  ASSERT_EQ(CheckMainHeader(h, text), 0);
  EXPECT_EQ(h.Year, 1980);
  EXPECT_EQ(h.Month, 1);
  EXPECT_EQ(h.Day, 1);
  EXPECT_EQ(h.to, 0.0);
  EXPECT_EQ(h.dt, 1.0 / 200);
  EXPECT_EQ(h.Format, 60);
  EXPECT_EQ(text, "01.01.1980 00:00:00.00000");

  // 12:00:00.5 on 2000-02-29.
  h = FromBytes(toolkit_test::MainHeaderBytes(3, 60, 100, 7364 * kDay + 43200 * kTps + kTps / 2));
  ASSERT_EQ(CheckMainHeader(h, text), 0);
  EXPECT_EQ(h.to, 43200.5);
  EXPECT_EQ(h.Year, 2000);
  EXPECT_EQ(h.Month, 2);
  EXPECT_EQ(h.Day, 29);
  EXPECT_EQ(text, "29.02.2000 12:00:00.50000");
}

TEST(CheckMainHeader, CurrentLayoutDayBoundariesAndYearsPast32BitSeconds) {
  // The last tick of 1999-11-30 stays on that day: the floating formula rounds it into the next day
  // while giving a negative second of the day.
  MAIN_HEADER h = FromBytes(toolkit_test::MainHeaderBytes(1, 60, 100, 7274 * kDay - 1));
  std::string text;
  ASSERT_EQ(CheckMainHeader(h, text), 0);
  EXPECT_EQ(h.Day, 30);
  EXPECT_EQ(h.Month, 11);
  EXPECT_GT(h.to, 86399.999);
  EXPECT_LT(h.to, 86400.0);
  EXPECT_EQ(text, "30.11.1999 23:59:59.99999");

  // Midnight exactly.
  h = FromBytes(toolkit_test::MainHeaderBytes(1, 60, 100, 7274 * kDay));
  ASSERT_EQ(CheckMainHeader(h, text), 0);
  EXPECT_EQ(h.Day, 1);
  EXPECT_EQ(h.Month, 12);
  EXPECT_EQ(h.to, 0.0);

  // 2040-07-01 06:00:00: beyond unsigned 32-bit seconds since 1899-12-30.
  h = FromBytes(toolkit_test::MainHeaderBytes(1, 60, 100, 22097 * kDay + 6 * 3600 * kTps));
  ASSERT_EQ(CheckMainHeader(h, text), 0);
  EXPECT_EQ(h.Year, 2040);
  EXPECT_EQ(h.Month, 7);
  EXPECT_EQ(h.Day, 1);
  EXPECT_EQ(h.to, 21600.0);

  // Extreme tick counts give some date without overflowing.
  for (int64_t ticks : {std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::min()}) {
    h = FromBytes(toolkit_test::MainHeaderBytes(1, 60, 100, ticks));
    EXPECT_EQ(CheckMainHeader(h, text), 0);
    EXPECT_GE(h.to, 0.0);
    EXPECT_LT(h.to, 86400.0);
  }
}

// ---- Header check: older layout ----

TEST(CheckMainHeader, OlderLayoutTwoDigitYears) {
  struct Case {
    uint16_t stored, corrected;
    uint16_t result;
  };
  for (const Case& c : {Case{99, 1999, 0}, Case{5, 2005, 0}, Case{29, 2029, 1}, Case{30, 1930, 1}}) {
    MAIN_HEADER h = FromBytes(toolkit_test::OlderMainHeaderBytes(1, c.stored, 6, 15, 0.01, 3600));
    std::string text;
    EXPECT_EQ(CheckMainHeader(h, text), c.result) << c.stored;
    EXPECT_EQ(h.Year, c.corrected);
    if (c.result == 1) {
      EXPECT_EQ(text,
                "формат: T " + std::to_string(c.corrected) + ":06:15; разр 24; dt 0.01000; to 3600.00;");
    }
  }
}

TEST(CheckMainHeader, OlderLayoutComputesRateAndStartTicksAndKeepsFormat) {
  MAIN_HEADER h = FromBytes(toolkit_test::OlderMainHeaderBytes(59, 2000, 2, 29, 0.01, 3600));
  std::string text;
  ASSERT_EQ(CheckMainHeader(h, text), 0);
  EXPECT_EQ(h.Rate, 100);
  EXPECT_EQ(h.StartTicks, 7364 * kDay + 3600 * kTps);
  EXPECT_EQ(h.Format, 59);
  EXPECT_EQ(text, "29.02.2000 01:00:00.00000");

  // A fraction of a second in `to` lands in the ticks.
  h = FromBytes(toolkit_test::OlderMainHeaderBytes(1, 1999, 12, 1, 0.002, 0.25));
  ASSERT_EQ(CheckMainHeader(h, text), 0);
  EXPECT_EQ(h.Rate, 500);
  EXPECT_EQ(h.StartTicks, 7274 * kDay + kTps / 4);
}

TEST(CheckMainHeader, OlderLayoutLimits) {
  struct Case {
    uint16_t year, month, day;
    int16_t bits;
    double dt, to;
    uint16_t result;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      {1990, 0, 10, 24, 0.01, 0, 0},         {1990, 5, 10, 24, 0.01, 100000, 0},
      {1990, 5, 10, 24, 0.01, 100000.01, 1}, {1990, 5, 10, 24, 0.01, -0.01, 1},
      {1990, 5, 10, 24, 0.0001, 0, 0},       {1990, 5, 10, 24, 0.00009, 0, 1},
      {1990, 13, 10, 24, 0.01, 0, 1},        {1990, 5, 0, 24, 0.01, 0, 1},
      {1990, 5, 32, 24, 0.01, 0, 1},         {1990, 5, 31, 20, 0.01, 0, 0},
      {1990, 5, 10, 19, 0.01, 0, 1},         {1990, 5, 10, 25, 0.01, 0, 1},
      {1990, 5, 10, -24, 0.01, 0, 1},        {1979, 5, 10, 24, 0.01, 0, 1},
      {1980, 1, 1, 24, 0.01, 0, 0},          {2020, 12, 31, 24, 0.01, 0, 0},
      {1990, 5, 10, 24, nan, 0, 1},          {1990, 5, 10, 24, 0.01, nan, 1},
  };
  for (const Case& c : cases) {
    Bytes b = toolkit_test::OlderMainHeaderBytes(1, c.year, c.month, c.day, c.dt, c.to);
    b.I16(18, c.bits);
    MAIN_HEADER h = FromBytes(b);
    std::string text;
    EXPECT_EQ(CheckMainHeader(h, text), c.result)
        << c.year << "-" << c.month << "-" << c.day << " bits " << c.bits << " dt " << c.dt << " to " << c.to;
  }
  // Month 0 counts as December of the year before.
  MAIN_HEADER h = FromBytes(toolkit_test::OlderMainHeaderBytes(1, 2000, 0, 1, 0.01, 0));
  std::string text;
  ASSERT_EQ(CheckMainHeader(h, text), 0);
  EXPECT_EQ(h.StartTicks, 7274 * kDay);
}

TEST(CheckMainHeader, OlderLayoutIntervalWithNoWholeSampleASecondIsRefused) {
  MAIN_HEADER h = FromBytes(toolkit_test::OlderMainHeaderBytes(1, 1990, 5, 10, 2.0, 0));
  h.Rate = 77;
  std::string text;
  EXPECT_EQ(CheckMainHeader(h, text), 1);
  EXPECT_EQ(text, "другой формат: частота 0 Гц");
  EXPECT_EQ(h.Rate, 77);
  h.dt = std::numeric_limits<double>::infinity();
  EXPECT_EQ(CheckMainHeader(h, text), 1);
}

TEST(CheckMainHeader, TextBufferIsAlwaysTerminated) {
  MAIN_HEADER h = FromBytes(toolkit_test::MainHeaderBytes(3, 60, 100, 0));
  char small[9];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(CheckMainHeader(h, small, sizeof small), 0);
  EXPECT_STREQ(small, "01.01.19");
  char full[kCheckTextSize];
  h.Channels = 65;
  EXPECT_EQ(CheckMainHeader(h, full, sizeof full), 1);
  EXPECT_STREQ(full, "каналов 65 (другой формат)");
}

// ---- Sizes and text fields ----

TEST(RecordingFile, SamplesPerChannelNeverWrapsOnShortFiles) {
  EXPECT_FALSE(SamplesPerChannel(335, 3).has_value());
  EXPECT_FALSE(SamplesPerChannel(0, 1).has_value());
  EXPECT_EQ(SamplesPerChannel(336, 3), 0u);
  EXPECT_EQ(SamplesPerChannel(336 + 12 * 5 + 11, 3), 5u);
  EXPECT_EQ(SamplesPerChannel(120 + 72 * 64 + 256 * 7, 64), 7u);
  EXPECT_FALSE(SamplesPerChannel(100000, 0).has_value());
  EXPECT_FALSE(SamplesPerChannel(100000, 65).has_value());
  EXPECT_EQ(SamplesPerChannel(uint64_t{1} << 40, 1), ((uint64_t{1} << 40) - 192) / 4);
}

TEST(RecordingFile, TextFieldsAreReadWithinTheirSize) {
  Bytes b = toolkit_test::MainHeaderBytes(1, 60, 100, 0);
  b.Text(32, "ABCDEFGHIJKLMNOP").Text(48, "Q");  // a full station field, no NUL; dt's bytes follow
  MAIN_HEADER h = FromBytes(b);
  EXPECT_EQ(FieldText(h.Station), "ABCDEFGHIJKLMNOP");
  SetFieldText(h.Station, "short");
  EXPECT_EQ(FieldText(h.Station), "short");
  EXPECT_EQ(h.Station[15], '\0');
  SetFieldText(h.Station, "a name much longer than sixteen");
  EXPECT_EQ(FieldText(h.Station), "a name much lon");
  EXPECT_EQ(h.dt, b.GetF64(48));  // nothing written past the field
}

// ---- Reading and writing headers ----

TEST(RecordingFile, HeadersReadFromAnIndependentImageAndWrittenBackByteForByte) {
  Bytes image = toolkit_test::MainHeaderBytes(2, 60, 250, 7364 * kDay + 17);
  image.Text(32, "STN01").F64(72, 53.25).F64(80, 158.75).F64(64, -0.125).U16(16, 1);
  image.Append(toolkit_test::ChannelHeaderBytes(0, "Z north", 1.5e-6));
  image.Append(toolkit_test::ChannelHeaderBytes(1, "a channel name of 24 chr", -2.0));
  Bytes frames(8 * 3 + 5);  // three frames and a partial one
  image.Append(frames);
  const std::string path = TempPath("headers");
  toolkit_test::WriteFile(path, image.data());

  FILE* f = std::fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  MAIN_HEADER h;
  std::vector<CHANNEL_HEADER> channels;
  ASSERT_EQ(ReadHeaders(f, h, channels), HeaderIo::Ok);
  std::fclose(f);
  EXPECT_EQ(h.Channels, 2);
  EXPECT_EQ(h.Rate, 250);
  EXPECT_EQ(h.Synced, 1);
  EXPECT_EQ(h.StartTicks, 7364 * kDay + 17);
  EXPECT_EQ(h.Latitude, 53.25);
  EXPECT_EQ(h.Longitude, 158.75);
  EXPECT_EQ(h.SyncDt, -0.125);
  EXPECT_EQ(h.Mark1, 0x5566);
  EXPECT_EQ(FieldText(h.Station), "STN01");
  ASSERT_EQ(channels.size(), 2u);
  EXPECT_EQ(channels[1].Number, 1);
  EXPECT_EQ(channels[1].Mark3, 0x3333);
  EXPECT_EQ(FieldText(channels[0].Name), "Z north");
  EXPECT_EQ(FieldText(channels[1].Name), "a channel name of 24 chr");
  EXPECT_EQ(FieldText(channels[1].tip), "t_d");
  EXPECT_EQ(channels[0].Coef, 1.5e-6);
  EXPECT_EQ(channels[1].Coef2, 1.0);
  EXPECT_EQ(SamplesPerChannel(image.data().size(), h.Channels), 3u);

  const std::string copy = TempPath("headers_copy");
  f = std::fopen(copy.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(WriteMainHeader(f, h), HeaderIo::Ok);
  EXPECT_EQ(WriteChannelHeaders(f, channels), HeaderIo::Ok);
  std::fclose(f);
  const std::vector<uint8_t> written = toolkit_test::ReadFile(copy);
  EXPECT_EQ(written, std::vector<uint8_t>(image.data().begin(), image.data().begin() + 120 + 2 * 72));
  std::remove(path.c_str());
  std::remove(copy.c_str());
}

TEST(RecordingFile, ShortOrImplausibleHeadersAreReported) {
  const std::string path = TempPath("short");
  auto readBack = [&](const std::vector<uint8_t>& bytes, std::vector<CHANNEL_HEADER>& channels) {
    toolkit_test::WriteFile(path, bytes);
    FILE* f = std::fopen(path.c_str(), "rb");
    MAIN_HEADER h;
    const HeaderIo r = ReadHeaders(f, h, channels);
    if (f != nullptr) std::fclose(f);
    return r;
  };
  std::vector<CHANNEL_HEADER> channels(1);
  channels[0].Number = 42;

  Bytes main3 = toolkit_test::MainHeaderBytes(3, 60, 100, 0);
  EXPECT_EQ(readBack(std::vector<uint8_t>(main3.data().begin(), main3.data().end() - 1), channels),
            HeaderIo::ShortMainHeader);
  Bytes twoOfThree = main3;
  twoOfThree.Append(toolkit_test::ChannelHeaderBytes(0, "a", 1));
  twoOfThree.Append(toolkit_test::ChannelHeaderBytes(1, "b", 1));
  EXPECT_EQ(readBack(twoOfThree.data(), channels), HeaderIo::ShortChannelHeader);
  for (uint16_t count : {0, 65}) {
    Bytes bad = toolkit_test::MainHeaderBytes(count, 60, 100, 0);
    bad.Append(Bytes(72 * 70));
    EXPECT_EQ(readBack(bad.data(), channels), HeaderIo::BadChannelCount);
  }
  // Nothing of a failed read reaches the caller's channel list.
  ASSERT_EQ(channels.size(), 1u);
  EXPECT_EQ(channels[0].Number, 42);

  MAIN_HEADER h{};
  EXPECT_EQ(ReadMainHeader(nullptr, h), HeaderIo::ShortMainHeader);
  FILE* readOnly = std::fopen(path.c_str(), "rb");
  ASSERT_NE(readOnly, nullptr);
  EXPECT_EQ(WriteMainHeader(readOnly, h), HeaderIo::WriteFailed);
  const CHANNEL_HEADER one[1] = {};
  EXPECT_EQ(WriteChannelHeaders(readOnly, one), HeaderIo::WriteFailed);
  std::fclose(readOnly);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace toolkit
