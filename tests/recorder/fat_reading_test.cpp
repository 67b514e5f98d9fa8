#include "recorder/fat_reading.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "emulator/card_image.h"
#include "platform/clock.h"

namespace recorder {
namespace {

constexpr uint32_t kT0 = 1'394'541'000;  // 15.03.24 12:30:00

// A link to a card: page requests are answered page by page, as the recorder streams them; each
// reception with nothing to deliver takes 10 ms of the test clock.
class FakeLink : public FatLinkOps {
 public:
  FakeLink(platform::TestClock& clock, std::vector<uint8_t> card) : clock_(clock), card_(std::move(card)) {
    std::memset(&status, 0, sizeof status);
  }

  uint32_t Drain() override {
    ++drains;
    if (!drainResults.empty()) {
      const uint32_t r = drainResults.front();
      drainResults.pop_front();
      return r;
    }
    // A drain ends after 2 s of a line that keeps bringing pages: about 44 at 115200 baud.
    if (delivered_ >= silentAfter) return 0;
    const size_t taken = std::min<size_t>(pending_.size(), 44);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(taken));
    return static_cast<uint32_t>(pending_.size());
  }
  void StopStream() override {
    ++stops;
    pending_.clear();
  }
  uint8_t ReadStatus(StatusBlock& out) override {
    if (statusResult == 0) out = status;
    return statusResult;
  }
  bool RequestPages(uint32_t firstPage, uint16_t count) override {
    requests.emplace_back(firstPage, count);
    for (uint32_t p = firstPage; p < firstPage + count; ++p) pending_.push_back(p);
    return false;
  }
  uint16_t Receive(uint8_t& type, uint8_t* buffer) override {
    if (ackAfter && delivered_ == ackAfter && !acked_) {
      acked_ = true;
      type = 0x04;
      buffer[0] = buffer[1] = 0;
      return 3;
    }
    if (pending_.empty() || delivered_ >= silentAfter) {
      clock_.Advance(10);
      type = 0xFF;
      return 0;
    }
    const uint32_t page = pending_.front();
    pending_.pop_front();
    ++delivered_;
    std::memcpy(buffer, card_.data() + size_t{page} * 512, 512);
    buffer[512] = 0;
    type = 0x24;
    return 513;
  }
  std::string Log() const override { return "чтение статуса Unit'a\n\n0"; }
  // A page of an earlier stream still on its way.
  void Stale(uint32_t page) { pending_.push_back(page); }

  StatusBlock status;
  uint8_t statusResult = 0;
  std::deque<uint32_t> drainResults;
  std::vector<std::pair<uint32_t, uint16_t>> requests;
  int drains = 0;
  int stops = 0;
  uint32_t ackAfter = 0;
  uint32_t silentAfter = ~0u;

 private:
  platform::TestClock& clock_;
  std::vector<uint8_t> card_;
  std::deque<uint32_t> pending_;
  uint32_t delivered_ = 0;
  bool acked_ = false;
};

class FatReading : public ::testing::Test {
 protected:
  FatReading() : scoped_(clock_) {
    log_ = std::filesystem::temp_directory_path() /
           ("fat_reading_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt");
    std::filesystem::remove(log_);
    options_.LogFileName = log_.string();
    options_.SampleClock = 1000;
    ui_.Message = [this](const std::string& text, const std::string& title, FatReadingUi::Icon) {
      messages_.push_back(text + " | " + title);
    };
    ui_.AskYesNo = [this](const std::string& text, const std::string&) {
      questions_.push_back(text);
      return true;
    };
  }
  ~FatReading() override { std::filesystem::remove(log_); }

  static emulator::CardImageBuilder ThreeFiles() {
    emulator::CardImageBuilder b(1, 1, 2, 1000);
    b.PowerOn(kT0 - 5);
    for (uint32_t i = 0; i < 3; ++i) {
      emulator::CardRecording r;
      r.StartTime = kT0 + 100 * i;
      r.DataPages = 10 + i;
      b.Recording(r);
    }
    return b;
  }

  FakeLink Link(const emulator::CardImageBuilder& b) {
    FakeLink link(clock_, b.Build());
    std::array<uint8_t, 240> raw{};
    b.ApplyToStatus(raw);
    std::memcpy(&link.status, raw.data(), raw.size());
    link.status.TikInSek = 32767;
    return link;
  }

