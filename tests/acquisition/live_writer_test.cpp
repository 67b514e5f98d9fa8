#include "acquisition/live_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <numeric>

#include "live_fixture.h"
#include "toolkit/recording_file.h"

namespace acquisition::testing {
namespace {

class LiveWriterTest : public ::testing::Test {
 protected:
  std::unique_ptr<LiveWriter> Make(uint16_t rate, unsigned channels) {
    LiveWriterSetup setup;
    setup.DataDir = dir.str();
    setup.Channels = recorder::ChannelsFromMask(static_cast<uint8_t>((1u << channels) - 1));
    setup.Setup = setupBlock.SampleRate ? setupBlock : LiveSetup(rate, channels);
    setup.Position = [](float& lat, float& lon) {
      lat = 0.5f;
      lon = -1.0f;
    };
    setup.Log = [this](const std::string& line) { log.push_back(line); };
    setup.Tell = [this](const std::string& text) { told.push_back(text); };
    setup.WriteBytes = writeBytes;
    return OpenLiveWriter(std::move(setup), counters);
  }

  // One block through the writer the way the reception thread passes it.
  void Feed(LiveWriter& w, const recorder::CardPageHeader& h, const std::vector<int32_t>& samples) {
    if (w.CheckLiveTime(h)) w.CloseLiveFile();
    w.CheckEvent(samples);
    w.WriteLiveBlock(samples);
  }

  bool LogHas(const std::string& part) const {
    for (const auto& l : log)
      if (l.find(part) != std::string::npos) return true;
    return false;
  }

  ScratchDir dir;
  recorder::YSTANOV setupBlock{};
  LiveCounters counters;
  std::vector<std::string> log;
  std::vector<std::string> told;
  std::function<long(int, const void*, size_t)> writeBytes;
};

TEST_F(LiveWriterTest, FileInDayDirectoryWithHeaderAndInterleavedSamples) {
  auto w = Make(100, 3);
  ASSERT_TRUE(w);
  const uint32_t t0 = UnitSeconds(2026, 3, 15, 12, 30, 45);
  const auto h = BlockHeader(t0, 25, 3, 4);
  std::vector<int32_t> samples(12);
  std::iota(samples.begin(), samples.end(), -6);
  w->Prime(h);
  Feed(*w, h, samples);
  const fs::path file = dir.path() / "_03_15" / "151230.4";
  EXPECT_EQ(w->FileName(), file.string());
  EXPECT_EQ(counters.LiveFileName(), "151230.4");
  EXPECT_TRUE(LogHas((dir.path() / "_03_15").string() + "         * * *"));
  EXPECT_TRUE(LogHas("      *" + file.string()));
  w->CloseLiveFile();

  const auto bytes = FileBytes(file.string());
  ASSERT_EQ(bytes.size(), 120u + 3 * 72 + 12 * 4);
  EXPECT_EQ(At<uint16_t>(bytes, 0), 3);
  EXPECT_EQ(At<uint16_t>(bytes, 4), 60);
  EXPECT_EQ(At<uint16_t>(bytes, 6), 15);
  EXPECT_EQ(At<uint16_t>(bytes, 8), 3);
  EXPECT_EQ(At<uint16_t>(bytes, 10), 2026);
  EXPECT_EQ(At<uint16_t>(bytes, 12), 12);
  EXPECT_EQ(At<int16_t>(bytes, 18), 24);
  EXPECT_EQ(At<uint16_t>(bytes, 22), 100);
  EXPECT_EQ(At<uint16_t>(bytes, 24), 0x5566);
  EXPECT_EQ(At<uint16_t>(bytes, 26), 0x7788);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data() + 32)), "STA1");
  EXPECT_DOUBLE_EQ(At<double>(bytes, 48), 0.01);
  EXPECT_DOUBLE_EQ(At<double>(bytes, 56), 12 * 3600 + 30 * 60 + 45.25);
  EXPECT_NEAR(At<double>(bytes, 72), 0.5 * 180 / 3.14159265358979, 1e-5);
  // 2026-03-15 is day 46096 after 1899-12-30; StartTicks counts from 1980-01-01 (day 29221).
  const int64_t seconds = (46096 - 29221) * int64_t{86400} + 12 * 3600 + 30 * 60 + 45;
  EXPECT_EQ(At<int64_t>(bytes, 104), seconds * 256'000'000 + 64'000'000);
  for (unsigned i = 0; i < 3; ++i) {
    const size_t ch = 120 + 72 * i;
    EXPECT_EQ(At<uint16_t>(bytes, ch), i);
    EXPECT_EQ(At<uint16_t>(bytes, ch + 2), 0x1111);
    EXPECT_EQ(bytes[ch + 8], 'Z');
    EXPECT_EQ(bytes[ch + 9], '0' + i);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data() + ch + 32)), "t_d");
    EXPECT_DOUBLE_EQ(At<double>(bytes, ch + 56), 0.5);  // coefficient over the gain
    EXPECT_DOUBLE_EQ(At<double>(bytes, ch + 64), 1.0);
  }
  for (size_t k = 0; k < 12; ++k) EXPECT_EQ(At<int32_t>(bytes, 336 + 4 * k), static_cast<int32_t>(k) - 6);

  // The header reader of the processing program agrees with what was written.
  toolkit::MAIN_HEADER header{};
  std::memcpy(&header, bytes.data(), sizeof header);
  std::string text;
  EXPECT_EQ(toolkit::CheckMainHeader(header, text), 0) << text;
  EXPECT_EQ(header.Day, 15);
  EXPECT_DOUBLE_EQ(header.to, 12 * 3600 + 30 * 60 + 45.25);
}

