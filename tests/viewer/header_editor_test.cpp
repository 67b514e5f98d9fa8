#include "viewer/header_editor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <span>

#include "toolkit/python_reference.h"
#include "toolkit/start_ticks.h"

namespace viewer {
namespace {

using toolkit::SetupRecord;

class HeaderEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(&setup, 0, sizeof setup);
    toolkit::MAIN_HEADER& h = setup.Header;
    h.Channels = 3;
    h.Rate = 200;
    h.dt = 0.005;
    h.Format = 60;
    h.Latitude = 55.1234567;
    h.Longitude = 37.7654321;
    std::strcpy(h.Station, "KAM");
    // 2011-03-27 01:30:00 plus 123456 us and 77 ticks below a microsecond.
    int64_t ticks = 0;
    ASSERT_TRUE(toolkit::StartTicksFromSeconds(toolkit::SecondsSince1980({{2011, 3, 27}, {1, 30, 0}}),
                                               toolkit::kDay1980, 123456 * 256 + 77, ticks));
    h.StartTicks = ticks;
    const double coefs[3] = {0.123456, 3.2456e-10, 4e-12};
    for (int i = 0; i < 3; ++i) {
      setup.FileChannels[i].Coef = coefs[i];
      std::strcpy(setup.FileChannels[i].Name, "Z");
    }
  }

  // Saves `edited` against the page as it was shown and checks that a refused save changed nothing.
  HeaderFaults SaveExpectingRefusal(const HeaderTexts& shown, const HeaderTexts& edited) {
    const SetupRecord before = setup;
    const HeaderFaults f = SaveHeader(setup.Header, Channels(), shown, edited);
    EXPECT_TRUE(f.Any());
    EXPECT_EQ(std::memcmp(&before, &setup, sizeof setup), 0);
    return f;
  }

  std::span<toolkit::CHANNEL_HEADER> Channels() { return {setup.FileChannels, 3}; }

  SetupRecord setup;
};

TEST_F(HeaderEditorTest, SaveWithNothingTouchedKeepsEveryByte) {
  const SetupRecord before = setup;
  const HeaderTexts shown = ShowHeader(setup.Header, Channels());
  EXPECT_EQ(shown.Microseconds, "123456");
  EXPECT_FALSE(SaveHeader(setup.Header, Channels(), shown, shown).Any());
  EXPECT_EQ(std::memcmp(&before, &setup, sizeof setup), 0);
}

TEST_F(HeaderEditorTest, CoefficientTextsHaveFourSixOrElevenDecimalsAndUntouchedCellsStayExact) {
  for (auto [coef, text] : {std::pair{0.0002, "0.00020000000"}, {0.05, "0.050000"}, {2.5, "2.5000"},
                            {0.123456, "0.1235"}, {3.2456e-10, "0.00000000032"}, {0.1, "0.1000"},
                            {0.0005, "0.000500"}}) {
    EXPECT_EQ(CoefficientText(coef), text) << coef;
  }
  // The shown text rounds; a save with the cells untouched keeps the stored values.
  const HeaderTexts shown = ShowHeader(setup.Header, Channels());
  HeaderTexts e = shown;
  e.Station = "NEW";
  ASSERT_FALSE(SaveHeader(setup.Header, Channels(), shown, e).Any());
  EXPECT_EQ(setup.FileChannels[0].Coef, 0.123456);
  EXPECT_EQ(setup.FileChannels[1].Coef, 3.2456e-10);
}

TEST_F(HeaderEditorTest, NewStartMatchesPythonAndRebuildsTheDateFields) {
  const HeaderTexts shown = ShowHeader(setup.Header, Channels());
  HeaderTexts e = shown;
  e.Date = {2010, 7, 28};
  e.Time = {12, 0, 0};
  e.Microseconds = "500000";
  ASSERT_FALSE(SaveHeader(setup.Header, Channels(), shown, e).Any());
  const auto py = toolkit_test::RunPython("header_ticks", R"(
import datetime
d = datetime.datetime(2010, 7, 28, 12, 0, 0) - datetime.datetime(1980, 1, 1)
print(int(d.total_seconds()) * 256000000 + 500000 * 256)
)");
  ASSERT_EQ(py.size(), 1u);
  EXPECT_EQ(std::to_string(setup.Header.StartTicks), py[0]);
  EXPECT_DOUBLE_EQ(setup.Header.to, 43200.5);
  EXPECT_EQ(setup.Header.Year, 2010);
  EXPECT_EQ(setup.Header.Month, 7);
  EXPECT_EQ(setup.Header.Day, 28);
  EXPECT_EQ(setup.Header.Format, 60);
}

TEST_F(HeaderEditorTest, BadRatesMicrosecondsAndDatesChangeNothing) {
  const HeaderTexts shown = ShowHeader(setup.Header, Channels());
  for (const char* rate : {"0", "48", "10001", "70000", "1e3", ""}) {
    HeaderTexts e = shown;
    e.Rate = rate;
    e.Station = "NEW";  // a good change alongside is not stored either
    EXPECT_TRUE(SaveExpectingRefusal(shown, e).Rate) << rate;
  }
  for (const char* us : {"1000000", "-1", "12x"}) {
    HeaderTexts e = shown;
    e.Microseconds = us;
    EXPECT_TRUE(SaveExpectingRefusal(shown, e).Microseconds) << us;
  }
  HeaderTexts e = shown;
  e.Date = {1979, 12, 31};
  EXPECT_TRUE(SaveExpectingRefusal(shown, e).Date);
  e.Date = {2010, 2, 30};
  EXPECT_TRUE(SaveExpectingRefusal(shown, e).Date);
}

