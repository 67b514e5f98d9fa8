#include "toolkit/miniseed_coder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "killed_writer.h"
#include "platform/output_file.h"
#include "support/file_size_limit.h"
#include "support/mseed_reading.h"
#include "support/temp_dir.h"
#include "toolkit/seed_codes.h"

namespace toolkit {
namespace {

namespace fs = std::filesystem;

// 2004-07-05 12:00:00 UTC.
constexpr int64_t kNoon = 1089028800;

std::set<std::string> FilesIn(const std::string& dir) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) names.insert(e.path().filename().string());
  return names;
}

// A writer of `channels` channels at `rate` into `dir`, marked at (seconds, index) and opened.
void Start(MiniSEEDCoder& w, const std::string& dir, int channels, uint32_t rate, int64_t seconds,
           uint32_t index) {
  ASSERT_TRUE(w.SetChannelCount(channels));
  for (int c = 0; c < channels; ++c) w.SetChannelName(c, "Z");
  w.SetSampleRate(rate);
  w.SetStation("ST");
  w.SetOutputDir(dir);
  w.SetTimeMark(seconds, index);
  ASSERT_TRUE(w.Open()) << w.Error();
}

// Channel c's sample n: a wandering value with differences of every Steim-1 width.
int32_t Value(int c, uint32_t n) {
  return static_cast<int32_t>((n * 7919u + c * 31u) % 200001u) - 100000 + c;
}

bool Add(MiniSEEDCoder& w, int channels, uint32_t from, uint32_t count) {
  std::vector<int32_t> frame(static_cast<size_t>(channels));
  for (uint32_t n = from; n < from + count; ++n) {
    for (int c = 0; c < channels; ++c) frame[static_cast<size_t>(c)] = Value(c, n);
    if (!w.AddSample(frame.data())) return false;
  }
  return true;
}

