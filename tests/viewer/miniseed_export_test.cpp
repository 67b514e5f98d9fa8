#include "viewer/miniseed_export.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

#include "support/mseed_reading.h"
#include "support/temp_dir.h"

namespace viewer {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kTps = 256'000'000;
// 2026-03-14 10:20:30 UTC: seconds since 1980 and since 1970.
constexpr int64_t kSince1980 = int64_t{16874} * 86400 + 10 * 3600 + 20 * 60 + 30;
constexpr int64_t kSince1970 = kSince1980 + 315'532'800;

struct Record {
  std::unique_ptr<toolkit::SetupRecord> setup = std::make_unique<toolkit::SetupRecord>();
  std::vector<std::vector<float>> data;
  std::vector<const float*> pointers;

  Record(int channels, uint16_t rate, int64_t startTicks, uint32_t samples) {
    setup->ChannelCount = static_cast<uint16_t>(channels);
    setup->Header.Rate = rate;
    setup->Header.StartTicks = startTicks;
    setup->Samples = samples;
    toolkit::SetFieldText(setup->Header.Station, "ST1");
    std::mt19937 gen(static_cast<unsigned>(rate + channels));
    std::normal_distribution<float> noise(0.0f, 3000.0f);
    for (int c = 0; c < channels; ++c) {
      toolkit::SetFieldText(setup->MemChannels[c].Name, "Z");
      std::vector<float> v(samples);
      float walk = 0;
      for (float& x : v) x = (walk += noise(gen)) / 8;
      data.push_back(std::move(v));
    }
    for (const auto& v : data) pointers.push_back(v.data());
  }
  std::string Export(const std::string& dir) const { return ExportMiniSeed(*setup, pointers.data(), dir); }
};

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(MiniSeedTimeMarkTest, IndexAndSecondsComeFromTheExactTicks) {
  struct Case {
    int64_t ticks;
    uint32_t rate;
    int64_t seconds;
    uint32_t index;
  };
  const std::vector<Case> cases = {
      {kSince1980 * kTps + kTps / 2, 100, kSince1970, 50},       // 12:00:00.5 at 100 Hz
      {kSince1980 * kTps + kTps / 128, 128, kSince1970, 1},      // 7812.5 us: on the grid at 128 Hz
      {kSince1980 * kTps + kTps / 128 - 1, 128, kSince1970, 0},  // one tick before it
      {kSince1980 * kTps + kTps * 9 / 10, 5000, kSince1970, 4500},
      {kSince1980 * kTps + kTps * 9 / 10, 10000, kSince1970, 9000},
      {kSince1980 * kTps, 10000, kSince1970, 0},  // exactly on a second
      {-kTps / 2, 100, 315'532'800 - 1, 50},      // before 1980
  };
  for (const Case& c : cases) {
    const SeedTimeMark m = MiniSeedTimeMark(c.ticks, c.rate);
    EXPECT_EQ(m.seconds, c.seconds) << c.ticks;
    EXPECT_EQ(m.index, c.index) << c.ticks << " at " << c.rate;
  }
}

TEST(MiniSeedExportTest, EveryRateAndStartDecodesToTheSamplesAndTheStartToTheMicrosecond) {
  for (uint16_t rate : {100, 128, 5000, 10000}) {
    for (int64_t fraction : {kTps / 2, kTps / 128, kTps / 2000}) {
      SCOPED_TRACE(testing::Message() << rate << " Hz, start +" << fraction << " ticks");
      support::TempDir dir;
      const Record rec(2, rate, kSince1980 * kTps + fraction, 3 * rate + 17);
      ASSERT_EQ(rec.Export(dir.path()), "");
      ASSERT_EQ(FilesIn(dir.path()),
                (std::vector<std::string>{"2026-3-14-10-20-30-0.mseed", "2026-3-14-10-20-30-1.mseed"}));
      const int64_t startUs = kSince1970 * 1'000'000 + (fraction + 128) / 256;
      for (int c = 0; c < 2; ++c) {
        const std::string path = dir.File("2026-3-14-10-20-30-" + std::to_string(c) + ".mseed");
        std::vector<support::SeedTrace> readings = {support::ReadWithLibmseed(path)};
        if (c == 0) readings.push_back(support::ReadWithPython(path));
        for (const support::SeedTrace& t : readings) {
          ASSERT_TRUE(t.ok) << t.error;
          EXPECT_TRUE(t.allSteim1BigEndian4096);
          EXPECT_EQ(t.network, "SD");
          EXPECT_EQ(t.station, "ST1");
          EXPECT_EQ(t.startUs, startUs);
          EXPECT_EQ(t.rate, rate);
          ASSERT_EQ(t.samples.size(), rec.data[c].size());
          for (size_t n = 0; n < t.samples.size(); ++n)
            ASSERT_EQ(t.samples[n], SeedCount(rec.data[c][n])) << "sample " << n;
        }
      }
    }
  }
}

TEST(MiniSeedExportTest, LongChannelIsPackedPieceByPieceWithExactRecordTimes) {
  support::TempDir dir;
  const Record rec(1, 10000, kSince1980 * kTps + kTps / 2000, 150001);
  ASSERT_EQ(rec.Export(dir.path()), "");
  const std::string path = dir.File("2026-3-14-10-20-30-0.mseed");
  for (const support::SeedTrace& t : {support::ReadWithLibmseed(path), support::ReadWithPython(path)}) {
    ASSERT_TRUE(t.ok) << t.error;
    EXPECT_EQ(t.startUs, kSince1970 * 1'000'000 + 500);
    ASSERT_EQ(t.samples.size(), rec.data[0].size());
    for (size_t n = 0; n < t.samples.size(); ++n) ASSERT_EQ(t.samples[n], SeedCount(rec.data[0][n])) << n;
  }
}

TEST(MiniSeedExportTest, IndependentDecoderNoticesABrokenIntegrationConstant) {
  support::TempDir dir;
  const Record rec(1, 100, kSince1980 * kTps, 3000);
  ASSERT_EQ(rec.Export(dir.path()), "");
  const std::string path = dir.File("2026-3-14-10-20-30-0.mseed");
  {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    unsigned char offset[2];
    f.seekg(44);
    f.read(reinterpret_cast<char*>(offset), 2);
    const int xnLast = (offset[0] << 8 | offset[1]) + 11;  // last byte of Xn in the first frame
    f.seekg(xnLast);
    const int byte = f.get();
    f.seekp(xnLast);
    f.put(static_cast<char>(byte ^ 0xFF));
  }
  const support::SeedTrace t = support::ReadWithPython(path);
  EXPECT_FALSE(t.ok);
  EXPECT_NE(t.error.find("integration constants"), std::string::npos) << t.error;
}

TEST(MiniSeedExportTest, EightChannelsGetDistinctCodesFromStationAndCyrillicNames) {
  support::TempDir dir;
  Record rec(8, 100, kSince1980 * kTps, 500);
  toolkit::SetFieldText(rec.setup->Header.Station, "ABCDEFG");
  for (int c = 0; c < 8; ++c)
    toolkit::SetFieldText(rec.setup->MemChannels[c].Name, "\xCA\xE0\xED\xE0\xEB " + std::to_string(c + 1));
  toolkit::SetFieldText(rec.setup->MemChannels[7].Name, "hhz");
  ASSERT_EQ(rec.Export(dir.path()), "");
  ASSERT_EQ(FilesIn(dir.path()).size(), 8u);
  for (int c = 0; c < 8; ++c) {
    const support::SeedTrace t =
        support::ReadWithLibmseed(dir.File("2026-3-14-10-20-30-" + std::to_string(c) + ".mseed"));
    ASSERT_TRUE(t.ok) << t.error;
    EXPECT_EQ(t.station, "ABEFG");
    EXPECT_EQ(t.channel, c == 7 ? std::string("HHZ") : "C0" + std::to_string(c));
  }
}

TEST(MiniSeedExportTest, SamplesAreRoundedHalfAwayFromZero) {
  support::TempDir dir;
  // Exact for every float: above 2^23 a float sum with 0.5 rounds to an even neighbour, and just below
  // one half it rounds up to 1.
  const std::vector<std::pair<float, int32_t>> rows = {
      {-2.5f, -3},         {2.5f, 3},           {-2.4f, -2},         {2.4f, 2},
      {-0.5f, -1},         {1e6f + 0.5f, 1000001}, {8388609.0f, 8388609}, {-8388609.0f, -8388609},
      {16777215.0f, 16777215}, {0.49999997f, 0}, {-0.49999997f, 0},  {8388607.5f, 8388608},
      {536870848.0f, 536870848}};
  Record rec(1, 100, kSince1980 * kTps, static_cast<uint32_t>(rows.size()));
  std::vector<int32_t> expected;
  for (size_t i = 0; i < rows.size(); ++i) {
    rec.data[0][i] = rows[i].first;
    expected.push_back(rows[i].second);
  }
  rec.pointers[0] = rec.data[0].data();
  ASSERT_EQ(rec.Export(dir.path()), "");
  const support::SeedTrace t = support::ReadWithLibmseed(dir.File("2026-3-14-10-20-30-0.mseed"));
  ASSERT_TRUE(t.ok) << t.error;
  EXPECT_EQ(t.samples, expected);
}

TEST(MiniSeedExportTest, ValueThatCannotBeWrittenRefusesTheExportNamingTheChannel) {
  for (float bad : {NAN, INFINITY, -INFINITY, 1.1e9f, -2.2e9f}) {
    support::TempDir dir;
    Record rec(3, 100, kSince1980 * kTps, 100);
    rec.data[2][40] = bad;
    const std::string error = rec.Export(dir.path());
    EXPECT_NE(error.find("канал 2"), std::string::npos) << error;
    EXPECT_TRUE(FilesIn(dir.path()).empty());
  }
}

TEST(MiniSeedExportTest, UnwritableFolderIsReported) {
  support::TempDir dir;
  { std::ofstream(dir.File("plain")) << "x"; }
  const Record rec(2, 100, kSince1980 * kTps, 100);
  const std::string error = rec.Export(dir.File("plain") + "/Seed_files");
  // The folder's own reason, not that of the first file it would have held.
  EXPECT_EQ(error, "miniseed: Папка " + dir.File("plain") + "/Seed_files не создана (" +
                       std::strerror(ENOTDIR) + ")");
}

}  // namespace
}  // namespace viewer
