// The page boxes: what their edits write back, the end limit and the stepping keys.
#include "recorder/page_boxes.h"

#include <gtest/gtest.h>

namespace recorder {
namespace {

TEST(PageBoxes, TextIsReadLenientlyToTheNearestPageAndWrittenInEightDigits) {
  EXPECT_EQ(PageBoxValue("00001234"), 1234u);
  EXPECT_EQ(PageBoxValue("12,6"), 13u);
  EXPECT_EQ(PageBoxValue(" 12.4"), 12u);
  EXPECT_EQ(PageBoxValue(""), 0u);
  EXPECT_EQ(PageBoxValue("-5"), 0u) << "no page below 0";
  EXPECT_EQ(PageBoxValue("123456789"), kPageBoxMax);
  EXPECT_EQ(PageBoxText(1234), "00001234");
  EXPECT_EQ(PageBoxText(kPageBoxMax), "99999999");
  EXPECT_EQ(PageBoxText(PageBoxValue("7")), "00000007");
}

TEST(PageBoxes, BeginZeroBecomesOneAndTheEndStopsAtTheLastCardPage) {
  EXPECT_EQ(BeginBoxAfterChange(0), 1u);
  EXPECT_EQ(BeginBoxAfterChange(1), 1u);
  EXPECT_EQ(BeginBoxAfterChange(777), 777u);

  EXPECT_EQ(EndBoxAfterExit(3999, 1), 3999u);
  EXPECT_EQ(EndBoxAfterExit(4000, 1), 3999u);
  EXPECT_EQ(EndBoxAfterExit(99'999'999, 2), 7999u);
  EXPECT_EQ(EndBoxAfterExit(0, 2), 0u);
  EXPECT_EQ(EndBoxAfterExit(5000, 0), 5000u) << "no limit while the card size is unknown";
  EXPECT_EQ(PageBoxText(EndBoxAfterExit(PageBoxValue("12345678"), 1)), "00003999");
}

TEST(PageBoxes, KeysStepTheirBoxByOneHundredOrTenThousand) {
  struct Case {
    int key;
    bool ctrl, alt;
    PageBox box;
    int64_t delta;
  } cases[] = {
      {kKeyEqual, false, false, PageBox::Begin, 1},
      {kKeyMinus, false, false, PageBox::Begin, -1},
      {kKeyPadPlus, false, false, PageBox::End, 1},
      {kKeyPadMinus, false, false, PageBox::End, -1},
      {kKeyEqual, true, false, PageBox::Begin, 100},
      {kKeyPadMinus, true, false, PageBox::End, -100},
      {kKeyMinus, false, true, PageBox::Begin, -10000},
      {kKeyPadPlus, true, true, PageBox::End, 10000},
      {65, false, false, PageBox::None, 0},
      {0, true, true, PageBox::None, 0},
  };
  for (const Case& c : cases) {
    const PageKeyStep s = PageKeyStepOf(c.key, c.ctrl, c.alt);
    EXPECT_EQ(s.Box, c.box) << c.key;
    EXPECT_EQ(s.Delta, c.delta) << c.key << " ctrl " << c.ctrl << " alt " << c.alt;
  }
}

TEST(PageBoxes, StepsStayWithinEightDigits) {
  EXPECT_EQ(SteppedPage(5, -1), 4u);
  EXPECT_EQ(SteppedPage(5, -100), 0u);
  EXPECT_EQ(SteppedPage(0, -10000), 0u);
  EXPECT_EQ(SteppedPage(kPageBoxMax - 3, 100), kPageBoxMax);
  EXPECT_EQ(SteppedPage(1234, 10000), 11234u);
}

TEST(PageBoxes, TheThirdZInARowAsksToHideThePicturePanel) {
  struct Case {
    const char* keys;  // Z, or any other key
    bool wide;
    const char* hides;  // per key: '1' asks to hide
  };
  const Case cases[] = {
      {"ZZZZZZ", true, "001001"},
      {"ZZxZZZ", true, "000001"},
      {"ZZZZZZZZ", false, "00000000"},  // narrow: 1 2 3 4 0 1 2 3, never hidden
  };
  for (const Case& c : cases) {
    ZPresses z;
    std::string got;
    for (const char* k = c.keys; *k; ++k) got += z.Press(*k == 'Z', c.wide) ? '1' : '0';
    EXPECT_EQ(got, c.hides) << c.keys;
  }
  // Narrow then wide: the fifth Z restarts the count from 0, so it takes three more.
  ZPresses z;
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(z.Press(true, false));
  EXPECT_FALSE(z.Press(true, true));
  EXPECT_FALSE(z.Press(true, true));
  EXPECT_TRUE(z.Press(true, true));
}

}  // namespace
}  // namespace recorder