TEST_F(LiveWriterTest, StartTimeIsExactForRatesThatDoNotDivideAMillion) {
  auto w = Make(3, 1);
  const auto h = BlockHeader(UnitSeconds(2026, 1, 2, 0, 0, 0), 1, 1, 3);
  w->Prime(h);
  Feed(*w, h, {1, 2, 3});
  w->CloseLiveFile();
  const auto bytes = FileBytes(w->FileName());
  const int64_t seconds = (46024 - 29221) * int64_t{86400};
  // A third of a second: 85,333,333 ticks, not 1/3 of 999,999 us.
  EXPECT_EQ(At<int64_t>(bytes, 104), seconds * 256'000'000 + 85'333'333);
  // Before 1980 the tick is rounded down, as every instant is.
  EXPECT_EQ(StartTicksOfSamples((toolkit::kSecondsFrom1899To1980 - 1) * 7 + 6, 7), -(256'000'000 / 7) - 1);
}

TEST_F(LiveWriterTest, GapClosesTheFileAndTheNextIsNamedAfterTheBlockPastTheGap) {
  auto w = Make(100, 2);
  const uint32_t t0 = UnitSeconds(2026, 3, 15, 12, 30, 45);
  std::vector<int32_t> samples(100, 7);
  auto h = BlockHeader(t0, 0, 2, 50);
  w->Prime(h);
  Feed(*w, h, samples);
  h.Position = 50;
  Feed(*w, h, samples);  // follows on
  EXPECT_FALSE(counters.CloseFlag);
  const std::string first = w->FileName();
  h = BlockHeader(t0 + 20, 0, 2, 50);  // 19 s lost
  Feed(*w, h, samples);
  EXPECT_TRUE(counters.CloseFlag);
  EXPECT_TRUE(LogHas("время! 15.03.26 12:31:05,00000;  Tcт: 15.03.26 12:30:45,50000;   dt=19.00000 c."))
      << log[2];
  EXPECT_EQ(fs::path(w->FileName()).filename(), "151231.0");
  EXPECT_EQ(FileBytes(first).size(), 120u + 2 * 72 + 200 * 4);
  // A gap within the same ten seconds does not overwrite the file just closed.
  h = BlockHeader(t0 + 22, 0, 2, 50);
  Feed(*w, h, samples);
  EXPECT_EQ(fs::path(w->FileName()).filename(), "151231.0_2");
  w->CloseLiveFile();
  EXPECT_EQ(FileBytes((dir.path() / "_03_15" / "151231.0").string()).size(), 120u + 2 * 72 + 100 * 4);
}

