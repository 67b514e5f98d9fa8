#pragma once
// What the spectrum window keeps of its last computation: the spectrum, the spectra of the first 500
// intervals (reduced to 512 cells) and the transform length, window and interval count behind them.
#include <array>
#include <cstdint>
#include <vector>

#include "analysis/data_window.h"

namespace analysis {

inline constexpr int kWorkBufferSize = 32778;
inline constexpr int kSpectraCount = 500;
inline constexpr int kSpectrumCells = 512;  // cell 512 holds the F(f,t) normalisation factor

struct SpectrumBuffers {
  SpectrumBuffers() : WorkBuffer(kWorkBufferSize, 0.0f), Spectra(kSpectraCount) {}
  std::vector<float> WorkBuffer;
  std::vector<std::array<float, kSpectrumCells + 1>> Spectra;
  int32_t N = 0;              // transform length of the last computation
  int32_t IntervalCount = 0;  // intervals of the last computation (0 for a single spectrum)
  int32_t CrossMode = 0;      // 0 auto-spectrum, 1 cross-spectrum
  DataWindowInfo Window;
};

// Bins per Spectra cell for transform length n: max(1, (n / 2) / 512).
inline int32_t CellWidth(int32_t n) { return n / 2 / kSpectrumCells > 1 ? n / 2 / kSpectrumCells : 1; }

}  // namespace analysis
