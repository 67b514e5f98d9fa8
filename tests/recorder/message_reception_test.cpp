#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "link_fixture.h"
#include "recorder/frames.h"

namespace recorder {
namespace {

using emulator::Op;
using emulator::ReplyFault;
using platform::ftdi::FT_IO_ERROR;
using platform::ftdi::FT_OK;

std::vector<uint8_t> Body(size_t n, uint8_t seed = 1) {
  std::vector<uint8_t> b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 31);
  return b;
}

// A reply frame built byte by byte from the layout, independent of the emulator's builder.
std::vector<uint8_t> RawReply(uint8_t type, uint8_t code, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> f = {0x55, type, static_cast<uint8_t>(body.size()),
                            static_cast<uint8_t>(body.size() >> 8), code};
  f.push_back(static_cast<uint8_t>(-std::accumulate(f.begin(), f.end(), 0)));
  f.insert(f.end(), body.begin(), body.end());
  f.push_back(static_cast<uint8_t>(-std::accumulate(body.begin(), body.end(), 0)));
  return f;
}

class SendCommandTest : public testing::LinkTest {};

TEST_F(SendCommandTest, WritesTheWholeFrameOnce) {
  Open();
  link.Buffer[6] = 0x44;
  uint32_t status = 99;
  EXPECT_FALSE(link.SendCommand(2, 36, 5, 1, status));
  EXPECT_EQ(status, FT_OK);
  EXPECT_EQ(device.lastWrite, (std::vector<uint8_t>{0x55, 0x02, 0x03, 0xA6, 0x24, 0x05, 0x44, 0x93}));
  ASSERT_EQ(Unit().Received().size(), 1u);
  EXPECT_EQ(Unit().Received()[0].code, 36);
  EXPECT_EQ(Unit().Received()[0].subCode, 5);
  EXPECT_EQ(link.WriteErrors, 0u);
}

TEST_F(SendCommandTest, FailedAndShortWritesAreCountedAndExplained) {
  Open();
  link.Log = "before";
  driver.FailNext(Op::Write, platform::ftdi::FT_IO_ERROR);
  uint32_t status = 0;
  EXPECT_TRUE(link.SendCommand(2, 36, 5, 1, status));
  EXPECT_EQ(status, FT_IO_ERROR);
  EXPECT_EQ(link.Log, "записал 0 вместо 8bt & Status 0x04 ");

  device.shortWrites = 1;
  device.shortWriteBytes = 5;
  EXPECT_TRUE(link.SendCommand(4, 0, 0, 6, status));
  EXPECT_EQ(status, FT_OK);  // merely short
  EXPECT_EQ(link.Log, "записал 5 вместо 13bt & Status 0x00 ");
  EXPECT_EQ(link.WriteErrors, 2u);
  EXPECT_TRUE(Unit().Received().empty());

  device.unplugged = true;
  EXPECT_TRUE(link.SendCommand(2, 36, 5, 1, status));
  EXPECT_EQ(link.WriteErrors, 3u);
}

TEST_F(SendCommandTest, APayloadTooLongForTheLengthFieldIsRefusedUnwritten) {
  Open();
  uint32_t status = 0;
  EXPECT_TRUE(link.SendCommand(1, 0, 0, kMaxCommandPayload + 1, status));
  EXPECT_TRUE(device.lastWrite.empty());
  EXPECT_FALSE(link.Log.empty());
  EXPECT_FALSE(link.SendCommand(1, 0, 0, kMaxCommandPayload, status));
  EXPECT_EQ(device.lastWrite.size(), kMaxCommandPayload + 7u);
}

class ReceiveMessageTest : public testing::LinkTest {
 protected:
  void SetUp() override { Open(); }
};

TEST_F(ReceiveMessageTest, NothingPendingCostsAboutTenMillisecondsAndSaysNothing) {
  link.Log.clear();
  const testing::Reception r = Receive();
  EXPECT_EQ(r.count, 0u);
  EXPECT_EQ(r.error, 0u);
  EXPECT_EQ(r.type, 0xFF);
  EXPECT_EQ(r.dropped, 0u);
  EXPECT_GT(r.elapsedMs, 10u);
  EXPECT_LE(r.elapsedMs, 20u);
  EXPECT_TRUE(link.Log.empty());
}

TEST_F(ReceiveMessageTest, AFrameAtLineSpeedLeavesItsBodyAtTheBufferStart) {
  const std::vector<uint8_t> body = Body(240);
  const std::vector<uint8_t> frame = RawReply(2, 0x31, body);
  Unit().SendRaw(frame);
  const testing::Reception r = Receive();
  EXPECT_EQ(r.count, 241u);
  EXPECT_EQ(r.error, 0u);
  EXPECT_EQ(r.type, 2);
  EXPECT_EQ(r.code, 0x31);
  EXPECT_EQ(BufferBytes(241), std::vector<uint8_t>(frame.begin() + 6, frame.end()));
  // 247 bytes at 11520 bytes a second.
  EXPECT_GE(r.elapsedMs, 21u);
  EXPECT_LT(r.elapsedMs, 60u);
  EXPECT_GE(link.MaxWait, 21u);
  EXPECT_EQ(link.TotalWait, link.MaxWait);
}

TEST_F(ReceiveMessageTest, BodyLengthLimits) {
  Unit().Line().SetRate(0);
  Unit().SendReply(0x20, 9, Body(512));
  Unit().SendReply(0x21, 1, {}, ReplyFault{.lengthField = 0});
  Unit().SendReply(0x22, 2, Body(513));
  Unit().SendReply(0x23, 3, Body(1));

  testing::Reception r = Receive();
  EXPECT_EQ(r.count, 513u);
  EXPECT_EQ(r.error, 0u);

  link.Log.clear();
  r = Receive();
  EXPECT_EQ(r.count, 0u);
  EXPECT_EQ(r.error, kBadLength);
  EXPECT_EQ(r.type, 0x21);
  EXPECT_EQ(link.Log, "; /error:  длина сообщения 0; ");

  link.Log.clear();
  r = Receive();
  EXPECT_EQ(r.count, 0u);
  EXPECT_EQ(r.error, kBadLength);
  EXPECT_EQ(link.Log, "; /error:  длина сообщения 513; ");

  // The refused bodies stay on the line: the next reception slides through them to the next frame.
  r = Receive();
  EXPECT_EQ(r.count, 2u);
  EXPECT_EQ(r.type, 0x23);
  EXPECT_EQ(r.dropped, 513u + 1u);
}

TEST_F(ReceiveMessageTest, GarbageBeforeAFrameIsDroppedAndCounted) {
  Unit().SendRaw(std::vector<uint8_t>{0x55, 0x00, 0xAB});
  Unit().SendReply(4, 7, Body(2));
  const testing::Reception r = Receive();
  EXPECT_EQ(r.count, 3u);
  EXPECT_EQ(r.error, 0u);
  EXPECT_EQ(r.dropped, 3u);
  EXPECT_EQ(r.code, 7);
}

TEST_F(ReceiveMessageTest, MoreThanAThousandBytesWithoutAHeaderIsAnError) {
  Unit().Line().SetRate(0);
  driver.SetPollCostMicros(1);  // the bytes are all there: the drop limit, not the time, ends the hunt
  Unit().SendRaw(std::vector<uint8_t>(1200, 0x55));
  link.Log.clear();
  const testing::Reception r = Receive();
  EXPECT_EQ(r.count, 0u);
  EXPECT_EQ(r.error, kNoHeader);
  EXPECT_EQ(r.dropped, 1001u);
  EXPECT_EQ(r.type, 0xFF);
  // The queue count of the last poll: what was left of the 1200 bytes before the last read.
  EXPECT_EQ(link.Log, "/  error: взял 1006 bt, но не дожд. заголовка. В буф. 195bt; ");
}

TEST_F(ReceiveMessageTest, AFewStrayBytesThatNeverBecomeAHeaderTimeOut) {
  Unit().SendRaw(std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7});
  const testing::Reception r = Receive();
  EXPECT_EQ(r.count, 0u);
  EXPECT_EQ(r.error, kNoHeader);
  EXPECT_EQ(r.dropped, 7u);
}