TEST_F(LiveWriterTest, FilesCloseAtTheirLengthAndANewDayGetsItsDirectory) {
  setupBlock = LiveSetup(10, 1);
  setupBlock.FileMinutes = 1;  // 600 samples
  auto w = Make(10, 1);
  EXPECT_EQ(w->FileSamples(), 600u);
  const uint32_t t0 = UnitSeconds(2026, 3, 15, 23, 59, 30);
  std::vector<int32_t> samples(100, 1);
  auto h = BlockHeader(t0, 0, 1, 100);
  w->Prime(h);
  for (int b = 0; b < 8; ++b) {
    h = BlockHeader(t0 + 10 * b, 0, 1, 100);
    Feed(*w, h, samples);
  }
  // The first file ran over midnight and stays in its start's directory; the second starts on the 16th.
  EXPECT_EQ(FileBytes((dir.path() / "_03_15" / "152359.3").string()).size(), 120u + 72 + 600 * 4);
  EXPECT_EQ(fs::path(w->FileName()), dir.path() / "_03_16" / "160000.3");
  EXPECT_EQ(w->SamplesInFile(), 200u);
  EXPECT_DOUBLE_EQ(counters.FileSeconds, 20.0);

  setupBlock.FileMinutes = 0;
  setupBlock.SampleRate = 100;
  EXPECT_EQ(Make(100, 1)->FileSamples(), 360'000u);
}

TEST_F(LiveWriterTest, EventNeedsEnoughChannelsWithinOneWindow) {
  auto w = Make(100, 3);  // window 5 rows, 2 channels, threshold 1000, no smoothing
  std::vector<int32_t> rows(15, 0);
  rows[0] = 5000;  // window 1: channel 0 alone
  rows[15 - 3 + 0] = 0;
  std::vector<int32_t> second(15, 0);
  second[3 * 1 + 1] = -2000;  // row 1, channel 1
  second[3 * 4 + 2] = 3000;   // row 4, channel 2
  w->CheckEvent(rows);
  EXPECT_EQ(w->Events(), 0);
  w->CheckEvent(second);
  EXPECT_EQ(w->Events(), 1);
  EXPECT_EQ(counters.EventCount, 1u);
  // Windows run on across blocks: 3 + 2 rows make one window.
  std::vector<int32_t> a(9, 0), b(6, 0);
  a[0] = a[1] = 4000;
  w->CheckEvent(a);
  EXPECT_EQ(w->Events(), 1);
  w->CheckEvent(b);
  EXPECT_EQ(w->Events(), 2);

  setupBlock = LiveSetup(100, 3);
  setupBlock.EventChannels = 0;
  auto every = Make(100, 3);
  every->CheckEvent(std::vector<int32_t>(30, 0));
  EXPECT_EQ(every->Events(), 2);
}

TEST_F(LiveWriterTest, FileWithEventsIsRenamedWithoutOverwritingAndEachFileReportsItsOwnPeak) {
  setupBlock = LiveSetup(100, 2);
  setupBlock.EventWindow = 1;
  setupBlock.EventChannels = 1;
  setupBlock.Thresholds[1] = 0;  // becomes 1
  auto w = Make(100, 2);
  const uint32_t t0 = UnitSeconds(2026, 3, 15, 12, 30, 45);
  auto h = BlockHeader(t0, 0, 2, 2);
  w->Prime(h);
  Feed(*w, h, {0, 0, 3000, 0});  // channel 0 three times its threshold
  const std::string name = w->FileName();
  // Someone's file already has the event name.
  { std::ofstream(name + "!") << "keep"; }
  w->CloseLiveFile();
  EXPECT_EQ(FileBytes(name + "!").size(), 4u);
  EXPECT_EQ(fs::path(w->FileName()).filename(), "151230.4!_2");
  EXPECT_EQ(counters.LastEventFile(), "151230.4!_2");
  EXPECT_EQ(counters.EventFileCount, 1);
  EXPECT_EQ(FileBytes(w->FileName()).size(), 120u + 2 * 72 + 16);
  EXPECT_TRUE(LogHas("0001 / 151230.4!_2: мах превышениe 3.0 раза в канале Z0")) << log.back();

  // The next file: only channel 1 (threshold now 1) exceeds, by 50 times; channel 0's old peak is gone.
  h = BlockHeader(t0 + 20, 0, 2, 2);
  Feed(*w, h, {0, 0, 0, 50});
  w->CloseLiveFile();
  EXPECT_TRUE(LogHas("0002 / 151231.0!: мах превышениe 50.0 раза в канале Z1")) << log.back();
  // A file without events keeps its name.
  h = BlockHeader(t0 + 40, 0, 2, 2);
  Feed(*w, h, {0, 0, 0, 0});
  w->CloseLiveFile();
  EXPECT_TRUE(fs::exists(dir.path() / "_03_15" / "151231.2"));
}

TEST_F(LiveWriterTest, RefusesWhatCannotGiveFiles) {
  std::string why;
  LiveWriterSetup setup;
  setup.Setup = LiveSetup(0, 1);
  setup.Channels = recorder::ChannelsFromMask(1);
  EXPECT_FALSE(OpenLiveWriter(setup, counters, &why));
  EXPECT_FALSE(why.empty());
  setup.Setup.SampleRate = 100;
  setup.Channels = recorder::ChannelsFromMask(0);
  EXPECT_FALSE(OpenLiveWriter(setup, counters, &why));
}

TEST_F(LiveWriterTest, FileThatCannotBeCreatedIsToldOnceAndRetried) {
  { std::ofstream(dir.path() / "blocker") << "x"; }
  LiveWriterSetup setup;
  setup.DataDir = (dir.path() / "blocker").string();  // a file, not a directory
  setup.Channels = recorder::ChannelsFromMask(1);
  setup.Setup = LiveSetup(100, 1);
  setup.Tell = [this](const std::string& text) { told.push_back(text); };
  auto w = OpenLiveWriter(setup, counters);
  const auto h = BlockHeader(UnitSeconds(2026, 3, 15, 1, 0, 0), 0, 1, 10);
  w->Prime(h);
  EXPECT_FALSE(w->WriteLiveBlock(std::vector<int32_t>(10, 1)));
  EXPECT_FALSE(w->WriteLiveBlock(std::vector<int32_t>(10, 1)));
  EXPECT_FALSE(w->FileOpen());
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find(kLiveCreateFailed), std::string::npos);
}

