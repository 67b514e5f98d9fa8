#include "viewer/envelope_raster.h"

#include <algorithm>

#include "viewer/plot_layout.h"

namespace viewer {

void RasterizeEnvelope(const PixelTarget& t, int plotHeight, const float* envelope, int columns, float scale,
                       float offset, uint32_t pixel) {
  if (t.pixels == nullptr || t.height <= 0) return;
  columns = std::min(columns, t.width);
  ForEachEnvelopeStroke(envelope, columns, scale, offset, plotHeight, [&](int x, int top, int bottom) {
    bottom = std::min(bottom, t.height - 1);
    uint32_t* p = t.pixels + static_cast<size_t>(top) * t.stride + x;
    for (int y = top; y <= bottom; ++y, p += t.stride) *p = pixel;
  });
}

}  // namespace viewer
