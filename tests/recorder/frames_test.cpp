#include "recorder/frames.h"

#include <gtest/gtest.h>

#include <vector>

namespace recorder {
namespace {

std::vector<uint8_t> Frame(uint8_t type, uint8_t code, uint8_t subCode, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> buffer(payload.size() + 7 + 3, 0xEE);
  std::copy(payload.begin(), payload.end(), buffer.begin() + kPayloadOffset);
  const size_t n = CompleteCommandFrame(buffer.data(), buffer.size(), type, code, subCode,
                                        static_cast<uint16_t>(payload.size()));
  buffer.resize(n);
  return buffer;
}

TEST(CommandFrameTest, KnownFramesByteForByte) {
  EXPECT_EQ(Frame(2, 36, 5, {0x44}), (std::vector<uint8_t>{0x55, 0x02, 0x03, 0xA6, 0x24, 0x05, 0x44, 0x93}));
  EXPECT_EQ(
      Frame(4, 0, 0, {0x10, 0x00, 0x00, 0x00, 0x01, 0x00}),
      (std::vector<uint8_t>{0x55, 0x04, 0x08, 0x9F, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x01, 0x00, 0xEF}));
}

TEST(CommandFrameTest, LengthSplitsOverNibbleAndByteAndBothChecksAreZeroSums) {
  std::vector<uint8_t> payload(512);
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 7 + 3);
  const std::vector<uint8_t> f = Frame(5, 1, 16 + 3, payload);
  ASSERT_EQ(f.size(), 519u);
  EXPECT_EQ(f[1], 0x25);  // bits 8..11 of L = 0x202 over the type 5
  EXPECT_EQ(f[2], 0x02);
  EXPECT_EQ(ByteSum(f.data(), 4), 0);
  EXPECT_EQ(ByteSum(f.data() + 4, f.size() - 4), 0);

  const std::vector<uint8_t> most = Frame(1, 0, 0, std::vector<uint8_t>(kMaxCommandPayload, 1));
  ASSERT_EQ(most.size(), kMaxCommandPayload + 7u);
  EXPECT_EQ(most[1] >> 4, 0x0F);
  EXPECT_EQ(most[2], 0xFF);
}

TEST(CommandFrameTest, RefusesPayloadsThatDoNotFitTheLengthFieldOrTheBuffer) {
  std::vector<uint8_t> buffer(5000);
  EXPECT_EQ(CompleteCommandFrame(buffer.data(), buffer.size(), 1, 0, 0, kMaxCommandPayload + 1), 0u);
  EXPECT_EQ(CompleteCommandFrame(buffer.data(), 100, 1, 0, 0, 94), 0u);
  EXPECT_EQ(CompleteCommandFrame(buffer.data(), 100, 1, 0, 0, 93), 100u);
}

TEST(ReplyHeaderTest, AcceptsOnlyAStartByteWithAZeroSum) {
  const uint8_t good[6] = {0x55, 0x20, 0x00,
                           0x02, 0x07, static_cast<uint8_t>(0u - (0x55 + 0x20 + 0x02 + 0x07))};
  ReplyHeader h{};
  ASSERT_TRUE(ReadReplyHeader(good, 6, h));
  EXPECT_EQ(h.Type, 0x20);
  EXPECT_EQ(h.Code, 0x07);
  EXPECT_EQ(BodyLength(h), 512);
  EXPECT_FALSE(ReadReplyHeader(good, 5, h));
  uint8_t bad[6];
  std::copy(good, good + 6, bad);
  bad[5] ^= 1;
  EXPECT_FALSE(ReadReplyHeader(bad, 6, h));
  // A zero-sum header without the start byte.
  const uint8_t noStart[6] = {0x54, 0x20, 0x00, 0x02, 0x07, static_cast<uint8_t>(good[5] + 1)};
  EXPECT_FALSE(ReadReplyHeader(noStart, 6, h));
}

}  // namespace
}  // namespace recorder
