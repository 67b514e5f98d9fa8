#include "recorder/fat_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "card_bytes.h"
#include "recorder/fat_grid.h"
#include "recorder/fat_grid_marks.h"

namespace recorder {
namespace {

using card_bytes::Record;

constexpr uint32_t kT0 = 1'394'541'000;  // 15.03.24 12:30:00
constexpr uint32_t kFatFirst = 16 * 256;

FatReadParams Params() {
  FatReadParams p;
  p.FCmax = 1000;  // 4,000,000 pages; an open file ends at 4,000,001
  p.FT_PG = 16;
  p.ST_PG = 64;
  p.TikInSek = 32767;
  p.SampleClock = 4000;
  p.BatteryScale = 2000;
  p.AccuScale = 500;
  return p;
}

struct Decoded {
  FatTable table;
  FatListing listing;
  bool broken = false;
  bool capped = false;
  std::vector<std::string> questions;
  bool stoppedByUser = false;
};

// Feeds the pages to the decoder as the reading over the link does: until a page fails its test.
Decoded Decode(
    const std::vector<card_bytes::Page>& pages, const FatReadParams& params,
    const std::function<bool(const std::string&)>& answer = [](const std::string&) { return true; },
    uint32_t driftScale = 32768) {
  Decoded out;
  out.table.DriftScale = driftScale;
  FatDecoder decoder(out.table, params);
  decoder.Begin();
  for (size_t m = 0; m < pages.size() && m < decoder.PageCount(); ++m) {
    const uint32_t cardPage = decoder.FirstPage() + static_cast<uint32_t>(m);
    if (!decoder.AcceptPage(cardPage, pages[m])) break;
    const bool go =
        decoder.DecodePage(cardPage, pages[m], [&](const std::string& text, const std::string& title) {
          out.questions.push_back(text + " | " + title);
          return answer(text);
        });
    if (!go) {
      out.stoppedByUser = true;
      break;
    }
  }
  decoder.Finish();
  out.listing = decoder.Listing();
  out.broken = decoder.BrokenNumbering();
  out.capped = decoder.Capped();
  return out;
}

bool Listed(const FatListing& l, const std::string& part) {
  return std::any_of(l.Lines.begin(), l.Lines.end(),
                     [&](const std::string& s) { return s.find(part) != s.npos; });
}

Record Start(uint8_t number, uint32_t page, uint32_t time, uint8_t kindBits = 0) {
  return card_bytes::FileRecord(static_cast<uint8_t>(kindBits << 4 | 1), number, page, 3, 0, 1, time);
}
Record End(uint8_t number, uint32_t page, uint32_t time) {
  return card_bytes::FileRecord(0x02, number, page, 3, 0, 1, time);
}
// A synchronisation with GPS minus recorder time = whole - quarter seconds (ticks of 32768 a second).
Record SyncOf(int whole, uint32_t at) {
  return card_bytes::Sync(32768u * 65536u / 4, at, static_cast<uint32_t>(static_cast<int64_t>(at) + whole));
}

TEST(FatDecoder, ThreeRecordingsGiveRowsCorrectionsAndGrid) {
  const float lon = static_cast<float>(std::numbers::pi / 4), lat = static_cast<float>(std::numbers::pi / 6);
  const auto pages = card_bytes::FatPages(
      {card_bytes::PowerOn(0, 0x4000, kT0 - 10), Start(1, 0x4000, kT0),
       card_bytes::Position(120.5f, lon, lat, 7), card_bytes::Drift(300, kT0 + 600, kT0 + 600, 1),
       End(1, 0x4FFF, kT0 + 1800), SyncOf(2, kT0 + 1900), Start(2, 0x5000, kT0 + 3600, 0x1),
       End(2, 0x50FF, kT0 + 3700), Start(3, 0x5100, kT0 + 4000, 0x2), End(3, 0x5100, kT0 + 4100),
       SyncOf(3, kT0 + 4200)},
      kFatFirst, 4);
  const Decoded d = Decode(pages, Params());
  ASSERT_EQ(d.table.FatCount, 3);
  EXPECT_FALSE(d.broken);
  EXPECT_TRUE(d.questions.empty());

  const FileEntry& a = d.table.FatFiles[0];
  EXPECT_EQ(a.BeginPage, 0x4000u);
  EXPECT_EQ(a.EndPage, 0x4FFFu);
  EXPECT_EQ(a.StartTime, kT0);
  EXPECT_EQ(a.EndTime, kT0 + 1800);
  EXPECT_EQ(a.DriftTime, kT0 + 600);
  EXPECT_EQ(a.Channels, 3);
  EXPECT_EQ(a.Decimation, 2);
  EXPECT_EQ(a.KindBits, 0);
  EXPECT_EQ(a.ClosedByProgram, 0);
  EXPECT_NEAR(a.Longitude, 45.0, 1e-5);
  EXPECT_NEAR(a.Latitude, 30.0, 1e-5);
  EXPECT_DOUBLE_EQ(a.Altitude, 120.5);
  // The later synchronisation overwrites the earlier one for the files awaiting it since the power-on.
  EXPECT_EQ(a.Correction, 2.75L);
  EXPECT_EQ(d.table.FatFiles[1].Correction, 0.0L);  // kind bit 0x10: no correction
  EXPECT_EQ(d.table.FatFiles[1].KindBits, 1);
  EXPECT_EQ(d.table.FatFiles[2].Correction, 2.75L);
  EXPECT_EQ(d.table.FatFiles[2].KindBits, 2);

  // Synchronisation points in FAT order: drift (µs), sync, sync; times counted from 1899-12-30.
  ASSERT_EQ(d.table.SyncCount(), 3u);
  EXPECT_EQ(d.table.SyncKinds, (std::vector<uint8_t>{kSyncKindDrift, kSyncKindSync, kSyncKindSync}));
  EXPECT_EQ(d.table.SyncTimes[0], kT0 + 600 + 2'525'126'400u);
  EXPECT_NEAR(d.table.SyncTable[0], 300 * 1e6 / 32768 / 65536, 1e-9);
  EXPECT_EQ(d.table.SyncTimes[1], kT0 + 1902 + 2'525'126'400u);
  EXPECT_DOUBLE_EQ(d.table.SyncTable[1], 1.75);
  EXPECT_TRUE(Listed(d.listing, "коррекция для учета синхр. в файле 2:  2.750000 сек;"));

  const FatGrid grid = BuildFatGrid(d.table);
  ASSERT_EQ(grid.RowCount(), 20);
  using Row = std::array<std::string, kFatGridColumns>;
  EXPECT_EQ(grid.Cells[0], (Row{"N", "Время начала", "Длина", "", "", "", "долгота", "широта", "dT"}));
  EXPECT_EQ(grid.Cells[1],
            (Row{"0", "15.03.24 12:30:00", "4096", "", "", "", "45.00000", "30.00000", "2.75000"}));
  EXPECT_EQ(grid.Cells[2],
            (Row{"1", "15.03.24 13:30:00", "256", "", "c", "", "45.00000", "30.00000", "0.00000"}));
  EXPECT_EQ(grid.Cells[3],
            (Row{"2", "15.03.24 13:36:40", "1", "", "c", "", "45.00000", "30.00000", "2.75000"}));
  EXPECT_EQ(grid.Cells[19], (Row{"18", "", "", "", "", "", "", "", ""}));

  const std::string log = FatFileLogLines(d.table);
  EXPECT_EQ(log.substr(0, log.find('\n') + 1),
            "N_00: от     15.03.24 12:30:00 до     15.03.24 13:00:00; К   45.00000    30.00000   120.50000 в "
            "    15.03.24 12:40:00;  от 00016384 до 00020479; dt=2.75000\n");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3);
}

TEST(FatDecoder, FirstPageInvalidGivesNoFilesAndEmptyGrid) {
  auto params = Params();
  params.Detailed = true;
  auto pages = card_bytes::FatPages({Start(1, 0x4000, kT0)}, kFatFirst, 2);
  pages[0][0] = 0x62;  // neither the mark nor the sum holds
  const Decoded d = Decode(pages, params);
  EXPECT_EQ(d.table.FatCount, 0);
  EXPECT_TRUE(Listed(d.listing, "ks = 0xFF !;  s[0] != 0x63!;  Конец fat'a на стр. 4096"));
  const FatGrid grid = BuildFatGrid(d.table);
  ASSERT_EQ(grid.RowCount(), 20);
  for (int g = 1; g < 20; ++g) {
    EXPECT_EQ(grid.Cells[g][0], std::to_string(g - 1));
    EXPECT_TRUE(
        std::all_of(grid.Cells[g].begin() + 1, grid.Cells[g].end(), [](auto& c) { return c.empty(); }));
  }
  EXPECT_TRUE(FatFileLogLines(d.table).empty());
}

TEST(FatDecoder, UnclosedFilesAreClosedByTheProgram) {
  // A start after a start closes the first file at the new first page - 1; the file still open when
  // the FAT ends takes the page of the last power-on, button or page-pointer record.
  const auto pages =
      card_bytes::FatPages({card_bytes::PowerOn(0, 0x4000, kT0), Start(1, 0x4000, kT0),
                            Start(2, 0x4800, kT0 + 100), card_bytes::Button(2, 0x4C00, kT0 + 200)},
                           kFatFirst, 2);
  const Decoded d = Decode(pages, Params());
  ASSERT_EQ(d.table.FatCount, 2);
  EXPECT_EQ(d.table.FatFiles[0].EndPage, 0x47FFu);
  EXPECT_EQ(d.table.FatFiles[0].ClosedByProgram, 1);
  EXPECT_EQ(d.table.FatFiles[1].EndPage, 0x4C00u);
  EXPECT_EQ(d.table.FatFiles[1].ClosedByProgram, 1);
  EXPECT_TRUE(d.listing.ShowList);
  EXPECT_TRUE(Listed(d.listing, " файл 0 не закрыт. Закроем."));
  const FatGrid grid = BuildFatGrid(d.table);
  EXPECT_EQ(grid.Cells[1][5], "?");
  EXPECT_EQ(grid.Cells[2][5], "?");
  EXPECT_EQ(grid.Cells[1][2], "2048");
}

TEST(FatDecoder, AFileStillOpenBeforeItsLastPageSeenStaysInTheGrid) {
  // The page pointers name page 0x4000; a file still open that begins after it ends at the status's
  // last written page, or at its own begin when that lies before it too. It stays listed and markable.
  struct Case {
    uint32_t begin, lastPg, end;
    bool markable;
  } const cases[] = {
      {0x3000, 0x9000, 0x4000, true},   // the last page seen lies after the begin: as it was
      {0x5000, 0x5400, 0x5400, true},   // before the begin: the recorder's last written page
      {0x5000, 0x4FFF, 0x5000, false},  // both before: one page, listed but not offered for download
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.begin);
    FatReadParams params = Params();
    params.Last_pg = c.lastPg;
    const Decoded d = Decode(card_bytes::FatPages({Start(1, c.begin, kT0)}, kFatFirst, 2), params);
    ASSERT_EQ(d.table.FatCount, 1);
    EXPECT_EQ(d.table.FatFiles[0].EndPage, c.end);
    EXPECT_TRUE(IsFatFileRow(d.table, 0));
    const FatGrid grid = BuildFatGrid(d.table);
    EXPECT_EQ(grid.Cells[1][1], "15.03.24 12:30:00");
    EXPECT_EQ(grid.Cells[1][5], "?");
    std::vector<std::string> marks;
    MarkAllFiles(d.table, marks);
    EXPECT_EQ(marks.at(1) == kFatMark, c.markable);
  }
}

TEST(FatDecoder, RecordFieldsAndRemarks) {
  // Decimation nibbles 15 and 15 give 254; an end with other channels and decimation than its start,
  // an end of another file, an end with no file open, and a broken numbering.
  const auto pages = card_bytes::FatPages({card_bytes::FileRecord(0x01, 1, 0x4000, 8, 15, 15, kT0),
                                           card_bytes::FileRecord(0x02, 1, 0x40FF, 4, 1, 1, kT0 + 9),
                                           card_bytes::FileRecord(0x02, 7, 0x41FF, 4, 1, 1, kT0 + 9),
                                           Start(3, 0x4200, kT0 + 20), End(9, 0x42FF, kT0 + 30)},
                                          kFatFirst, 2);
  const Decoded d = Decode(pages, Params());
  ASSERT_EQ(d.table.FatCount, 2);
  EXPECT_EQ(d.table.FatFiles[0].Decimation, 254);
  EXPECT_EQ(d.table.FatFiles[0].Channels, 8);
  EXPECT_TRUE(d.broken);
  EXPECT_TRUE(Listed(d.listing, "00        Файл_01: начало в 15.03.24 12:30:00; 8k; 15Гц; стр 016384; "));
  EXPECT_TRUE(Listed(d.listing,
                     "00        Файл_01: конец в 15.03.24 12:30:09; 4k; 1000Гц; стр 016639;;  сменилась "
                     "децимация! сменились каналы!"));
  EXPECT_TRUE(
      Listed(d.listing, "Файл_07: конец в 15.03.24 12:30:09; 4k; 1000Гц; стр 016895; файл 1 не открыт"));
  EXPECT_TRUE(Listed(d.listing, " файл 3 не закрыт, а 9 открыт"));
  EXPECT_EQ(d.table.FatFiles[1].EndPage, 0x42FFu);

  const auto advices = FatAdvices(d.table, d.broken);
  ASSERT_EQ(advices.size(), 1u);
  EXPECT_EQ(advices[0].Text, "Ошибка записей Fat. Не лучше ли стереть?!");
  EXPECT_EQ(advices[0].Title, "? ? ?");
}

TEST(FatDecoder, SyncReachesExactlyTheAwaitingFiles) {
  // Files 1 and 3 await a correction, file 2 between them does not. A power-on starts a new group.
  const auto pages = card_bytes::FatPages(
      {card_bytes::PowerOn(0, 0x4000, kT0), Start(1, 0x4000, kT0), End(1, 0x40FF, kT0 + 10),
       Start(2, 0x4100, kT0 + 20, 0x1), End(2, 0x41FF, kT0 + 30), Start(3, 0x4200, kT0 + 40),
       End(3, 0x42FF, kT0 + 50), SyncOf(5, kT0 + 60), card_bytes::PowerOn(3, 0x4300, kT0 + 70),
       Start(4, 0x4300, kT0 + 80), End(4, 0x43FF, kT0 + 90), SyncOf(-1, kT0 + 100)},
      kFatFirst, 2);
  const Decoded d = Decode(pages, Params());
  ASSERT_EQ(d.table.FatCount, 4);
  EXPECT_EQ(d.table.FatFiles[0].Correction, 4.75L);
  EXPECT_EQ(d.table.FatFiles[1].Correction, 0.0L);
  EXPECT_EQ(d.table.FatFiles[2].Correction, 4.75L);
  EXPECT_EQ(d.table.FatFiles[3].Correction, -1.25L);
}

TEST(FatDecoder, DriftUsesWideArithmetic) {
  // One whole second of difference at 32768 ticks a second is 2^31 units: beyond 32 bits.
  auto params = Params();
  params.WithCorrections = true;
  const auto pages = card_bytes::FatPages(
      {card_bytes::Drift(100, kT0 + 1, kT0, 3), card_bytes::Drift(-5, kT0, kT0, 4)}, kFatFirst, 2);
  const Decoded d = Decode(pages, params);
  ASSERT_EQ(d.table.SyncCount(), 2u);
  EXPECT_NEAR(d.table.SyncTable[0], 1e6 + 100 * 1e6 / 32768 / 65536, 1e-6);
  EXPECT_LT(d.table.SyncTable[1], 0);
  EXPECT_TRUE(Listed(d.listing, "..15.03.24 12:30:01:  +1000000мк / 15.03.24 12:30:00 / 3   большой уход!"));
  // Below a microsecond and not detailed: neither listed nor reported.
  EXPECT_FALSE(Listed(d.listing, " / 4"));
  EXPECT_EQ(d.listing.Report.find(" / 4"), std::string::npos);

  params.Detailed = true;
  const Decoded detailed = Decode(pages, params);
  EXPECT_TRUE(Listed(detailed.listing,
                     "00 .. 15.03.24 12:30:01:  +2147483748 / 15.03.24 12:30:00 / 3;   большой уход!"));
  EXPECT_TRUE(Listed(detailed.listing, "-00005 / 15.03.24 12:30:00 / 4;"));
}

TEST(FatDecoder, RecordChecksAndAbsentRecords) {
  auto pages = card_bytes::FatPages({Start(1, 0x4000, kT0), End(1, 0x40FF, kT0 + 10)}, kFatFirst, 2);
  // Slot 31 summed with the seed of the other records: it fails the 0x9A rule.
  Record last = card_bytes::Sync(0, kT0, kT0 + 1);
  card_bytes::FixSum(last.data(), 16, 15, 0x9D);
  std::copy(last.begin(), last.end(), pages[0].begin() + 31 * 16);
  // Slot 30 holds only bytes 14 and 15: not present, so neither checked nor decoded.
  pages[0][30 * 16 + 14] = 0x11;
  pages[0][30 * 16 + 15] = 0x22;
  // A second page with a good slot 31 (0x9A) after a start that is never ended.
  pages[1].fill(0);
  Record good = card_bytes::Sync(0, kT0, kT0 + 3);
  card_bytes::Place(pages[1], 31, good);
  card_bytes::Place(pages[1], 0, card_bytes::Pointer(0x63, 1, 0x4100, 0x1001, 0, kT0));
  card_bytes::Place(pages[1], 1, Start(2, 0x4100, kT0 + 20));

  const Decoded yes = Decode(pages, Params());
  ASSERT_EQ(yes.questions.size(), 1u);
  EXPECT_EQ(yes.questions[0], "error ks: стр. 4096 / запись 31; | продолжать чтение fat'a?");
  EXPECT_EQ(yes.table.FatCount, 2);
  EXPECT_EQ(yes.table.SyncCount(), 2u);  // the failed record is still decoded on Yes

  const Decoded no = Decode(pages, Params(), [](const std::string&) { return false; });
  EXPECT_TRUE(no.stoppedByUser);
  EXPECT_EQ(no.table.FatCount, 1);
  EXPECT_EQ(no.table.SyncCount(), 0u);
}

TEST(FatDecoder, MoreThan256FilesAreCappedWithoutWrapping) {
  std::vector<Record> records;
  for (unsigned i = 0; i < 300; ++i) {
    records.push_back(Start(static_cast<uint8_t>(i + 1), 0x4000 + 16 * i, kT0 + 10 * i));
    records.push_back(End(static_cast<uint8_t>(i + 1), 0x4000 + 16 * i + 15, kT0 + 10 * i + 5));
  }
  const Decoded d = Decode(card_bytes::FatPages(records, kFatFirst, 48), Params());
  EXPECT_EQ(d.table.FatCount, 256);
  EXPECT_TRUE(d.capped);
  EXPECT_FALSE(d.broken);
  EXPECT_TRUE(d.listing.ShowList);
  EXPECT_TRUE(
      Listed(d.listing, " файлов больше 256: файл 1 и следующие не показаны!"));  // file 257 is number 1
  EXPECT_EQ(d.table.FatFiles[0].BeginPage, 0x4000u);
  EXPECT_EQ(d.table.FatFiles[0].EndPage, 0x400Fu);
  EXPECT_EQ(d.table.FatFiles[255].BeginPage, 0x4000u + 16 * 255);
  EXPECT_EQ(d.table.FatFiles[255].EndPage, 0x4000u + 16 * 255 + 15);
  EXPECT_EQ(d.table.FatFiles[255].ClosedByProgram, 0);
  ASSERT_EQ(FatAdvices(d.table, false).size(), 1u);
  EXPECT_EQ(FatAdvices(d.table, false)[0].Text, "В FАT'е много записей. Не пора ли стереть?!");
}

TEST(FatDecoder, SyncTableStopsGrowingButDecodingGoesOn) {
  std::vector<Record> records;
  for (uint32_t i = 0; i < kSyncTableCapacity + 40; ++i)
    records.push_back(card_bytes::Drift(0, kT0 + i, kT0 + i, 0));
  records.push_back(Start(1, 0x4000, kT0));
  records.push_back(End(1, 0x40FF, kT0 + 99));
  auto params = Params();
  params.ST_PG = 64 + 8;  // room for the 2,115 pages
  const Decoded d = Decode(card_bytes::FatPages(records, kFatFirst, 0), params);
  EXPECT_EQ(d.table.SyncCount(), kSyncTableCapacity);
  EXPECT_EQ(d.table.SyncTimes.back(), kT0 + kSyncTableCapacity - 1 + 2'525'126'400u);
  EXPECT_EQ(d.table.FatCount, 1);
  EXPECT_EQ(d.table.FatFiles[0].EndPage, 0x40FFu);
}

TEST(FatDecoder, PowerPositionAndSupplyTexts) {
  auto params = Params();
  params.WithCorrections = true;
  const float lon = 0.5f, lat = 1.0f;
  const auto pages = card_bytes::FatPages(
      {card_bytes::PowerOn(4, 0x4000, kT0), card_bytes::Button(4, 0x4001, kT0 + 1),
       card_bytes::Position(10.0f, lon, lat, 3), card_bytes::Position(11.0f, lon + 4e-6f, lat, 3),
       card_bytes::Position(12.0f, lon + 2e-5f, lat, 3),
       card_bytes::Supply(0xAB, 0x01, 6000, 2500, 0x4002, kT0 + 2)},
      kFatFirst, 2);
  const Decoded d = Decode(pages, params);
  EXPECT_EQ(d.listing.Lines[0], "   ");
  EXPECT_EQ(d.listing.Lines[1], "         время GPS  минус время UNIT'a !");
  EXPECT_TRUE(
      Listed(d.listing, "      Вкл. питание   в 15.03.24 12:30:00: файлов 04; стр 00016384; Fat 0x1000/00"));
  EXPECT_TRUE(
      Listed(d.listing, "      Пуск от кнопки в 15.03.24 12:30:01: файлов 04; стр 00016385; Fat 0x1000/00"));
  EXPECT_NE(d.listing.Report.find("в к л ю ч и л и    п и т а н и е :"), std::string::npos);
  // The second position moved less than 8e-6 rad and is not listed; the third is.
  EXPECT_TRUE(Listed(d.listing, "   28.64789 /   57.29578 /   10.00000;"));
  EXPECT_FALSE(Listed(d.listing, "11.00000"));
  EXPECT_TRUE(Listed(d.listing, "12.00000;"));
  EXPECT_TRUE(Listed(d.listing, "15.03.24 12:30:02:  ab/01; V 12.000/1.25  CTP: 00016386"));
  EXPECT_EQ(d.listing.Report.find("CTP"), std::string::npos);  // supply goes to the report only in detail
}

}  // namespace
}  // namespace recorder
