#include "recorder/fat_grid_marks.h"

#include <algorithm>
#include <cstdint>

namespace recorder {

namespace {

// A first column narrower than this is the FAT grid's (25 pixels; the status grid's is 100).
constexpr int kStatusGridFirstColumn = 36;
constexpr int kFatGridLeastColumns = 5;

}  // namespace

bool CanBeMarked(const FileEntry& entry) { return uint64_t{entry.EndPage} > uint64_t{entry.BeginPage} + 2; }

std::string ToggledMark(std::string_view cell) {
  return cell == kFatMark ? std::string() : std::string(kFatMark);
}

FatGridAction FatGridPressAction(const FatGridPress& press, const FatTable& table) {
  if (press.LeftButton || press.ColumnCount < kFatGridLeastColumns) return FatGridAction::None;
  if (press.Y > (int{table.FatCount} + 1) * press.RowPitch - 5) return FatGridAction::None;
  if (press.Row < 0 || press.Column < 0) return FatGridAction::None;
  if (press.Row == 0 || press.Column == 0) return FatGridAction::MarkAll;
  const auto index = static_cast<unsigned>(press.Row - 1);
  if (index >= kFatFileRows || table.FatFiles[index].BeginPage == 0) return FatGridAction::None;
  return FatGridAction::ToggleFile;
}

void MarkAllFiles(const FatTable& table, std::vector<std::string>& marks) {
  const unsigned rows = std::min<unsigned>(table.FatCount, kFatFileRows);
  if (marks.size() < rows + 1u) marks.resize(rows + 1u);
  bool allMarked = true;
  for (unsigned g = 1; g <= rows; ++g) {
    if (CanBeMarked(table.FatFiles[g - 1]) && marks[g] != kFatMark) allMarked = false;
  }
  for (unsigned g = 1; g <= rows; ++g) {
    if (CanBeMarked(table.FatFiles[g - 1])) marks[g] = std::string(allMarked ? kFatNoMark : kFatMark);
  }
}

FatGridHover FatGridHoverAt(int firstColumnWidth, int row, int column) {
  if (firstColumnWidth >= kStatusGridFirstColumn) return {};
  if (row == 0 || column == 0) return {true, "отметить все?"};
  return {false, "..."};
}

}  // namespace recorder