  std::string LogText() const {
    std::ifstream in(log_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  platform::TestClock clock_;
  platform::ScopedClock scoped_;
  std::filesystem::path log_;
  FatReadingOptions options_;
  FatReadingUi ui_;
  std::vector<std::string> messages_, questions_;
  FatTable table_;
};

TEST_F(FatReading, ReadsListsAndLogsTheFiles) {
  FakeLink link = Link(ThreeFiles());
  StatusBlock status{};
  const FatReadingResult r = ReadFat(link, table_, status, options_, ui_);
  ASSERT_TRUE(r.Read);
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(link.requests, (std::vector<std::pair<uint32_t, uint16_t>>{{256, 256}}));
  EXPECT_EQ(status.FT_PG, 1);
  ASSERT_EQ(table_.FatCount, 3);
  EXPECT_EQ(r.Grid.Cells[3][1], "15.03.24 12:33:20");
  EXPECT_EQ(r.Grid.Cells[3][2], "13");
  EXPECT_FALSE(r.TimedOut);
  EXPECT_EQ(r.Listing.Lines.back(), "Конец fat'a на стр. 257");
  // The FAT ended two pages into a batch of 256: the rest of the stream was stopped before the drains.
  EXPECT_EQ(link.stops, 1);

  const std::string log = LogText();
  EXPECT_EQ(log.rfind("\nчтение FATа: \n", 0), 0u);
  const size_t fat = log.find("\n           F A T:\n");
  ASSERT_NE(fat, std::string::npos);
  EXPECT_NE(log.find("Файл_02: начало в 15.03.24 12:31:40"),
            std::string::npos);  // the report, before the list
  EXPECT_LT(log.find("Файл_02: начало"), fat);
  EXPECT_NE(log.find("N_02: от     15.03.24 12:33:20", fat), std::string::npos);
}

TEST_F(FatReading, RefusalsLeaveTheTableAsItWas) {
  table_.FatCount = 2;
  table_.FatFiles[1].BeginPage = 77;
  struct Case {
    uint8_t statusResult, sysRG, ftPg, stPg;
    const char* message;
  } cases[] = {
      {255, 0x20, 1, 2, "чтение статуса Unit'a\n\n0 | нет связи или Unit не включен!"},
      {0, 0x22, 1, 2, "В Unite включено АЦП | н е л ь з я !"},
      {0, 0x24, 1, 2, "В Unite включено АЦП | н е л ь з я !"},
      {0, 0x01, 1, 2, "В Unite нет карты; | Error"},
      {0, 0x20, 2, 2, "Нет FAT'а на карте: FT_PG = 2, ST_PG = 2; | Error"},
  };
  for (const Case& c : cases) {
    messages_.clear();
    FakeLink link = Link(ThreeFiles());
    link.statusResult = c.statusResult;
    link.status.sysRG = c.sysRG;
    link.status.FT_PG = c.ftPg;
    link.status.ST_PG = c.stPg;
    StatusBlock status{};
    EXPECT_FALSE(ReadFat(link, table_, status, options_, ui_).Read) << c.message;
    EXPECT_EQ(messages_, std::vector<std::string>{c.message});
    EXPECT_TRUE(link.requests.empty());
  }
  EXPECT_EQ(table_.FatCount, 2);
  EXPECT_EQ(table_.FatFiles[1].BeginPage, 77u);
  EXPECT_FALSE(std::filesystem::exists(log_));
}

TEST_F(FatReading, BusyLineTimeOutAndAcknowledgement) {
  // A FAT of three full pages: the recorder acknowledges after the first page and falls silent after the
  // second.
  emulator::CardImageBuilder b(1, 1, 2, 1000);
  for (int i = 0; i < 80; ++i) b.Drift(0, kT0 + i, kT0 + i, 0);
  FakeLink link = Link(b);
  link.drainResults = {7, 7, 0};
  link.ackAfter = 1;
  link.silentAfter = 2;
  StatusBlock status{};
  const uint32_t before = clock_.GetTickCount();
  const FatReadingResult r = ReadFat(link, table_, status, options_, ui_);
  ASSERT_TRUE(r.Read);
  EXPECT_TRUE(r.TimedOut);
  EXPECT_GE(platform::TicksSince(before, clock_.GetTickCount()), kFatPageWaitMs);
  EXPECT_LT(platform::TicksSince(before, clock_.GetTickCount()), kFatPageWaitMs + 100);
  EXPECT_EQ(messages_.front(), "повтор очистки буфера! | Error");
  const auto& lines = r.Listing.Lines;
  EXPECT_NE(std::find(lines.begin(), lines.end(), "com == 4  &&  N == 3   на стр. 257"), lines.end());
  EXPECT_EQ(lines.back(), "Выход по времени на стр. 258");
  EXPECT_NE(LogText().find("Выход по времени на стр. 258\n"), std::string::npos);
  EXPECT_EQ(table_.SyncCount(), 62u);  // the drift records of the two pages that came
  EXPECT_EQ(link.stops, 0) << "a silent recorder is not asked to stop";
}

TEST_F(FatReading, OnlyABatchCutShortIsStopped) {
  // A FAT that fills its whole area ends with the last page of a batch: nothing streams on.
  emulator::CardImageBuilder full(1, 1, 2, 1000);
  for (int i = 0; i < 256 * 31; ++i) full.Drift(0, kT0 + i, kT0 + i, 0);
  FakeLink whole = Link(full);
  StatusBlock status{};
  ASSERT_TRUE(ReadFat(whole, table_, status, options_, ui_).Read);
  EXPECT_EQ(whole.stops, 0);
  EXPECT_TRUE(messages_.empty());

  // A record check answered with "No" ends the FAT on its first page: the stream is stopped.
  emulator::CardImageBuilder bad(1, 1, 2, 1000);
  bad.PowerOn(kT0);
  std::vector<uint8_t> card = bad.Build();
  card[256 * 512 + 16 + 3] ^= 0x40;  // the power-on record fails its check
  FakeLink cut(clock_, card);
  cut.status = whole.status;
  ui_.AskYesNo = [this](const std::string& text, const std::string&) {
    questions_.push_back(text);
    return false;
  };
  ASSERT_TRUE(ReadFat(cut, table_, status, options_, ui_).Read);
  EXPECT_EQ(questions_, std::vector<std::string>{"error ks: стр. 256 / запись 1;"});
  EXPECT_EQ(cut.stops, 1);
  EXPECT_TRUE(messages_.empty()) << messages_.front();
}

TEST_F(FatReading, AStreamStillRunningIsStoppedAndNeverTakenForTheFat) {
  // A download that ended early left the recorder streaming erased pages: the drains never fall quiet.
  struct Case {
    std::deque<uint32_t> drains;
    bool read;
  } const cases[] = {
      {{7, 7, 7}, true},      // the stop quiets the line before the status
      {{0, 7}, true},         // the line starts streaming after the first check
      {{7, 7, 7, 7}, false},  // nothing stops it: nothing is read, the list stays
      {{0, 7, 7}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.drains.size());
    messages_.clear();
    table_.FatCount = 9;
    FakeLink link = Link(ThreeFiles());
    link.drainResults = c.drains;
    link.Stale(3000);
    StatusBlock status{};
    const FatReadingResult r = ReadFat(link, table_, status, options_, ui_);
    EXPECT_EQ(link.stops, 1 + (c.read ? 1 : 0)) << "the stream, then the FAT's own rest of its batch";
    EXPECT_EQ(r.Read, c.read);
    EXPECT_EQ(table_.FatCount, c.read ? 3 : 9);
    EXPECT_EQ(link.requests.size(), c.read ? 1u : 0u);
    if (!c.read) {
      EXPECT_EQ(messages_.back(), "Unit передаёт данные и не останавливается: FAT не прочитан. | Error");
    }
  }
}

TEST_F(FatReading, LogThatCannotOpenIsReportedAndNothingIsAsked) {
  options_.LogFileName = (log_ / "missing-dir" / "log.txt").string();
  FakeLink link = Link(ThreeFiles());
  StatusBlock status{};
  EXPECT_FALSE(ReadFat(link, table_, status, options_, ui_).Read);
  EXPECT_EQ(messages_, std::vector<std::string>{"не открылся лог-file! | Error"});
  EXPECT_TRUE(link.requests.empty());
}

}  // namespace
}  // namespace recorder

namespace recorder {
namespace {

TEST_F(FatReading, TheResultIsShownBeforeTheAdviceBoxes) {
  emulator::CardImageBuilder b(1, 1, 2, 1000);
  b.PowerOn(kT0 - 5);
  for (uint32_t i = 0; i < 66; ++i) {
    emulator::CardRecording r;
    r.StartTime = kT0 + 10 * i;
    r.DataPages = 1;
    b.Recording(r);
  }
  FakeLink link = Link(b);
  std::vector<std::string> events;
  ui_.Message = [&](const std::string& text, const std::string&, FatReadingUi::Icon) {
    events.push_back("box " + text);
  };
  ui_.ShowResult = [&](const FatReadingResult& r) {
    events.push_back("shown " + std::to_string(r.Grid.RowCount()) + " " + r.Listing.Lines.back());
  };
  StatusBlock status{};
  ASSERT_TRUE(ReadFat(link, table_, status, options_, ui_).Read);
  EXPECT_EQ(events, (std::vector<std::string>{"shown 67 Конец fat'a на стр. 261",
                                              "box В FАT'е много записей. Не пора ли стереть?!"}));
}

}  // namespace
}  // namespace recorder