TEST_F(ReceiveMessageTest, ABodyFailingItsCheckComesWithItsCountAndAnError) {
  Unit().SendReply(0x20, 5, Body(512), ReplyFault{.badBodyCheck = true});
  link.Log.clear();
  const testing::Reception r = Receive();
  EXPECT_EQ(r.count, 513u);
  EXPECT_EQ(r.error, kBadBodyCheck);
  EXPECT_EQ(r.type, 0x20);
  EXPECT_EQ(r.code, 5);
  EXPECT_EQ(BufferBytes(512), Body(512));
  EXPECT_EQ(link.Log, "\nв прин. сообщении из 513 bt   KC = 0x80");
}

TEST_F(ReceiveMessageTest, AHeaderFailingItsCheckIsSkippedLikeGarbage) {
  Unit().Line().SetRate(0);
  Unit().SendReply(0x20, 5, Body(8), ReplyFault{.badHeaderCheck = true});
  Unit().SendReply(0x20, 6, Body(8));
  const testing::Reception r = Receive();
  EXPECT_EQ(r.count, 9u);
  EXPECT_EQ(r.code, 6);
  EXPECT_GE(r.dropped, 6u);
}

TEST_F(ReceiveMessageTest, AHeaderWithoutBodyTimesOutAfterAboutFourteenSixtyMilliseconds) {
  Unit().SendReply(0x20, 5, Body(512), ReplyFault{.truncateBody = 100});
  link.Log.clear();
  const testing::Reception r = Receive();
  EXPECT_EQ(r.count, 0u);
  EXPECT_EQ(r.error, kBodyIncomplete);
  EXPECT_EQ(r.type, 0x20);
  EXPECT_GT(r.elapsedMs, 1460u);
  EXPECT_LE(r.elapsedMs, 1470u);
  EXPECT_EQ(link.Log, " /error: не дождался сообщения в 513bt. В буф. 100");
}

