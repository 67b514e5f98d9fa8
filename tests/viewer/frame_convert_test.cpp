// The block conversion of frames must give, bit for bit, the scalar rule for every width, channel order,
// coefficient and output alignment.
#include "viewer/frame_convert.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

TEST(FrameConvert, EveryWidthAndRouteMatchesTheScalarRule) {
  std::mt19937 rng(11);
  for (uint16_t width : {1, 3, 4, 5, 8, 13, 64}) {
    for (size_t count : {0u, 3u, 16u, 37u, 1000u}) {
      std::vector<int32_t> frames(count * width);
      for (auto& v : frames) v = static_cast<int32_t>(rng());  // full 32-bit range: float rounding matters
      // Routes in a shuffled order, one file channel twice, coefficients 1 and others, one output unaligned.
      std::vector<viewer::ChannelRoute> routes;
      std::vector<std::vector<float>> outs(width + 1, std::vector<float>(count + 2, -1.0f));
      for (uint16_t j = 0; j <= width; ++j) {
        const auto file = static_cast<uint16_t>(j == width ? 0 : (j * 7 + 3) % width);
        const double coef = j % 3 == 0 ? 1.0 : 1.0 / (j + 0.3);
        routes.push_back({file, coef, outs[j].data() + (j == 1 ? 1 : 0)});
      }
      viewer::ConvertFrames(frames.data(), count, width, routes.data(), routes.size());
      viewer::FinishConvertedStores();
      for (size_t j = 0; j < routes.size(); ++j)
        for (size_t n = 0; n < count; ++n) {
          const float expect = static_cast<float>(
              static_cast<double>(static_cast<float>(frames[n * width + routes[j].fileChannel])) *
              routes[j].coef);
          ASSERT_EQ(routes[j].out[n], expect) << "width " << width << " count " << count << " route " << j;
        }
      // Nothing is written past the frames given.
      for (size_t j = 0; j < routes.size(); ++j) ASSERT_EQ(routes[j].out[count], -1.0f) << j;
    }
  }
}

}  // namespace
