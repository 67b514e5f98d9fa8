// The download thread against the emulated recorder over the link: a card with known recordings is
// read into files whose headers and every sample are checked against what the recorder stored.
#include "acquisition/download_thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>

#include "card_expectations.h"
#include "card_pages.h"
#include "download_files.h"
#include "emulator/card_image.h"
#include "emulator/command_set.h"
#include "emulator/default_device.h"
#include "emulator/emulated_driver.h"
#include "platform/clock.h"
#include "toolkit/format_text.h"

namespace acquisition_test {
namespace {

using acquisition::DownloadEnd;
using emulator::CardImageBuilder;
using emulator::CardRecording;

constexpr uint32_t kT0 = 1'394'541'000;  // 15.03.24 12:30:00

// The pages a report names as lost or not read ("стр. a..b" in its lists).
std::set<uint32_t> NamedPages(const acquisition::DownloadReport& r) {
  std::set<uint32_t> pages(r.Lost.begin(), r.Lost.end());
  for (const std::string& line : r.NotRead) {
    const size_t at = line.find("стр. ");
    unsigned a = 0, b = 0;
    if (at != std::string::npos &&
        std::sscanf(line.c_str() + at + std::strlen("стр. "), "%u..%u", &a, &b) == 2)
      for (uint32_t p = a; p <= b; ++p) pages.insert(p);
  }
  return pages;
}

class DownloadOverLink : public ::testing::Test {
 protected:
  void SetUp() override {
    emulator::SetUpDefaultDevice(device.recorder.State());
    set = emulator::CommandSet::Install(device.recorder);
    builder.PowerOn(kT0 - 5);
    ASSERT_TRUE(link.ListDevices());
    link.Chosen = 0;
    ASSERT_TRUE(link.OpenLink());
    settings.SampleClock = 1000;
    settings.DataDir = dir.Path();
    settings.UnitId = 0x1A05;
    hooks.Log = [this](const std::string& t) {
      log += t;
      return true;
    };
    hooks.ShowFileName = [this](const std::string& n) { names.push_back(n); };
    hooks.ShowButton = [this](const std::string& t) { button = t; };
    hooks.ShowSummary = [this](const std::string& t) { summary = t; };
    hooks.Message = [this](const std::string& t, const std::string& c) { messages.push_back(c + "|" + t); };
    hooks.Done = [this] { ++done; };
  }

  void Record(uint8_t channels, uint32_t start, uint32_t pages, uint8_t decimationA = 0) {
    CardRecording r;
    r.Channels = channels;
    r.StartTime = start;
    r.DataPages = pages;
    r.DecimationA = decimationA;
    builder.Recording(r);
    channels_.push_back(channels);
  }
  void Burn() { device.recorder.State().card = builder.Build(); }
  uint8_t* CardPage(uint32_t p) { return emulator::PageAt(device.recorder.State().card, p); }
  recorder::FileEntry Entry(size_t i, uint32_t start) const {
    const emulator::CardFile& f = builder.Files().at(i);
    recorder::FileEntry e;
    e.BeginPage = f.SetupPage;
    e.EndPage = f.LastPage;
    e.StartTime = start;
    return e;
  }
  // A page-range download of the card from `beginPage` (0: the first file's first page) to `endPage`,
  // with the card's FAT read before, as the program has it.
  recorder::FileEntry UseRange(uint32_t endPage, uint32_t beginPage = 0) {
    recorder::FileEntry range;
    range.BeginPage = beginPage != 0 ? beginPage : builder.Files()[0].SetupPage;
    range.EndPage = endPage;
    settings.FatMode = false;
    settings.SelFiles = {range};
    settings.FatFiles = {};
    for (size_t i = 0; i < builder.Files().size(); ++i) settings.FatFiles[i] = Entry(i, 0);
    return range;
  }
  DownloadEnd Run() {
    acquisition::TrdBce t(link, settings, progress, total, hooks);
    t.Execute(stop.get_token());
    files = t.Writer().FilesWritten();
    report = t.Report();
    end = t.End();
    return end;
  }
  std::vector<std::pair<uint32_t, uint32_t>> Requests() const { return PageRequests(device.recorder); }
  // The samples of data page `p` of the card's recordings as the card holds them now (a test may have
  // changed a page); empty for another page.
  std::vector<int32_t> SamplesOf(uint32_t p) {
    for (size_t i = 0; i < builder.Files().size(); ++i) {
      const emulator::CardFile& f = builder.Files()[i];
      if (p < f.FirstDataPage || p > f.LastPage) continue;
      const uint8_t* page = CardPage(p);
      std::vector<int32_t> samples(f.FramesPerPage * channels_[i]);
      for (size_t k = 0; k < samples.size(); ++k) {
        const uint8_t* v = page + 16 + 3 * k;
        samples[k] = static_cast<int32_t>(v[0] | v[1] << 8 | v[2] << 16) - 0x800000;
      }
      return samples;
    }
    return {};
  }
  // What every download under line faults must hold, `wanted` being the pages asked for: each sample in
  // the files is the card's own at its place, every page missing is named in the report, "complete" is
  // said only of a complete download, and a file the report calls complete holds every page asked for of
  // its recording that no file before or after it holds.
  void ExpectCardSamples(const std::vector<uint32_t>& wanted) {
    const std::set<uint32_t> named = NamedPages(report);
    std::vector<int32_t> got, expected;
    std::vector<std::vector<int32_t>> perFile;
    for (const std::string& name : files) {
      perFile.push_back(ReadRecording(name).Samples);
      got.insert(got.end(), perFile.back().begin(), perFile.back().end());
    }
    std::vector<uint32_t> kept;  // the data pages the files should hold, in order
    for (uint32_t p : wanted) {
      const std::vector<int32_t> part = SamplesOf(p);
      if (named.count(p) || part.empty()) continue;
      kept.push_back(p);
      expected.insert(expected.end(), part.begin(), part.end());
    }
    ASSERT_EQ(got, expected) << log;
    EXPECT_EQ(messages.size(), report.Complete() ? 0u : 1u) << log;
    EXPECT_EQ(summary.rfind("прочитано не всё!", 0) == 0, !report.Complete()) << summary;
    if (!messages.empty()) {
      EXPECT_EQ(messages[0].rfind("Прочитано не всё|", 0), 0u);
    }
    if (report.Complete()) {
      EXPECT_EQ(end, DownloadEnd::Completed) << log;
    }
    for (uint32_t p : report.Lost) EXPECT_TRUE(std::binary_search(wanted.begin(), wanted.end(), p)) << p;
    // Which pages each file holds: the kept pages in order, file after file.
    ASSERT_EQ(report.Files.size(), perFile.size());
    size_t k = 0;
    uint32_t previousLast = 0;
    for (size_t i = 0; i < perFile.size(); ++i) {
      const uint32_t firstPage = k < kept.size() ? kept[k] : 0;
      size_t n = 0;
      for (size_t at = 0; at < perFile[i].size(); ++k) {
        ASSERT_LT(k, kept.size());
        at += SamplesOf(kept[k]).size();
        ++n;
      }
      const uint32_t lastPage = kept[k - 1];
      const uint32_t before = previousLast;
      previousLast = lastPage;
      const acquisition::DownloadedFile& file = report.Files[i];
      if (!file.CutReason.empty() || file.UnitSetup) continue;
      // Complete: no gap inside, none before it in its recording, none after it.
      const emulator::CardFile* rec = nullptr;
      for (const emulator::CardFile& f : builder.Files())
        if (firstPage >= f.FirstDataPage && firstPage <= f.LastPage) rec = &f;
      ASSERT_NE(rec, nullptr);
      EXPECT_EQ(lastPage - firstPage + 1, n) << file.Name << " is called complete\n" << log;
      const bool startsRecording =
          firstPage == std::max(rec->FirstDataPage, wanted.front()) || firstPage == before + 1;
      const uint32_t after = k < kept.size() ? kept[k] : ~0u;
      const bool endsRecording = lastPage == std::min(rec->LastPage, wanted.back()) || after == lastPage + 1;
      EXPECT_TRUE(startsRecording && endsRecording)
          << file.Name << " (pages " << firstPage << ".." << lastPage << ") is called complete\n"
          << log;
      // Nor was the page before it lost: its own setup page, or one of its data.
      EXPECT_EQ(named.count(firstPage - 1), 0u) << file.Name << " is called complete\n" << log;
    }
  }

