#pragma once
// Drawing the strokes of an envelope straight into 32-bit pixels (a QImage's rows, or any buffer laid out
// the same way): one vertical run of pixels a column, a single pixel where a column is flat.
#include <cstddef>
#include <cstdint>

namespace viewer {

struct PixelTarget {
  uint32_t* pixels = nullptr;
  size_t stride = 0;  // pixels from one row to the next
  int width = 0;
  int height = 0;
};

// The envelope's strokes on a plot `plotHeight` pixels high, in `pixel`; whatever falls outside the
// target is clipped.
void RasterizeEnvelope(const PixelTarget& target, int plotHeight, const float* envelope, int columns,
                       float scale, float offset, uint32_t pixel);

}  // namespace viewer