TEST(MiniSEEDCoderTest, RotatesAfterPeriodTimesRateSamplesAndLeavesNoEmptyFile) {
  struct Case {
    uint32_t samples;
    std::set<std::string> files;
  };
  const std::vector<Case> cases = {
      {30000, {"2004-7-5-12-0-0-0.mseed", "2004-7-5-12-0-0-1.mseed"}},
      {30001,
       {"2004-7-5-12-0-0-0.mseed", "2004-7-5-12-0-0-1.mseed", "2004-7-5-12-5-0-0.mseed",
        "2004-7-5-12-5-0-1.mseed"}},
      {60000,
       {"2004-7-5-12-0-0-0.mseed", "2004-7-5-12-0-0-1.mseed", "2004-7-5-12-5-0-0.mseed",
        "2004-7-5-12-5-0-1.mseed"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.samples);
    support::TempDir dir;
    MiniSEEDCoder w;
    Start(w, dir.path(), 2, 100, kNoon, 0);
    ASSERT_TRUE(Add(w, 2, 0, c.samples));
    ASSERT_TRUE(w.Close()) << w.Error();
    EXPECT_EQ(FilesIn(dir.path()), c.files);
    const support::SeedTrace first = support::ReadWithLibmseed(dir.File("2004-7-5-12-0-0-1.mseed"));
    ASSERT_TRUE(first.ok) << first.error;
    ASSERT_EQ(first.samples.size(), 30000u);
    EXPECT_EQ(first.samples[29999], Value(1, 29999));
    EXPECT_EQ(first.startUs, kNoon * 1'000'000);
    if (c.samples > 30000) {
      const support::SeedTrace second = support::ReadWithLibmseed(dir.File("2004-7-5-12-5-0-1.mseed"));
      ASSERT_TRUE(second.ok) << second.error;
      EXPECT_EQ(second.startUs, (kNoon + 300) * 1'000'000);
      ASSERT_EQ(second.samples.size(), c.samples - 30000);
      EXPECT_EQ(second.samples[0], Value(1, 30000));
    }
  }
}

TEST(MiniSEEDCoderTest, LongPeriodsRotateWithTheirSamplesWhole) {
  support::TempDir dir;
  MiniSEEDCoder w;
  ASSERT_TRUE(w.SetChannelCount(1));
  w.SetSampleRate(1000);
  w.SetPeriod(100);
  w.SetOutputDir(dir.path());
  w.SetTimeMark(kNoon, 0);
  ASSERT_TRUE(w.Open());
  ASSERT_TRUE(Add(w, 1, 0, 250000));
  ASSERT_TRUE(w.Close()) << w.Error();
  const std::vector<std::pair<std::string, uint32_t>> files = {{"2004-7-5-12-0-0-0.mseed", 0},
                                                               {"2004-7-5-12-1-40-0.mseed", 100000},
                                                               {"2004-7-5-12-3-20-0.mseed", 200000}};
  ASSERT_EQ(FilesIn(dir.path()).size(), files.size());
  for (const auto& [name, first] : files) {
    const support::SeedTrace t = support::ReadWithLibmseed(dir.File(name));
    ASSERT_TRUE(t.ok) << name << ": " << t.error;
    EXPECT_EQ(t.startUs, (kNoon + first / 1000) * 1'000'000);
    ASSERT_EQ(t.samples.size(), first == 200000 ? 50000u : 100000u);
    for (uint32_t n = 0; n < t.samples.size(); ++n)
      ASSERT_EQ(t.samples[n], Value(0, first + n)) << name << " " << n;
  }
}

TEST(MiniSEEDCoderTest, MarkedSampleIndexSetsTheStartAndTheJanuaryNameHasMonth1) {
  support::TempDir dir;
  MiniSEEDCoder w;
  // 2005-01-02 03:04:09, sample 50 of 100.
  const int64_t t = 1104635049;
  Start(w, dir.path(), 1, 100, t, 50);
  ASSERT_TRUE(Add(w, 1, 0, 10));
  ASSERT_TRUE(w.Close());
  const std::string path = dir.File("2005-1-2-3-4-9-0.mseed");
  ASSERT_TRUE(fs::exists(path));
  const support::SeedTrace r = support::ReadWithLibmseed(path);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.startUs, t * 1'000'000 + 500'000);
}

TEST(MiniSEEDCoderTest, ChannelCountOutside1To64IsRefused) {
  for (int n : {0, -1, 65}) {
    MiniSEEDCoder w;
    EXPECT_FALSE(w.SetChannelCount(n)) << n;
    EXPECT_NE(w.Error().find("каналов"), std::string::npos);
    EXPECT_FALSE(w.Open());
  }
  MiniSEEDCoder w;
  EXPECT_TRUE(w.SetChannelCount(64));
}

TEST(MiniSEEDCoderTest, FileThatCannotBeMadeFailsOpenNamingIt) {
  support::TempDir dir;
  std::ofstream(dir.File("plain")) << "x";  // a file where the folder should be: no one can create it
  MiniSEEDCoder w;
  ASSERT_TRUE(w.SetChannelCount(2));
  w.SetSampleRate(100);
  w.SetOutputDir(dir.File("plain") + "/Seed_files");
  w.SetTimeMark(kNoon, 0);
  EXPECT_FALSE(w.Open());
  // The folder's own reason is told, not that of the first file it would have held.
  EXPECT_EQ(w.Error(), "miniseed: Папка " + dir.File("plain") + "/Seed_files не создана (" +
                           std::strerror(ENOTDIR) + ")");
  const int32_t v[2] = {1, 2};
  EXPECT_FALSE(w.AddSample(v));
  EXPECT_FALSE(w.Close());

  // "Seed_files" planted as a link to another folder or as a file: refused by name and reason, nothing
  // written anywhere (another user's folder goes through the same check, tested with the check).
  for (const bool link : {true, false}) {
    support::TempDir out;
    const std::string seed = out.File("Seed_files");
    fs::create_directory(out.File("elsewhere"));
    if (link) fs::create_directory_symlink(out.File("elsewhere"), seed);
    if (!link) std::ofstream(seed) << "x";
    MiniSEEDCoder refused;
    ASSERT_TRUE(refused.SetChannelCount(1));
    refused.SetSampleRate(100);
    refused.SetOutputDir(seed);
    refused.SetTimeMark(kNoon, 0);
    EXPECT_FALSE(refused.Open());
    EXPECT_EQ(refused.Error(), "miniseed: Папка " + seed +
                                   (link ? " — символическая ссылка" : " — не папка") +
                                   "; файлы в неё не пишутся");
    EXPECT_TRUE(FilesIn(out.File("elsewhere")).empty()) << link;
  }

  // An earlier export (another station with the same start) or a planted link at a name: refused,
  // naming the file; nothing replaced, nothing of this export left.
  for (const char* planted : {"earlier", "link"}) {
    support::TempDir out;
    const std::string second = out.File("2004-7-5-12-0-0-1.mseed");
    std::ofstream(out.File("target")) << "precious";
    if (std::string(planted) == "link") {
      std::filesystem::create_symlink(out.File("target"), second);
    } else {
      std::ofstream(second) << "precious";
    }
    MiniSEEDCoder again;
    ASSERT_TRUE(again.SetChannelCount(2));
    again.SetSampleRate(100);
    again.SetOutputDir(out.path());
    again.SetTimeMark(kNoon, 0);
    EXPECT_FALSE(again.Open());
    EXPECT_NE(again.Error().find(second), std::string::npos) << again.Error();
    EXPECT_EQ(FilesIn(out.path()).size(), 2u) << planted;
    std::ifstream in(out.File("target"));
    std::string text;
    in >> text;
    EXPECT_EQ(text, "precious");
  }
}

TEST(MiniSEEDCoderTest, FullDiskStopsAtTheFirstFailedRecordAndRemovesTheFiles) {
  support::TempDir dir;
  MiniSEEDCoder w;
  Start(w, dir.path(), 3, 100, kNoon, 0);
  ASSERT_TRUE(Add(w, 3, 0, 20000));
  {
    support::FileSizeLimit full(3 * 4096);
    EXPECT_FALSE(w.Close());
  }
  EXPECT_NE(w.Error().find("ошибка записи файла " + dir.File("2004-7-5-12-0-0-0.mseed")), std::string::npos)
      << w.Error();
  EXPECT_TRUE(FilesIn(dir.path()).empty());
  const int32_t v[3] = {};
  EXPECT_FALSE(w.AddSample(v));

  // Killed at a chosen byte of a day-long file: no short file that reads cleanly under its name, and
  // the next export of the same start is not refused; it removes what the killed one left.
  support::TempDir killed;
  auto write = [&](MiniSEEDCoder& coder) {
    coder.SetPeriod(86400);
    Start(coder, killed.path(), 1, 100, kNoon, 0);
    return Add(coder, 1, 0, 200000) && coder.Close();
  };
  ASSERT_TRUE(toolkit_test::KilledAtByte(10 * 4096, [&] {
    MiniSEEDCoder child;
    write(child);
  }));
  const std::set<std::string> left = FilesIn(killed.path());
  ASSERT_EQ(left.size(), 1u);
  EXPECT_TRUE(platform::IsOutputTemporaryName(*left.begin())) << *left.begin();
  MiniSEEDCoder again;
  ASSERT_TRUE(write(again)) << again.Error();
  EXPECT_EQ(FilesIn(killed.path()), std::set<std::string>{"2004-7-5-12-0-0-0.mseed"});
  const support::SeedTrace whole = support::ReadWithLibmseed(killed.File("2004-7-5-12-0-0-0.mseed"));
  ASSERT_TRUE(whole.ok) << whole.error;
  EXPECT_EQ(whole.samples.size(), 200000u);
}

TEST(MiniSEEDCoderTest, SampleBeyondSteim1RangeIsRefusedAndNothingIsLeft) {
  for (int32_t bad : {MiniSEEDCoder::kSampleLimit, -MiniSEEDCoder::kSampleLimit, INT32_MIN}) {
    support::TempDir dir;
    MiniSEEDCoder w;
    Start(w, dir.path(), 2, 100, kNoon, 0);
    const int32_t good[2] = {MiniSEEDCoder::kSampleLimit - 1, -MiniSEEDCoder::kSampleLimit + 1};
    ASSERT_TRUE(w.AddSample(good));
    const int32_t v[2] = {0, bad};
    EXPECT_FALSE(w.AddSample(v));
    EXPECT_NE(w.Error().find("канала 1"), std::string::npos) << w.Error();
    EXPECT_FALSE(w.Close());
    EXPECT_TRUE(FilesIn(dir.path()).empty());
  }
}

TEST(MiniSEEDCoderTest, StartOrRateLibmseedCannotStateStopsTheWriter) {
  struct Case {
    const char* what;
    int64_t seconds;  // since 1970
    uint32_t rate;
    const char* error;
  };
  // 1800-01-01, 1900-01-01 and 2101-01-01 00:00:00 UTC: libmseed cannot take a time before 1800 and its
  // readers take no record outside 1900 ... 2100.
  constexpr int64_t k1800 = -5364662400, k1900 = -2208988800, k2101 = 4133980800;
  for (const Case c : {Case{"before 1800", k1800 - 1, 100, "1799-12-31 23:59:59"},
                       Case{"1800", k1800, 100, "1800-1-1 00:00:00"},
                       Case{"before 1900", k1900 - 1, 100, "1899-12-31 23:59:59"},
                       Case{"after 2100", k2101, 100, "2101-1-1 00:00:00"},
                       Case{"a rate above 32767", kNoon, 40000, "40000 Гц"}}) {
    SCOPED_TRACE(c.what);
    support::TempDir dir;
    MiniSEEDCoder w;
    ASSERT_TRUE(w.SetChannelCount(1));
    w.SetSampleRate(c.rate);
    w.SetOutputDir(dir.path());
    w.SetTimeMark(c.seconds, 0);
    EXPECT_FALSE(w.Open());
    EXPECT_NE(w.Error().find(c.error), std::string::npos) << w.Error();
    const int32_t v[1] = {1};
    EXPECT_FALSE(w.AddSample(v));
    EXPECT_FALSE(w.Close());
    EXPECT_TRUE(FilesIn(dir.path()).empty());
  }
  // The edges that can be stated are written.
  for (const Case c : {Case{"1900", k1900, 100, ""}, Case{"2100", k2101 - 1, 100, ""},
                       Case{"32767 Hz", kNoon, 32767, ""}}) {
    SCOPED_TRACE(c.what);
    support::TempDir dir;
    MiniSEEDCoder w;
    Start(w, dir.path(), 1, c.rate, c.seconds, 0);
    ASSERT_TRUE(Add(w, 1, 0, 10));
    ASSERT_TRUE(w.Close()) << w.Error();
    const auto files = FilesIn(dir.path());
    ASSERT_EQ(files.size(), 1u);
    const support::SeedTrace t = support::ReadWithLibmseed(dir.File(*files.begin()));
    ASSERT_TRUE(t.ok) << t.error;
    EXPECT_EQ(t.samples.size(), 10u);
    EXPECT_EQ(t.startUs, c.seconds * 1000000);
    EXPECT_EQ(t.rate, c.rate);
  }
}

TEST(SeedCodesTest, StationAndChannelCodesAreUpperCaseAsciiThatFit) {
  const std::vector<std::pair<std::string, std::string>> stations = {
      {"ABCDEFG", "ABEFG"},      {"st1", "ST1"}, {"T-9XV", "T9XV"}, {"ABCDE", "ABCDE"},
      {"\xCA\xE0\xED", "XXXXX"},  // Cyrillic only
      {"STATION12", "STN12"},    {"", "XXXXX"}};
  for (const auto& [name, code] : stations) EXPECT_EQ(SeedStationCode(name), code) << name;

  // "Канал 1" in Windows-1251.
  const std::string kanal1 = "\xCA\xE0\xED\xE0\xEB 1";
  const std::vector<std::string> names = {kanal1, "z", " HHZ ", "North", "Z", "C00", "", "E1"};
  const std::vector<std::string> codes = {"C00", "Z", "HHZ", "C03", "C04", "C05", "C06", "E1"};
  EXPECT_EQ(SeedChannelCodes(names), codes);
}

}  // namespace
}  // namespace toolkit