  platform::TestClock clock{5000};
  platform::ScopedClock scoped{clock};
  emulator::EmulatedDriver driver;
  emulator::EmulatedDevice& device = driver.Attach();
  recorder::UnitLink link{driver};
  std::shared_ptr<emulator::CommandSet> set;
  CardImageBuilder builder{1, 1, 2, 1000};
  ScratchDir dir;
  acquisition::DownloadSettings settings;
  acquisition::DownloadHooks hooks;
  recorder::DownloadProgress progress;
  std::atomic<double> total{0};
  std::stop_source stop;
  std::string log, button, summary;
  std::vector<std::string> names, messages, files;
  acquisition::DownloadReport report;
  DownloadEnd end = DownloadEnd::Running;
  int done = 0;
  std::vector<unsigned> channels_;  // of each recording
};

TEST_F(DownloadOverLink, FatModeReadsEveryFileSampleForSampleInPortions) {
  // 3 channels, 50 frames a page; the second file's span is exactly two portions.
  Record(3, kT0, 150);
  Record(3, kT0 + 100, 128);
  Record(1, kT0 + 200, 9, 1);
  Burn();
  settings.ReadPortion = 64;
  for (size_t i = 0; i < 3; ++i) settings.SelFiles.push_back(Entry(i, kT0 + 100 * static_cast<uint32_t>(i)));
  EXPECT_EQ(Run(), DownloadEnd::Completed) << log;
  EXPECT_GT(set->PagesStreamed(), 256u);  // the reply code wrapped from 255 to 0 on the way
  ASSERT_EQ(files.size(), 3u) << log;
  EXPECT_EQ(names.size(), 3u);
  const unsigned channels[3] = {3, 3, 1};
  for (size_t i = 0; i < 3; ++i) {
    const emulator::CardFile& f = builder.Files()[i];
    ReadBack r = ReadRecording(files[i]);
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Main.Channels, channels[i]);
    EXPECT_EQ(r.Main.Rate, f.OutputRate);
    EXPECT_EQ(r.Samples,
              Stored(f.Number, 0, (f.LastPage - f.FirstDataPage + 1) * f.FramesPerPage, channels[i]))
        << "file " << i;
  }
  const uint32_t b1 = builder.Files()[1].SetupPage;
  const auto requests = Requests();
  // Entry 1 spans 128 pages past its first: 64 + 64 pages, then its last page alone.
  EXPECT_NE(std::find(requests.begin(), requests.end(), std::make_pair(b1 + 128, 1u)), requests.end());
  // Entry 2's short last portion: 10 pages in one request.
  EXPECT_EQ(requests.back(), std::make_pair(builder.Files()[2].SetupPage, 10u));
  EXPECT_EQ(progress.PagesDone, 151u + 129u + 10u);
  EXPECT_EQ(total.load(), 151.0 + 129 + 10);
  EXPECT_EQ(button, "x x x");
  EXPECT_EQ(log.rfind("\n" + summary), log.size() - summary.size() - 1);
  EXPECT_EQ(done, 1);
}

TEST_F(DownloadOverLink, RangeModeSplitsRecordingsAndStopsAtTheErasedArea) {
  Record(2, kT0, 20);
  Record(2, kT0 + 100, 30);
  Burn();
  UseRange(builder.Files()[1].LastPage + 40);
  settings.ReadPortion = 16;
  EXPECT_EQ(Run(), DownloadEnd::Completed) << log;
  ASSERT_EQ(files.size(), 2u) << log;
  for (size_t i = 0; i < 2; ++i) {
    const emulator::CardFile& f = builder.Files()[i];
    EXPECT_EQ(ReadRecording(files[i]).Samples,
              Stored(f.Number, 0, (f.LastPage - f.FirstDataPage + 1) * f.FramesPerPage, 2));
  }
  EXPECT_NE(log.find(toolkit::FormatText("\nв бл. %u конец последней записи; дальше страница из одних 0xff",
                                         builder.Files()[1].LastPage)),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("выход по времени"), std::string::npos);
  EXPECT_TRUE(messages.empty()) << "an erased tail is the end of the card, not a loss";

  // The erased page comes early in a long portion: the rest of it is not left streaming, so the next
  // command finds a quiet line.
  ScratchDir longDir;
  settings.DataDir = longDir.Path();
  settings.ReadPortion = 4096;
  UseRange(builder.Files()[1].LastPage + 2000);
  EXPECT_EQ(Run(), DownloadEnd::Completed) << log;
  EXPECT_EQ(set->PagesPending(), 0u);
  EXPECT_EQ(link.DrainMessages(), 0u);
}

TEST_F(DownloadOverLink, ABadPageEndsAFatDownloadButOnlyTheFileOfARange) {
  Record(2, kT0, 20);
  Record(2, kT0 + 100, 10);
  Burn();
  const emulator::CardFile f0 = builder.Files()[0];
  CardPage(f0.FirstDataPage + 7)[200] ^= 0x10;  // the page sum fails, the header is intact
  settings.SelFiles = {Entry(0, kT0), Entry(1, kT0 + 100)};
  EXPECT_EQ(Run(), DownloadEnd::Stopped);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(ReadRecording(files[0]).Samples, Stored(f0.Number, 0, 7 * f0.FramesPerPage, 2));
  EXPECT_NE(log.find("\nks__к:  err 0x0000;"), std::string::npos) << log;

  ScratchDir rangeDir;
  settings.DataDir = rangeDir.Path();
  UseRange(builder.Files()[1].LastPage);
  log.clear();
  EXPECT_EQ(Run(), DownloadEnd::Completed) << log;
  ASSERT_EQ(files.size(), 3u) << log;
  EXPECT_EQ(ReadRecording(files[0]).Samples, Stored(f0.Number, 0, 7 * f0.FramesPerPage, 2));
  EXPECT_EQ(ReadRecording(files[1]).Samples,
            Stored(f0.Number, 8 * f0.FramesPerPage, 12 * f0.FramesPerPage, 2));
  EXPECT_EQ(progress.ErrorPages, 1u);
  EXPECT_NE(log.find(toolkit::FormatText("\n%07u: error 0x0000;", f0.FirstDataPage + 7)), std::string::npos);
  EXPECT_NE(log.find("\n0001 ошибок "), std::string::npos);
}

TEST_F(DownloadOverLink, AFrameSpoiledOnTheLineLosesThatPageAloneWhereverItFalls) {
  // Two recordings read as FAT files and as one page range, in portions of 16 and 4096 pages. One frame is
  // spoiled on the line at every card page in turn, by each fault below. Every sample in the files must be
  // the card's own at its place, every page missing must be named in the report, "complete" is said only
  // of a complete download, nothing waits for the time-out, and no more is lost than the row allows.
  Record(2, kT0, 20);
  Record(2, kT0 + 100, 6);
  Burn();
  device.recorder.Line().SetRate(2'000'000);  // fewer polls a page: the sweep runs some 2,000 downloads
  const emulator::CardFile f[2] = {builder.Files()[0], builder.Files()[1]};
  ASSERT_EQ(f[1].SetupPage, f[0].LastPage + 1);
  using emulator::LineFault;
  // What a fault may cost: nothing; at most the page struck; at most the rest of its portion. A page
  // spoiled once is asked for again and comes whole: no fault of one frame costs a page.
  enum class Loss { None, Page, Portion };
  struct Row {
    const char* name;
    LineFault fault;
    size_t offset;
    Loss loss;
    uint32_t pauseMs = 0;
    size_t stray = 0;
    uint8_t planted = 0;       // the byte struck is made this value (0: as it is)
    bool every = false;        // every page is struck, not one page in turn: a busy line
    int8_t step = 0;           // a fake header's code, a stale frame's distance back, a code jump
    uint32_t nextPauseMs = 0;  // the line pauses this long before the next page's frame
  };
  constexpr size_t kBody = 6 + 200;
  const Row rows[] = {
      {"header byte 0 flipped", LineFault::Flip, 0, Loss::None},
      {"header byte 1 flipped", LineFault::Flip, 1, Loss::None},
      {"header byte 2 flipped", LineFault::Flip, 2, Loss::None},
      {"header byte 3 flipped", LineFault::Flip, 3, Loss::None},
      {"header byte 4 flipped", LineFault::Flip, 4, Loss::None},
      {"header byte 5 flipped", LineFault::Flip, 5, Loss::None},
      {"body byte flipped", LineFault::Flip, kBody, Loss::None},
      {"600 ms pause in the header", LineFault::Pause, 3, Loss::None, 600},
      {"2.5 s pause in the header", LineFault::Pause, 3, Loss::None, 2500},
      {"2.95 s pause in the header", LineFault::Pause, 3, Loss::None, 2950},
      {"1 s pause in the body", LineFault::Pause, kBody, Loss::None, 1000},
      {"2.9 s pause in the body", LineFault::Pause, kBody, Loss::None, 2900},
      {"2 stray bytes before the frame", LineFault::Insert, 0, Loss::None, 0, 2},
      {"288 stray bytes before the frame", LineFault::Insert, 0, Loss::None, 0, 288},
      {"3 stray bytes in the header", LineFault::Insert, 2, Loss::None, 0, 3},
      {"3 stray bytes before the check byte", LineFault::Insert, 6 + 512, Loss::None, 0, 3},
      {"header byte dropped", LineFault::Drop, 2, Loss::None},
      {"body byte dropped", LineFault::Drop, kBody, Loss::None},
      {"body byte 0x9D dropped", LineFault::Drop, kBody, Loss::None, 0, 0, 0x9D},
      {"body byte 0x55 dropped", LineFault::Drop, kBody, Loss::None, 0, 0, 0x55},
      {"check byte dropped", LineFault::Drop, 6 + 512, Loss::None},
      {"frame lost whole", LineFault::Cut, 0, Loss::None},
      {"frame cut after 1 byte", LineFault::Cut, 1, Loss::None},
      {"frame cut in the body", LineFault::Cut, kBody, Loss::None},
      {"900 ms pause in every header", LineFault::Pause, 4, Loss::None, 900, 0, 0, true},
      {"1.2 s pause in every body", LineFault::Pause, 6 + 400, Loss::None, 1200, 0, 0, true},
      {"header byte flipped, then 600 ms pause", LineFault::Flip, 1, Loss::None, 600},
      {"header byte dropped, then 2.5 s pause", LineFault::Drop, 1, Loss::None, 2500},
      // The stop that ends the spoiled stream gets its echo only after the pause: the old stream's next
      // frame must not be taken for the next request's first.
      {"23 stray bytes in the body, then 2.56 s pause", LineFault::Insert, kBody, Loss::None, 2560, 23},
      {"header byte 0 flipped, then 2.999 s pause", LineFault::Flip, 0, Loss::None, 2999},
      {"23 stray bytes in the body, then 2.9 s before the next frame", LineFault::Insert, kBody, Loss::None,
       0, 23, 0, false, 0, 2900},
      {"header byte 0 flipped, then 2.9 s before the next frame", LineFault::Flip, 0, Loss::None, 0, 0, 0,
       false, 0, 2900},
      {"frame lost whole, then 2.9 s pause", LineFault::Cut, 0, Loss::None, 2900},
      {"a fake header (code + 1) and 20 bytes before the frame", LineFault::FakeHeader, 0, Loss::None, 0, 20,
       0, false, 1},
      {"a fake header (code + 3) and 20 bytes before the frame", LineFault::FakeHeader, 0, Loss::None, 0, 20,
       0, false, 3},
      {"a fake header (code - 1) and 20 bytes before the frame", LineFault::FakeHeader, 0, Loss::None, 0, 20,
       0, false, -1},
      {"a fake header (code + 1) right after the frame's header", LineFault::FakeHeader, 6, Loss::None, 0, 20,
       0, false, 1},
      {"the frame of 3 pages back before the frame", LineFault::Stale, 0, Loss::None, 0, 0, 0, false, 3},
      {"the frame of the page before, then 2.9 s pause", LineFault::Stale, 0, Loss::None, 2900, 0, 0, false,
       1},
      {"the recorder's code jumps by + 1", LineFault::CodeJump, 0, Loss::None, 0, 0, 0, false, 1},
      {"the recorder's code jumps by + 3", LineFault::CodeJump, 0, Loss::None, 0, 0, 0, false, 3},
      {"the recorder's code jumps by - 1", LineFault::CodeJump, 0, Loss::None, 0, 0, 0, false, -1},
      {"the recorder's code jumps by - 3", LineFault::CodeJump, 0, Loss::None, 0, 0, 0, false, -3},
  };
  std::vector<uint8_t> stray(288);
  for (size_t i = 0; i < stray.size(); ++i) stray[i] = static_cast<uint8_t>(i * 37 + 11);
  std::vector<uint32_t> allPages;
  for (uint32_t p = f[0].SetupPage; p <= f[1].LastPage; ++p) allPages.push_back(p);
  for (const Row& row : rows) {
    for (const bool fatMode : {false, true}) {
      for (const uint16_t portion : {uint16_t{16}, uint16_t{4096}}) {
        for (uint32_t bad = f[0].SetupPage; bad <= f[1].LastPage; ++bad) {
          SCOPED_TRACE(::testing::Message() << row.name << ", " << (fatMode ? "FAT" : "range") << " portion "
                                            << portion << " page " << bad);
          emulator::PageLineFaults& faults = set->Options().lineFaults;
          faults.Fault = row.fault;
          faults.FrameOffset = row.offset;
          faults.PauseMs = row.pauseMs;
          faults.Stray.assign(stray.begin(), stray.begin() + static_cast<std::ptrdiff_t>(row.stray));
          faults.Mask = row.step != 0 ? static_cast<uint8_t>(row.step) : uint8_t{0x10};
          faults.Pages = {bad};
          faults.Spoils.clear();
          if (row.nextPauseMs != 0) faults.Spoils[bad + 1] = {{LineFault::Pause, 0, 0, row.nextPauseMs, {}}};
          // A stale frame is one of an earlier request of this download.
          if (row.fault == LineFault::Stale && bad < f[0].SetupPage + static_cast<uint32_t>(row.step))
            continue;
          if (row.every) {
            if (bad != f[0].SetupPage) continue;
            for (uint32_t p = f[0].SetupPage; p <= f[1].LastPage; ++p) faults.Pages.insert(p);
          }
          Page saved;
          std::memcpy(saved.data(), CardPage(bad), saved.size());
          if (row.planted != 0) {
            Page planted = saved;
            planted[kBody - 6] = row.planted;
            SealPage(planted);
            std::memcpy(CardPage(bad), planted.data(), planted.size());
          }
          ScratchDir caseDir;
          settings.DataDir = caseDir.Path();
          settings.ReadPortion = portion;
          if (fatMode) {
            settings.FatMode = true;
            settings.SelFiles = {Entry(0, kT0), Entry(1, kT0 + 100)};
          } else {
            UseRange(f[1].LastPage);
          }
          progress.ErrorPages = 0;
          log.clear();
          messages.clear();
          summary.clear();
          Run();
          // Also the last page of a request, cut short, costs no time-out: no byte ends that pause.
          ASSERT_EQ(log.find("выход по времени"), std::string::npos) << log << "\nLINK " << link.Log;
          const uint32_t first = f[0].SetupPage;
          ExpectCardSamples(allPages);
          std::memcpy(CardPage(bad), saved.data(), saved.size());
          if (::testing::Test::HasFatalFailure()) return;
          // How much the fault may cost.
          uint32_t most = bad;
          if (row.loss == Loss::Portion)
            most = portion == 16 ? first + ((bad - first) / 16 + 1) * 16 - 1 : ~0u;
          for (uint32_t p : report.Lost) {
            EXPECT_NE(row.loss, Loss::None) << p;
            EXPECT_GE(p, bad) << log;
            EXPECT_LE(p, most) << log;
          }
          if (row.loss == Loss::None || !fatMode) {
            EXPECT_EQ(end, DownloadEnd::Completed) << log;
          }
          // A pause is not a loss: nothing is asked for again.
          if (row.fault == LineFault::Pause) {
            EXPECT_EQ(log.find("запрос повторён"), std::string::npos) << log;
          }
          if (log.find("Пользуемся Setup'ом UNITa") != std::string::npos) {
            // A setup page lost: the file is kept, headed with the recorder's setup, and the report says so.
            EXPECT_TRUE(fatMode && (bad == f[0].SetupPage || bad == f[1].SetupPage)) << log;
            EXPECT_EQ(end, DownloadEnd::Completed) << log;
            ASSERT_EQ(messages.size(), 1u) << log;
            EXPECT_NE(messages[0].find("Стр. Setup не принята, в заголовке Setup Unit'a: 1"),
                      std::string::npos)
                << messages[0];
          }
        }
      }
    }
  }
}

TEST_F(DownloadOverLink, RandomLineFaultsCostOnlyThePagesTheyStrikeAndAreAllNamed) {
  // Seeded random runs over three recordings (some 300 pages): FAT files or a page range that starts and
  // ends off the portion grid, portions of 16 or 4096 pages, and several faults a run at random pages and
  // bytes (header, body or check byte): flipped, dropped and stray bytes, cut frames, garbage before the
  // first frame and pauses of 20 ms to 2.9 s. A busy line brings only pauses, 30 of 100-900 ms. Every run
  // must hold what any download under line faults holds; a run with only pauses or stray bytes before a
  // whole frame loses nothing, and none waits for the time-out.
  Record(2, kT0, 120);
  Record(3, kT0 + 1000, 100);
  Record(1, kT0 + 2000, 77, 1);
  Burn();
  const std::vector<emulator::CardFile> rec = builder.Files();
  using emulator::LineFault;
  constexpr size_t kFrame = 6 + 512 + 1;
  const char* const kFaultNames[] = {"flip", "drop", "cut", "insert", "pause", "fake", "stale", "jump"};
  // Busy: pauses alone. Wild: faults and pauses anywhere, several to a frame, at line speed or faster,
  // with or without acknowledgements in the stream; only what every download must hold is asserted.
  enum class Kind { Mixed, Busy, Wild };
  struct Seed {
    uint32_t seed;
    Kind kind;
  };
  // A busy line every fourth run, a wild one every fourth from the second; then the runs that found
  // faults: a 2.9 s and a 1.9 s pause in a body taken as a cut frame; a frame that never came at the end
  // of a portion waited for the time-out.
  std::vector<Seed> seeds;
  for (uint32_t i = 1; i <= 40; ++i)
    seeds.push_back({i, i % 4 == 0 ? Kind::Busy : i % 4 == 2 ? Kind::Wild : Kind::Mixed});
  for (uint32_t found : {1148u, 1364u, 1449u}) seeds.push_back({found, Kind::Mixed});
  for (const Seed& seed : seeds) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed.seed << " kind " << static_cast<int>(seed.kind));
    const bool wild = seed.kind == Kind::Wild;
    std::mt19937 rng(seed.seed);
    const auto pick = [&rng](uint32_t lo, uint32_t hi) {
      return std::uniform_int_distribution<uint32_t>(lo, hi)(rng);
    };
    const bool fatMode = pick(0, 2) == 0;
    const uint16_t portions[] = {5, 16, 100, 4096};
    settings.ReadPortion = portions[pick(0, 3)];
    settings.FatMode = fatMode;
    std::vector<uint32_t> wanted;
    if (fatMode) {
      settings.SelFiles.clear();
      for (size_t i = pick(0, 1); i < rec.size(); ++i) {
        settings.SelFiles.push_back(Entry(i, kT0 + 1000 * static_cast<uint32_t>(i)));
        for (uint32_t p = rec[i].SetupPage; p <= rec[i].LastPage; ++p) wanted.push_back(p);
      }
    } else {
      const uint32_t begin = rec[0].SetupPage + pick(0, 40);
      const recorder::FileEntry range = UseRange(rec[2].LastPage - pick(0, 40), begin);
      for (uint32_t p = range.BeginPage; p <= range.EndPage; ++p) wanted.push_back(p);
    }
    emulator::PageLineFaults& faults = set->Options().lineFaults;
    faults.Pages.clear();
    faults.Spoils.clear();
    // A pause stays two pages away from every other fault, so that no silence reaches the time-out.
    std::set<uint32_t> struck, paused;
    const auto freeFor = [&](uint32_t p, bool pause) {
      if (wild) return true;
      for (uint32_t q = p - 2; q <= p + 2; ++q)
        if (paused.count(q) || (pause && struck.count(q))) return false;
      return true;
    };
    const auto place = [&](bool pause) {
      for (;;) {
        const uint32_t p = wanted[pick(0, static_cast<uint32_t>(wanted.size() - 1))];
        if (freeFor(p, pause)) return p;
      }
    };
    const auto offset = [&] {
      switch (pick(0, 3)) {
        case 0:
          return static_cast<size_t>(pick(0, 5));  // header
        case 1:
          return kFrame - 1;  // check byte
        default:
          return static_cast<size_t>(pick(6, kFrame - 2));  // body
      }
    };
    const auto garbage = [&](uint32_t n) {
      std::vector<uint8_t> g(n);
      for (uint8_t& b : g) b = static_cast<uint8_t>(pick(0, 255));
      return g;
    };
    device.recorder.Line().SetRate(wild && pick(0, 1) ? 2'000'000 : emulator::kLineBytesPerSecond);
    set->Options().ackEveryPages = wild ? pick(0, 2) * 16 : 32;
    if (seed.kind == Kind::Busy) {
      for (int i = 0; i < 30; ++i) {
        const uint32_t p = place(true);
        paused.insert(p);
        faults.Spoils[p].push_back({LineFault::Pause, pick(0, kFrame - 1), 0, pick(100, 900), {}});
      }
    } else {
      // Garbage before the first frame of the download.
      if (pick(0, 2) == 0) {
        struck.insert(wanted.front());
        faults.Spoils[wanted.front()].push_back({LineFault::Insert, 0, 0, 0, garbage(pick(1, 300))});
      }
      for (uint32_t n = pick(1, wild ? 12 : 6); n > 0; --n) {
        const LineFault kind = static_cast<LineFault>(pick(0, 7));
        const bool pause = kind == LineFault::Pause;
        const uint32_t p = place(pause);
        (pause ? paused : struck).insert(p);
        emulator::LineSpoil spoil{kind, offset(), static_cast<uint8_t>(1u << pick(0, 7)), 0, {}};
        // The first frame of a range that begins inside a recording, lost whole, cannot be told from the
        // one after it: nothing went before it, and the FAT has no page there to say otherwise. A cut
        // there leaves at least its first byte.
        if (kind == LineFault::Cut && spoil.FrameOffset == 0 && p == wanted.front() && !fatMode &&
            p != rec[0].SetupPage)
          spoil.FrameOffset = 1;
        spoil.Mask = emulator::FreeFlipMask(faults.Spoils[p], spoil.Mask);
        if (pause) spoil.PauseMs = pick(20, 2900);
        if (kind == LineFault::Insert) spoil.Stray = garbage(pick(1, 8));
        if (kind == LineFault::FakeHeader) {
          spoil.Mask = static_cast<uint8_t>(pick(0, 1) ? pick(1, 3) : -static_cast<int>(pick(1, 3)));
          spoil.Stray = garbage(pick(0, 30));
        }
        // A stale frame is one of a page read before; a code jump of -3 .. +3.
        if (kind == LineFault::Stale)
          spoil.Mask = static_cast<uint8_t>(std::min(pick(1, 5), p - wanted.front()));
        if (kind == LineFault::CodeJump)
          spoil.Mask = static_cast<uint8_t>(pick(0, 1) ? pick(1, 3) : -static_cast<int>(pick(1, 3)));
        const bool leavesBytes = !(kind == LineFault::Cut && spoil.FrameOffset == 0);
        // A garbled frame followed by a pause of up to the time-out.
        if (!pause && leavesBytes && pick(0, 2) == 0)
          faults.Spoils[p].push_back({LineFault::Pause, kFrame, 0, pick(500, 2999), {}});
        faults.Spoils[p].push_back(std::move(spoil));
      }
    }
    std::string plan = fatMode ? "FAT" : "range";
    plan += toolkit::FormatText(" %u..%u portion %u:", wanted.front(), wanted.back(), settings.ReadPortion);
    for (const auto& [p, spoils] : faults.Spoils)
      for (const emulator::LineSpoil& s : spoils)
        plan += toolkit::FormatText(" %u:%s@%zu", p, kFaultNames[static_cast<int>(s.Fault)], s.FrameOffset) +
                (s.Fault == LineFault::Pause    ? toolkit::FormatText("/%ums", s.PauseMs)
                 : s.Fault == LineFault::Insert ? toolkit::FormatText("/%zu", s.Stray.size())
                                                : std::string());
    SCOPED_TRACE(plan);
    ScratchDir caseDir;
    settings.DataDir = caseDir.Path();
    progress.ErrorPages = 0;
    log.clear();
    messages.clear();
    summary.clear();
    Run();
    ExpectCardSamples(wanted);
    if (wild) continue;
    // A page spoiled once is asked for again and comes whole: nothing is lost.
    EXPECT_EQ(log.find("выход по времени"), std::string::npos) << log;
    EXPECT_EQ(end, DownloadEnd::Completed) << log;
    EXPECT_TRUE(report.Lost.empty()) << log;
    EXPECT_TRUE(messages.empty()) << log;
    if (::testing::Test::HasFatalFailure()) return;
  }
}

