#include "viewer/main_window_layout.h"

#include <algorithm>

namespace viewer {

namespace {
// A plot narrower than one 16-column step cannot be laid out.
constexpr int kMinPlotWidth = 16;
}  // namespace

FormSize InitialFormSize(int availableWidth, int availableHeight, int frameHeight) {
  return {std::min(availableWidth - 10, kMaxFormWidth), availableHeight - std::max(frameHeight, 0)};
}

int ResizedFormWidth(int screenWidth) { return std::min(screenWidth - 5, kMaxFormWidth); }

int InitialPlotWidth(int clientWidth) { return std::max((clientWidth - 100) / 16 * 16, kMinPlotWidth); }

int ResizedPlotWidth(int clientWidth) {
  return std::max(((std::max(clientWidth - 80, 0)) & ~15) - 16, kMinPlotWidth);
}

}  // namespace viewer
