// The setup editor's logic without a window: the channel grid and the calendar grid stored back into
// the block (all or nothing, untouched values kept exactly), the memory estimate, and the high-pass
// curve of the filter page against scipy.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>

#include "recorder/calendar_grid.h"
#include "recorder/high_pass_curve.h"
#include "recorder/recorder_time.h"
#include "recorder/setup_block.h"
#include "recorder/setup_channel_grid.h"
#include "toolkit/python_reference.h"

namespace recorder {
namespace {

YSTANOV Block() {
  YSTANOV s{};
  StatusBlock status{};
  status.Channels = 2;
  status.Freq[0] = 100;
  uint8_t channels = 3;
  DefaultSetup(s, status, channels);
  return s;
}

TEST(ChannelGrid, RowsNeverExceedTheBlocksEightChannels) {
  StatusBlock status{};
  for (const auto& [channels, rows] : {std::pair{0, 1}, {2, 3}, {7, 8}, {8, 8}, {9, 8}, {255, 8}}) {
    status.Channels = static_cast<uint8_t>(channels);
    EXPECT_EQ(ChannelGridRows(status), rows) << channels;
  }
  YSTANOV s = Block();
  EXPECT_EQ(ChannelGridFromSetup(s, 12).size(), 8u);
}

TEST(ChannelGrid, UntouchedRowsKeepEveryByteAndChangedCoefficientsAreParsed) {
  YSTANOV s = Block();
  s.Coefficients[1] = 2.98e-7f;
  s.Coefficients[2] = 5e-9f;  // shows as 0.0000000
  std::memcpy(s.ChannelNames[0], "K00\0junk", 8);
  const YSTANOV before = s;
  const std::vector<ChannelGridRow> shown = ChannelGridFromSetup(s, 3);
  EXPECT_EQ(shown[1].Coefficient, "0.0000002");
  EXPECT_EQ(shown[2].Coefficient, "0.0000000");
  int marks = 0;
  EXPECT_TRUE(StoreChannelGrid(s, shown, shown, marks).Text.empty());
  EXPECT_EQ(std::memcmp(&s, &before, sizeof s), 0);
  EXPECT_EQ(marks, 3);

  std::vector<ChannelGridRow> edited = shown;
  edited[0].Coefficient = "0,25";
  edited[1].Name = "Вертик";
  edited[2].Marked = false;
  EXPECT_TRUE(StoreChannelGrid(s, edited, shown, marks).Text.empty());
  EXPECT_FLOAT_EQ(s.Coefficients[0], 0.25f);
  EXPECT_EQ(s.Coefficients[1], 2.98e-7f);
  EXPECT_EQ(s.Coefficients[2], 5e-9f);
  EXPECT_EQ(ChannelName(s, 1), "\xC2\xE5\xF0\xF2\xE8\xEA");  // Windows-1251 in the block
  EXPECT_EQ(s.ChannelMask, 3);
  EXPECT_EQ(s.ChannelCode, 1);
  EXPECT_EQ(marks, 2);
}

TEST(ChannelGrid, ARefusedRowLeavesTheWholeBlockUnchanged) {
  struct Case {
    int row;
    std::string coefficient, threshold;
    const char* message;
  };
  for (const Case& c : {Case{2, "0", "100", "слишком малы  <коэффициенты>"},
                        Case{2, "abc", "100", "слишком малы  <коэффициенты>"},
                        Case{1, "1.0000000", "0", "Неправильный ввод критериев"},
                        Case{0, "1.0000000", "-5", "Неправильный ввод критериев"}}) {
    YSTANOV s = Block();
    const YSTANOV before = s;
    const std::vector<ChannelGridRow> shown = ChannelGridFromSetup(s, 3);
    std::vector<ChannelGridRow> edited = shown;
    for (ChannelGridRow& r : edited) {
      r.Name = "new";
      r.Marked = false;
    }
    edited[c.row].Coefficient = c.coefficient;
    edited[c.row].Threshold = c.threshold;
    int marks = -1;
    const GridRefusal refusal = StoreChannelGrid(s, edited, shown, marks);
    EXPECT_EQ(refusal.Text, c.message);
    EXPECT_EQ(refusal.Caption, "ERROR");
    EXPECT_EQ(refusal.Row, c.row);
    EXPECT_EQ(std::memcmp(&s, &before, sizeof s), 0) << c.coefficient << " " << c.threshold;
  }
}

TEST(ChannelGrid, ThresholdsAreCappedAndNoMarkGivesCode255) {
  YSTANOV s = Block();
  const std::vector<ChannelGridRow> shown = ChannelGridFromSetup(s, 3);
  std::vector<ChannelGridRow> edited = shown;
  edited[0].Threshold = "70000";
  edited[1].Threshold = "1";
  edited[2].Name = "";
  for (ChannelGridRow& r : edited) r.Marked = false;
  int marks = -1;
  EXPECT_TRUE(StoreChannelGrid(s, edited, shown, marks).Text.empty());
  EXPECT_EQ(s.Thresholds[0], 65535);
  EXPECT_EQ(s.Thresholds[1], 1);
  EXPECT_EQ(ChannelName(s, 2), "name ?");
  EXPECT_EQ(s.ChannelMask, 0);
  EXPECT_EQ(s.ChannelCode, 255);
  EXPECT_EQ(marks, 0);
}

TEST(ChannelGrid, ListsMapTheirItemsToTheTableIndex) {
  const uint16_t gains[8] = {0, 1, 0, 10, 100, 0, 1000, 0};
  EXPECT_EQ(NonZeroEntries(gains), (std::vector<int>{1, 3, 4, 6}));
}

// ---- calendar ----

constexpr uint32_t kClock = 1'400'000'000;  // the recorder clock of the calendar tests: 2024

YSTANOV CalendarBlock() {
  YSTANOV s = Block();
  for (CalendarEntry& e : s.Calendar) FreeEntry(e);
  const uint32_t t = 1'400'000'000;
  for (int i = 0; i < 10; ++i) s.Calendar[i] = {t + 3600u * i, t + 3600u * i + 600 + 30 * (i == 5)};
  FreeEntry(s.Calendar[3]);
  s.Calendar[7] = {t + 50000, t + 50040};  // shorter than a minute
  return s;
}

TEST(CalendarGrid, EveryUsedEntryShowsAndAnUntouchedGridGivesTheCalendarBack) {
  YSTANOV s = CalendarBlock();
  const YSTANOV before = s;
  const std::vector<CalendarGridRow> rows = CalendarGridFromSetup(s, 1'400'000'000 + 3600);
  ASSERT_EQ(rows.size(), 256u);
  EXPECT_EQ(rows[0].Start, UnitTimeText(1'400'000'000));
  EXPECT_EQ(rows[0].Minutes, "10");
  EXPECT_EQ(rows[0].Ahead, "прошло");
  EXPECT_EQ(rows[2].Ahead, "3600");
  EXPECT_EQ(rows[3].Start, " ");
  EXPECT_EQ(rows[9].Minutes, "10");
  EXPECT_EQ(rows[7].Minutes, " ");
  EXPECT_EQ(rows[10].Start, " ");
  for (int pass = 0; pass < 2; ++pass) {
    EXPECT_TRUE(StoreCalendarGrid(s, CalendarGridFromSetup(s, 0), CalendarGridFromSetup(s, 0), kClock).Text.empty());
  }
  EXPECT_EQ(std::memcmp(&s, &before, sizeof s), 0);
}

TEST(CalendarGrid, ChangedRowsAreParsedAndBadOnesRefusedWithTheirRow) {
  struct Case {
    int row;
    std::string start, minutes, refusal;
  };
  const Case cases[] = {
      {3, "01.02.24 10:00:00", "30", ""},
      {3, "01.02.2024 10:00", "30", ""},
      {4, "05.07.24 01:02:03", "0", ""},  // frees
      {4, " ", " ", ""},
      {3, " ", "30", "строка 4: неправильное время вкл-я"},
      {3, "31.02.24 10:00:00", "30", "строка 4: неправильное время вкл-я"},
      {3, "01.02.24 25:00:00", "30", "строка 4: неправильное время вкл-я"},
      {3, "01.01.79 00:00:00", "30", ""},  // 2079
      {3, "01.01.2117 00:00:00", "30", "строка 4: неправильное время вкл-я"},  // beyond the clock
      {5, "01.01.80 00:00:00", "30", ""},  // 2080: 1980-01-01 lies before the recorder's epoch
      {3, "06.02.36 06:00:00", "30", ""},  // past 2036 the clock goes on
      {3, "01.01.2116 00:00:00", "100000", "строка 4: слишком поздно"},
      {3, "01.02.24 10:00:00", "-5", "строка 4: неправильная длина"},
  };
  for (const Case& c : cases) {
    YSTANOV s = CalendarBlock();
    const YSTANOV before = s;
    const std::vector<CalendarGridRow> shown = CalendarGridFromSetup(s, 0);
    std::vector<CalendarGridRow> edited = shown;
    edited[8].Minutes = "0";  // a change elsewhere that must not be stored on a refusal
    edited[c.row].Start = c.start;
    edited[c.row].Minutes = c.minutes;
    const CalendarRefusal r = StoreCalendarGrid(s, edited, shown, kClock);
    EXPECT_EQ(r.Text, c.refusal) << c.start;
    if (!c.refusal.empty()) {
      EXPECT_EQ(r.Row, c.row);
      EXPECT_EQ(std::memcmp(&s, &before, sizeof s), 0) << c.start;
      continue;
    }
    EXPECT_TRUE(IsFree(s.Calendar[8]));
    const std::optional<uint32_t> minutes = ParseMinutes(c.minutes);
    if (*minutes == 0) {
      EXPECT_TRUE(IsFree(s.Calendar[c.row])) << c.start;
    } else {
      EXPECT_EQ(s.Calendar[c.row].On, *ParseStartText(c.start, StartReference(before.Calendar[c.row], kClock)));
      EXPECT_EQ(s.Calendar[c.row].Off - s.Calendar[c.row].On, 1800u);
    }
  }
  // Two-digit years go to the century nearest the reference, within the recorder's clock.
  struct Year {
    const char* text;
    int64_t near;
    int64_t expected;  // -1: refused
  };
  const int64_t y2024 = UnitSecondsFromDate(2024, 6, 1), y2090 = UnitSecondsFromDate(2090, 1, 1);
  const Year years[] = {
      {"01.02.24 10:00:00", y2024, UnitSecondsFromDate(2024, 2, 1) + 36000},
      {"01.02.2024 10:00", y2090, UnitSecondsFromDate(2024, 2, 1) + 36000},  // four digits as typed
      {"01.01.79 00:00:00", y2024, UnitSecondsFromDate(2079, 1, 1)},         // 1979: before the epoch
      {"06.02.36 06:28:16", y2024, UnitSecondsFromDate(2036, 2, 6) + 23296},
      {"01.01.85 00:00:00", y2024, UnitSecondsFromDate(1985, 1, 1)},
      {"01.01.85 00:00:00", y2090, UnitSecondsFromDate(2085, 1, 1)},
      {"31.12.16 00:00:00", y2090, UnitSecondsFromDate(2016, 12, 31)},  // 2116-12-31 is past the clock
      {"01.02.16 00:00:00", y2090, UnitSecondsFromDate(2116, 2, 1)},
      {"01.01.2117 00:00:00", y2090, -1},
  };
  for (const Year& y : years) {
    const std::optional<uint32_t> on = ParseStartText(y.text, y.near);
    if (y.expected < 0) {
      EXPECT_FALSE(on) << y.text;
    } else {
      EXPECT_EQ(on, y.expected) << y.text;
    }
  }
  for (const char* bad : {"", " ", "1.2", "01.02.24 10", "01.02.24 10:00:00 x", "00.01.24"}) {
    EXPECT_FALSE(ParseStartText(bad, y2024)) << bad;
  }
}

// Entries from 2080 on: a row whose length alone changes keeps its start exactly, an edited start
// stays in the entry's century, and a new row lies ahead of the recorder clock.
TEST(CalendarGrid, RowEditsNeverMoveAStartByACentury) {
  YSTANOV s = CalendarBlock();
  const uint32_t late = static_cast<uint32_t>(UnitSecondsFromDate(2085, 3, 1) + 36000);
  s.Calendar[4] = {late, late + 600};
  const std::vector<CalendarGridRow> shown = CalendarGridFromSetup(s, kClock);
  ASSERT_EQ(shown[4].Start, "01.03.85 10:00:00");
  std::vector<CalendarGridRow> edited = shown;
  edited[4].Minutes = "20";
  edited[3] = {"01.01.85 00:00:00", "5", ""};
  ASSERT_TRUE(StoreCalendarGrid(s, edited, shown, kClock).Text.empty());
  EXPECT_EQ(s.Calendar[4].On, late);
  EXPECT_EQ(s.Calendar[4].Off, late + 1200);
  EXPECT_EQ(s.Calendar[3].On, UnitSecondsFromDate(2085, 1, 1));
  const std::vector<CalendarGridRow> shown2 = CalendarGridFromSetup(s, kClock);
  edited = shown2;
  edited[4].Start = "02.03.85 10:00:00";
  ASSERT_TRUE(StoreCalendarGrid(s, edited, shown2, kClock).Text.empty());
  EXPECT_EQ(s.Calendar[4].On, late + 86400);
}

TEST(CalendarGrid, ANewStartKeepsTheRowsLength) {
  YSTANOV s = CalendarBlock();
  std::vector<CalendarGridRow> rows = CalendarGridFromSetup(s, 0);
  CalendarRefusal refusal;
  const uint32_t on = 1'500'000'000;
  ASSERT_TRUE(SetRowStart(s, 1, on, rows[1], refusal));
  EXPECT_EQ(s.Calendar[1].On, on);
  EXPECT_EQ(s.Calendar[1].Off, on + 600);
  EXPECT_EQ(rows[1].Start, UnitTimeText(on));
  // A free row gets only its text until a length is given.
  ASSERT_TRUE(SetRowStart(s, 3, on, rows[3], refusal));
  EXPECT_TRUE(IsFree(s.Calendar[3]));
  EXPECT_EQ(rows[3].Start, UnitTimeText(on));
  rows[3].Minutes = "5";
  EXPECT_TRUE(StoreCalendarGrid(s, rows, CalendarGridFromSetup(s, 0), kClock).Text.empty());
  EXPECT_EQ(s.Calendar[3].On, on);
  EXPECT_EQ(s.Calendar[3].Off, on + 300);
  // An end past the clock is refused and nothing changes.
  rows[1].Minutes = "100000";
  const CalendarEntry kept = s.Calendar[1];
  EXPECT_FALSE(SetRowStart(s, 1, 0xFFFF'0000u, rows[1], refusal));
  EXPECT_EQ(s.Calendar[1].On, kept.On);
  EXPECT_EQ(refusal.Row, 1);
}

TEST(CalendarGrid, MemoryEstimateCountsWholeFramesOfAtMost150Values) {
  std::vector<CalendarGridRow> rows(256);
  rows[0].Minutes = "10";
  rows[5].Minutes = "1";  // after a blank row: still counted
  for (const auto& [channels, rate, pages] :
       {std::tuple{3u, 100u, 1200u + 120u}, {1u, 1000u, 4000u + 400u}, {7u, 100u, 2858u + 286u},
        {0u, 100u, 0u}}) {
    EXPECT_EQ(CalendarPages(rows, channels, rate), pages) << channels;
  }
}

// ---- filter page ----

TEST(HighPassCurve, NoFilterOrNoRateDrawsNothing) {
  toolkit::Tf_batt designer;
  const HighPassCurve none = HighPassResponse(designer, 0, 100);
  EXPECT_FALSE(none.Drawn);
  EXPECT_EQ(none.Caption, "ФВЧ отсутствует");
  EXPECT_TRUE(none.Amplitude.empty());
  EXPECT_FALSE(HighPassResponse(designer, 3, 0).Drawn);
}

TEST(HighPassCurve, AmplitudesMatchScipysButterworth) {
  std::ostringstream program;
  program << "import numpy as np\nfrom scipy import signal\n"
          << "for rate in (100, 1000):\n"
          << "  for k in range(1, 11):\n"
          << "    sos = signal.butter(3, 0.05 * k, 'highpass', fs=rate, output='sos')\n"
          << "    f = rate * 0.5 * np.arange(400) * 2.5e-5\n"
          << "    w, h = signal.sosfreqz(sos, worN=f, fs=rate)\n"
          << "    print(' '.join('%.15e' % a for a in np.abs(h)))\n";
  const std::vector<std::string> lines = toolkit_test::RunPython("high_pass_curve", program.str());
  ASSERT_EQ(lines.size(), 20u);
  toolkit::Tf_batt designer;
  size_t line = 0;
  for (uint16_t rate : {100, 1000}) {
    for (uint8_t k = 1; k <= 10; ++k, ++line) {
      const HighPassCurve curve = HighPassResponse(designer, k, rate);
      ASSERT_TRUE(curve.Drawn);
      ASSERT_EQ(curve.Amplitude.size(), 400u);
      std::istringstream in(lines[line]);
      for (int i = 0; i < 400; ++i) {
        double expected = 0;
        in >> expected;
        EXPECT_NEAR(curve.Amplitude[i], expected, 1e-6) << rate << " " << int{k} << " " << i;
      }
    }
  }
}

}  // namespace
}  // namespace recorder