TEST_F(DownloadOverLink, AClockNoRecorderReportsIsRefusedBeforeAnyRequest) {
  Record(2, kT0, 4);
  Burn();
  settings.SelFiles = {Entry(0, kT0)};
  for (uint32_t clock : {0u, 65'536u, 100'000u}) {
    SCOPED_TRACE(clock);
    settings.SampleClock = clock;
    messages.clear();
    device.recorder.ClearReceived();
    EXPECT_EQ(Run(), DownloadEnd::Refused);
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(messages,
              std::vector<std::string>{toolkit::FormatText(
                  "Error|Частота прибора %u Гц вне допустимых 1..65535 Гц (статус искажён?): чтение "
                  "не начато.",
                  clock)});
    EXPECT_TRUE(files.empty());
    EXPECT_EQ(summary, "чтение не начато");
  }
  settings.SampleClock = 1000;
  EXPECT_EQ(Run(), DownloadEnd::Completed);
}

TEST_F(DownloadOverLink, AHeaderRefusalNamesItsReason) {
  Record(2, kT0, 10);
  Burn();
  const emulator::CardFile f = builder.Files()[0];
  Page p;
  std::memcpy(p.data(), CardPage(f.FirstDataPage + 4), 512);
  p[11] = 0;  // no values: the sums are made to hold
  SealPage(p);
  std::memcpy(CardPage(f.FirstDataPage + 4), p.data(), 512);

  settings.SelFiles = {Entry(0, kT0)};
  EXPECT_EQ(Run(), DownloadEnd::Stopped);
  EXPECT_NE(log.find(toolkit::FormatText("\nZag_x:  err 0x0000;  проп 0000; bl %07u", f.FirstDataPage + 4)),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("ks_zag 0x00;  заголовок: отсчётов 0"), std::string::npos) << log;

  ScratchDir rangeDir;
  settings.DataDir = rangeDir.Path();
  UseRange(f.LastPage);
  log.clear();
  EXPECT_EQ(Run(), DownloadEnd::Completed) << log;
  EXPECT_NE(log.find(toolkit::FormatText("\n%07u: error 0x0000;  пропуск 0000bt;  ks_блока 0x00  ks_заг 00  "
                                         "заголовок: отсчётов 0",
                                         f.FirstDataPage + 4)),
            std::string::npos)
      << log;
  EXPECT_EQ(files.size(), 2u);
}

