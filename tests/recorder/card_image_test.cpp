// The emulated recorder's card image, read back with the program's own FAT and page decoders.
#include "emulator/card_image.h"

#include <gtest/gtest.h>

#include <numbers>
#include <span>

#include "recorder/card_page.h"
#include "recorder/fat_decoder.h"
#include "recorder/fat_grid.h"

namespace recorder {
namespace {

constexpr uint32_t kT0 = 1'394'541'000;  // 15.03.24 12:30:00

FatTable ReadFat(const emulator::CardImageBuilder& b, const std::vector<uint8_t>& card, bool* questioned) {
  FatTable table;
  table.DriftScale = 32768;
  FatReadParams params;
  params.FCmax = b.FCmax();
  params.FT_PG = b.FT_PG();
  params.ST_PG = b.ST_PG();
  params.TikInSek = 32767;
  params.SampleClock = b.SampleClock();
  FatDecoder decoder(table, params);
  decoder.Begin();
  for (uint32_t m = 0; m < decoder.PageCount(); ++m) {
    const uint32_t page = decoder.FirstPage() + m;
    const std::span<const uint8_t> bytes(card.data() + size_t{page} * kCardPageSize, kCardPageSize);
    if (!decoder.AcceptPage(page, bytes)) break;
    decoder.DecodePage(page, bytes, [&](const std::string&, const std::string&) {
      *questioned = true;
      return true;
    });
  }
  decoder.Finish();
  return table;
}

std::span<const uint8_t> Page(const std::vector<uint8_t>& card, uint32_t page) {
  return {card.data() + size_t{page} * kCardPageSize, kCardPageSize};
}

int32_t SampleAt(std::span<const uint8_t> page, unsigned value) {
  const uint8_t* at = page.data() + kCardPageHeaderSize + kSampleBytes * value;
  return static_cast<int32_t>(at[0] | at[1] << 8 | at[2] << 16) - static_cast<int32_t>(kSampleZero);
}

emulator::CardRecording Rec(uint8_t channels, uint32_t start, uint32_t pages) {
  emulator::CardRecording r;
  r.Channels = channels;
  r.StartTime = start;
  r.DataPages = pages;
  return r;
}

TEST(CardImage, ThreeRecordingsReadBackAsTheFatGrid) {
  emulator::CardImageBuilder b(1, 1, 2, 1000);
  const float lon = static_cast<float>(std::numbers::pi / 3), lat = static_cast<float>(std::numbers::pi / 4);
  b.PowerOn(kT0 - 5).Position(50, lon, lat, 0);
  b.Recording(Rec(3, kT0, 40));
  b.Sync(32768u * 65536u / 2, kT0 + 100, kT0 + 101);  // +0.5 s
  auto second = Rec(6, kT0 + 200, 30);
  second.DecimationA = 1;
  second.KindBits = 1;
  b.Recording(second);
  b.Drift(0, kT0 + 250, kT0 + 250, 1).Supply(1, 2, 3000, 4000, kT0 + 260);
  auto third = Rec(2, kT0 + 300, 20);
  third.Closed = false;
  b.Recording(third);
  b.PowerOn(kT0 + 400);  // the recorder was switched off without closing the file
  const auto card = b.Build();
  ASSERT_EQ(card.size(), 4000u * 512u);
  ASSERT_EQ(b.Files().size(), 3u);

  bool questioned = false;
  const FatTable table = ReadFat(b, card, &questioned);
  EXPECT_FALSE(questioned);  // every record passes its check, slot 31 included
  ASSERT_EQ(table.FatCount, 3);
  for (unsigned i = 0; i < 2; ++i) {
    EXPECT_EQ(table.FatFiles[i].BeginPage, b.Files()[i].SetupPage);
    EXPECT_EQ(table.FatFiles[i].EndPage, b.Files()[i].LastPage);
  }
  EXPECT_EQ(table.FatFiles[0].BeginPage, 512u);
  EXPECT_EQ(table.FatFiles[1].Decimation, 2);
  // No end record: closed at the page of the power-on that follows, the next free page.
  EXPECT_EQ(table.FatFiles[2].EndPage, b.Files()[2].LastPage + 1);
  EXPECT_EQ(table.FatFiles[2].ClosedByProgram, 1);
  EXPECT_EQ(table.SyncCount(), 2u);

  const FatGrid grid = BuildFatGrid(table);
  using Row = std::array<std::string, kFatGridColumns>;
  // The files end 40 x 50 samples at 1000 Hz and 30 x 25 samples at 500 Hz after their starts.
  EXPECT_EQ(grid.Cells[1],
            (Row{"0", "15.03.24 12:30:00", "41", "", "", "", "60.00000", "45.00000", "0.50000"}));
  EXPECT_EQ(grid.Cells[2],
            (Row{"1", "15.03.24 12:33:20", "31", "", "c", "", "60.00000", "45.00000", "0.00000"}));
  EXPECT_EQ(grid.Cells[3],
            (Row{"2", "15.03.24 12:35:00", "22", "", "", "?", "0.00000", "0.00000", "0.00000"}));
  EXPECT_EQ(table.FatFiles[0].EndTime, kT0 + 1);
  EXPECT_EQ(table.FatFiles[1].EndTime, kT0 + 201);
}

TEST(CardImage, DataPagesCarryConsistentHeadersAndPredictableSamples) {
  emulator::CardImageBuilder b(1, 1, 2, 4000);
  b.Recording(Rec(3, kT0, 5));
  auto r = Rec(4, kT0 + 60, 30);
  r.DecimationA = r.DecimationB = 1;
  r.StartPosition = 990;
  r.GapBefore = 3;
  b.Recording(r);
  const auto card = b.Build();
  const emulator::CardFile& f = b.Files()[1];
  EXPECT_EQ(f.SetupPage, b.Files()[0].LastPage + 4);
  EXPECT_TRUE(CardPageSumGood(Page(card, f.SetupPage - 1)) == false);  // the gap is erased
  const auto setup = ReadSetupCopy(Page(card, f.SetupPage));
  ASSERT_TRUE(setup);
  EXPECT_TRUE(CardPageSumGood(Page(card, f.SetupPage)));
  EXPECT_EQ(setup->Channels, 4u);
  EXPECT_EQ(setup->Rate, 1000u);

  std::optional<DataPageHeader> previous;
  for (uint32_t p = f.FirstDataPage; p <= f.LastPage; ++p) {
    const auto page = Page(card, p);
    ASSERT_TRUE(CardPageSumGood(page)) << p;
    const auto h = DecodeDataPageHeader(page, 7, 4000);
    ASSERT_TRUE(h) << p;
    EXPECT_EQ(h->Channels, 4u);
    EXPECT_EQ(h->Decimation, 4u);
    EXPECT_EQ(h->Raw.ValueCount, 148);
    EXPECT_EQ(h->Raw.FileNumber, 2);
    if (previous) {
      // Serial + 1, and the next page starts where the previous one's span ends.
      EXPECT_EQ(h->Raw.Serial, static_cast<uint16_t>(previous->Raw.Serial + 1));
      EXPECT_EQ(h->Position, previous->Position + previous->Span);
    }
    const uint32_t frame0 = (p - f.FirstDataPage) * 37;
    for (unsigned v = 0; v < 148; v += 37)
      EXPECT_EQ(SampleAt(page, v),
                emulator::CardImageBuilder::Sample(2, frame0 + v / 4, static_cast<uint8_t>(v % 4)));
    previous = h;
  }
  // 30 pages of 37 frames from position 990 at 1000 Hz: the first page lies in the second kT0 + 60.
  EXPECT_EQ(ReadCardPageHeader(Page(card, f.FirstDataPage))->Second, kT0 + 60);
  EXPECT_EQ(ReadCardPageHeader(Page(card, f.FirstDataPage + 1))->Second, kT0 + 61);
  EXPECT_EQ(f.EndTime, kT0 + 60 + (990 + 30 * 37 - 1) / 1000);
  // Erased tail after the last file.
  EXPECT_EQ(KindOfCardPage(Page(card, f.LastPage + 1)), CardPageKind::Data);
  EXPECT_EQ(Page(card, 3999)[0], 0xFF);

  std::array<uint8_t, 240> status{};
  b.ApplyToStatus(status);
  EXPECT_EQ(status[2] & 0x20, 0x20);
  EXPECT_EQ(status[104] | status[105] << 8, static_cast<int>(f.LastPage));
  EXPECT_EQ(status[113], 2);
}

}  // namespace
}  // namespace recorder
