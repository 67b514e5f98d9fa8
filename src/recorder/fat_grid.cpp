#include "recorder/fat_grid.h"

#include <algorithm>

#include "recorder/text_format.h"

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
    cells[0] = Printf("%u", i);
    if (!IsFatFileRow(table, i)) continue;
    const FileEntry& e = table.FatFiles[i];
    cells[1] = GpsSecondsText(e.StartTime);
    cells[2] = Printf("%u", e.EndPage - e.BeginPage + 1);
    if (e.KindBits != 0) cells[4] = "c";
    if (e.ClosedByProgram) cells[5] = "?";
    cells[6] = Printf("%.5f", e.Longitude);
    cells[7] = Printf("%.5f", e.Latitude);
    cells[8] = Printf("%.5f", static_cast<double>(e.Correction));
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
    out += Printf("N_%02u: от %21s до %21s; К %10.5f  %10.5f  %10.5f в %21s;  от %08u до %08u; dt=%.5f\n", i,
                  GpsSecondsText(e.StartTime).c_str(), GpsSecondsText(e.EndTime).c_str(), e.Longitude,
                  e.Latitude, e.Altitude, GpsSecondsText(e.DriftTime).c_str(), e.BeginPage, e.EndPage,
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