TEST_F(DownloadOverLink, ASerialJumpAloneIsAcceptedButATimeGapIsNot) {
  Record(3, kT0, 12);
  Burn();
  const emulator::CardFile f = builder.Files()[0];
  uint8_t* jumped = CardPage(f.FirstDataPage + 4);
  jumped[8] = static_cast<uint8_t>(jumped[8] + 5);
  Page p;
  std::memcpy(p.data(), jumped, 512);
  SealPage(p);
  std::memcpy(jumped, p.data(), 512);
  settings.SelFiles = {Entry(0, kT0)};
  EXPECT_EQ(Run(), DownloadEnd::Completed) << log;
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(ReadRecording(files[0]).Samples, Stored(f.Number, 0, 12 * f.FramesPerPage, 3));

  // One second later from page 6 on: the time no longer follows on.
  for (uint32_t k = 6; k < 12; ++k) {
    std::memcpy(p.data(), CardPage(f.FirstDataPage + k), 512);
    ++p[4];
    SealPage(p);
    std::memcpy(CardPage(f.FirstDataPage + k), p.data(), 512);
  }
  ScratchDir second;
  settings.DataDir = second.Path();
  log.clear();
  EXPECT_EQ(Run(), DownloadEnd::Stopped);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(ReadRecording(files[0]).Samples, Stored(f.Number, 0, 6 * f.FramesPerPage, 3));
  EXPECT_NE(log.find("     разрыв с новым блоком 1.00000 сек"), std::string::npos) << log;
}