TEST_F(LiveWriterTest, ADayDirectoryPlantedAtItsNameIsRefusedAndNeverWrittenThrough) {
  const fs::path day = dir.path() / "_03_15";
  const fs::path elsewhere = dir.path() / "elsewhere";
  const bool root = ::geteuid() == 0;
  struct Row {
    const char* name;
    std::function<void()> plant;
    const char* why;
  } rows[] = {
      {"a link to a directory",
       [&] {
         fs::create_directory(elsewhere);
         fs::create_directory_symlink(elsewhere, day);
       },
       "символическая ссылка"},
      {"a dangling link", [&] { fs::create_directory_symlink(elsewhere, day); }, "символическая ссылка"},
      {"a plain file", [&] { std::ofstream(day) << "x"; }, "не папка"},
      {"another user's directory",
       [&] {
         fs::create_directory(day);
         if (root) {
           ASSERT_EQ(::chown(day.c_str(), 65534, 65534), 0);
         }
       },
       root ? "другому пользователю" : nullptr},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    if (!r.why) continue;  // only root can give a directory away
    fs::remove_all(day);
    fs::remove_all(elsewhere);
    told.clear();
    log.clear();
    r.plant();
    auto w = Make(100, 1);
    ASSERT_TRUE(w);
    const auto h = BlockHeader(UnitSeconds(2026, 3, 15, 1, 0, 0), 0, 1, 10);
    w->Prime(h);
    EXPECT_FALSE(w->WriteLiveBlock(std::vector<int32_t>(10, 1)));
    EXPECT_FALSE(w->WriteLiveBlock(std::vector<int32_t>(10, 1)));
    EXPECT_FALSE(w->FileOpen());
    ASSERT_EQ(told.size(), 1u) << "told once, not at every block";
    EXPECT_NE(told[0].find(r.why), std::string::npos) << told[0];
    EXPECT_NE(told[0].find(day.string()), std::string::npos) << told[0];
    EXPECT_TRUE(LogHas(told[0]));
    EXPECT_FALSE(fs::exists(elsewhere) && !fs::is_empty(elsewhere)) << "nothing written through the link";
    EXPECT_TRUE(fs::is_symlink(day) || fs::is_regular_file(day) || fs::is_empty(day)) << "left as it was";
  }
}