TEST_F(ReceiveMessageTest, AFrameInterruptedByAPauseIsCompletedByTheNextReception) {
  // The body comes only after the first reception has given up on it; a header cut after 3 bytes waits
  // without an error.
  Unit().SendReply(0x20, 1, Body(40), ReplyFault{.truncateBody = 0});
  EXPECT_EQ(Receive().error, kBodyIncomplete);
  std::vector<uint8_t> rest = Body(40);
  rest.push_back(static_cast<uint8_t>(-std::accumulate(rest.begin(), rest.end(), 0)));
  Unit().SendRaw(rest);
  const std::vector<uint8_t> next = RawReply(0x20, 2, Body(8));
  Unit().SendRaw(std::span(next).first(3));
  testing::Reception r = Receive();
  EXPECT_EQ(r.count, 41u);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.dropped, 0u);
  EXPECT_EQ(BufferBytes(41), rest);
  link.Log.clear();
  r = Receive();
  EXPECT_EQ(r.count, 0u);
  EXPECT_EQ(r.error, 0u);
  EXPECT_TRUE(link.Log.empty());
  Unit().SendRaw(std::span(next).subspan(3));
  r = Receive();
  EXPECT_EQ(r.count, 9u);
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.dropped, 0u);
}

TEST_F(ReceiveMessageTest, AWholeFrameInsideAStoppedBodyIsTakenOnlyWhenAwaitingAReply) {
  // A page frame cut after 50 body bytes, a reply right behind it, then the line stops. A reception of a
  // stream keeps the page's bytes (a pause is no loss); one awaiting a command's reply takes the reply
  // (or, with none whole, gives up when the command's wait is over), and the page's bytes go.
  struct Case {
    bool awaitingReply, innerChecks;
    uint16_t count, error;
    uint32_t mostElapsedMs;
  };
  for (const Case& c : std::vector<Case>{{false, true, 0, kBodyIncomplete, 1500},
                                         {true, true, 21, kReceiveOk, 40},
                                         {true, false, 0, kBodyIncomplete, 110}}) {
    SCOPED_TRACE(::testing::Message() << c.awaitingReply << c.innerChecks);
    link.DropHeld();
    std::vector<uint8_t> line = RawReply(0x24, 7, Body(512)), inner = RawReply(0x02, 0, Body(20, 9));
    if (!c.innerChecks) inner.back() ^= 1;
    line.resize(56);
    line.insert(line.end(), inner.begin(), inner.end());
    Unit().SendRaw(line);
    testing::Reception r;
    const uint32_t start = clock.GetTickCount();
    r.count = c.awaitingReply ? link.ReceiveReply(r.error, r.dropped, r.type, r.code, link.Buffer, 100)
                              : link.ReceiveMessage(r.error, r.dropped, r.type, r.code, link.Buffer);
    EXPECT_EQ(r.count, c.count);
    EXPECT_EQ(r.error, c.error);
    EXPECT_LE(clock.GetTickCount() - start, c.mostElapsedMs);
    EXPECT_EQ(r.dropped, c.count != 0 ? 56u : 0u);
    EXPECT_EQ(link.HeldBytes(), c.count != 0 ? 0u : line.size());
    if (c.count != 0) {
      EXPECT_EQ(BufferBytes(21), std::vector<uint8_t>(inner.begin() + 6, inner.end()));
    }
  }
}

