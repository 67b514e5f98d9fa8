#include "acquisition/channel_header.h"

#include <gtest/gtest.h>

#include <cstring>

namespace acquisition::testing {
namespace {

TEST(RecorderChannelHeader, TakesNameAndScaleOfItsRecorderChannelAndTheNumberGiven) {
  recorder::YSTANOV setup{};
  std::memcpy(setup.ChannelNames[5], "E2", 3);
  setup.Coefficients[5] = 6.0f;
  setup.K_yc[5] = 8;
  setup.Coefficients[6] = 1.5f;  // gain 0: the coefficient as it stands
  const toolkit::CHANNEL_HEADER h = RecorderChannelHeader(setup, 5, 1);
  EXPECT_EQ(h.Number, 1);
  EXPECT_STREQ(h.Name, "E2");
  EXPECT_STREQ(h.tip, "t_d");
  EXPECT_DOUBLE_EQ(h.Coef, 0.75);
  EXPECT_DOUBLE_EQ(h.Coef2, 1.0);
  EXPECT_EQ(h.Mark1, 0x1111);
  EXPECT_EQ(h.Mark2, 0x2222);
  EXPECT_EQ(h.Mark3, 0x3333);
  EXPECT_DOUBLE_EQ(RecorderChannelHeader(setup, 6, 6).Coef, 1.5);
  // Only channels 0..7 exist: a larger index never reads past the setup block's arrays.
  EXPECT_STREQ(RecorderChannelHeader(setup, 13, 0).Name, "E2");
}

}  // namespace
}  // namespace acquisition::testing
