// The page reader's logic: cells parsed back, the fill byte, the next start, the decode lines, and the
// dump over the link into a full disk and through a stalled line.
#include "recorder/page_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "emulator/card_image.h"
#include "emulator/command_set.h"
#include "emulator/default_device.h"
#include "link_fixture.h"
#include "recorder/fat_link.h"
#include "support/file_size_limit.h"

namespace recorder {
namespace {

namespace fs = std::filesystem;

TEST(PageReaderCells, OnlyWholeBytesPassAndTheFirstBadCellIsNamed) {
  struct Case {
    std::vector<std::string> cells;
    GridView view;
    std::optional<size_t> bad;
  } cases[] = {
      {{"0", "255", " 17 "}, GridView::Dec, std::nullopt},
      {{"1", "300"}, GridView::Dec, 1},
      {{"1", "ff", "7"}, GridView::Dec, 1},
      {{"", "1"}, GridView::Dec, 0},
      {{"-1"}, GridView::Dec, 0},
      {{"ff", "0a", "FF"}, GridView::Hex, std::nullopt},
      {{"a0", "1FF"}, GridView::Hex, 1},
      {{"0x1"}, GridView::Hex, 0},
  };
  for (const Case& c : cases) {
    uint8_t out[4] = {9, 9, 9, 9};
    EXPECT_EQ(ParseGridCells(c.cells, c.view, out), c.bad) << c.cells.back();
    if (c.bad) {
      EXPECT_EQ(out[0], 9) << "nothing taken from a refused grid";
    }
  }
  uint8_t out[3];
  ASSERT_FALSE(ParseGridCells({"ff", "0a", "80"}, GridView::Hex, out));
  EXPECT_EQ(std::vector<uint8_t>(out, out + 3), (std::vector<uint8_t>{0xFF, 0x0A, 0x80}));
}

TEST(PageReaderCells, FillByteIsACInteger) {
  const std::pair<const char*, std::optional<uint8_t>> cases[] = {
      {"0xFF", 0xFF}, {"0xff", 0xFF}, {"255", 255}, {"0", 0}, {"0x1FF", std::nullopt},
      {"256", std::nullopt}, {"", std::nullopt}, {"FF", std::nullopt}, {"-1", std::nullopt}};
  for (const auto& [text, value] : cases) EXPECT_EQ(ParseFillByte(text), value) << text;
}

TEST(PageReaderStart, StepsAndFloor) {
  EXPECT_EQ(NextStartPage(10, 1, 1, true, false), 11u);
  EXPECT_EQ(NextStartPage(10, 1, 1, false, true), 9u);
  EXPECT_EQ(NextStartPage(0, 1, 1, false, true), 0u);
  EXPECT_EQ(NextStartPage(10, 1, 0, false, false), 10u);
  EXPECT_EQ(NextStartPage(10, 5, 3, true, false), 13u);
}

class PageDumpOverLink : public testing::LinkTest {
 protected:
  void SetUp() override {
    emulator::SetUpDefaultDevice(Unit().State());
    set = emulator::CommandSet::Install(Unit());
    emulator::CardRecording r;
    r.StartTime = 1'394'541'000;
    r.DataPages = 20;
    builder.PowerOn(r.StartTime - 5).Recording(r);
    Unit().State().card = builder.Build();
    builder.ApplyToStatus(Unit().State().status);
    Open();
    dir = fs::temp_directory_path() / ("page_dump_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  std::vector<uint8_t> FileBytes(const std::string& name) const {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  std::vector<uint8_t> Card(uint32_t from, uint32_t pages) const {
    const auto& card = device.recorder.State().card;
    return {card.begin() + from * 512, card.begin() + (from + pages) * 512};
  }

  std::shared_ptr<emulator::CommandSet> set;
  emulator::CardImageBuilder builder{1, 1, 2, 1000};
  fs::path dir;
};

TEST_F(PageDumpOverLink, StalledLineLeavesAFileNamedByThePagesWritten) {
  UnitLinkFatOps ops(link);
  const DumpResult r = DumpPages(ops, dir.string(), 512, 8, [&](uint32_t written) {
    if (written == 3) Unit().Line().Stall(true);
  });
  EXPECT_TRUE(r.TimedOut);
  EXPECT_EQ(r.Written, 3u);
  EXPECT_EQ(r.FileName, (dir / "000000512.0003").string());
  EXPECT_FALSE(fs::exists(dir / "000000512.0008"));
  EXPECT_EQ(FileBytes(r.FileName), Card(512, 3));
  ASSERT_EQ(r.Messages.size(), 2u);
  EXPECT_EQ(r.Messages[0], "выход по времени");
  EXPECT_NE(r.Messages[1].find("записано страниц: 3 из 8"), std::string::npos);
}

TEST_F(PageDumpOverLink, FullDiskStopsAtTheFirstShortWrite) {
  UnitLinkFatOps ops(link);
  DumpResult r;
  {
    support::FileSizeLimit full(5 * 512 + 100);
    r = DumpPages(ops, dir.string(), 520, 9);
  }
  EXPECT_FALSE(r.TimedOut);
  EXPECT_EQ(r.Written, 5u);
  EXPECT_EQ(r.FileName, (dir / "000000520.0005").string());
  EXPECT_EQ(FileBytes(r.FileName), Card(520, 5)) << "no part of the page that did not fit";
  ASSERT_GE(r.Messages.size(), 2u);
  EXPECT_NE(r.Messages[0].find("на стр. 525"), std::string::npos) << r.Messages[0];
  // The rest of the stream was stopped: the line is quiet for what comes next.
  EXPECT_EQ(link.DrainMessages(), 0u);
}

TEST_F(PageDumpOverLink, NothingWrittenRemovesTheFile) {
  UnitLinkFatOps ops(link);
  Unit().Line().Stall(true);
  const DumpResult r = DumpPages(ops, dir.string(), 512, 2);
  EXPECT_EQ(r.Written, 0u);
  EXPECT_TRUE(r.FileName.empty());
  EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(PageDumpOverLink, NoDumpGoesThroughALinkOrOverAnEarlierDump) {
  UnitLinkFatOps ops(link);
  { std::ofstream(dir / "target") << "precious"; }
  fs::create_symlink(dir / "target", dir / "000000512.0008");
  DumpResult r = DumpPages(ops, dir.string(), 512, 8);
  EXPECT_FALSE(r.Opened);
  EXPECT_EQ(r.Written, 0u);
  ASSERT_FALSE(r.Messages.empty());
  EXPECT_NE(r.Messages[0].find("символическая ссылка"), std::string::npos) << r.Messages[0];
  EXPECT_EQ(FileBytes((dir / "target").string()).size(), 8u);

  // A partial dump lands beside an earlier dump of its name.
  { std::ofstream(dir / "000000600.0003") << "earlier"; }
  r = DumpPages(ops, dir.string(), 600, 8, [&](uint32_t written) {
    if (written == 3) Unit().Line().Stall(true);
  });
  EXPECT_EQ(r.FileName, (dir / "000000600.0003_2").string());
  EXPECT_EQ(FileBytes(r.FileName), Card(600, 3));
  EXPECT_EQ(FileBytes((dir / "000000600.0003").string()).size(), 7u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 4);  // no temporary file left
}

}  // namespace
}  // namespace recorder