TEST_F(DownloadOverLink, ChannelMaskNamesTheFileChannelsAfterTheRecorderChannels) {
  std::array<uint8_t, 512> setupPage{};
  std::memcpy(setupPage.data() + offsetof(recorder::YSTANOV, ChannelNames), "N\0\0\0\0\0\0\0E\0\0\0\0\0\0\0Z",
              17);
  CardRecording r;
  r.Channels = 2;
  r.ChannelMask = 0b101;
  r.StartTime = kT0;
  r.DataPages = 3;
  r.SetupPage = setupPage;
  builder.Recording(r);
  Burn();
  settings.SelFiles = {Entry(0, kT0)};
  settings.SelFiles[0].Latitude = 53.25;
  EXPECT_EQ(Run(), DownloadEnd::Completed) << log;
  ASSERT_EQ(files.size(), 1u);
  ReadBack f = ReadRecording(files[0]);
  ASSERT_EQ(f.Channels.size(), 2u);
  EXPECT_EQ(f.Channels[0].Number, 0);
  EXPECT_EQ(f.Channels[1].Number, 1);
  EXPECT_STREQ(f.Channels[0].Name, "N");
  EXPECT_STREQ(f.Channels[1].Name, "Z");
  EXPECT_EQ(f.Main.Latitude, 53.25);
  EXPECT_NE(log.find(" - SETUP:"), std::string::npos);
}

