// The FAT reading and the page range check against the emulated recorder, over the link.
#include "recorder/fat_link.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "emulator/card_image.h"
#include "emulator/command_set.h"
#include "emulator/default_device.h"
#include "link_fixture.h"
#include "recorder/unit_commands.h"

namespace recorder {
namespace {

constexpr uint32_t kT0 = 1'394'541'000;  // 15.03.24 12:30:00

class FatOverLink : public testing::LinkTest {
 protected:
  void SetUp() override {
    emulator::SetUpDefaultDevice(Unit().State());
    set = emulator::CommandSet::Install(Unit());
    builder.PowerOn(kT0 - 5);
    for (uint32_t i = 0; i < 3; ++i) {
      emulator::CardRecording r;
      r.StartTime = kT0 + 100 * i;
      r.DataPages = 10 + i;
      builder.Recording(r);
    }
    Unit().State().card = builder.Build();
    builder.ApplyToStatus(Unit().State().status);
    Unit().State().status[2] = 0x21;  // synchronised, card present, idle
    Open();
    logFile =
        std::filesystem::temp_directory_path() /
        (std::string("fat_link_") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt");
    std::filesystem::remove(logFile);
  }
  void TearDown() override { std::filesystem::remove(logFile); }

  std::shared_ptr<emulator::CommandSet> set;
  emulator::CardImageBuilder builder{1, 1, 2, 1000};
  std::filesystem::path logFile;
};

TEST_F(FatOverLink, ReadsTheEmulatedCard) {
  FatTable table;
  StatusBlock status{};
  FatReadingOptions options;
  options.LogFileName = logFile.string();
  options.SampleClock = 1000;
  std::vector<std::string> boxes;
  FatReadingUi ui;
  ui.Message = [&](const std::string& text, const std::string& title, FatReadingUi::Icon) {
    boxes.push_back(title + "|" + text);
  };
  ui.AskYesNo = [&](const std::string& text, const std::string&) {
    boxes.push_back("ask|" + text);
    return true;
  };
  UnitLinkFatOps ops(link);
  // At the line's own rate the FAT ends two pages into its batch of 256: the rest of the stream is
  // stopped, so the drains find the line quiet and the next command is answered at once.
  const uint32_t before = clock.GetTickCount();
  const FatReadingResult r = ReadFat(ops, table, status, options, ui);
  ASSERT_TRUE(r.Read);
  EXPECT_TRUE(boxes.empty()) << boxes.front();
  EXPECT_FALSE(r.TimedOut);
  EXPECT_LT(clock.GetTickCount() - before, 2000u);
  EXPECT_LT(set->PagesStreamed(), 8u);
  EXPECT_EQ(set->PagesPending(), 0u);
  ASSERT_EQ(table.FatCount, 3);
  for (unsigned i = 0; i < 3; ++i) {
    EXPECT_EQ(table.FatFiles[i].BeginPage, builder.Files()[i].SetupPage);
    EXPECT_EQ(table.FatFiles[i].EndPage, builder.Files()[i].LastPage);
  }
  EXPECT_EQ(r.Grid.Cells[2][1], "15.03.24 12:31:40");
  EXPECT_EQ(r.Listing.Lines.back(), "Конец fat'a на стр. 257");
  const uint32_t asked = clock.GetTickCount();
  EXPECT_EQ(ReadStatus(link, status), kDone);
  EXPECT_LT(clock.GetTickCount() - asked, 100u);
  EXPECT_EQ(link.DrainMessages(), 0u);
}

TEST_F(FatOverLink, PageRangeOfAFile) {
  UnitLinkPageSource source(link);
  const emulator::CardFile& f = builder.Files()[1];
  PageRangeInput in;
  in.TypedBegin = f.FirstDataPage;
  in.TypedEnd = f.LastPage;
  in.FCmax = 1;
  in.StatusChannels = 2;
  in.SampleClock = 1000;
  auto r = CheckPageRange(in, source);
  EXPECT_EQ(r.BegPage, f.FirstDataPage);
  EXPECT_NE(r.StatusText.find("на 11стр."), std::string::npos) << r.StatusText;

  Unit().SetAnswering(false);
  r = CheckPageRange(in, source);
  EXPECT_EQ(r.StatusText.find("ф 2"), std::string::npos);
  EXPECT_NE(r.StatusText.find(" Нет ответа"), std::string::npos) << r.StatusText;
}

}  // namespace
}  // namespace recorder