TEST_F(HeaderEditorTest, StoredRateOutsideTheRangeBlocksTheSaveUntilMended) {
  setup.Header.Rate = 0;
  const HeaderTexts shown = ShowHeader(setup.Header, Channels());
  HeaderTexts e = shown;
  e.Station = "X";
  EXPECT_TRUE(SaveExpectingRefusal(shown, e).Rate);
  e.Rate = "100";
  ASSERT_FALSE(SaveHeader(setup.Header, Channels(), shown, e).Any());
  EXPECT_EQ(setup.Header.Rate, 100);
  EXPECT_STREQ(setup.Header.Station, "X");
}

TEST_F(HeaderEditorTest, GoodRateSetsTheInterval) {
  const HeaderTexts shown = ShowHeader(setup.Header, Channels());
  for (auto [text, rate] : {std::pair{"49", 49}, {"10000", 10000}, {"1000", 1000}}) {
    HeaderTexts e = shown;
    e.Rate = text;
    ASSERT_FALSE(SaveHeader(setup.Header, Channels(), shown, e).Any()) << text;
    EXPECT_EQ(setup.Header.Rate, rate);
    EXPECT_DOUBLE_EQ(setup.Header.dt, 1.0 / rate);
  }
}

TEST_F(HeaderEditorTest, CoefficientCellsAreReadWholeOrRefused) {
  const HeaderTexts shown = ShowHeader(setup.Header, Channels());
  for (const char* bad : {"1e-3", "0", "0.0", "abc", "1.2.3", "2000000000", "-1000000000.5"}) {
    HeaderTexts e = shown;
    e.Coefficients[1] = bad;
    const HeaderFaults f = SaveExpectingRefusal(shown, e);
    ASSERT_EQ(f.Coefficients.size(), 1u) << bad;
    EXPECT_EQ(f.Coefficients[0], 1);
  }
  HeaderTexts e = shown;
  e.Coefficients[1] = "0,000000000123";
  e.Coefficients[2] = "-2.5";
  ASSERT_FALSE(SaveHeader(setup.Header, Channels(), shown, e).Any());
  EXPECT_DOUBLE_EQ(setup.FileChannels[1].Coef, 1.23e-10);
  EXPECT_DOUBLE_EQ(setup.FileChannels[2].Coef, -2.5);
  EXPECT_DOUBLE_EQ(setup.FileChannels[0].Coef, 0.123456);  // untouched cell: exact
}

TEST_F(HeaderEditorTest, StationAndNamesBecomeBoundedCp1251) {
  const HeaderTexts shown = ShowHeader(setup.Header, Channels());
  HeaderTexts e = shown;
  e.Station = "ABCDEFGHIJKLMN";
  std::string cyrillic;
  for (int i = 0; i < 30; ++i) cyrillic += "Ж";
  e.Names[0] = cyrillic;
  e.Names[1] = "€x";  // the euro sign is 0x88 in Windows-1251
  e.Names[2] = "中";  // not in Windows-1251
  ASSERT_FALSE(SaveHeader(setup.Header, Channels(), shown, e).Any());
  EXPECT_EQ(std::string(setup.Header.Station, 16), std::string("ABCDEFGHIJK\0\0\0\0\0", 16));
  EXPECT_EQ(std::string(setup.FileChannels[0].Name, 24), std::string(23, '\xC6') + '\0');
  EXPECT_STREQ(setup.FileChannels[1].Name, "\x88x");
  EXPECT_STREQ(setup.FileChannels[2].Name, "?");
}

TEST_F(HeaderEditorTest, ChannelCountAboveTheRecordIsHeldAt64) {
  setup.Header.Channels = 300;
  EXPECT_EQ(HeaderChannelCount(setup), 64);
  EXPECT_EQ(ShowHeader(setup.Header, std::span(setup.FileChannels, 64)).Names.size(), 64u);
}

TEST_F(HeaderEditorTest, OlderLayoutShowsItsCompletedStartAndANewStartMakesItCurrent) {
  // An older header: the start lives in the date fields and dt, the rate and StartTicks fields are empty.
  toolkit::MAIN_HEADER& h = setup.Header;
  h.Format = 0;
  h.Rate = 0;
  h.StartTicks = 0;
  h.Year = 11;
  h.Month = 3;
  h.Day = 27;
  h.to = 5400.0;
  h.Bits = 24;
  const toolkit::MAIN_HEADER before = h;
  const HeaderTexts shown = ShowHeader(h, Channels());
  EXPECT_EQ(shown.Date.Year, 2011);
  EXPECT_EQ(shown.Time.Hour, 1u);
  EXPECT_EQ(shown.Rate, "200");
  HeaderTexts e = shown;
  e.Station = "NEW";
  ASSERT_FALSE(SaveHeader(h, Channels(), shown, e).Any());
  EXPECT_EQ(h.Format, 0);  // untouched start and rate keep their stored fields
  EXPECT_EQ(h.Rate, 0);
  EXPECT_EQ(h.Year, before.Year);
  e.Date.Day = 28;
  ASSERT_FALSE(SaveHeader(h, Channels(), shown, e).Any());
  EXPECT_EQ(h.Format, 60);
  EXPECT_EQ(h.Rate, 200);
  std::string text;
  EXPECT_EQ(toolkit::CheckMainHeader(h, text), 0) << text;
  EXPECT_EQ(h.Day, 28);
}

}  // namespace
}  // namespace viewer
