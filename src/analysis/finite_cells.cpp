#include "analysis/finite_cells.h"

namespace analysis {

std::string ZeroedCellsNote(const std::string& path, int64_t count) {
  if (count <= 0) return {};
  return path + ": " + std::to_string(count) + " значений не числа (переполнение), записаны нулями";
}

}  // namespace analysis