TEST_F(LiveWriterTest, DiskFullIsLoggedClosesTheFileAtWholeFramesAndTellsTheUser) {
  auto w = Make(100, 2);
  const uint32_t t0 = UnitSeconds(2026, 3, 15, 12, 0, 0);
  auto h = BlockHeader(t0, 0, 2, 84);
  w->Prime(h);
  std::vector<int32_t> samples(168, 9);
  // The file may grow to 10,000 bytes, as on a disk that is full.
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 10'000;
  setrlimit(RLIMIT_FSIZE, &small);
  int written = 0;
  bool failed = false;
  for (int b = 0; b < 40 && !failed; ++b) {
    h.Position = static_cast<uint16_t>(84 * b % 100);
    h.Second = t0 + 84 * b / 100;
    if (w->CheckLiveTime(h)) w->CloseLiveFile();
    failed = !w->WriteLiveBlock(samples);
    if (!failed) ++written;
  }
  const std::string name = w->FileName();
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  ASSERT_TRUE(failed);
  EXPECT_FALSE(w->FileOpen());
  EXPECT_TRUE(LogHas("err wri"));
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find(kLiveWriteFailed), std::string::npos);
  const auto size = fs::file_size(name);
  EXPECT_LE(size, 10'000u);
  EXPECT_EQ((size - 264) % 8, 0u);  // whole frames of two channels after the headers
  EXPECT_GE(size, 264u + uint64_t{8} * 84 * (written > 4 ? written - 6 : 0));
}