TEST_F(DownloadOverLink, AStallARequestFailureAndAMissingLogEndTheDownload) {
  Record(3, kT0, 5);
  Burn();
  settings.SelFiles = {Entry(0, kT0)};
  device.recorder.SetAnswering(false);
  const uint32_t before = clock.GetTickCount();
  EXPECT_EQ(Run(), DownloadEnd::TimedOut);
  EXPECT_GE(clock.GetTickCount() - before, 3000u);
  EXPECT_NE(log.find("\nвыход по времени "), std::string::npos);
  EXPECT_TRUE(files.empty());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].find("Прочитано не всё|Чтение закончено раньше: от Unit'a нет страниц 3 сек"), 0u)
      << messages[0];
  EXPECT_NE(messages[0].find("Не прочитаны:\n   файл от 15.03.24 12:30:00"), std::string::npos);
  EXPECT_EQ(summary.rfind("прочитано не всё! ", 0), 0u) << summary;

  device.recorder.SetAnswering(true);
  driver.FailNext(emulator::Op::Write, platform::ftdi::FT_IO_ERROR);
  log.clear();
  EXPECT_EQ(Run(), DownloadEnd::RequestFailed);
  EXPECT_NE(log.find(toolkit::FormatText("\nerror уст. cтp %u;", builder.Files()[0].SetupPage)),
            std::string::npos);

  hooks.Log = [](const std::string&) { return false; };
  device.recorder.ClearReceived();
  messages.clear();
  done = 0;
  EXPECT_EQ(Run(), DownloadEnd::LogFailed);
  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ(messages, std::vector<std::string>{"Error|error open txt.file"});
  EXPECT_EQ(done, 1);
}

