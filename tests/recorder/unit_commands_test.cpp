#include "recorder/unit_commands.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <numeric>
#include <span>
#include <vector>

#include "emulator/command_set.h"
#include "emulator/default_device.h"
#include "emulator/device_layout.h"
#include "emulator/emulated_backend.h"
#include "emulator/reply_frame.h"
#include "link_fixture.h"
#include "recorder/frames.h"

namespace recorder {
namespace {

using emulator::Op;

class CommandTest : public testing::LinkTest {
 protected:
  void SetUp() override {
    emulator::SetUpDefaultDevice(Unit().State());
    set = emulator::CommandSet::Install(Unit());
    Open();
  }
  uint8_t& Status(size_t offset) { return Unit().State().status[offset]; }
  // Replaces the recorder's answer to a page request.
  void OnPageRequest(std::function<void(emulator::Recorder&)> answer) {
    Unit().SetHandler(emulator::kCommandPages, 0,
                      [answer](emulator::Recorder& r, const emulator::Command&) { answer(r); });
  }
  std::shared_ptr<emulator::CommandSet> set;
};

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::vector<uint8_t> PageOf(uint8_t seed) {
  std::vector<uint8_t> p(512);
  for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<uint8_t>(seed + 7 * i);
  return p;
}

TEST_F(CommandTest, StatusRequestFrameAndReply) {
  StatusBlock s{};
  ASSERT_EQ(ReadStatus(link, s), kDone);
  EXPECT_EQ(device.lastWrite, (std::vector<uint8_t>{0x55, 0x02, 0x03, 0xA6, 0x24, 0x05, 0x44, 0x93}));
  EXPECT_EQ(link.Log.rfind("чтение статуса Unit'a\n\n туда:   55 02 03 A6.  24 05 44 93", 0), 0u) << link.Log;
  EXPECT_EQ(UnitNumber(s), 5);
  EXPECT_EQ(UnitSeries(s), 0x1A);
  EXPECT_EQ(s.ChannelMask, 0x07);
  EXPECT_EQ(SampleClock(s), 1000u);
  // The check byte stays with the copy: body and check byte sum to zero.
  const auto* bytes = reinterpret_cast<const uint8_t*>(&s);
  EXPECT_EQ(std::accumulate(bytes, bytes + kStatusReplySize, 0u) % 256, 0u);
}

TEST_F(CommandTest, StatusAmidAPageStreamStillArrives) {
  set->Options().ackEveryPages = 0;
  set->StartStream(0x4000, 500);
  // Let a few pages reach the line before the request.
  for (int i = 0; i < 3; ++i) {
    uint16_t e, d;
    uint8_t t, c;
    ASSERT_EQ(link.ReceiveMessage(e, d, t, c, link.Buffer), kPageCount);
  }
  uint8_t dest[kStatusReplySize] = {};
  EXPECT_EQ(ReadStatus(link, dest), kDone);
  EXPECT_EQ(dest[41], 0x07);
  EXPECT_GT(set->PagesPending(), 0u);
}

TEST_F(CommandTest, ACommandFindsItsReplyAfterAFrameTheLineCut) {
  // A page frame of an older exchange, cut on the line (or whole, never taken): its start is held in the
  // link, waits in the driver's queue, or comes late, after the status read that caused it gave up. Each
  // command still gets its own reply, whole and within its own wait, and takes no older frame for it.
  enum class Arrival { HeldInLink, InDriverQueue, AfterTheNextCommand };
  struct Command {
    const char* name;
    uint32_t mostMs;            // well within the command's own wait
    std::function<bool()> run;  // true when the command ended as it should (its reply right)
  };
  const std::vector<uint8_t> cardPage = PageOf(9);
  constexpr uint32_t kCardPage = 40;
  const std::vector<Command> commands = {
      {"status", 400,
       [&] {
         uint8_t dest[kStatusReplySize] = {};
         return ReadStatus(link, dest) == kDone && dest[41] == 0x07;
       }},
      {"DataFlash page", 400,
       [&] {
         uint8_t buffer[kDfBufferBytes] = {};
         return ReadWriteDfPage(link, 0, 1, buffer) == kDone &&
                std::memcmp(buffer, Unit().State().dataFlash.data() + 512, 512) == 0;
       }},
      {"card page", 400,
       [&] {
         return ReadCardPage(link, kCardPage) == kDone &&
                std::vector<uint8_t>(link.Buffer, link.Buffer + 512) == cardPage;
       }},
      // The older frame's body time does not stretch a wait that brings nothing.
      {"status, unanswered", kStatusWaitMs + 20,
       [&] {
         Unit().SetAnswering(false);
         uint8_t dest[kStatusReplySize] = {};
         const uint8_t result = ReadStatus(link, dest);
         Unit().SetAnswering(true);
         return result == kNoAnswer;
       }},
  };
  std::vector<uint8_t> frame;
  emulator::AppendReply(frame, 0x24, 0, PageOf(3).data(), 512);
  for (const Command& command : commands) {
    for (const Arrival arrival :
         {Arrival::HeldInLink, Arrival::InDriverQueue, Arrival::AfterTheNextCommand}) {
      // 513: the whole frame, a page of an older request that no reception took.
      for (const size_t bodyBytes : {size_t{0}, size_t{106}, size_t{194}, size_t{400}, size_t{513}}) {
        if (bodyBytes == 513 && arrival != Arrival::InDriverQueue) continue;
        SCOPED_TRACE(::testing::Message() << command.name << ", arrival " << static_cast<int>(arrival)
                                          << ", cut after " << bodyBytes << " body bytes");
        set = emulator::CommandSet::Install(Unit());
        Unit().Line().Clear();
        ASSERT_EQ(link.DrainMessages(), 0u);
        auto& card = Unit().State().card;
        card.assign((kCardPage + 1) * 512, 0);
        std::copy(cardPage.begin(), cardPage.end(), card.begin() + kCardPage * 512);
        const auto cut = std::span(frame).first(6 + bodyBytes);
        switch (arrival) {
          case Arrival::HeldInLink: {
            Unit().SendRaw(cut);
            uint16_t e, d;
            uint8_t t, c;
            EXPECT_EQ(link.ReceiveMessage(e, d, t, c, link.Buffer), 0u);
            EXPECT_EQ(e, kBodyIncomplete);
            ASSERT_GT(link.HeldBytes(), 0u);
            break;
          }
          case Arrival::InDriverQueue:
            Unit().SendRaw(cut);
            clock.Advance(100);
            break;
          case Arrival::AfterTheNextCommand: {
            // The status read that caused the frame gives up before it comes.
            Unit().SetHandler(emulator::kCommandStatus, 36,
                              [cut](emulator::Recorder& r, const emulator::Command&) {
                                r.SendGap(600);
                                r.SendRaw(cut);
                              });
            uint8_t dest[kStatusReplySize] = {};
            EXPECT_EQ(ReadStatus(link, dest), kNoAnswer);
            set = emulator::CommandSet::Install(Unit());
            break;
          }
        }
        const uint32_t start = clock.GetTickCount();
        EXPECT_TRUE(command.run()) << link.Log;
        EXPECT_LT(clock.GetTickCount() - start, command.mostMs);
      }
    }
  }
}

TEST_F(CommandTest, OnlyPagesGiveOneWithThePageCount) {
  set->Options().statusDuringStream = false;
  set->Options().ackEveryPages = 0;
  set->StartStream(0x4000, 5000);
  uint8_t dest[kStatusReplySize] = {};
  const uint32_t start = clock.GetTickCount();
  EXPECT_EQ(ReadStatus(link, dest), kNotWritten);
  EXPECT_GE(clock.GetTickCount() - start, kStatusWaitMs);
  const size_t cut = link.Log.rfind('\n');
  ASSERT_NE(cut, std::string::npos);
  const int pages = std::stoi(link.Log.substr(cut + 1));
  EXPECT_GT(pages, 3);
  EXPECT_EQ(link.Log.substr(cut), "\n" + std::to_string(pages));

  // Nothing at all: no answer.
  set->StartStream(0, 0);
  Unit().Line().Clear();
  link.DrainMessages();
  Unit().SetAnswering(false);
  EXPECT_EQ(ReadStatus(link, dest), kNoAnswer);
  EXPECT_TRUE(EndsWith(link.Log, "\n0"));
}

TEST_F(CommandTest, WriteFailuresAreCountedAndNamed) {
  uint8_t dest[kStatusReplySize];
  driver.FailNext(Op::Write, platform::ftdi::FT_IO_ERROR);
  EXPECT_EQ(ReadStatus(link, dest), kNotWritten);
  EXPECT_EQ(link.WriteErrors, 1u);
  EXPECT_NE(link.Log.find(";  FT_IO_ERROR - ошибка записи команды!   "), std::string::npos) << link.Log;

  driver.FailNext(Op::Write, platform::ftdi::FT_IO_ERROR);
  EXPECT_EQ(SetTransmission(link, 0), kNotWritten);
  EXPECT_TRUE(EndsWith(link.Log, " error!;"));
  driver.FailNext(Op::Write, platform::ftdi::FT_IO_ERROR);
  EXPECT_TRUE(RequestPages(link, 0, 1));
  driver.FailNext(Op::Write, platform::ftdi::FT_IO_ERROR);
  uint8_t buffer[kDfBufferBytes] = {};
  EXPECT_EQ(ReadWriteDfPage(link, 0, 0, buffer), kNotWritten);
  driver.FailNext(Op::Write, platform::ftdi::FT_IO_ERROR);
  EXPECT_EQ(ReadRam(link, 0), kNotWritten);
  EXPECT_EQ(link.WriteErrors, 5u);
}

TEST_F(CommandTest, ModeChangeWaitsForItsOwnEcho) {
  set->Options().modeDelayMs = 2500;
  const uint32_t start = clock.GetTickCount();
  ASSERT_EQ(SetTransmission(link, kModeRegistration), kDone);
  EXPECT_GE(clock.GetTickCount() - start, 2500u);
  EXPECT_TRUE(EndsWith(link.Log, "\n3  3  35  2")) << link.Log;
  EXPECT_EQ(Status(emulator::status::kSysRG) & 0x06, 0x06);

  set->Options().echoMode = 1;  // the recorder echoes another mode
  const uint32_t again = clock.GetTickCount();
  EXPECT_EQ(SetTransmission(link, kModeStop), kNoAnswer);
  EXPECT_GE(clock.GetTickCount() - again, kModeWaitMs);
  EXPECT_LT(clock.GetTickCount() - again, kModeWaitMs + 100);
  EXPECT_EQ(Status(emulator::status::kSysRG) & 0x06, 0);
}

TEST_F(CommandTest, RegistrationWithErasureClearsTheFat) {
  auto& card = Unit().State().card;
  card.assign(0x4000 * 512, 0x11);
  set->Options().modeDelayMs = 10;
  ASSERT_EQ(SetTransmission(link, kModeRegistrationErase), kDone);
  EXPECT_EQ(card[0x1000 * 512], 0xFF);
  EXPECT_EQ(card[0x4000 * 512 - 1], 0xFF);
  EXPECT_EQ(card[0x1000 * 512 - 1], 0x11);
  StatusBlock s{};
  ASSERT_EQ(ReadStatus(link, s), kDone);
  EXPECT_EQ(s.Files, 0);
  EXPECT_EQ(s.LastPgFat, 0x1000);
  EXPECT_EQ(s.sysRG & 0x06, 0x06);
}

TEST_F(CommandTest, TransmissionSendsLiveBlocks) {
  set->Options().modeDelayMs = 10;
  ASSERT_EQ(SetTransmission(link, kModeTransmission), kDone);
  uint16_t previousSerial = 0;
  for (int i = 0; i < 5; ++i) {
    uint16_t e, d;
    uint8_t t, c;
    uint16_t n = 0;
    for (int tries = 0; tries < 200 && n == 0; ++tries) n = link.ReceiveMessage(e, d, t, c, link.Buffer);
    ASSERT_EQ(n, kPageCount);
    EXPECT_NE(t & 0x60, 0);
    EXPECT_EQ((0x9D + std::accumulate(link.Buffer, link.Buffer + 512, 0u)) % 256, 0u);
    EXPECT_EQ((0x9D + std::accumulate(link.Buffer, link.Buffer + 16, 0u)) % 256, 0u);
    const uint16_t serial = emulator::Get16(link.Buffer + 8);
    if (i > 0) {
      EXPECT_EQ(serial, previousSerial + 1);
    }
    previousSerial = serial;
  }
  EXPECT_EQ(SetTransmission(link, kModeStop), kDone);  // the echo comes through the stream
}

TEST_F(CommandTest, PageStreamCarriesRunningCodesAndAcknowledgements) {
  auto& card = Unit().State().card;
  card.resize(0x4100 * 512);
  for (size_t i = 0; i < card.size(); ++i) card[i] = static_cast<uint8_t>(i / 512);
  set->Options().ackEveryPages = 4;
  ASSERT_FALSE(RequestPages(link, 0x4000, 10));
  EXPECT_EQ(device.lastWrite, (std::vector<uint8_t>{0x55, 0x04, 0x08, 0x9F, 0x00, 0x00, 0x00, 0x40, 0x00,
                                                    0x00, 0x0A, 0x00, 0xB6}));
  int pages = 0, acks = 0;
  int previousCode = -1;
  for (int tries = 0; tries < 2000 && pages < 10; ++tries) {
    uint16_t e, d;
    uint8_t t, c;
    const uint16_t n = link.ReceiveMessage(e, d, t, c, link.Buffer);
    if (n == kAckCount && (t & 0x0F) == 4) ++acks;
    if (n != kPageCount) continue;
    EXPECT_EQ(t & 0xF0, 0x20);
    EXPECT_EQ(link.Buffer[0], static_cast<uint8_t>(0x4000 + pages));
    if (previousCode >= 0) {
      EXPECT_EQ(c, static_cast<uint8_t>(previousCode + 1));
    }
    previousCode = c;
    ++pages;
  }
  EXPECT_EQ(pages, 10);
  EXPECT_EQ(acks, 2);
}

TEST_F(CommandTest, CardPageSurvivesAcknowledgementsButNotSilence) {
  OnPageRequest([](emulator::Recorder& r) {
    const uint8_t ack[2] = {1, 0};
    for (int i = 0; i < 4; ++i) {
      r.SendReply(0x04, 0, ack);
      r.SendGap(3000);
    }
    r.SendReply(0x24, 9, PageOf(3));
  });
  const uint32_t start = clock.GetTickCount();
  ASSERT_EQ(ReadCardPage(link, 77), kDone);
  EXPECT_GE(clock.GetTickCount() - start, 12'000u);
  EXPECT_EQ(std::vector<uint8_t>(link.Buffer, link.Buffer + 512), PageOf(3));
  EXPECT_TRUE(EndsWith(link.Log, "; *** "));
  EXPECT_EQ(link.Log.rfind("12:  513 - N;   com 36/  err  0;\n 03 0A 11", 0), 0u) << link.Log;

  OnPageRequest([](emulator::Recorder& r) {
    const uint8_t ack[2] = {1, 0};
    r.SendReply(0x04, 0, ack);
    r.SendGap(4100);
    r.SendReply(0x24, 9, PageOf(3));
  });
  const uint32_t again = clock.GetTickCount();
  EXPECT_EQ(ReadCardPage(link, 78), kNoAnswer);
  EXPECT_GE(clock.GetTickCount() - again, 4000u);
  EXPECT_LT(clock.GetTickCount() - again, 4200u);
  EXPECT_TRUE(EndsWith(link.Log, " Нет ответа\n")) << link.Log;
}

TEST_F(CommandTest, AReplyWhoseBodyFailsItsCheckIsNeverTheAnswer) {
  // Each wrapper's only answer fails its body check: the count is the right one, the error word is not.
  struct Case {
    const char* name;
    uint8_t type;
    uint8_t commandType;
    uint8_t code;
    std::vector<uint8_t> body;
    std::function<uint8_t()> run;
  };
  uint8_t status[kStatusReplySize];
  const std::vector<Case> cases = {
      {"status", 0x02, emulator::kCommandStatus, 36, std::vector<uint8_t>(240, 3),
       [&] { return ReadStatus(link, status); }},
      {"mode",
       0x03,
       emulator::kCommandMode,
       35,
       {35, kModeRegistration},
       [&] { return SetTransmission(link, kModeRegistration); }},
      {"card page", 0x24, emulator::kCommandPages, 0, PageOf(5), [&] { return ReadCardPage(link, 9); }},
      {"ram", 0x01, emulator::kCommandRam, 0, PageOf(6), [&] { return ReadRam(link, 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> body = c.body;
    const uint8_t type = c.type;
    Unit().SetHandler(c.commandType, c.code, [body, type](emulator::Recorder& r, const emulator::Command&) {
      r.SendReply(type, 0, body, emulator::ReplyFault{.badBodyCheck = true});
    });
    EXPECT_NE(c.run(), kDone);
  }
}

TEST_F(CommandTest, APulledCableEndsACardPageWaitWithoutSpinningOrFloodingTheLog) {
  // The request is written; the cable goes before the answer comes.
  OnPageRequest([this](emulator::Recorder&) { device.unplugged = true; });
  const uint32_t start = clock.GetTickCount();
  const uint64_t polls = driver.StatusPolls();
  EXPECT_EQ(ReadCardPage(link, 9), kNoAnswer);
  EXPECT_GE(clock.GetTickCount() - start, kCardPageWaitMs);
  EXPECT_LT(clock.GetTickCount() - start, kCardPageWaitMs + 100);
  // Each failed call pauses at least a millisecond.
  EXPECT_LE(driver.StatusPolls() - polls, kCardPageWaitMs);
  EXPECT_LE(link.Log.size(), kMostLinkLogBytes);
  EXPECT_TRUE(EndsWith(link.Log, ";\nошибка наличия данных в ftdi устройстве!; Нет ответа\n"));
}

TEST_F(CommandTest, DataFlashReadFillRule) {
  uint8_t buffer[kDfBufferBytes];
  std::memset(buffer, 0xAA, sizeof buffer);
  ASSERT_EQ(ReadWriteDfPage(link, 0, 1, buffer), kDone);
  EXPECT_EQ(device.lastWrite[4], 0);  // code: read
  EXPECT_EQ(device.lastWrite[5], 1);  // sub-code: page
  EXPECT_EQ(0, std::memcmp(buffer, Unit().State().dataFlash.data() + 512, 512));
  EXPECT_EQ((std::accumulate(buffer, buffer + 513, 0u)) % 256, 0u);  // the check byte came too
  EXPECT_EQ(buffer[513], 0xAA);
  EXPECT_EQ(buffer[514], 0xAA);
  for (size_t i = 515; i < kDfBufferBytes; ++i) ASSERT_EQ(buffer[i], 0) << i;
}

TEST_F(CommandTest, GarbledOrShortDataFlashReplyIsNeverDone) {
  uint8_t buffer[kDfBufferBytes] = {};
  Unit().SetHandler(emulator::kCommandDataFlash, 0, [](emulator::Recorder& r, const emulator::Command&) {
    emulator::ReplyFault fault;
    fault.badBodyCheck = true;
    r.SendReply(0x05, 0, PageOf(1), fault);
  });
  EXPECT_EQ(ReadWriteDfPage(link, 0, 0, buffer), kNoAnswer);
  EXPECT_EQ(link.Log.rfind("чтение стр. DF'a\n", 0), 0u);
  Unit().SetHandler(emulator::kCommandDataFlash, 0, [](emulator::Recorder& r, const emulator::Command&) {
    const std::vector<uint8_t> half(100, 1);
    r.SendReply(0x05, 0, half);
  });
  std::memset(buffer, 0xAA, sizeof buffer);
  EXPECT_EQ(ReadWriteDfPage(link, 0, 0, buffer), kNoAnswer);
  EXPECT_EQ(buffer[0], 0xAA);
  EXPECT_TRUE(EndsWith(link.Log, " Нет ответа\n")) << link.Log;
}

TEST_F(CommandTest, DataFlashWriteFrame) {
  uint8_t buffer[kDfBufferBytes] = {};
  for (int i = 0; i < 512; ++i) buffer[i] = static_cast<uint8_t>(i * 3);
  ASSERT_EQ(ReadWriteDfPage(link, 1, 2, buffer), kDone);
  ASSERT_EQ(device.lastWrite.size(), 519u);
  EXPECT_EQ(device.lastWrite[1], 0x25);
  EXPECT_EQ(device.lastWrite[2], 0x02);
  EXPECT_EQ(device.lastWrite[4], 1);
  EXPECT_EQ(device.lastWrite[5], 18);
  EXPECT_EQ(0, std::memcmp(Unit().State().dataFlash.data() + 1024, buffer, 512));
}

TEST_F(CommandTest, SetupBlockRoundTripAgainstTheRecorder) {
  auto setup = std::make_unique<YSTANOV>();
  SetupMessage message;
  ASSERT_TRUE(ReadSetup(link, *setup, message)) << message.Text;
  EXPECT_EQ(StationName(*setup), "U1a05V");
  EXPECT_EQ(setup->SampleRate, 100);
  EXPECT_EQ(setup->PageCount, 2);
  EXPECT_FALSE(IsFree(setup->Calendar[2]));
  EXPECT_TRUE(IsFree(setup->Calendar[3]));

  for (int r = 0; r < 256; ++r) setup->Calendar[r] = {1000u + r, 2000u + r};
  setup->SampleRate = 500;
  ASSERT_TRUE(WriteSetup(link, *setup, message));
  EXPECT_EQ(0, std::memcmp(Unit().State().dataFlash.data(), SetupBytes(*setup), kSetupSize));

  auto back = std::make_unique<YSTANOV>();
  ASSERT_TRUE(ReadSetup(link, *back, message));
  EXPECT_EQ(0, std::memcmp(back.get(), setup.get(), kSetupSize));

  Unit().State().dataFlash[3 * 512 + 100] ^= 0x40;
  EXPECT_FALSE(ReadSetup(link, *back, message));
  EXPECT_EQ(message.Text.rfind("ошибка на стр. 3: ks = 0x", 0), 0u) << message.Text;
  EXPECT_EQ(message.Caption, "Error");

  Unit().SetAnswering(false);
  EXPECT_FALSE(ReadSetup(link, *back, message));
  EXPECT_EQ(message.Text, "ошибка чтения стр. 0");
  EXPECT_FALSE(WriteSetup(link, *back, message));
  EXPECT_EQ(message.Text, "ошибка на стр. 0");
}

TEST_F(CommandTest, CalibrationWritesPageZeroWithItsCheck) {
  auto setup = std::make_unique<YSTANOV>();
  SetupMessage message;
  ASSERT_TRUE(ReadSetup(link, *setup, message));
  setup->ZeroOffsets[9] = 0x01800123;
  ASSERT_TRUE(WriteSetupPageZero(link, *setup, message));
  auto back = std::make_unique<YSTANOV>();
  ASSERT_TRUE(ReadSetup(link, *back, message)) << message.Text;
  EXPECT_EQ(back->ZeroOffsets[9], 0x01800123u);
}

TEST_F(CommandTest, RamHoldsTheFirmwareText) {
  ASSERT_EQ(ReadRam(link, 0), kDone);
  EXPECT_EQ(device.lastWrite, (std::vector<uint8_t>{0x55, 0x01, 0x04, 0xA6, 0x00, 0x00, 0x00, 0x02, 0xFE}));
  ASSERT_EQ(ReadRam(link, 512), kDone);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(link.Buffer) + 338, 14), emulator::FirmwareText(false));
  Unit().State().ram[512 + 5] = 0x5A;
  ASSERT_EQ(ReadRam(link, 512), kDone);
  EXPECT_EQ(link.Buffer[5], 0x5A);

  Unit().SetAnswering(false);
  const uint32_t start = clock.GetTickCount();
  EXPECT_EQ(ReadRam(link, 0), kNoAnswer);
  EXPECT_GE(clock.GetTickCount() - start, kRamWaitMs);
  EXPECT_EQ(link.Log, "чтение Ram \n Нет ответа\n");
}

TEST(EmulatedBus, EveryUnitAnswersAsItsOwnRecorder) {
  platform::TestClock clock(1000);
  platform::ScopedClock scoped(clock);
  auto bus = emulator::MakeEmulatedBus(2);
  UnitLink link(*bus);
  ASSERT_TRUE(link.ListDevices());
  ASSERT_EQ(link.DeviceCount, 2u);
  link.Chosen = 1;
  ASSERT_TRUE(link.OpenLink());
  StatusBlock s{};
  ASSERT_EQ(ReadStatus(link, s), kDone) << link.Log;
  EXPECT_EQ(UnitNumber(s), 2);
  auto setup = std::make_unique<YSTANOV>();
  SetupMessage message;
  ASSERT_TRUE(ReadSetup(link, *setup, message)) << message.Text;
  EXPECT_EQ(StationName(*setup), "U1a02V");
}

TEST(DefaultDevice, TkFortyOneCarriesALongerFirmwareText) {
  emulator::DeviceState state;
  emulator::SetUpDefaultDevice(state, {.number = 1, .series = 2, .tk41 = true});
  const std::string text(reinterpret_cast<const char*>(state.ram.data()) + 512 + 338, 19);
  EXPECT_EQ(text.substr(0, emulator::FirmwareText(true).size()), emulator::FirmwareText(true));
  EXPECT_EQ(emulator::Get16(state.status.data()), 0x0201);
}

}  // namespace
}  // namespace recorder