TEST_F(ReceiveMessageTest, AFrameThatLostAByteCostsNoByteOfTheNextFrame) {
  std::vector<uint8_t> first = RawReply(0x24, 1, Body(512));
  first.erase(first.begin() + 300);
  Unit().SendRaw(first);
  Unit().SendRaw(RawReply(0x24, 2, Body(512, 7)));
  testing::Reception r = Receive();
  EXPECT_EQ(r.count, 513u);
  EXPECT_EQ(r.error, kBadBodyCheck);
  EXPECT_EQ(r.code, 1);
  r = Receive();
  EXPECT_EQ(r.count, 513u);
  EXPECT_EQ(r.error, 0u);
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.dropped, 0u) << "the first frame's bytes were reported with it";
  EXPECT_EQ(BufferBytes(512), Body(512, 7));

  // The byte lost equals the next frame's first: the frame check holds, its reader refuses the content,
  // and the next frame is found all the same.
  std::vector<uint8_t> third = RawReply(0x24, 3, Body(512));
  third[6 + 300] = kFrameStart;
  third.back() = static_cast<uint8_t>(third.back() + Body(512)[300] - kFrameStart);
  third.erase(third.begin() + 6 + 300);
  Unit().SendRaw(third);
  Unit().SendRaw(RawReply(0x24, 4, Body(512, 9)));
  r = Receive();
  EXPECT_EQ(r.count, 513u);
  EXPECT_EQ(r.error, 0u);
  EXPECT_EQ(r.code, 3);
  link.RefuseLastFrame();
  r = Receive();
  EXPECT_EQ(r.count, 513u);
  EXPECT_EQ(r.error, 0u);
  EXPECT_EQ(r.code, 4);
  EXPECT_EQ(r.dropped, 0u);
  EXPECT_EQ(BufferBytes(512), Body(512, 9));
}

TEST_F(ReceiveMessageTest, AHeaderSplitAcrossTwoPollsIsJoined) {
  const std::vector<uint8_t> frame = RawReply(2, 3, Body(240));
  Unit().Line().SetRate(0);
  Unit().SendRaw(std::span(frame).first(3));
  Unit().SendGap(4);
  Unit().SendRaw(std::span(frame).subspan(3));
  const testing::Reception r = Receive();
  EXPECT_EQ(r.count, 241u);
  EXPECT_EQ(r.dropped, 0u);
  EXPECT_EQ(r.error, 0u);
}

TEST_F(ReceiveMessageTest, ReadFailuresReturnTheBytesDeliveredWithTheirErrorWord) {
  Unit().Line().SetRate(0);
  Unit().SendReply(0x20, 5, Body(16));
  device.shortReads = 1;
  link.Log.clear();
  testing::Reception r = Receive();
  EXPECT_EQ(r.count, 5u);
  EXPECT_EQ(r.error, kReadShort);
  EXPECT_EQ(link.Log, "; /error: чтение заг.  Status = 0, read 5!=6; ");

  // The rest of the broken frame is slid through; then a read that delivers but reports a failure.
  ASSERT_EQ(link.DrainMessages(), 0u);
  Unit().SendReply(0x20, 5, Body(16));
  driver.FailNext(Op::Read, FT_IO_ERROR);
  link.Log.clear();
  r = Receive();
  EXPECT_EQ(r.count, 6u);
  EXPECT_EQ(r.error, kReadStatus);
  EXPECT_EQ(link.Log, "; /error: чтение заг.  Status = 4, read 6!=6; ");
}

TEST_F(ReceiveMessageTest, QueueStatusFailureAndAPulledCable) {
  Unit().SendReply(0x20, 5, Body(16));
  driver.FailNext(Op::GetStatus, FT_IO_ERROR);
  link.Log.clear();
  testing::Reception r = Receive();
  EXPECT_EQ(r.count, 0u);
  EXPECT_EQ(r.error, kQueueStatus);
  EXPECT_EQ(link.Log, ";\nошибка наличия данных в ftdi устройстве!;");

  device.unplugged = true;
  r = Receive();
  EXPECT_EQ(r.error, kQueueStatus);
}

