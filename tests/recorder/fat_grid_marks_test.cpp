// The download marks of the file grid and the meaning of presses and moves over it.
#include "recorder/fat_grid_marks.h"

#include <gtest/gtest.h>

namespace recorder {
namespace {

// Rows: 100..200, 300..301 (two pages), 400..403 (three above the begin), 0..50 (no begin page: not
// toggled by a press, but long enough for mark-all).
FatTable FourFiles() {
  FatTable t;
  t.FatCount = 4;
  t.FatFiles[0].BeginPage = 100;
  t.FatFiles[0].EndPage = 200;
  t.FatFiles[1].BeginPage = 300;
  t.FatFiles[1].EndPage = 301;
  t.FatFiles[2].BeginPage = 400;
  t.FatFiles[2].EndPage = 403;
  t.FatFiles[3].BeginPage = 0;
  t.FatFiles[3].EndPage = 50;
  return t;
}

FatGridPress Press(int row, int column, int y) {
  FatGridPress p;
  p.ColumnCount = 9;
  p.RowPitch = 18;
  p.Row = row;
  p.Column = column;
  p.Y = y;
  return p;
}

TEST(FatGridMarks, OnlyFilesLongerThanTwoPagesAboveTheirBeginCanBeMarked) {
  FileEntry e;
  e.BeginPage = 10;
  e.EndPage = 12;
  EXPECT_FALSE(CanBeMarked(e));
  e.EndPage = 13;
  EXPECT_TRUE(CanBeMarked(e));
  e.BeginPage = 0xFFFFFFFEu;  // no wrap-around near the top of the page numbers
  e.EndPage = 2;
  EXPECT_FALSE(CanBeMarked(e));
  e.BeginPage = 200;
  e.EndPage = 100;
  EXPECT_FALSE(CanBeMarked(e));
}

TEST(FatGridMarks, ToggleEmptiesAnXAndMarksAnythingElse) {
  EXPECT_EQ(ToggledMark("x"), "");
  EXPECT_EQ(ToggledMark(""), "x");
  EXPECT_EQ(ToggledMark(" "), "x");
  EXPECT_EQ(ToggledMark("X"), "x");
  EXPECT_EQ(ToggledMark(ToggledMark("")), "");
}

TEST(FatGridMarks, WhatAPressDoes) {
  const FatTable t = FourFiles();
  // Four files: presses count up to (4 + 1) x 18 - 5 = 85 pixels from the top.
  EXPECT_EQ(FatGridPressAction(Press(1, 2, 20), t), FatGridAction::ToggleFile);
  EXPECT_EQ(FatGridPressAction(Press(2, 8, 45), t), FatGridAction::ToggleFile);
  EXPECT_EQ(FatGridPressAction(Press(4, 1, 80), t), FatGridAction::None) << "a row without a begin page";
  EXPECT_EQ(FatGridPressAction(Press(4, 1, 86), t), FatGridAction::None);
  EXPECT_EQ(FatGridPressAction(Press(3, 1, 85), t), FatGridAction::ToggleFile);
  EXPECT_EQ(FatGridPressAction(Press(0, 3, 5), t), FatGridAction::MarkAll);
  EXPECT_EQ(FatGridPressAction(Press(2, 0, 40), t), FatGridAction::MarkAll);
  EXPECT_EQ(FatGridPressAction(Press(-1, 2, 40), t), FatGridAction::None);
  EXPECT_EQ(FatGridPressAction(Press(2, -1, 40), t), FatGridAction::None);

  FatGridPress left = Press(1, 2, 20);
  left.LeftButton = true;
  EXPECT_EQ(FatGridPressAction(left, t), FatGridAction::None);
  FatGridPress status = Press(1, 1, 20);
  status.ColumnCount = 2;
  EXPECT_EQ(FatGridPressAction(status, t), FatGridAction::None);
  status.ColumnCount = 5;
  EXPECT_EQ(FatGridPressAction(status, t), FatGridAction::ToggleFile);

  FatTable empty;
  EXPECT_EQ(FatGridPressAction(Press(0, 0, 12), empty), FatGridAction::MarkAll);
  EXPECT_EQ(FatGridPressAction(Press(1, 1, 14), empty), FatGridAction::None);
}

TEST(FatGridMarks, MarkAllMarksTheMarkableRowsThenClearsThem) {
  const FatTable t = FourFiles();
  std::vector<std::string> marks{"", "", "", "", ""};
  MarkAllFiles(t, marks);
  EXPECT_EQ(marks, (std::vector<std::string>{"", "x", "", "x", "x"}));
  MarkAllFiles(t, marks);
  EXPECT_EQ(marks, (std::vector<std::string>{"", " ", "", " ", " "}));

  // One markable row unmarked: the others stay marked and it joins them; a mark on a short row stays.
  marks = {"", "x", "x", "", "x"};
  MarkAllFiles(t, marks);
  EXPECT_EQ(marks, (std::vector<std::string>{"", "x", "x", "x", "x"}));
  MarkAllFiles(t, marks);
  EXPECT_EQ(marks, (std::vector<std::string>{"", " ", "x", " ", " "}));

  // Marks short of the file rows are extended; rows beyond FatCount are not touched.
  std::vector<std::string> few{"", "x"};
  MarkAllFiles(t, few);
  ASSERT_EQ(few.size(), 5u);
  EXPECT_EQ(few[3], "x");
  std::vector<std::string> more(8, "?");
  MarkAllFiles(t, more);
  EXPECT_EQ(more, (std::vector<std::string>{"?", "x", "?", "x", "x", "?", "?", "?"}));
}

TEST(FatGridMarks, HoverOffersMarkAllOverTheTitlesOfTheFatGridOnly) {
  const FatGridHover status = FatGridHoverAt(100, 0, 0);
  EXPECT_FALSE(status.MultiDragCursor);
  EXPECT_FALSE(status.Hint.has_value());
  EXPECT_FALSE(FatGridHoverAt(36, 0, 3).Hint.has_value());

  const FatGridHover title = FatGridHoverAt(25, 0, 4);
  EXPECT_TRUE(title.MultiDragCursor);
  EXPECT_EQ(title.Hint, "отметить все?");
  EXPECT_EQ(FatGridHoverAt(35, 7, 0).Hint, "отметить все?");
  const FatGridHover cell = FatGridHoverAt(25, 3, 2);
  EXPECT_FALSE(cell.MultiDragCursor);
  EXPECT_EQ(cell.Hint, "...");
}

}  // namespace
}  // namespace recorder
