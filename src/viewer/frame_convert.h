#pragma once
// Turning interleaved int32 frames into per-channel float samples in one pass: blocks of four frames of
// four file channels are transposed in registers and each memory channel's run is converted, scaled and
// stored from there.
#include <cstddef>
#include <cstdint>

namespace viewer {

struct ChannelRoute {
  uint16_t fileChannel;  // column of the frame
  double coef;           // coefficient of the memory channel
  float* out;            // where frame 0 of this portion goes
};

// For every route r and frame n < count: r.out[n] = float(double(float(frames[n * width + r.fileChannel])) *
// r.coef), the value times its coefficient rounded once to float (bit for bit the scalar rule). Stores
// bypass the cache where the output is aligned; finish a series of calls with FinishConvertedStores.
void ConvertFrames(const int32_t* frames, size_t count, uint16_t width, const ChannelRoute* routes,
                   size_t routeCount);
// Makes the cache-bypassing stores of ConvertFrames visible in order.
void FinishConvertedStores();

}  // namespace viewer