// A disk that takes `budget` more bytes, then answers ENOSPC, as a full file system does.
TEST_F(LiveWriterTest, FullDiskKeepsOnlyReceivedSamplesInWholeFramesAndTellsOncePerEpisode) {
  size_t budget = 264 + 8 * 84 * 10 + 100;  // ten blocks and 12 1/2 frames of the eleventh
  writeBytes = [&budget](int fd, const void* data, size_t size) -> long {
    if (budget == 0) {
      errno = ENOSPC;
      return -1;
    }
    const size_t n = std::min(size, budget);
    budget -= n;
    return static_cast<long>(::write(fd, data, n));
  };
  setupBlock = LiveSetup(100, 2);
  setupBlock.EventWindow = 1;
  setupBlock.EventChannels = 1;
  setupBlock.Thresholds[0] = setupBlock.Thresholds[1] = 5;  // every block holds events
  auto w = Make(100, 2);
  const uint32_t t0 = UnitSeconds(2026, 3, 15, 12, 0, 0);
  auto block = [&](int b) {
    auto h = BlockHeader(t0 + 84 * b / 100, static_cast<uint16_t>(84 * b % 100), 2, 84);
    if (b == 0) w->Prime(h);
    std::vector<int32_t> samples(168);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = (b + 1) * 1000 + static_cast<int32_t>(i);
    Feed(*w, h, samples);
  };
  // The samples a file holds, checked against what was fed: blocks from `first` on, `frames` rows.
  auto holds = [](const fs::path& file, int first, size_t frames) {
    const auto bytes = FileBytes(file.string());
    ASSERT_EQ(bytes.size(), 264 + 8 * frames) << file;
    for (size_t row = 0; row < frames; ++row)
      for (size_t c = 0; c < 2; ++c)
        ASSERT_EQ(At<int32_t>(bytes, 264 + 8 * row + 4 * c),
                  (first + static_cast<int>(row / 84) + 1) * 1000 + static_cast<int32_t>(row % 84 * 2 + c))
            << file << " row " << row;
  };
  auto files = [&] {
    std::vector<fs::path> all;
    for (const auto& e : fs::directory_iterator(dir.path() / "_03_15")) all.push_back(e.path());
    std::sort(all.begin(), all.end());
    return all;
  };
  for (int b = 0; b < 30; ++b) block(b);
  ASSERT_EQ(told.size(), 1u);  // once for the whole episode, not at every block
  EXPECT_NE(told[0].find(kLiveWriteFailed), std::string::npos);
  ASSERT_EQ(files().size(), 1u);  // the files opened on the full disk hold nothing and are gone
  EXPECT_EQ(files()[0].filename(), "151200.0!");
  holds(files()[0], 0, 84 * 10 + 12);
  EXPECT_EQ(counters.EventFileCount, 1);

  // Space comes back: a new file, then the disk fills again, a new episode.
  budget = 264 + 8 * 84 * 5;
  for (int b = 30; b < 38; ++b) block(b);
  w->CloseLiveFile();
  EXPECT_EQ(told.size(), 2u);
  ASSERT_EQ(files().size(), 2u);
  holds(files()[1], 30, 84 * 5);
  EXPECT_EQ(counters.EventFileCount, 2);
}

// The same on a real full file system: a 64 KiB tmpfs, where the test may mount one.
TEST_F(LiveWriterTest, FullTmpfsHoldsNoSampleThatWasNotReceived) {
  const fs::path mount = dir.path() / "small";
  fs::create_directories(mount);
  if (::mount("tmpfs", mount.c_str(), "tmpfs", 0, "size=64k") != 0) GTEST_SKIP() << "no tmpfs may be mounted here";
  struct Unmount {
    fs::path at;
    ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
  } unmount{mount};
  LiveWriterSetup setup;
  setup.DataDir = mount.string();
  setup.Channels = recorder::ChannelsFromMask(3);
  setup.Setup = LiveSetup(100, 2);
  setup.Setup.FileMinutes = 1;
  setup.Log = [this](const std::string& line) { log.push_back(line); };
  setup.Tell = [this](const std::string& text) { told.push_back(text); };
  auto w = OpenLiveWriter(setup, counters);
  const uint32_t t0 = UnitSeconds(2026, 3, 15, 12, 0, 0);
  std::vector<int32_t> samples(168, 7);  // no zero is ever received
  for (int b = 0; b < 200; ++b) {
    auto h = BlockHeader(t0 + 84 * b / 100, static_cast<uint16_t>(84 * b % 100), 2, 84);
    if (b == 0) w->Prime(h);
    Feed(*w, h, samples);
  }
  w->CloseLiveFile();
  EXPECT_EQ(told.size(), 1u);
  size_t files = 0;
  for (const auto& e : fs::directory_iterator(mount / "_03_15")) {
    ++files;
    const auto bytes = FileBytes(e.path().string());
    ASSERT_GT(bytes.size(), 264u) << e.path();
    EXPECT_EQ((bytes.size() - 264) % 8, 0u) << e.path();
    for (size_t at = 264; at + 4 <= bytes.size(); at += 4) ASSERT_EQ(At<int32_t>(bytes, at), 7) << e.path() << " @" << at;
  }
  EXPECT_GE(files, 1u);
}

}  // namespace
}  // namespace acquisition::testing