TEST_F(DownloadOverLink, AfterATimeOutTheStopWaitsOnlyWhileTheRecorderIsHeard) {
  Record(3, kT0, 5);
  Burn();
  settings.SelFiles = {Entry(0, kT0)};
  constexpr uint8_t kModeCode = 35;  // the mode command's code byte
  const auto ignorePages = [this] { device.recorder.SetHandler(emulator::kCommandPages, 0, {}); };
  struct Row {
    const char* name;
    std::function<void()> plant;
    bool stopAnswered;
    uint32_t mostMs;  // from the request to the end, the finish's drain and pause included
  } rows[] = {
      // Silent: the echo is given up after 2 s of silence, not 13 s.
      {"a recorder that answers nothing", [this] { device.recorder.SetAnswering(false); }, false,
       3000 + 2000 + 2000 + 1000 + 500},
      {"pages that stop, a stop answered at once", ignorePages, true, 3000 + 300 + 2000 + 1000 + 500},
      // Bytes keep coming ahead of the echo: it is still awaited and taken, 6 s after the stop.
      {"a stop answered after 6 s of line noise",
       [this, ignorePages] {
         ignorePages();
         device.recorder.SetHandler(emulator::kCommandMode, kModeCode,
                                    [](emulator::Recorder& r, const emulator::Command& c) {
                                      const uint8_t noise[4] = {0x11, 0x22, 0x33, 0x44};
                                      for (int i = 0; i < 6; ++i) {
                                        r.SendRaw(noise);
                                        r.SendGap(1000);
                                      }
                                      const uint8_t body[2] = {kModeCode, c.subCode};
                                      r.SendReply(emulator::kReplyMode, 0, body);
                                    });
       },
       true, 3000 + 6000 + 2000 + 1000 + 500},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    device.recorder.SetAnswering(true);
    set = emulator::CommandSet::Install(device.recorder);
    r.plant();
    device.recorder.ClearReceived();
    log.clear();
    const uint32_t before = clock.GetTickCount();
    EXPECT_EQ(Run(), DownloadEnd::TimedOut) << log;
    const uint32_t elapsed = clock.GetTickCount() - before;
    EXPECT_LE(elapsed, r.mostMs);
    bool stopSent = false;
    for (const auto& c : device.recorder.Received())
      stopSent |= c.type == emulator::kCommandMode && c.subCode == 0;
    EXPECT_TRUE(stopSent);
    EXPECT_EQ(log.find("нет ответа Unit'a") == std::string::npos, r.stopAnswered) << log;
    EXPECT_TRUE(files.empty());
  }
}

