#include "acquisition/download_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <optional>
#include <sstream>

#include "acquisition/page_identity.h"
#include "card_pages.h"
#include "download_files.h"
#include "tests/toolkit/python_reference.h"

namespace acquisition_test {
namespace {

using acquisition::DownloadSettings;
using acquisition::DownloadWriter;
using acquisition::PageResult;

// 2026-03-15 12:30:40 UTC as GPS seconds, and as seconds since 1980-01-01.
constexpr uint32_t kGps20260315_123040 = 1'457'613'040;
constexpr int64_t kSince1980_20260315_123040 = 1'458'045'040;

int32_t Ramp(uint64_t k) { return static_cast<int32_t>(k % 100'000) * 37 - 1'800'000; }

struct Harness {
  ScratchDir dir;
  DownloadSettings settings;
  std::string log;
  std::vector<std::string> shown;

  Harness() {
    settings.SampleClock = 100;
    settings.UnitId = 0x0A11;  // series 0x0A, number 17
    settings.DataDir = dir.Path();
    std::memcpy(settings.Setup.ChannelNames[0], "N", 2);
    std::memcpy(settings.Setup.ChannelNames[1], "E", 2);
    std::memcpy(settings.Setup.ChannelNames[2], "Z-12345678", 8);  // a full field, no NUL
    std::memcpy(settings.Setup.Station, "KAM01", 6);
    settings.Setup.K_yc[0] = 4;
    settings.Setup.Coefficients[0] = 2.0f;
    settings.Setup.K_yc[2] = 0;
    settings.Setup.Coefficients[2] = 3.0f;
    settings.FatFiles[0].Correction = 0.25L;
    settings.FatFiles[0].Latitude = 53.0;
    settings.FatFiles[0].Longitude = 158.5;
  }
  DownloadWriter Make() {
    return DownloadWriter(
        settings,
        [this](const std::string& t) {
          log += t;
          return true;
        },
        [this](const std::string& n) { shown.push_back(n); });
  }
};

// Feeds range-mode pages from card page `first` on; returns the result of the last one.
PageResult FeedRange(DownloadWriter& w, const std::vector<Page>& pages, uint32_t first) {
  PageResult r = PageResult::Accepted;
  for (size_t i = 0; i < pages.size() && r == PageResult::Accepted; ++i)
    r = w.StoreRangePage(first + static_cast<uint32_t>(i), pages[i].data());
  return r;
}

std::vector<int32_t> Expected(uint64_t from, uint64_t count) {
  std::vector<int32_t> v;
  for (uint64_t k = from; k < from + count; ++k) v.push_back(Ramp(k));
  return v;
}

TEST(DownloadWriter, APageIsPlacedByItsSerialAndTimeOnlyWhenBothAgree) {
  // Pages of one recording, 82 frames a page at 100 Hz: page k holds frames 82 k on, serial 65534 + k.
  const auto pageAt = [](int k, const std::function<void(PageSpec&)>& change = {}) {
    PageSpec s;
    const uint64_t frame = 1000 + 82 * static_cast<uint64_t>(k);
    s.Second = 1'000'000'000 + static_cast<uint32_t>(frame / 100);
    s.Position = static_cast<uint16_t>(frame % 100);
    s.Serial = static_cast<uint16_t>(65534 + k);
    if (change) change(s);
    return BuildPage(s, [](unsigned) { return 0; });
  };
  const Page first = pageAt(0);
  const acquisition::PageIdentity anchor = acquisition::IdentityOf(first.data(), 7000, 100);
  struct Case {
    const char* what;
    Page page;
    std::optional<int64_t> placed;
  };
  const Case cases[] = {
      {"the next page", pageAt(1), 7001},
      {"across the serial's wrap", pageAt(5), 7005},
      {"a page before it", pageAt(-3), 6997},
      {"itself", first, 7000},
      {"serial two on, time one on", pageAt(1, [](PageSpec& s) { ++s.Serial; }), std::nullopt},
      {"time a second late", pageAt(1, [](PageSpec& s) { ++s.Second; }), std::nullopt},
      {"another file", pageAt(1, [](PageSpec& s) { s.FileNumber = 2; }), std::nullopt},
      {"other channels", pageAt(1, [](PageSpec& s) { s.Mask = 0x05; }), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(acquisition::PageByHeader(anchor, c.page.data(), 100), c.placed);
  }
  EXPECT_EQ(acquisition::PageByHeader(acquisition::PageIdentity{}, first.data(), 100), std::nullopt);
}

TEST(DownloadWriter, RangeModeFileCarriesHeadersAndEverySample) {
  Harness h;
  Recording rec;
  rec.First.Channels = 2;
  rec.First.Mask = 0b101;  // recorder channels 0 and 2
  rec.First.Second = kGps20260315_123040;
  rec.First.Position = 50;  // half a second in
  rec.Count = 7;
  auto w = h.Make();
  ASSERT_EQ(FeedRange(w, BuildRecording(rec, Ramp), 500), PageResult::Accepted);
  ASSERT_TRUE(w.CloseDataFile(506));
  ASSERT_EQ(h.dir.Names(), std::vector<std::string>{"03151230u0a017.40"});
  EXPECT_EQ(h.shown, h.dir.Names());

  ReadBack f = ReadRecording(h.dir.File("03151230u0a017.40"));
  ASSERT_TRUE(f.Ok);
  EXPECT_EQ(f.Main.Channels, 2);
  EXPECT_EQ(f.Main.Format, 60);
  EXPECT_EQ(f.Main.Rate, 100);
  EXPECT_DOUBLE_EQ(f.Main.dt, 0.01);
  EXPECT_EQ(f.Main.Bits, 24);
  EXPECT_EQ(f.Main.Reserved12, 12);
  EXPECT_EQ(f.Main.Mark1, 0x5566);
  EXPECT_EQ(f.Main.Mark2, 0x7788);
  EXPECT_EQ(f.Main.Synced, 0);
  EXPECT_EQ(f.Main.SyncDt, 0.0);
  EXPECT_EQ(f.Main.Latitude, 53.0);
  EXPECT_EQ(f.Main.Longitude, 158.5);
  EXPECT_STREQ(f.Main.Station, "KAM01");
  EXPECT_EQ(f.Main.Day, 15);
  EXPECT_EQ(f.Main.Month, 3);
  EXPECT_EQ(f.Main.Year, 2026);
  EXPECT_NEAR(f.Main.to, 12 * 3600 + 30 * 60 + 40.75, 1e-6);
  // Page second + 50 samples at 100 Hz + the file's correction of 0.25 s.
  EXPECT_EQ(f.Main.StartTicks, kSince1980_20260315_123040 * 256'000'000 + 192'000'000);
  std::string text;
  toolkit::MAIN_HEADER checked = f.Main;
  EXPECT_EQ(toolkit::CheckMainHeader(checked, text), 0) << text;

  ASSERT_EQ(f.Channels.size(), 2u);
  EXPECT_EQ(f.Channels[0].Number, 0);
  EXPECT_EQ(f.Channels[1].Number, 1);
  EXPECT_STREQ(f.Channels[0].Name, "N");
  EXPECT_STREQ(f.Channels[1].Name, "Z-123456");
  EXPECT_STREQ(f.Channels[0].tip, "t_d");
  EXPECT_EQ(f.Channels[0].Mark1, 0x1111);
  EXPECT_EQ(f.Channels[1].Mark3, 0x3333);
  EXPECT_DOUBLE_EQ(f.Channels[0].Coef, 0.5);  // 2.0 / gain 4
  EXPECT_DOUBLE_EQ(f.Channels[1].Coef, 3.0);  // gain 0 leaves it undivided
  EXPECT_EQ(f.Channels[1].Coef2, 1.0);
  EXPECT_EQ(f.Samples, Expected(0, 7 * 164));
  EXPECT_NE(h.log.find("\nfile 03151230u0a017.40  стр 00000500;"), std::string::npos) << h.log;
  EXPECT_NE(h.log.find("\nконец файла в бл. 506;"), std::string::npos);
}

TEST(DownloadWriter, ShortNamesThatCollideGetASuffixAndNothingIsOverwritten) {
  Harness h;
  h.settings.Setup.FullNames = 1;
  Recording rec;
  rec.First.Second = kGps20260315_123040 + 5;  // 12:30:45
  rec.Count = 3;
  auto w = h.Make();
  auto pages = BuildRecording(rec, Ramp);
  // A second recording 2 s later: a time gap, and a new file whose name has the same ten seconds.
  Recording later = rec;
  later.First.Second += 4;
  auto more = BuildRecording(later, Ramp, 10'000);
  pages.insert(pages.end(), more.begin(), more.end());
  ASSERT_EQ(FeedRange(w, pages, 10), PageResult::Accepted);
  ASSERT_TRUE(w.CloseDataFile(15));
  ASSERT_EQ(h.dir.Names(), (std::vector<std::string>{"151230.411", "151230.411_2"}));
  EXPECT_EQ(ReadRecording(h.dir.File("151230.411")).Samples, Expected(0, 3 * 164));
  EXPECT_EQ(ReadRecording(h.dir.File("151230.411_2")).Samples, Expected(10'000, 3 * 164));
  EXPECT_NE(h.log.find("   разрыв с новым блоком 1.54000 сек"), std::string::npos) << h.log;
}

TEST(DownloadWriter, RangeModeSplitsAtGapsAndParameterChangesAndStopsWhenTimeGoesBack) {
  Harness h;
  Recording rec;
  rec.First.Second = kGps20260315_123040;
  rec.Count = 6;
  auto pages = BuildRecording(rec, Ramp);
  pages.erase(pages.begin() + 2);  // a lost block: pages 0, 1 | 3, 4, 5
  // Then one channel from the same second on: a parameter change, no time gap needed.
  Recording mono = rec;
  mono.First.Channels = 1;
  mono.First.Mask = 0x04;
  mono.First.Values = 150;
  mono.First.Second = kGps20260315_123040 + 60;
  mono.Count = 2;
  auto monoPages = BuildRecording(mono, Ramp, 50'000);
  pages.insert(pages.end(), monoPages.begin(), monoPages.end());
  // And a page of an older recording.
  Recording old = rec;
  old.First.Second -= 3600;
  old.Count = 1;
  pages.push_back(BuildRecording(old, Ramp)[0]);

  auto w = h.Make();
  EXPECT_EQ(FeedRange(w, pages, 100), PageResult::Finish);
  EXPECT_FALSE(w.FileOpen());
  ASSERT_EQ(w.FilesWritten().size(), 3u);
  ReadBack a = ReadRecording(w.FilesWritten()[0]);
  ReadBack b = ReadRecording(w.FilesWritten()[1]);
  ReadBack c = ReadRecording(w.FilesWritten()[2]);
  EXPECT_EQ(a.Samples, Expected(0, 2 * 164));
  EXPECT_EQ(b.Samples, Expected(3 * 164, 3 * 164));
  EXPECT_EQ(b.Main.StartTicks - a.Main.StartTicks, 3 * 82 * 2'560'000);  // three pages of 82 frames later
  EXPECT_EQ(c.Samples, Expected(50'000, 2 * 150));
  EXPECT_EQ(c.Main.Channels, 1);
  EXPECT_STREQ(c.Channels[0].Name, "Z-123456");
  EXPECT_NE(h.log.find(";   Сменились параметры записи!"), std::string::npos);
  EXPECT_NE(h.log.find("\nв бл. 106 конец последней записи; дальше время 15.03.26 11:30:40"),
            std::string::npos)
      << h.log;
}

TEST(DownloadWriter, FileLengthFollowsTheMinutesAndTheHundredMillionLimit) {
  Harness h;
  Recording rec;
  rec.First.Channels = 3;
  rec.First.Mask = 0x07;
  rec.First.Values = 162;
  rec.Count = 1;
  {
    auto w = h.Make();
    ASSERT_EQ(FeedRange(w, BuildRecording(rec, Ramp), 0), PageResult::Accepted);
    EXPECT_EQ(w.FlushAmount(), 3000u);
    EXPECT_EQ(w.FileAmount(), 92u * 1'080'000u);  // 92 whole hours stay within 100,000,000 samples
  }
  // Two minutes of one channel at 100 Hz are 12,000 samples: 80 pages of 150.
  h.settings.FileMinutes = 2;
  rec.First.Channels = 1;
  rec.First.Mask = 0x01;
  rec.First.Values = 150;
  rec.First.Second = kGps20260315_123040;
  for (unsigned count : {80u, 81u}) {
    ScratchDir dir;
    h.settings.DataDir = dir.Path();
    rec.Count = count;
    auto w = h.Make();
    ASSERT_EQ(FeedRange(w, BuildRecording(rec, Ramp), 0), PageResult::Accepted);
    EXPECT_EQ(w.FileAmount(), 12'000u);
    EXPECT_EQ(w.FileOpen(), count == 81) << count;  // the exact length closes at the last page
    ASSERT_TRUE(w.CloseDataFile(count));
    ASSERT_EQ(w.FilesWritten().size(), count == 80 ? 1u : 2u);
    ReadBack first = ReadRecording(w.FilesWritten()[0]);
    EXPECT_EQ(first.Samples, Expected(0, 12'000));
    if (count == 81) {
      ReadBack second = ReadRecording(w.FilesWritten()[1]);
      EXPECT_EQ(second.Samples, Expected(12'000, 150));
      EXPECT_EQ(second.Main.StartTicks - first.Main.StartTicks, int64_t{120} * 256'000'000);
      EXPECT_EQ(dir.Names()[1], "03151232u0a017.40");
    }
  }
}

TEST(DownloadWriter, DecimationCodesFifteenGiveTwoHundredFiftySix) {
  Harness h;
  h.settings.SampleClock = 25'600;
  Recording rec;
  rec.First.DecimationA = 15;
  rec.First.DecimationB = 15;
  rec.Count = 2;
  auto w = h.Make();
  ASSERT_EQ(FeedRange(w, BuildRecording(rec, Ramp), 0), PageResult::Accepted);  // no time gap between them
  ASSERT_TRUE(w.CloseDataFile(1));
  EXPECT_EQ(w.Decimation(), 256u);
  ReadBack f = ReadRecording(w.FilesWritten()[0]);
  EXPECT_EQ(f.Main.Rate, 100);
  EXPECT_DOUBLE_EQ(f.Main.dt, 0.01);
  EXPECT_EQ(f.Samples.size(), 2u * 164u);
}

TEST(DownloadWriter, HeadersAreRefusedOnlyForWhatWouldBreakTheFile) {
  using recorder::HeaderFault;
  Recording rec;
  const Page good = BuildRecording(rec, Ramp)[0];
  struct Case {
    const char* what;
    std::function<void(Page&)> change;
    uint32_t clock;
    HeaderFault fault;
  };
  const Case cases[] = {
      {"good", [](Page&) {}, 100, HeaderFault::None},
      {"values not whole frames", [](Page& p) { p[11] = 163; }, 100, HeaderFault::None},
      {"mask of three channels", [](Page& p) { p[14] = 0x07; }, 100, HeaderFault::None},
      {"empty mask", [](Page& p) { p[14] = 0; }, 100, HeaderFault::None},
      {"byte 0 and 15 of any value", [](Page& p) { p[0] = 0xEE; }, 100, HeaderFault::None},
      {"nine channels",
       [](Page& p) {
         p[1] = 8;
         p[11] = 18;
       },
       100, HeaderFault::Channels},
      {"no values", [](Page& p) { p[11] = 0; }, 100, HeaderFault::Values},
      {"more values than fit", [](Page& p) { p[11] = 166; }, 100, HeaderFault::Values},
      {"decimation above the clock",
       [](Page& p) {
         p[12] = 0xF0;
         p[13] = 0xF0;
       },
       100, HeaderFault::Rate},
      {"no clock", [](Page&) {}, 0, HeaderFault::SampleClock},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Page p = good;
    c.change(p);
    SealPage(p);
    EXPECT_EQ(acquisition::DataHeaderFault(p.data(), c.clock), c.fault);
  }
  Page bad = good;
  ++bad[3];
  EXPECT_EQ(acquisition::DataHeaderFault(bad.data(), 100), HeaderFault::Sum);
}

TEST(DownloadWriter, APageOfPartFramesAndAMaskOfOtherChannelsStillMakeAConsistentFile) {
  Harness h;
  Recording rec;
  rec.First.Channels = 3;
  rec.First.Values = 163;  // 54 whole frames and one value over
  rec.First.Mask = 0x03;   // two mask bits for three channels
  rec.First.Second = kGps20260315_123040;
  rec.Count = 3;
  std::vector<Page> pages = BuildRecording(rec, Ramp);
  auto w = h.Make();
  ASSERT_EQ(FeedRange(w, pages, 0), PageResult::Accepted);
  ASSERT_TRUE(w.CloseDataFile(2));
  ASSERT_EQ(w.FilesWritten().size(), 1u);  // 54 frames a page follow on in time
  ReadBack f = ReadRecording(w.FilesWritten()[0]);
  ASSERT_TRUE(f.Ok);
  EXPECT_EQ(f.Main.Channels, 3);
  ASSERT_EQ(f.Channels.size(), 3u);
  EXPECT_STREQ(f.Channels[2].Name, "Z-123456");
  std::vector<int32_t> expected;
  for (uint64_t page = 0; page < 3; ++page) {
    const auto part = Expected(page * 163, 162);
    expected.insert(expected.end(), part.begin(), part.end());
  }
  EXPECT_EQ(f.Samples, expected);
  EXPECT_NE(h.log.find("\n маска каналов 0x03 не для 3 каналов: каналы 0..2"), std::string::npos) << h.log;
}

TEST(DownloadWriter, TheFileLengthOfTheFastestClockAndLongestFilesDoesNotWrap) {
  Harness h;
  h.settings.SampleClock = acquisition::kMostSampleClock;
  h.settings.FileMinutes = 240;
  Recording rec;
  rec.First.Channels = 8;
  rec.First.Mask = 0xFF;
  rec.First.Values = 160;
  rec.Count = 1;
  auto w = h.Make();
  ASSERT_EQ(FeedRange(w, BuildRecording(rec, Ramp), 0), PageResult::Accepted);
  EXPECT_EQ(w.FlushAmount(), 65'535u * 8 * 10);
  EXPECT_EQ(w.FileAmount(), uint64_t{65'535} * 8 * 10 * 240 * 6);
  EXPECT_NE(h.log.find(" - 240мин"), std::string::npos) << h.log;
}

TEST(DownloadWriter, FatModeEndsAtAGapOrAParameterChange) {
  recorder::FileEntry entry;
  entry.StartTime = kGps20260315_123040;
  entry.Correction = -1.5L;
  Recording rec;
  rec.First.Second = kGps20260315_123040;
  rec.Count = 4;
  for (int fault = 0; fault < 2; ++fault) {
    Harness h;
    auto pages = BuildRecording(rec, Ramp);
    if (fault == 0) {
      pages.erase(pages.begin() + 2);
    } else {
      PageSpec s = rec.First;
      s.Second += 2;
      s.Position = 46;
      s.Serial = 2;
      s.DecimationA = 1;  // the same time, another decimation
      pages[2] = BuildPage(s, Ramp);
    }
    auto w = h.Make();
    PageResult r = PageResult::Accepted;
    for (size_t i = 0; i < pages.size() && r == PageResult::Accepted; ++i)
      r = w.StoreFatPage(41 + static_cast<uint32_t>(i), pages[i].data(), i == 0, entry);
    EXPECT_EQ(r, PageResult::Finish);
    EXPECT_FALSE(w.FileOpen());
    ReadBack f = ReadRecording(w.FilesWritten().at(0));
    EXPECT_EQ(f.Samples, Expected(0, 2 * 164)) << fault;
    EXPECT_EQ(f.Main.StartTicks, (kSince1980_20260315_123040 - 2) * 256'000'000 + 128'000'000);
    EXPECT_NE(h.log.find(fault == 0 ? "     разрыв с новым блоком 0.82000 сек"
                                    : "       Сменились параметры записи; "),
              std::string::npos)
        << h.log;
    EXPECT_EQ(h.log.find("Open_File error"), std::string::npos);
  }
}

// The high-pass of a FAT download against scipy: an order-3 Butterworth high-pass in second-order
// sections started in the steady state of the mean of each channel's first four samples, fresh for
// each recorded file.
TEST(DownloadWriter, HighPassMatchesScipyAndStartsAfreshForEachFile) {
  Harness h;
  h.settings.HighPassIndex = 4;  // 0.2 Hz
  std::vector<int32_t> input[2];
  auto signal = [](uint64_t k) {
    const double t = static_cast<double>(k / 2) / 100.0;
    const double v = (k % 2 ? -300'000.0 : 500'000.0) + 200'000.0 * std::sin(2 * M_PI * 0.05 * t) +
                     50'000.0 * std::sin(2 * M_PI * 7.0 * t + static_cast<double>(k % 2));
    return static_cast<int32_t>(v);
  };
  recorder::FileEntry entries[2];
  std::vector<Page> pages[2];
  for (int e = 0; e < 2; ++e) {
    Recording rec;
    rec.First.Second = kGps20260315_123040 + 3600u * e;
    rec.First.FileNumber = static_cast<uint8_t>(e + 1);
    rec.Count = 30;
    entries[e].StartTime = rec.First.Second;
    pages[e] = BuildRecording(rec, signal, 777'777u * e);
    for (uint64_t k = 0; k < 30 * 164; ++k) input[e].push_back(signal(777'777u * e + k));
  }
  auto w = h.Make();
  for (int e = 0; e < 2; ++e) {
    w.ResetFileCounter();
    for (size_t i = 0; i < pages[e].size(); ++i)
      ASSERT_EQ(w.StoreFatPage(static_cast<uint32_t>(i), pages[e][i].data(), i == 0, entries[e]),
                PageResult::Accepted);
    ASSERT_TRUE(w.CloseDataFile(99));
  }
  ASSERT_EQ(w.FilesWritten().size(), 2u);
  for (int e = 0; e < 2; ++e) {
    std::ostringstream program;
    program << "import numpy as np\nfrom scipy import signal\n"
            << "sos = signal.butter(3, 0.2, 'highpass', fs=100.0, output='sos')\n"
            << "x = np.array([";
    for (size_t i = 0; i < input[e].size(); ++i) program << (i ? "," : "") << input[e][i];
    program << "], dtype=float).reshape(-1, 2)\n"
            << "for j in range(2):\n"
            << "    c = x[:, j]\n"
            << "    y = signal.sosfilt(sos, c, zi=signal.sosfilt_zi(sos) * c[:4].mean())[0]\n"
            << "    print(' '.join('%.3f' % v for v in y))\n";
    auto lines = toolkit_test::RunPython("highpass", program.str());
    ASSERT_EQ(lines.size(), 2u);
    ReadBack f = ReadRecording(w.FilesWritten()[e]);
    ASSERT_EQ(f.Samples.size(), input[e].size());
    for (int j = 0; j < 2; ++j) {
      std::istringstream in(lines[static_cast<size_t>(j)]);
      double worst = 0;
      double y;
      for (size_t k = static_cast<size_t>(j); in >> y; k += 2)
        worst = std::max(worst, std::abs(f.Samples[k] - y));
      EXPECT_LE(worst, 1.0 + 1e-6) << "file " << e << " channel " << j;
    }
  }
}

TEST(DownloadWriter, AFullDiskIsAFailureNotASuccess) {
  Harness h;
  Recording rec;
  rec.Count = 400;  // 400 x 164 x 4 bytes, over the limit below
  const auto pages = BuildRecording(rec, Ramp);
  auto w = h.Make();
  PageResult r;
  {
    FileSizeLimit full(64 * 1024);
    r = FeedRange(w, pages, 0);
  }
  EXPECT_EQ(r, PageResult::Failed);
  EXPECT_FALSE(w.FileOpen());
  EXPECT_NE(w.Failure().find(w.FilesWritten().at(0)), std::string::npos) << w.Failure();
  EXPECT_NE(h.log.find("error write file"), std::string::npos);
  EXPECT_EQ(h.log.find("конец файла"), std::string::npos);
}

}  // namespace
}  // namespace acquisition_test
