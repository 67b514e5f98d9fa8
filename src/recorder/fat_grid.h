#pragma once
// What the main window shows and logs after a FAT reading: the cells of the file grid, its column widths,
// the work-log lines of the files and the advice boxes.
#include <array>
#include <string>
#include <vector>

#include "recorder/fat_table.h"

namespace recorder {

inline constexpr int kFatGridColumns = 9;
inline constexpr int kFatGridMinRows = 20;
// The column that holds the download mark "x".
inline constexpr int kFatGridMarkColumn = 3;

// Grid row 0 holds the titles; grid row g >= 1 shows FatFiles[g - 1] (FAT row g), numbered g - 1.
struct FatGrid {
  std::vector<std::array<std::string, kFatGridColumns>> Cells;  // [row][column]
  int RowCount() const { return static_cast<int>(Cells.size()); }
};

// True for a row of a file: below FatCount, with its end page not below its begin page.
bool IsFatFileRow(const FatTable& table, unsigned index);

FatGrid BuildFatGrid(const FatTable& table);

// Widths of the nine columns for a grid of `clientWidth` pixels with lines `lineWidth` wide.
std::array<int, kFatGridColumns> FatGridColumnWidths(int clientWidth, int lineWidth);

// One "N_%02d: от ..." line (with its "\n") per file row, for the work log.
std::string FatFileLogLines(const FatTable& table);

struct FatAdvice {
  std::string Text;
  std::string Title;
};
// The advice boxes shown after the grid is filled: many files, broken numbering.
std::vector<FatAdvice> FatAdvices(const FatTable& table, bool brokenNumbering);

}  // namespace recorder
