#include <gtest/gtest.h>

#include <vector>

#include "emulator/command_parser.h"
#include "emulator/reply_frame.h"

namespace emulator {
namespace {

const std::vector<uint8_t> kStatusRequest = {0x55, 0x02, 0x03, 0xA6, 0x24, 0x05, 0x44, 0x93};
const std::vector<uint8_t> kPageRequest = {0x55, 0x04, 0x08, 0x9F, 0x00, 0x00, 0x10,
                                           0x00, 0x00, 0x00, 0x01, 0x00, 0xEF};

TEST(CommandParserTest, CutsFramesFedInPiecesAndSkipsWhatIsNotAFrame) {
  CommandParser parser;
  std::vector<Command> out;
  std::vector<uint8_t> line = {0x00, 0x55, 0x13};  // noise, a false start
  line.insert(line.end(), kStatusRequest.begin(), kStatusRequest.end());
  line.insert(line.end(), kPageRequest.begin(), kPageRequest.end());
  for (uint8_t b : line) parser.Feed(&b, 1, out);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].type, 2);
  EXPECT_EQ(out[0].code, 36);
  EXPECT_EQ(out[0].subCode, 5);
  EXPECT_EQ(out[0].payload, std::vector<uint8_t>{0x44});
  EXPECT_EQ(out[1].type, 4);
  EXPECT_EQ(out[1].payload, (std::vector<uint8_t>{0x10, 0, 0, 0, 1, 0}));
  EXPECT_EQ(parser.SkippedBytes(), 3u);
  EXPECT_EQ(parser.Pending(), 0u);
}

TEST(CommandParserTest, AFrameWithABadBodyCheckIsRefusedAndTheNextOneStillComes) {
  CommandParser parser;
  std::vector<Command> out;
  std::vector<uint8_t> line = kStatusRequest;
  line.back() ^= 0x01;
  line.insert(line.end(), kStatusRequest.begin(), kStatusRequest.end());
  parser.Feed(line.data(), line.size(), out);
  EXPECT_EQ(out.size(), 1u);
  EXPECT_EQ(parser.BadFrames(), 1u);
}

TEST(CommandParserTest, LongFramesWaitForTheirLastByte) {
  // A 512-byte DataFlash write: L = 514 split as 0x2 in the high nibble of byte 1 and 0x02 in byte 2.
  std::vector<uint8_t> frame = {0x55, 0x25, 0x02, 0, 1, 16 + 3};
  frame[3] = static_cast<uint8_t>(0u - (0x55 + 0x25 + 0x02));
  unsigned sum = 1 + 19;
  for (int i = 0; i < 512; ++i) {
    frame.push_back(static_cast<uint8_t>(i));
    sum += static_cast<uint8_t>(i);
  }
  frame.push_back(static_cast<uint8_t>(0u - sum));
  CommandParser parser;
  std::vector<Command> out;
  parser.Feed(frame.data(), frame.size() - 1, out);
  EXPECT_TRUE(out.empty());
  parser.Feed(&frame.back(), 1, out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].type, 5);
  EXPECT_EQ(out[0].payload.size(), 512u);
}

TEST(ReplyFrameTest, BuildsHeaderBodyAndChecksAndItsFaults) {
  const uint8_t body[3] = {1, 2, 3};
  std::vector<uint8_t> out;
  AppendReply(out, 0x02, 0x07, body, 3);
  // 0x55 + 2 + 3 + 0 + 7 = 0x61; 1 + 2 + 3 = 6.
  EXPECT_EQ(out, (std::vector<uint8_t>{0x55, 0x02, 0x03, 0x00, 0x07, 0x9F, 1, 2, 3, 0xFA}));

  out.clear();
  AppendReply(out, 0x02, 0x07, body, 3, {.badHeaderCheck = true, .badBodyCheck = true});
  EXPECT_NE(out[5], 0x9F);
  EXPECT_NE(out[9], 0xFA);

  out.clear();
  AppendReply(out, 0x02, 0x07, body, 3, {.lengthField = 0x201, .truncateBody = 1});
  EXPECT_EQ(out, (std::vector<uint8_t>{0x55, 0x02, 0x01, 0x02, 0x07, 0x9F, 1}));
}

}  // namespace
}  // namespace emulator
