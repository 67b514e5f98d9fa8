#include "recorder/fat_grid.h"

#include <algorithm>

#include "recorder/recorder_time.h"
#include "toolkit/format_text.h"

namespace recorder {

bool IsFatFileRow(const FatTable& table, unsigned index) {
  return index < table.FatCount && index < kFatFileRows &&
         table.FatFiles[index].EndPage >= table.FatFiles[index].BeginPage;
}

FatGrid BuildFatGrid(const FatTable& table) {
  FatGrid grid;
  const int rows = std::max(int{table.FatCount} + 1, kFatGridMinRows);
  grid.Cells.resize(static_cast<size_t>(rows));
  grid.Cells[0] = {"N", "Время начала", "Длина", "", "", "", "долгота", "широта", "dT"};
  for (int g = 1; g < rows; ++g) {
    auto& cells = grid.Cells[static_cast<size_t>(g)];
    const unsigned i = static_cast<unsigned>(g - 1);
    cells[0] = toolkit::FormatText("%u", i);
    if (!IsFatFileRow(table, i)) continue;
    const FileEntry& e = table.FatFiles[i];
    cells[1] = UnitTimeText(e.StartTime);
    cells[2] = toolkit::FormatText("%u", e.EndPage - e.BeginPage + 1);
    if (e.KindBits != 0) cells[4] = "c";
    if (e.ClosedByProgram) cells[5] = "?";
    cells[6] = toolkit::FormatText("%.5f", e.Longitude);
    cells[7] = toolkit::FormatText("%.5f", e.Latitude);
    cells[8] = toolkit::FormatText("%.5f", static_cast<double>(e.Correction));
  }
  return grid;
}

std::array<int, kFatGridColumns> FatGridColumnWidths(int clientWidth, int lineWidth) {
  constexpr int kFirst = 25;
  const int w = (clientWidth - kFirst - 4 * lineWidth - 3) / 3;
  return {kFirst, 115, 60, 12, 12, 12, w - 9, w - 9, w + 18};
}

std::string FatFileLogLines(const FatTable& table) {
  std::string out;
  for (unsigned i = 0; i < table.FatCount && i < kFatFileRows; ++i) {
    if (!IsFatFileRow(table, i)) continue;
    const FileEntry& e = table.FatFiles[i];
    out += toolkit::FormatText(
        "N_%02u: от %21s до %21s; К %10.5f  %10.5f  %10.5f в %21s;  от %08u до %08u; dt=%.5f\n", i,
        UnitTimeText(e.StartTime).c_str(), UnitTimeText(e.EndTime).c_str(), e.Longitude, e.Latitude,
        e.Altitude, UnitTimeText(e.DriftTime).c_str(), e.BeginPage, e.EndPage,
        static_cast<double>(e.Correction));
  }
  return out;
}

std::vector<FatAdvice> FatAdvices(const FatTable& table, bool brokenNumbering) {
  std::vector<FatAdvice> out;
  if (table.FatCount > 65) out.push_back({"В FАT'е много записей. Не пора ли стереть?!", "? ? ?"});
  if (brokenNumbering) out.push_back({"Ошибка записей Fat. Не лучше ли стереть?!", "? ? ?"});
  return out;
}

}  // namespace recorder
