#include "toolkit/recording_chooser.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "header_bytes.h"
#include "support/temp_dir.h"
#include "toolkit/header_info.h"
#include "toolkit/time_texts.h"

namespace toolkit {
namespace {

namespace fs = std::filesystem;
using toolkit_test::Bytes;
using toolkit_test::ChannelHeaderBytes;
using toolkit_test::MainHeaderBytes;

constexpr int64_t kTps = 256'000'000;
// 2026-03-14 10:20:30 counted from 1980-01-01.
constexpr int64_t kStart = (int64_t{16874} * 86400 + 10 * 3600 + 20 * 60 + 30) * kTps;

// A recording of `channels` channels and `frames` frames built byte by byte, with `extra` bytes of a
// cut frame at the end.
Bytes Recording(uint16_t channels, uint32_t frames, std::string_view station = "ST1", size_t extra = 0,
                uint16_t rate = 100) {
  Bytes file = MainHeaderBytes(channels, 60, rate, kStart);
  file.Text(32, station);
  for (uint16_t c = 0; c < channels; ++c) file.Append(ChannelHeaderBytes(c, "ch", 1.0));
  file.Append(Bytes(size_t{4} * channels * frames + extra));
  return file;
}

void Put(const support::TempDir& dir, const std::string& name, const Bytes& bytes) {
  toolkit_test::WriteFile(dir.File(name), bytes.data());
}

std::vector<std::string> Names(const std::vector<ChooserFile>& files) {
  std::vector<std::string> out;
  for (const ChooserFile& f : files) out.push_back(f.name);
  return out;
}

SetupRecord FreshSetup() {
  SetupRecord setup{};
  return setup;
}

TEST(RecordingChooserScan, ListsGoodHeadersOnlyUnlessAllFilesAreAsked) {
  support::TempDir dir;
  Put(dir, "good3", Recording(3, 0));  // 336 bytes: the smallest listed size
  Bytes small = Recording(3, 0);
  Put(dir, "short335", Bytes(335));  // too small even with "Все"
  Bytes bad = Recording(3, 5);
  bad.U16(22, 5);  // rate 5 Hz fails the check
  Put(dir, "badrate", bad);
  Put(dir, "text.txt", Bytes(400));  // no header at all
  Put(dir, ".qtmpZq0PDx", Recording(3, 0));  // a replacement killed midway: no recording
  fs::create_directory(dir.File("subdir"));
  fs::create_symlink("good3", dir.File("linked"));  // a link is not followed, even to a recording

  SetupRecord setup = FreshSetup();
  EXPECT_EQ(Names(ScanRecordings(dir.path(), setup)), (std::vector<std::string>{"good3"}));
  setup.ChooserFilter = 1;
  EXPECT_EQ(Names(ScanRecordings(dir.path(), setup)),
            (std::vector<std::string>{"badrate", "good3", "text.txt"}));
  EXPECT_EQ(small.data().size(), kChooserMinFileSize);
}

TEST(RecordingChooserScan, StationTableHoldsDistinctStationsOfGoodHeaders) {
  support::TempDir dir;
  Put(dir, "a", Recording(3, 1, "ALPHA"));
  Put(dir, "b", Recording(3, 1, "BETA"));
  Put(dir, "c", Recording(3, 1, "ALPHA"));
  // A station field of all 16 bytes without a NUL is compared and stored within its bounds.
  Put(dir, "d", Recording(3, 1, "SIXTEEN_CHARS_XY"));
  Put(dir, "e", Recording(3, 1, "SIXTEEN_CHARS_XY"));
  Bytes bad = Recording(3, 1, "GAMMA");
  bad.U16(0, 0);
  Put(dir, "f", bad);

  SetupRecord setup = FreshSetup();
  std::memset(setup.Stations, 'z', sizeof setup.Stations);  // leftovers of an earlier scan
  setup.StationCount = 9;
  ScanRecordings(dir.path(), setup);
  ASSERT_EQ(setup.StationCount, 3);
  EXPECT_EQ(FieldText(setup.Stations[0]), "ALPHA");
  EXPECT_EQ(FieldText(setup.Stations[1]), "BETA");
  EXPECT_EQ(FieldText(setup.Stations[2]), "SIXTEEN_CHARS_XY");
  EXPECT_EQ(FieldText(setup.Stations[3]), "");
}

TEST(RecordingChooserScan, SixteenStationsAtMost) {
  support::TempDir dir;
  for (int i = 0; i < 20; ++i)
    Put(dir, "f" + std::to_string(100 + i), Recording(3, 0, "S" + std::to_string(i)));
  SetupRecord setup = FreshSetup();
  EXPECT_EQ(ScanRecordings(dir.path(), setup).size(), 20u);
  EXPECT_EQ(setup.StationCount, 16);
  EXPECT_EQ(FieldText(setup.Stations[15]), "S15");
}

TEST(RecordingChooserScan, NineHundredFilesListTheFirstEightHundredByName) {
  support::TempDir dir;
  const Bytes file = Recording(3, 0);
  for (int i = 0; i < 900; ++i) Put(dir, "r" + std::to_string(1000 + i), file);
  SetupRecord setup = FreshSetup();
  const std::vector<ChooserFile> files = ScanRecordings(dir.path(), setup);
  ASSERT_EQ(files.size(), kChooserMaxFiles);
  EXPECT_EQ(files.front().name, "r1000");
  EXPECT_EQ(files.back().name, "r1799");
}

TEST(RecordingChooserScan, MissingDirectoryListsNothing) {
  SetupRecord setup = FreshSetup();
  setup.StationCount = 4;
  EXPECT_TRUE(ScanRecordings("/nonexistent/dir/of/recordings", setup).empty());
  EXPECT_EQ(setup.StationCount, 0);
}

TEST(RecordingChooserSort, ByNameBytewiseAndByTimeNewestFirstWithTiesInScanOrder) {
  support::TempDir dir;
  const Bytes file = Recording(3, 0);
  const auto base = fs::file_time_type::clock::now();
  const std::vector<std::pair<std::string, int>> ages = {
      {"b", 30}, {"a", 10}, {"C", 30}, {"d", 20}, {"e", 10}};
  for (const auto& [name, age] : ages) {
    Put(dir, name, file);
    fs::last_write_time(dir.File(name), base - std::chrono::seconds(age));
  }
  SetupRecord setup = FreshSetup();
  std::vector<ChooserFile> files = ScanRecordings(dir.path(), setup);
  SortRecordings(files, 1);
  EXPECT_EQ(Names(files), (std::vector<std::string>{"C", "a", "b", "d", "e"}));
  SortRecordings(files, 0);
  EXPECT_EQ(Names(files), (std::vector<std::string>{"a", "e", "d", "C", "b"}));
  SortRecordings(files, 1);
  EXPECT_EQ(Names(files), (std::vector<std::string>{"C", "a", "b", "d", "e"}));
}

TEST(RecordingChooserSelection, StoresAtMostEightFittingNamesWithTheirCount) {
  SetupRecord setup = FreshSetup();
  StoreSelectedFiles(setup, {"one", "two", "three"});
  EXPECT_EQ(setup.ChosenCount, 3);
  EXPECT_TRUE(IsSelectedFile(setup, "two"));
  EXPECT_FALSE(IsSelectedFile(setup, "four"));
  EXPECT_FALSE(IsSelectedFile(setup, ""));

  const std::string longest(63, 'n');
  const std::string tooLong(64, 'm');
  EXPECT_TRUE(FitsFileNameField(longest));
  EXPECT_FALSE(FitsFileNameField(tooLong));
  std::vector<std::string> many = {tooLong, longest};
  for (int i = 0; i < 10; ++i) many.push_back("f" + std::to_string(i));
  StoreSelectedFiles(setup, many);
  EXPECT_EQ(setup.ChosenCount, 8);
  EXPECT_EQ(FieldText(setup.SelectedFiles[0]), longest);
  EXPECT_EQ(FieldText(setup.SelectedFiles[7]), "f6");
  EXPECT_FALSE(IsSelectedFile(setup, "one"));
  EXPECT_FALSE(IsSelectedFile(setup, tooLong.substr(0, 63)));
  EXPECT_TRUE(FitsDataDirField(std::string(255, 'd')));
  EXPECT_FALSE(FitsDataDirField(std::string(256, 'd')));
}

TEST(RecordingChooserTexts, CountLineAndPaths) {
  EXPECT_EQ(ChooserCountText("/data/rec", 12, 2), "/data/rec:   найдено файлов  -  12;    станций 2;");
  EXPECT_EQ(JoinPath("/data", "f.1"), "/data/f.1");
  EXPECT_EQ(JoinPath("/data/", "f.1"), "/data/f.1");
  EXPECT_EQ(JoinPath("/data", "/abs/f.1"), "/abs/f.1");
  EXPECT_EQ(JoinPath("", "f.1"), "f.1");
}

TEST(ReadCurrentFileHeader, ResultsForMissingShortBadAndGoodFiles) {
  support::TempDir dir;
  SetupRecord setup = FreshSetup();
  SetFieldText(setup.DataDir, dir.path());

  SetFieldText(setup.FileName, "missing");
  FileHeaderResult r = ReadCurrentFileHeader(setup);
  EXPECT_EQ(r.result, -1);
  EXPECT_FALSE(r.readFailed);
  EXPECT_TRUE(r.lines.empty());

  Put(dir, "short", Bytes(100));
  SetFieldText(setup.FileName, "short");
  r = ReadCurrentFileHeader(setup);
  EXPECT_EQ(r.result, -1);
  EXPECT_TRUE(r.readFailed);

  Bytes bad = Recording(3, 10);
  bad.U16(0, 65);
  Put(dir, "bad", bad);
  SetFieldText(setup.FileName, "bad");
  setup.FileSamples = 77;
  r = ReadCurrentFileHeader(setup);
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(r.lines, (std::vector<std::string>{"bad", "каналов 65 (другой формат)"}));
  EXPECT_EQ(setup.FileSamples, 77u);

  // 10 whole frames of 3 channels and 7 bytes of a cut frame.
  Put(dir, "good", Recording(3, 10, "KAM", 7));
  SetFieldText(setup.FileName, "good");
  r = ReadCurrentFileHeader(setup);
  ASSERT_EQ(r.result, 0);
  EXPECT_EQ(setup.FileSamples, 10u);
  EXPECT_EQ(setup.Header.Channels, 3);
  EXPECT_EQ(setup.Header.StartTicks, kStart);
  EXPECT_EQ(setup.Header.Year, 2026);  // completed by the check
  ASSERT_EQ(r.lines.size(), 5u);
  EXPECT_EQ(r.lines[0], "good");
  EXPECT_EQ(r.lines[1], DateTimeText(kStart, 0.0));
  EXPECT_EQ(r.lines[3], "станция KAM;  частота  100 Гц");
}

TEST(ReadCurrentFileHeader, FileShorterThanItsChannelHeadersIsBad) {
  // A good header of 64 channels in a 336-byte file: its samples cannot be counted.
  support::TempDir dir;
  Bytes file = Recording(3, 0);
  file.U16(0, 64);
  Put(dir, "cut", file);
  SetupRecord setup = FreshSetup();
  SetFieldText(setup.DataDir, dir.path());
  SetFieldText(setup.FileName, "cut");
  setup.FileSamples = 5;
  const FileHeaderResult r = ReadCurrentFileHeader(setup);
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(setup.FileSamples, 5u);
  EXPECT_EQ(setup.Header.Channels, 0);
}

TEST(MarkedFileSummary, StartAndEndOfTheFirstMarkedFile) {
  support::TempDir dir;
  Put(dir, "rec", Recording(2, 250, "X", 0, 50));  // 250 frames at 50 Hz: 5 s
  const MarkedSummary s = SummariseMarkedFile(dir.File("rec"));
  ASSERT_EQ(s.status, MarkedSummary::Opened);
  EXPECT_EQ(s.from, "от 14.03.2026 10:20:30.00000");
  EXPECT_EQ(s.to, "до 14.03.2026 10:20:35.00000");
  EXPECT_EQ(SummariseMarkedFile(dir.File("none")).status, MarkedSummary::OpenFailed);
  Put(dir, "tiny", Bytes(50));
  EXPECT_EQ(SummariseMarkedFile(dir.File("tiny")).status, MarkedSummary::ReadFailed);
  Bytes bad = Recording(2, 1);
  bad.U16(22, 20000);
  Put(dir, "bad", bad);
  EXPECT_EQ(SummariseMarkedFile(dir.File("bad")).status, MarkedSummary::BadHeader);
}

TEST(HeaderInfoLines, CurrentFormatListsFourLinesOlderFormatAddsGpsState) {
  Bytes b = MainHeaderBytes(4, 60, 200, kStart);
  b.Text(32, "\xCA\xE0\xEC");  // "Кам" in Windows-1251
  b.F64(72, 53.25).F64(80, 158.5).U16(14, 3).U16(16, 1).F64(64, 0.125);
  MAIN_HEADER h;
  std::memcpy(&h, b.data().data(), sizeof h);
  const std::vector<std::string> current = HeaderInfoLines(h);
  EXPECT_EQ(current,
            (std::vector<std::string>{DateTimeText(kStart, 0.0), "53.25000 с.ш.;   158.50000 в.д. ",
                                      "станция Кам;  частота  200 Гц", "каналов -  4;  разрядов  - 24"}));
  h.Format = 1;
  const std::vector<std::string> older = HeaderInfoLines(h);
  ASSERT_EQ(older.size(), 7u);
  EXPECT_EQ(older[4], "начало: GPS valid");
  EXPECT_EQ(older[5], "конец: valid отсутствует 3 мин.");
  EXPECT_EQ(older[6], "синхронизация c dt = 0.1250 cek");
  h.Synced = 0;
  h.GpsLostStart = 12;
  h.GpsLostEnd = 0;
  const std::vector<std::string> unsynced = HeaderInfoLines(h);
  ASSERT_EQ(unsynced.size(), 6u);
  EXPECT_EQ(unsynced[4], "начало: valid отсутствует 12 мин.");
  EXPECT_EQ(unsynced[5], "конец:  GPS valid");
}

}  // namespace
}  // namespace toolkit