TEST_F(DownloadOverLink, APulledCableEndsTheDownloadAtOnceAndTheReportSaysSo) {
  Record(3, kT0, 50);
  Record(3, kT0 + 100, 20);
  Burn();
  settings.SelFiles = {Entry(0, kT0), Entry(1, kT0 + 100)};
  // The cable goes as the first file opens.
  hooks.ShowFileName = [this](const std::string& n) {
    names.push_back(n);
    device.unplugged = true;
  };
  const uint64_t polls = driver.StatusPolls();
  const uint32_t before = clock.GetTickCount();
  EXPECT_EQ(Run(), DownloadEnd::DeviceGone);
  const uint32_t spent = clock.GetTickCount() - before;
  EXPECT_LT(spent, 1000u + 100u) << "the closing pause and a few polls, not the 3 s time-out";
  EXPECT_LE(driver.StatusPolls() - polls, spent);
  EXPECT_LE(link.Log.size(), recorder::kMostLinkLogBytes);
  EXPECT_NE(log.find("\nсвязь с Unit'ом потеряна"), std::string::npos) << log;
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(ReadRecording(files[0]).Samples,
            Stored(builder.Files()[0].Number, 0, builder.Files()[0].FramesPerPage, 3));
  ASSERT_EQ(messages.size(), 1u);
  const std::string& report = messages[0];
  EXPECT_EQ(report.find("Прочитано не всё|Чтение закончено раньше: связь с Unit'ом потеряна"), 0u) << report;
  EXPECT_NE(report.find("Полные файлы: 0"), std::string::npos) << report;
  EXPECT_NE(report.find(names[0] + ": до стр."), std::string::npos) << report;
  EXPECT_NE(report.find("Не прочитаны:\n   стр. "), std::string::npos) << report;
  EXPECT_NE(report.find("\n   файл от 15.03.24 12:31:40"), std::string::npos) << report;
  EXPECT_EQ(report.find("файл от 15.03.24 12:30:00"), std::string::npos) << "the first file was begun";
}

TEST_F(DownloadOverLink, CancelInTheMiddleOfAPortionKeepsTheBufferedSamples) {
  Record(2, kT0, 10);
  Record(2, kT0 + 100, 10);
  Burn();
  const recorder::FileEntry range = UseRange(builder.Files()[1].LastPage);
  // Cancel as the second recording's file opens: its first page is then only in the buffer.
  hooks.ShowFileName = [this](const std::string& n) {
    names.push_back(n);
    if (names.size() == 2) stop.request_stop();
  };
  EXPECT_EQ(Run(), DownloadEnd::Cancelled);
  ASSERT_EQ(files.size(), 2u);
  const emulator::CardFile& f1 = builder.Files()[1];
  EXPECT_EQ(ReadRecording(files[1]).Samples, Stored(f1.Number, 0, f1.FramesPerPage, 2));
  EXPECT_NE(log.find("\n   T e r m i n a t e d !"), std::string::npos);
  EXPECT_LT(progress.PagesInPortion + progress.PagesDone, range.EndPage - range.BeginPage);
  EXPECT_EQ(set->PagesPending(), 0u) << "the recorder no longer streams the rest";
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].find("Прочитано не всё|Чтение закончено раньше: прервано пользователем."), 0u);
  EXPECT_NE(messages[0].find("Полные файлы: 1\n   " + names[0] + "\nНеполные файлы: 1\n   " + names[1] +
                             ": до стр."),
            std::string::npos)
      << messages[0];
}

TEST_F(DownloadOverLink, AFullDiskIsReportedAndNeverSummedUpAsASuccess) {
  Record(3, kT0, 300);
  Burn();
  settings.SelFiles = {Entry(0, kT0)};
  DownloadEnd end;
  {
    FileSizeLimit full(100 * 1024);
    end = Run();
  }
  EXPECT_EQ(end, DownloadEnd::WriteFailed);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find(files.at(0)), std::string::npos) << messages[0];
  EXPECT_NE(messages[0].find("Неполные файлы: 1\n   " + names.at(0) + ": ошибка записи"), std::string::npos)
      << messages[0];
  EXPECT_EQ(log.find(" Kb за "), std::string::npos) << log;
  EXPECT_NE(log.find("error write file"), std::string::npos);
  EXPECT_EQ(done, 1);
  // The file the disk cut ends on a whole frame: its samples are the recording's first ones.
  const uintmax_t size = std::filesystem::file_size(files[0]);
  constexpr uintmax_t kHeaders = 120 + 3 * 72;
  ASSERT_GT(size, kHeaders);
  EXPECT_EQ((size - kHeaders) % 12, 0u) << size;
  const auto frames = static_cast<uint32_t>((size - kHeaders) / 12);
  EXPECT_EQ(ReadRecording(files[0]).Samples, Stored(builder.Files()[0].Number, 0, frames, 3));
}

}  // namespace
}  // namespace acquisition_test
