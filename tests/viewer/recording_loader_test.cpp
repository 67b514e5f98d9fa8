// Loading a recording into memory: files built byte by byte here, read back through the loader.
#include "viewer/recording_loader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>

#include "platform/memory_budget.h"
#include "support/planted_fifo.h"
#include "support/temp_dir.h"
#include "toolkit/header_bytes.h"

namespace fs = std::filesystem;

namespace {

using toolkit::SetupRecord;
using toolkit_test::Bytes;
using viewer::ChannelSamples;
using viewer::LoadStatus;

constexpr int64_t kStart2001 = int64_t{662'774'400} * 256'000'000;  // 2001-01-01 00:00:00

// A recording of `frames` frames whose sample of channel c at frame n is value(c, n).
template <typename Value>
std::vector<uint8_t> Recording(std::vector<std::pair<std::string, double>> channels, uint32_t frames,
                               Value value, uint16_t rate = 100) {
  const auto width = static_cast<uint16_t>(channels.size());
  Bytes file = toolkit_test::MainHeaderBytes(width, 60, rate, kStart2001);
  for (uint16_t c = 0; c < width; ++c) {
    file.Append(toolkit_test::ChannelHeaderBytes(c, channels[c].first, channels[c].second));
  }
  Bytes frameBytes(size_t{4} * width * frames);
  for (uint32_t n = 0; n < frames; ++n)
    for (uint16_t c = 0; c < width; ++c) {
      const auto v = static_cast<uint32_t>(value(c, n));
      frameBytes.U16(4 * (n * width + c), static_cast<uint16_t>(v)).U16(4 * (n * width + c) + 2, v >> 16);
    }
  file.Append(frameBytes);
  return file.data();
}

int32_t Pattern(uint16_t c, uint32_t n) {
  return static_cast<int32_t>(1000 * (c + 1) + n) * (n % 2 ? -1 : 1);
}

class LoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("loader_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    setup_ = std::make_unique<SetupRecord>();
    toolkit::SetSetupDefaults(*setup_, dir_.string() + "/");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Writes the file and chooses it as the chooser does: name, frame count, channels to load.
  void Choose(const std::string& name, const std::vector<uint8_t>& bytes, uint32_t fileSamples,
              std::vector<uint16_t> map) {
    toolkit_test::WriteFile((dir_ / name).string(), bytes);
    toolkit::SetFieldText(setup_->FileName, name);
    setup_->FileSamples = fileSamples;
    setup_->LoadChannels = static_cast<uint16_t>(map.size());
    for (size_t j = 0; j < map.size(); ++j) setup_->ChannelMap[j] = map[j];
  }
  viewer::LoadReport Load() { return viewer::LoadRecording(*setup_, samples_, funk_); }

  fs::path dir_;
  std::unique_ptr<SetupRecord> setup_;
  ChannelSamples samples_;
  toolkit::TFunk funk_;
};

TEST_F(LoaderTest, ChannelMapPutsFileChannelsInMemoryWithTheirHeadersAndCoefficients) {
  Choose("a.dat", Recording({{"north", 0.5}, {"east", 2.0}, {"vertical", 0.25}}, 20, Pattern), 20, {2, 0, 1});
  const auto r = Load();
  ASSERT_EQ(r.status, LoadStatus::Ok);
  EXPECT_EQ(r.channelsKept, 3);
  const SetupRecord& s = *setup_;
  EXPECT_EQ(s.ChannelCount, 3);
  EXPECT_EQ(s.ArraysAllocated, 3);
  EXPECT_EQ(toolkit::FieldText(s.MemChannels[0].Name), "vertical");
  EXPECT_EQ(toolkit::FieldText(s.MemChannels[1].Name), "north");
  EXPECT_EQ(toolkit::FieldText(s.MemChannels[2].Name), "east");
  EXPECT_EQ(s.MemCoef[0], 0.25);
  EXPECT_EQ(s.MemCoef[1], 0.5);
  EXPECT_EQ(s.MemCoef[2], 2.0);
  const uint16_t fileOf[3] = {2, 0, 1};
  for (int j = 0; j < 3; ++j)
    for (uint32_t n = 0; n < 20; ++n)
      ASSERT_EQ(samples_[j][n], static_cast<float>(Pattern(fileOf[j], n) * s.MemCoef[j])) << j << " " << n;
  EXPECT_EQ(s.Samples, 20u);
  EXPECT_EQ(s.Dt, 0.01);
  EXPECT_EQ(s.Header.Year, 2001);  // completed by the header check
  EXPECT_EQ(funk_.Calendar.Year, 2001);
  EXPECT_EQ(s.Nn, 0);
  EXPECT_EQ(s.Nk, 19);
  EXPECT_EQ(s.FirstChannel, 0);
  EXPECT_EQ(s.ShownEnd, 3);
  EXPECT_EQ(s.ViewChanged, 1);
}

TEST_F(LoaderTest, MapEntryBeyondTheFileUsesItsLastChannelAndCoefficientsOffGiveRawCounts) {
  Choose("b.dat", Recording({{"z", 3.0}, {"n", 5.0}}, 4, Pattern), 4, {7, 0});
  setup_->UseCoefficients = 0;
  setup_->StationMode = 1;
  setup_->CursorMode = 1;
  ASSERT_EQ(Load().status, LoadStatus::Ok);
  EXPECT_EQ(toolkit::FieldText(setup_->MemChannels[0].Name), "n");
  EXPECT_EQ(setup_->MemCoef[0], 1.0);
  EXPECT_EQ(setup_->MemCoef[1], 1.0);
  EXPECT_EQ(samples_[0][3], static_cast<float>(Pattern(1, 3)));
  EXPECT_EQ(samples_[1][2], static_cast<float>(Pattern(0, 2)));
  EXPECT_EQ(setup_->StationMode, 0);
  EXPECT_EQ(setup_->CursorMode, 0);
}

TEST_F(LoaderTest, NamesKeepTwentyTwoCharacters) {
  Choose("c.dat", Recording({{std::string(23, 'L'), 1.0}, {std::string(20, 'S'), 1.0}}, 1, Pattern), 1,
         {0, 1});
  ASSERT_EQ(Load().status, LoadStatus::Ok);
  EXPECT_EQ(toolkit::FieldText(setup_->FileChannels[0].Name), std::string(22, 'L'));
  EXPECT_EQ(toolkit::FieldText(setup_->MemChannels[0].Name), std::string(22, 'L'));
  EXPECT_EQ(toolkit::FieldText(setup_->MemChannels[1].Name), std::string(20, 'S'));
}

TEST_F(LoaderTest, CutLastFrameAndShortFilesStopAtTheLastCompleteFrame) {
  auto bytes = Recording({{"a", 1.0}, {"b", 1.0}}, 5, Pattern);
  bytes.insert(bytes.end(), {1, 2, 3, 4, 5, 6});  // 1.5 samples of a sixth frame
  Choose("d.dat", bytes, 6, {0, 1});
  ASSERT_EQ(Load().status, LoadStatus::Ok);
  EXPECT_EQ(setup_->Samples, 5u);
  EXPECT_EQ(setup_->Nk, 4);
  EXPECT_EQ(samples_[1][4], static_cast<float>(Pattern(1, 4)));
  // The spare floats beyond the samples are there and zero.
  ASSERT_GE(samples_.Capacity(1), 5u + ChannelSamples::kSpare);
  for (size_t i = 5; i < 5 + ChannelSamples::kSpare; ++i) ASSERT_EQ(samples_[1][i], 0.0f);

  for (uint32_t frames : {0u, 1u}) {
    Choose("e.dat", Recording({{"a", 2.0}}, frames, Pattern), frames, {0});
    ASSERT_EQ(Load().status, LoadStatus::Ok) << frames;
    EXPECT_EQ(setup_->Samples, frames);
    EXPECT_EQ(setup_->Nk, static_cast<int32_t>(frames) - 1);
    ASSERT_NE(samples_[0], nullptr);
    EXPECT_EQ(samples_[0][0], frames ? static_cast<float>(Pattern(0, 0) * 2.0) : 0.0f);
  }
}

TEST_F(LoaderTest, FrameCountOfTheChoiceBoundsTheReadBothWays) {
  Choose("f.dat", Recording({{"a", 1.0}}, 50, Pattern), 30, {0});
  ASSERT_EQ(Load().status, LoadStatus::Ok);
  EXPECT_EQ(setup_->Samples, 30u);
  // A file that shrank since it was chosen: arrays are sized by what it holds, not by the stale count.
  Choose("f.dat", Recording({{"a", 1.0}}, 10, Pattern), 4'000'000'000u, {0});
  ASSERT_EQ(Load().status, LoadStatus::Ok);
  EXPECT_EQ(setup_->Samples, 10u);
  EXPECT_EQ(samples_.Capacity(0), 10u + ChannelSamples::kSpare);
  EXPECT_EQ(Load().samplesLeftOut, 0u);

  // Beyond what a record may hold (its 32-bit range; here a limit a test can reach) the first samples
  // are read and the rest is said, by file and count; a count the chooser capped at 32 bits is the file's.
  for (uint32_t chosen : {50u, UINT32_MAX}) {
    Choose("f.dat", Recording({{"a", 1.0}}, 50, Pattern), chosen, {0});
    const viewer::LoadReport r = viewer::LoadRecording(*setup_, samples_, funk_, 20);
    ASSERT_EQ(r.status, LoadStatus::Ok);
    EXPECT_EQ(r.samplesLeftOut, 30u);
    EXPECT_EQ(setup_->Samples, 20u);
    EXPECT_EQ(setup_->Nk, 19);
    EXPECT_EQ(samples_[0][19], static_cast<float>(Pattern(0, 19)));
    EXPECT_EQ(viewer::SamplesLeftOutText(*setup_, r.samplesLeftOut),
              "Файл " + (dir_ / "f.dat").string() +
                  " длиннее, чем может показать программа: прочитаны первые 20 отсчётов каждого канала, "
                  "последние 30 отсчётов не прочитаны.");
  }
  static_assert(viewer::kMaxRecordSamples + ChannelSamples::kSpare <= INT32_MAX);
}

TEST_F(LoaderTest, SecondLoadFreesEveryArrayOfTheFirst) {
  Choose("g.dat", Recording({{"a", 1.0}, {"b", 1.0}, {"c", 1.0}}, 8, Pattern), 8, {0, 1, 2});
  ASSERT_EQ(Load().status, LoadStatus::Ok);
  Choose("h.dat", Recording({{"x", 1.0}}, 3, Pattern), 3, {0});
  ASSERT_EQ(Load().status, LoadStatus::Ok);
  EXPECT_EQ(setup_->ChannelCount, 1);
  EXPECT_EQ(setup_->ArraysAllocated, 1);
  EXPECT_NE(samples_[0], nullptr);
  EXPECT_EQ(samples_[1], nullptr);
  EXPECT_EQ(samples_[2], nullptr);
  EXPECT_EQ(setup_->ShownEnd, 1);
}

TEST_F(LoaderTest, PortionsOfManyChannelsJoinWithoutLosingAFrame) {
  // 64 channels x 4,500 frames is more than one read portion; every sample must land in its place.
  std::vector<std::pair<std::string, double>> channels(64, {"ch", 1.0});
  channels[5].second = 0.001;
  std::vector<uint16_t> map(64);
  for (int j = 0; j < 64; ++j) map[j] = static_cast<uint16_t>(63 - j);
  std::mt19937 rng(7);
  std::vector<int32_t> values(64 * 4500);
  for (auto& v : values) v = static_cast<int32_t>(rng() % 16'777'216) - 8'388'608;
  Choose("i.dat", Recording(channels, 4500, [&](uint16_t c, uint32_t n) { return values[n * 64 + c]; }), 4500,
         map);
  ASSERT_EQ(Load().status, LoadStatus::Ok);
  ASSERT_EQ(setup_->Samples, 4500u);
  for (int j = 0; j < 64; ++j)
    for (uint32_t n = 0; n < 4500; ++n) {
      const double expect =
          static_cast<double>(static_cast<float>(values[n * 64 + (63 - j)])) * setup_->MemCoef[j];
      ASSERT_EQ(samples_[j][n], static_cast<float>(expect)) << j << " " << n;
    }
}

TEST_F(LoaderTest, RefusedOrUnreadableFilesLeaveThePreviousRecordInPlace) {
  Choose("good.dat", Recording({{"a", 1.0}, {"b", 1.0}}, 6, Pattern), 6, {0, 1});
  ASSERT_EQ(Load().status, LoadStatus::Ok);
  const float* kept = samples_[1];

  auto tooMany = Recording({{"a", 1.0}}, 2, Pattern);
  tooMany[0] = 65;  // Channels 65: the check refuses it before it sizes anything
  Choose("bad.dat", tooMany, 2, {0});
  auto r = Load();
  EXPECT_EQ(r.status, LoadStatus::BadHeader);
  EXPECT_EQ(r.checkText, "каналов 65 (другой формат)");
  EXPECT_EQ(setup_->ChannelCount, 2);
  EXPECT_EQ(setup_->Samples, 6u);
  EXPECT_EQ(samples_[1], kept);
  EXPECT_EQ(samples_[1][5], static_cast<float>(Pattern(1, 5)));

  auto badRate = Recording({{"a", 1.0}}, 2, Pattern, 48);
  Choose("rate.dat", badRate, 2, {0});
  EXPECT_EQ(Load().status, LoadStatus::BadHeader);

  auto shortHeader = Recording({{"a", 1.0}}, 0, Pattern);
  shortHeader.resize(119);
  Choose("short.dat", shortHeader, 0, {0});
  EXPECT_EQ(Load().status, LoadStatus::ShortMainHeader);

  auto shortChannels = Recording({{"a", 1.0}, {"b", 1.0}}, 0, Pattern);
  shortChannels.resize(120 + 72 + 71);
  Choose("short2.dat", shortChannels, 0, {0});
  r = Load();
  EXPECT_EQ(r.status, LoadStatus::ShortChannelHeader);
  EXPECT_NE(viewer::LoadFailureText(r.status, *setup_).find("CHANNEL_HEADER"), std::string::npos);

  toolkit::SetFieldText(setup_->FileName, "missing.dat");
  EXPECT_EQ(Load().status, LoadStatus::CannotOpen);
  EXPECT_EQ(setup_->ChannelCount, 2);
  EXPECT_EQ(samples_[1], kept);
  // A FIFO at the name is refused without waiting on it; a link is not followed, even to a recording.
  toolkit::SetFieldText(setup_->FileName, "fifo.dat");
  LoadStatus fifo = LoadStatus::Ok;
  EXPECT_TRUE(support::FifoLeftUnread((dir_ / "fifo.dat").string(), [&] { fifo = Load().status; }));
  EXPECT_EQ(fifo, LoadStatus::CannotOpen);
  std::filesystem::create_symlink("short.dat", dir_ / "linked.dat");
  toolkit::SetFieldText(setup_->FileName, "linked.dat");
  EXPECT_EQ(Load().status, LoadStatus::CannotOpen);
  EXPECT_EQ(samples_[1], kept);

  // A coefficient no instrument has refuses the file only where it would scale a loaded channel (a map
  // entry beyond the file takes the last one); elsewhere, or with coefficients off, the file opens with
  // the coefficient kept in its header for the header editor.
  struct CoefCase {
    std::vector<uint16_t> map;
    uint16_t useCoefficients;
    bool refused;
  };
  const CoefCase coefCases[] = {{{1}, 1, true}, {{0, 7}, 1, true}, {{0}, 1, false}, {{0, 1}, 0, false}};
  for (const double coef : {double{NAN}, double{INFINITY}, -double{INFINITY}, 2e9, -1.5e300}) {
    for (const CoefCase& c : coefCases) {
      Choose("good.dat", Recording({{"a", 1.0}, {"b", 1.0}}, 6, Pattern), 6, {0, 1});
      ASSERT_EQ(Load().status, LoadStatus::Ok);
      const float* held = samples_[1];
      Choose("damaged файл.dat", Recording({{"a", 0.5}, {"b", coef}}, 4, Pattern), 4, c.map);
      setup_->UseCoefficients = c.useCoefficients;
      r = Load();
      if (c.refused) {
        EXPECT_EQ(r.status, LoadStatus::BadCoefficient) << coef << " " << c.map.size();
        EXPECT_NE(r.checkText.find("damaged файл.dat"), std::string::npos) << r.checkText;
        EXPECT_NE(r.checkText.find("коэффициент канала 1 не годится"), std::string::npos) << r.checkText;
        EXPECT_EQ(setup_->ChannelCount, 2);
        EXPECT_EQ(samples_[1], held);
        EXPECT_EQ(samples_[1][5], static_cast<float>(Pattern(1, 5)));
        continue;
      }
      ASSERT_EQ(r.status, LoadStatus::Ok) << coef << " " << c.map.size();
      EXPECT_EQ(samples_[0][3], static_cast<float>(Pattern(0, 3) * (c.useCoefficients ? 0.5 : 1.0)));
      if (c.map.size() > 1) {
        EXPECT_EQ(samples_[1][3], static_cast<float>(Pattern(1, 3)));
      }
      EXPECT_EQ(std::bit_cast<uint64_t>(setup_->FileChannels[1].Coef), std::bit_cast<uint64_t>(coef));
    }
  }
  // The largest coefficient taken keeps every scaled sample's square finite.
  Choose("large.dat", Recording({{"a", -1e9}}, 4, [](uint16_t, uint32_t) { return INT32_MIN; }), 4, {0});
  setup_->UseCoefficients = 1;
  ASSERT_EQ(Load().status, LoadStatus::Ok);
  EXPECT_TRUE(std::isfinite(samples_[0][3] * samples_[0][3]));
}

TEST_F(LoaderTest, ChannelsThatGetNoArrayAreDroppedAndReported) {
  constexpr uint64_t kArrayBytes = (10 + ChannelSamples::kSpare) * sizeof(float);
  // Room for two arrays: an allocation that fails, or a system that can give only that much (with
  // overcommit the allocation itself would succeed and the read would exhaust the memory).
  ChannelSamples failing(2 * (10 + ChannelSamples::kSpare));
  ChannelSamples lowMemory(SIZE_MAX, [] { return 2 * kArrayBytes + kArrayBytes / 2; });
  for (ChannelSamples* small : {&failing, &lowMemory}) {
    Choose("j.dat", Recording({{"a", 1.0}, {"b", 1.0}, {"c", 1.0}}, 10, Pattern), 10, {0, 1, 2});
    const auto r = viewer::LoadRecording(*setup_, *small, funk_);
    ASSERT_EQ(r.status, LoadStatus::Ok);
    EXPECT_TRUE(r.memoryShort);
    EXPECT_EQ(r.channelsKept, 2);
    EXPECT_EQ(setup_->ChannelCount, 2);
    EXPECT_EQ(setup_->ArraysAllocated, 2);
    EXPECT_EQ((*small)[2], nullptr);
    EXPECT_EQ((*small)[1][9], static_cast<float>(Pattern(1, 9)));
  }
  EXPECT_EQ(viewer::MemoryShortText(2), " память на 2");
  // Room for not even one array (the arrays held count, as the load would free them): said before the
  // file is read, and the record in memory stays.
  uint64_t room = UINT64_MAX;
  ChannelSamples tight(SIZE_MAX, [&room] { return room; });
  // With no record in memory yet (at start-up), none is said to stay.
  room = 0;
  Choose("k.dat", Recording({{"a", 1.0}}, 1, Pattern), 1, {0});
  EXPECT_EQ(viewer::LoadRecording(*setup_, tight, funk_).checkText,
            "Файл " + (dir_ / "k.dat").string() +
                " не прочитан: памяти не хватает ни на один канал (нужно 0.0 МБ, можно взять 0.0 МБ).");
  room = UINT64_MAX;
  Choose("k.dat", Recording({{"a", 1.0}}, 1, Pattern), 1, {0});
  ASSERT_EQ(viewer::LoadRecording(*setup_, tight, funk_).status, LoadStatus::Ok);
  const float* kept = tight[0];
  room = kArrayBytes - (1 + ChannelSamples::kSpare) * sizeof(float) - 1;
  Choose("j.dat", Recording({{"a", 1.0}, {"b", 1.0}, {"c", 1.0}}, 10, Pattern), 10, {0, 1, 2});
  const auto refused = viewer::LoadRecording(*setup_, tight, funk_);
  EXPECT_EQ(refused.status, LoadStatus::NoMemory);
  EXPECT_EQ(refused.checkText, "Файл " + (dir_ / "j.dat").string() +
                                   " не прочитан: памяти не хватает ни на один канал (нужно 0.0 МБ, можно взять 0.0 "
                                   "МБ); в памяти осталась прежняя запись.");
  EXPECT_EQ(setup_->ChannelCount, 1);
  EXPECT_EQ(setup_->Samples, 1u);
  EXPECT_EQ(tight[0], kept);
  EXPECT_EQ(tight[0][0], static_cast<float>(Pattern(0, 0)));
  // Reading the record again takes its arrays over: no new memory is needed for them.
  ChannelSamples none(SIZE_MAX, [] { return uint64_t{0}; });
  EXPECT_EQ(none.Provide(2, 100), 0u);
  ChannelSamples held(SIZE_MAX, [n = 0]() mutable { return n++ == 0 ? uint64_t{800} : uint64_t{0}; });
  EXPECT_EQ(held.Provide(2, 100), 2u);
  EXPECT_EQ(held.Provide(2, 100), 2u);
  EXPECT_EQ(held.Provide(1, 100), 1u);
  EXPECT_EQ(held[1], nullptr);
}

TEST(MemoryRule, MemAvailableLessTheMargin) {
  struct Case {
    const char* text;
    std::optional<uint64_t> bytes;
  } cases[] = {
      {"MemTotal:       32768000 kB\nMemFree:  100 kB\nMemAvailable:   24576000 kB\n",
       uint64_t{24576000} * 1024},
      {"MemAvailable: 0 kB", uint64_t{0}},
      {"MemTotal:       32768000 kB\nMemFree:  100 kB\n", std::nullopt},
      {"MemAvailable:   lots kB\n", std::nullopt},
      {"MemAvailable:   99999999999999999999 kB\n", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::MemAvailableBytes(c.text), c.bytes) << c.text;
}

// The budget is the least of MemAvailable and the room of every level of the process's memory cgroups,
// from figures laid in a folder: v2 and v1, a parent's limit, "max", the file cache (less what is still to
// be written), usage beyond the limit, missing files. The process is in "/user/app" of a v2 hierarchy at
// "u" (in "/sess" of a v1 memory hierarchy at "m" for the v1 rows); MemAvailable is 20 GiB unless a row
// gives "meminfo".
TEST(MemoryRule, CgroupLimitsBoundTheBudget) {
  constexpr uint64_t kGiB = uint64_t{1} << 30, kMiB = uint64_t{1} << 20;
  using Files = std::vector<std::pair<std::string, std::string>>;
  struct Case {
    const char* what;
    bool v1;
    Files files;
    uint64_t budget;
    const char* mount = nullptr;  // the hierarchy's folder, "u" (v2) or "m" (v1) unless given
  } cases[] = {
      {"v2", false, {{"u/user/app/memory.max", "2147483648\n"}, {"u/user/app/memory.current", "1073741824\n"}}, kGiB},
      {"v2 parent", false, {{"u/user/app/memory.max", "max\n"}, {"u/user/app/memory.current", "100\n"},
                            {"u/user/memory.max", "1073741824\n"}, {"u/user/memory.current", "536870912\n"}}, 512 * kMiB},
      {"v2 max", false, {{"u/user/app/memory.max", "max\n"}, {"u/user/app/memory.current", "1\n"}, {"u/memory.max", "max"}},
       20 * kGiB},
      {"v2 cache", false,
       {{"u/user/app/memory.max", "2147483648\n"}, {"u/user/app/memory.current", "2147483648\n"},
        {"u/user/app/memory.stat", "anon 1\nactive_file 805306368\ninactive_file 536870912\n"
                                   "file_dirty 134217728\nfile_writeback 134217728\n"}},
       kGiB},
      {"v2 cache all dirty", false,
       {{"u/user/app/memory.max", "2147483648\n"}, {"u/user/app/memory.current", "2147483648\n"},
        {"u/user/app/memory.stat", "active_file 100\nfile_dirty 200\n"}}, 0},
      {"v2 over", false, {{"u/user/app/memory.max", "1000\n"}, {"u/user/app/memory.current", "5000\n"}}, 0},
      {"v2 MemAvailable", false, {{"meminfo", "MemAvailable: 524288 kB\n"}, {"u/user/app/memory.max", "2147483648\n"},
                                  {"u/user/app/memory.current", "0\n"}}, 512 * kMiB},
      {"v1", true, {{"m/sess/memory.limit_in_bytes", "2147483648\n"}, {"m/sess/memory.usage_in_bytes", "1610612736\n"},
                    {"m/sess/memory.stat", "cache 9\ntotal_inactive_file 268435456\n"},
                    {"m/memory.limit_in_bytes", "9223372036854771712\n"}, {"m/memory.usage_in_bytes", "99999999\n"}},
       768 * kMiB},
      {"v1 active cache", true,
       {{"m/sess/memory.limit_in_bytes", "2147483648\n"}, {"m/sess/memory.usage_in_bytes", "1610612736\n"},
        {"m/sess/memory.stat", "inactive_file 1073741824\ntotal_active_file 268435456\n"
                               "total_inactive_file 134217728\ntotal_dirty 67108864\n"
                               "total_writeback 67108864\n"}},
       768 * kMiB},
      {"missing cgroup files", false, {}, 20 * kGiB},
      {"no usage", false, {{"u/user/app/memory.max", "1000\n"}}, 20 * kGiB},
      {"nothing", false, {{"meminfo", "\n"}, {"cgroup", "\n"}}, UINT64_MAX},
      {"v2 mount with a blank, a tab and a backslash", false,
       {{"u w\t\\/user/app/memory.max", "2147483648\n"}, {"u w\t\\/user/app/memory.current", "1073741824\n"}},
       kGiB, "u w\t\\"},
      {"v1 mount with a blank", true,
       {{"m m/sess/memory.limit_in_bytes", "1073741824\n"}, {"m m/sess/memory.usage_in_bytes", "536870912\n"}},
       512 * kMiB, "m m"},
  };
  // The kernel writes a blank, a tab, a line end and a backslash of a mount point as octal escapes.
  auto mountPoint = [](const std::string& path) {
    std::string out;
    for (const char ch : path) {
      if (ch == ' ' || ch == '\t' || ch == '\n' || ch == '\\') {
        char escape[5];
        std::snprintf(escape, sizeof escape, "\\%03o", static_cast<unsigned>(static_cast<unsigned char>(ch)));
        out += escape;
      } else {
        out += ch;
      }
    }
    return out;
  };
  for (const Case& c : cases) {
    support::TempDir dir;
    Files files = {{"meminfo", "MemAvailable: 20971520 kB\n"},
                   {"cgroup", c.v1 ? "4:memory:/sess\n0::/\n" : "0::/user/app\n"},
                   {"mounts", c.v1 ? "cgroup " + mountPoint(dir.File(c.mount ? c.mount : "m")) +
                                         " cgroup rw,relatime,memory 0 0\n"
                                   : "cgroup2 " + mountPoint(dir.File(c.mount ? c.mount : "u")) +
                                         " cgroup2 rw,nosuid 0 0\n"}};
    files.insert(files.begin(), c.files.begin(), c.files.end());  // the row's own figures come first
    for (const auto& [name, text] : files) {
      if (fs::exists(dir.File(name))) continue;
      fs::create_directories(fs::path(dir.File(name)).parent_path());
      toolkit_test::WriteFile(dir.File(name), std::vector<uint8_t>(text.begin(), text.end()));
    }
    const platform::MemoryFiles where{dir.File("meminfo"), dir.File("cgroup"), dir.File("mounts")};
    EXPECT_EQ(platform::MemoryBudget(where), c.budget) << c.what;
  }
}

// A real memory cgroup with a limit: a child process moved into it finds a budget within the limit.
// Skipped where the process may not make a cgroup with the memory controller.
TEST(MemoryRule, RealCgroupLimitBoundsTheBudgetOfAProcessInIt) {
  constexpr uint64_t kLimit = uint64_t{256} << 20;
  const auto groups = platform::ProcessMemoryCgroups({});
  if (groups.empty()) GTEST_SKIP() << "no memory cgroup is mounted";
  const platform::MemoryCgroup& own = groups.front();
  const std::string child = own.dir + "/suite_budget_" + std::to_string(::getpid());
  if (::mkdir(child.c_str(), 0755) != 0) GTEST_SKIP() << "cannot make a cgroup under " << own.dir;
  auto write = [&](const std::string& file, const std::string& text) {
    const int fd = ::open((child + "/" + file).c_str(), O_WRONLY | O_CLOEXEC);
    const bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (fd >= 0) ::close(fd);
    return ok;
  };
  if (!write(own.v2 ? "memory.max" : "memory.limit_in_bytes", std::to_string(kLimit))) {
    ::rmdir(child.c_str());
    GTEST_SKIP() << "the memory controller is not enabled for " << child;
  }
  int go[2], back[2];
  ASSERT_EQ(::pipe(go), 0);
  ASSERT_EQ(::pipe(back), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    char token = 0;
    const uint64_t budget = ::read(go[0], &token, 1) == 1 ? platform::MemoryBudget() : 0;
    _exit(::write(back[1], &budget, sizeof budget) == sizeof budget ? 0 : 1);
  }
  const bool moved = write("cgroup.procs", std::to_string(pid));
  ASSERT_EQ(::write(go[1], "g", 1), 1);
  uint64_t budget = 0;
  const bool got = ::read(back[0], &budget, sizeof budget) == sizeof budget;
  int status = 0;
  ::waitpid(pid, &status, 0);
  for (int fd : {go[0], go[1], back[0], back[1]}) ::close(fd);
  ::rmdir(child.c_str());
  if (!moved) GTEST_SKIP() << "cannot move a process into " << child;
  ASSERT_TRUE(got);
  EXPECT_LE(budget, kLimit);
  EXPECT_GT(budget, 0u);
}

TEST_F(LoaderTest, AbsoluteFileNamesIgnoreTheDataDirectory) {
  toolkit::SetFieldText(setup_->DataDir, "/data");
  toolkit::SetFieldText(setup_->FileName, "x.dat");
  EXPECT_EQ(viewer::RecordingPath(*setup_), "/data/x.dat");
  toolkit::SetFieldText(setup_->DataDir, "/data/");
  EXPECT_EQ(viewer::RecordingPath(*setup_), "/data/x.dat");
  toolkit::SetFieldText(setup_->FileName, "/other/x.dat");
  EXPECT_EQ(viewer::RecordingPath(*setup_), "/other/x.dat");
}

TEST(RecordingCaption, ShowsTheDirectoryWholeUpTo51CharactersAndTheChosenDuration) {
  auto s = std::make_unique<SetupRecord>();
  toolkit::SetSetupDefaults(*s, std::string(51, 'd'));
  toolkit::SetFieldText(s->FileName, "12150830.0");
  s->Header.Channels = 3;
  s->Header.dt = 0.01;
  s->FileSamples = 12345;
  s->Samples = 10;  // the duration counts the file's frames, not those read
  // The directory and the file are joined by one separator.
  EXPECT_EQ(viewer::RecordingCaption(*s),
            "пр-ма от Jul 28 2010;  " + std::string(51, 'd') + "/12150830.0; 3 каналов; 123.45 cek");
  toolkit::SetFieldText(s->DataDir, "/data/run/");
  EXPECT_EQ(viewer::RecordingCaption(*s), "пр-ма от Jul 28 2010;  /data/run/12150830.0; 3 каналов; 123.45 cek");
  toolkit::SetFieldText(s->DataDir, std::string(52, 'd'));
  EXPECT_EQ(viewer::RecordingCaption(*s),
            "пр-ма от Jul 28 2010;  " + std::string(50, 'd') + ".../12150830.0; 3 каналов; 123.45 cek");
  // Cyrillic directory names are cut by characters.
  std::string cyr;
  for (int i = 0; i < 52; ++i) cyr += "д";
  toolkit::SetFieldText(s->DataDir, cyr);
  EXPECT_EQ(viewer::RecordingCaption(*s),
            "пр-ма от Jul 28 2010;  " + cyr.substr(0, 100) + ".../12150830.0; 3 каналов; 123.45 cek");
}

}  // namespace