TEST_F(ReceiveMessageTest, AFrameStillArrivingIsPolledWithPausesNotInATightLoop) {
  // 519 bytes at line speed take about 45 ms; without pauses a poll costs 5 us of the test clock.
  Unit().SendReply(0x24, 1, Body(512));
  const uint64_t before = driver.StatusPolls();
  const testing::Reception r = Receive();
  EXPECT_EQ(r.count, 513u);
  EXPECT_EQ(r.error, 0u);
  EXPECT_LT(driver.StatusPolls() - before, 2u * r.elapsedMs + 10u);
}

TEST_F(ReceiveMessageTest, APulledCablePausesEachFailedCallAndTheLogKeepsOnlyItsTail) {
  device.unplugged = true;
  link.Log = "начало";
  const uint32_t start = clock.GetTickCount();
  const uint64_t before = driver.StatusPolls();
  // What a 4-second wait for a card page does: receive again until the time is up.
  unsigned receptions = 0;
  while (clock.GetTickCount() - start < 4000) {
    const testing::Reception r = Receive();
    ASSERT_EQ(r.error, kQueueStatus);
    ASSERT_GE(r.elapsedMs, 1u);
    ASSERT_LE(r.elapsedMs, 5u);
    ++receptions;
  }
  EXPECT_EQ(driver.StatusPolls() - before, receptions);
  EXPECT_LE(receptions, 4000u);
  EXPECT_LE(link.Log.size(), kMostLinkLogBytes);
  EXPECT_GE(link.Log.size(), kKeptLinkLogBytes);
  EXPECT_EQ(link.Log.find("начало"), std::string::npos);
  const std::string last = ";\nошибка наличия данных в ftdi устройстве!;";
  EXPECT_EQ(link.Log.compare(link.Log.size() - last.size(), last.size(), last), 0);
}

TEST(LinkLogTail, KeepsWholeCharactersAtTheCut) {
  std::string log;
  for (size_t i = 0; log.size() <= kMostLinkLogBytes; ++i) log += i % 2 ? "ж" : "a";
  const std::string original = log;
  KeepLogTail(log);
  ASSERT_LE(log.size(), kKeptLinkLogBytes);
  EXPECT_GE(log.size(), kKeptLinkLogBytes - 1);
  EXPECT_NE(static_cast<unsigned char>(log[0]) & 0xC0, 0x80u);
  EXPECT_EQ(original.compare(original.size() - log.size(), log.size(), log), 0);
  std::string shortLog = "ошибка";
  KeepLogTail(shortLog);
  EXPECT_EQ(shortLog, "ошибка");
}

class DrainTest : public testing::LinkTest {
 protected:
  void SetUp() override { Open(); }
};

TEST_F(DrainTest, ConsumesPendingRepliesAndReportsAQuietLine) {
  EXPECT_EQ(link.DrainMessages(), 0u);
  for (int i = 0; i < 5; ++i) Unit().SendReply(0x24, static_cast<uint8_t>(i), Body(2));
  EXPECT_EQ(link.DrainMessages(), 0u);
  EXPECT_EQ(Unit().Line().Pending(), 0u);
  EXPECT_EQ(device.rx.Count(), 0u);
}

TEST_F(DrainTest, AContinuousStreamIsReportedWithTheBytesStillWaiting) {
  const std::vector<uint8_t> page = Body(512);
  Unit().SetRefill([&page](emulator::Recorder& r) { r.SendReply(0x20, 0, page); });
  const uint32_t start = clock.GetTickCount();
  const uint32_t left = link.DrainMessages();
  EXPECT_GT(left, 0u);
  EXPECT_GE(clock.GetTickCount() - start, 2000u);
  EXPECT_LT(clock.GetTickCount() - start, 2100u);
}

TEST_F(DrainTest, FailingReceptionsDoNotCountAsQuiet) {
  // Frames that all fail their body check, without pause.
  Unit().SetRefill(
      [](emulator::Recorder& r) { r.SendReply(0x20, 0, Body(64), ReplyFault{.badBodyCheck = true}); });
  EXPECT_NE(link.DrainMessages(), 0u);

  Unit().SetRefill({});
  Unit().Line().Clear();
  device.unplugged = true;
  EXPECT_NE(link.DrainMessages(), 0u);
}

TEST_F(DrainTest, AStreamOfGarbageIsNotQuiet) {
  Unit().SetRefill([](emulator::Recorder& r) { r.SendRaw(std::vector<uint8_t>(64, 0x00)); });
  EXPECT_NE(link.DrainMessages(), 0u);
}

}  // namespace
}  // namespace recorder
