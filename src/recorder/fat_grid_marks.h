#pragma once
// The download marks of the main window's file grid and what a mouse press or move over the grid means.
// Grid row g >= 1 shows FAT row g (FatFiles[g - 1]); column 3 holds the mark "x" of a file chosen for
// download.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "recorder/fat_table.h"

namespace recorder {

inline constexpr const char* kFatMark = "x";
// What mark-all leaves in the cells it clears.
inline constexpr const char* kFatNoMark = " ";

// A file worth downloading: its end page exceeds its begin page by more than 2.
bool CanBeMarked(const FileEntry& entry);

// The cell after a toggle: "x" is emptied, anything else becomes "x".
std::string ToggledMark(std::string_view cell);

// A mouse press over the grid, in the grid's own coordinates.
struct FatGridPress {
  bool LeftButton = false;
  int ColumnCount = 0;  // the status grid has two, the FAT grid nine
  int Y = 0;            // pixels from the top of the grid's cells
  int RowPitch = 0;     // pixels from one row's top to the next (row height and grid line)
  int Row = -1;         // the cell under the press; -1 outside the cells
  int Column = -1;
};

enum class FatGridAction {
  None,
  ToggleFile,  // toggle the mark of the pressed row and show its pages in the page boxes
  MarkAll,     // the title row or column: mark every file that can be marked, or clear them all
};

// Left presses, presses on the status grid and presses below the last file row do nothing; a file cell
// of a row with a begin page toggles that row; the title row or column marks all.
FatGridAction FatGridPressAction(const FatGridPress& press, const FatTable& table);

// Mark-all over `marks` (column 3 by grid row; grid rows 1..FatCount are looked at): when every row that
// can be marked holds "x", those rows get " ", else they all get "x". Other rows are left alone.
void MarkAllFiles(const FatTable& table, std::vector<std::string>& marks);

// What moving the mouse over the grid shows.
struct FatGridHover {
  bool MultiDragCursor = false;     // else the normal cursor
  std::optional<std::string> Hint;  // nothing: the hint stays as it is
};

// Over the FAT grid (first column narrower than 36 pixels): the title row and column offer mark-all.
FatGridHover FatGridHoverAt(int firstColumnWidth, int row, int column);

}  // namespace recorder
