#include "recorder/unit_commands.h"

#include <algorithm>
#include <cstring>

#include "platform/clock.h"
#include "recorder/frames.h"
#include "toolkit/format_text.h"

namespace recorder {
namespace {

constexpr uint8_t kStatusPayload = 0x44;
constexpr uint8_t kStatusCode = 36;
constexpr uint8_t kStatusSubCode = 5;
constexpr uint8_t kModeCode = 35;

uint8_t* Payload(UnitLink& link) { return link.Buffer + kPayloadOffset; }

// " 55 02 03 A6.  24 05 44 93": the first eight bytes of the frame just sent.
void AppendFrameStart(UnitLink& link) {
  for (int i = 0; i < 8; ++i) {
    link.Log += toolkit::FormatText(" %02X", link.Buffer[i]);
    if (i == 3) link.Log += ". ";
  }
}

void AppendHex(std::string& log, const uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) log += toolkit::FormatText(" %02X", bytes[i]);
}

uint32_t Since(uint32_t start) { return platform::TicksSince(start, platform::GetTickCount()); }

void PutU32(uint8_t* at, uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutU16(uint8_t* at, uint16_t v) {
  at[0] = static_cast<uint8_t>(v);
  at[1] = static_cast<uint8_t>(v >> 8);
}

struct Reply {
  uint16_t count = 0;
  uint16_t error = 0;
  uint8_t type = 0;
  uint8_t code = 0;
};

// What is left of an older exchange (a frame the line cut or stopped in, the rest of a stream) would
// take the reply's bytes for its own: it goes before the command is sent. What of it is still on its way
// is left to ReceiveReply, which lets a reply's frame take over from a frame it finds it inside.
void ForgetOlderExchange(UnitLink& link) { link.DropPending(); }

// What is left of `limitMs` since `start`.
uint32_t Left(uint32_t start, uint32_t limitMs) {
  const uint32_t spent = Since(start);
  return spent < limitMs ? limitMs - spent : 0;
}

// Receives into link.Buffer until `match` takes a good reply or `limitMs` have passed since the call;
// true when a reply was taken. Replies that do not match are passed over; `seen` sees every reception.
// The start of a frame the link holds is of an older exchange (the caller of WaitStatus sent the request
// itself).
template <typename Match, typename Seen>
bool AwaitReply(UnitLink& link, uint32_t limitMs, Match match, Seen seen) {
  const uint32_t start = platform::GetTickCount();
  link.DropHeld();
  Reply r;
  while (Since(start) < limitMs) {
    r.count = link.ReceiveReply(r.error, link.Dropped, r.type, r.code, link.Buffer, Left(start, limitMs));
    seen(r);
    // A body that failed its check, or a failed read, is never the reply.
    if (r.error == kReceiveOk && r.count != 0 && match(r)) return true;
  }
  return false;
}

template <typename Match>
bool AwaitReply(UnitLink& link, uint32_t limitMs, Match match) {
  return AwaitReply(link, limitMs, match, [](const Reply&) {});
}

// As AwaitReply, and also given up once the line has brought nothing, not even a dropped byte, for
// `quietMs` (0: no such limit).
template <typename Match>
bool AwaitReplyWhileHeard(UnitLink& link, uint32_t limitMs, uint32_t quietMs, Match match) {
  const uint32_t start = platform::GetTickCount();
  uint32_t heard = start;
  Reply r;
  while (Since(start) < limitMs && (quietMs == 0 || Since(heard) < quietMs)) {
    const uint64_t before = link.BytesRead;
    const uint32_t left =
        quietMs == 0 ? Left(start, limitMs) : std::min(Left(start, limitMs), Left(heard, quietMs));
    r.count = link.ReceiveReply(r.error, link.Dropped, r.type, r.code, link.Buffer, left);
    if (r.count != 0 || link.BytesRead != before) heard = platform::GetTickCount();
    if (r.error == kReceiveOk && r.count != 0 && match(r)) return true;
  }
  return false;
}

// Places the page request payload: first page (uint32 LE) and count (uint16 LE).
bool SendPageRequest(UnitLink& link, uint32_t firstPage, uint16_t count) {
  link.Log = "чтение стр. k\n";
  PutU32(Payload(link), firstPage);
  PutU16(Payload(link) + 4, count);
  if (link.SendCommand(static_cast<uint8_t>(UnitCommand::Pages), 0, 0, 6)) {
    link.Log += " error!;";
    return true;
  }
  return false;
}

}  // namespace

bool SendStatusRequest(UnitLink& link, uint32_t& status) {
  Payload(link)[0] = kStatusPayload;
  return link.SendCommand(static_cast<uint8_t>(UnitCommand::Status), kStatusCode, kStatusSubCode, 1, status);
}

bool SendStatusRequest(UnitLink& link) {
  uint32_t status = 0;
  return SendStatusRequest(link, status);
}

uint8_t ReadStatus(UnitLink& link, uint8_t* destination) {
  link.Log = "чтение статуса Unit'a\n";
  ForgetOlderExchange(link);
  uint32_t status = 0;
  const bool failed = SendStatusRequest(link, status);
  link.Log += "\n туда:  ";
  AppendFrameStart(link);
  if (failed) {
    link.Log += ";  ";
    link.Log += link.StatusName(status);
    link.Log += " - ошибка записи команды!   ";
    return kNotWritten;
  }
  return WaitStatus(link, destination);
}

uint8_t ReadStatus(UnitLink& link, StatusBlock& destination) {
  uint8_t bytes[kStatusReplySize];
  const uint8_t result = ReadStatus(link, bytes);
  if (result == kDone) DecodeStatus(bytes, sizeof bytes, destination);
  return result;
}

uint8_t WaitStatus(UnitLink& link, uint8_t* destination) {
  uint32_t pages = 0;
  const bool got = AwaitReply(
      link, kStatusWaitMs,
      [](const Reply& r) {
        return r.type == static_cast<uint8_t>(UnitCommand::Status) && r.count == kStatusReplySize;
      },
      [&pages](const Reply& r) {
        if (r.count == kPageCount) ++pages;
      });
  if (got) {
    std::memcpy(destination, link.Buffer, kStatusReplySize);
    return kDone;
  }
  link.Log += "\n" + std::to_string(pages);
  return pages != 0 ? kNotWritten : kNoAnswer;
}

uint8_t WaitStatus(UnitLink& link, StatusBlock& destination) {
  uint8_t bytes[kStatusReplySize];
  const uint8_t result = WaitStatus(link, bytes);
  if (result == kDone) DecodeStatus(bytes, sizeof bytes, destination);
  return result;
}

uint8_t SetTransmission(UnitLink& link, uint8_t mode, uint32_t quietMs) {
  link.Log = "transl\n";
  ForgetOlderExchange(link);
  Payload(link)[0] = kStatusPayload;
  const bool failed = link.SendCommand(static_cast<uint8_t>(UnitCommand::Mode), kModeCode, mode, 1);
  link.Log += "\n туда ";
  AppendFrameStart(link);
  if (failed) {
    link.Log += " error!;";
    return kNotWritten;
  }
  const bool echoed = AwaitReplyWhileHeard(link, kModeWaitMs, quietMs, [&](const Reply& r) {
    return r.type == static_cast<uint8_t>(UnitCommand::Mode) && r.count == kAckCount &&
           link.Buffer[0] == kModeCode && link.Buffer[1] == mode;
  });
  if (!echoed) return kNoAnswer;
  link.Log += toolkit::FormatText(
      "\n%u  %u  %u  %u", static_cast<unsigned>(kAckCount), static_cast<unsigned>(UnitCommand::Mode),
      static_cast<unsigned>(link.Buffer[0]), static_cast<unsigned>(link.Buffer[1]));
  return kDone;
}

bool RequestPages(UnitLink& link, uint32_t firstPage, uint16_t count) {
  return SendPageRequest(link, firstPage, count);
}

uint8_t ReadCardPage(UnitLink& link, uint32_t page) {
  ForgetOlderExchange(link);
  if (SendPageRequest(link, page, 1)) return kNotWritten;
  const uint32_t request = platform::GetTickCount();
  uint32_t start = request;
  uint16_t error = 0;
  uint8_t type = 0;
  uint8_t code = 0;
  while (Since(start) < kCardPageWaitMs) {
    uint16_t dropped = 0;
    const uint16_t count =
        link.ReceiveReply(error, dropped, type, code, link.Buffer, Left(start, kCardPageWaitMs));
    if (error != kReceiveOk) continue;  // a bad body or a failed read is no page
    const bool ack = (type & 0x0F) == static_cast<uint8_t>(UnitCommand::Pages) && count == kAckCount;
    const bool isPage = (type & 0xF0) == 0x20 && count == kPageCount;
    if (!ack && !isPage) continue;
    link.Log = toolkit::FormatText("%u:  %u - N;   com %u/  err  %u;\n", Since(request) / 1000,
                                   static_cast<unsigned>(count), static_cast<unsigned>(type),
                                   static_cast<unsigned>(error));
    if (ack) {
      AppendHex(link.Log, link.Buffer, count - 1u);
      start = platform::GetTickCount();
      continue;
    }
    AppendHex(link.Log, link.Buffer, 16);
    link.Log += "; *** ";
    return kDone;
  }
  link.Log += " Нет ответа\n";
  return kNoAnswer;
}

uint8_t ReadWriteDfPage(UnitLink& link, uint8_t direction, uint8_t page, uint8_t* buffer) {
  const bool write = direction == 1;
  link.Log = write ? "запись стр. DF'a\n" : "чтение стр. DF'a\n";
  ForgetOlderExchange(link);
  uint16_t payload = 2;
  if (write) {
    std::memmove(Payload(link), buffer, kSetupPageSize);
    payload = kSetupPageSize;
  } else {
    Payload(link)[0] = 0;
    Payload(link)[1] = 0;
  }
  if (link.SendCommand(static_cast<uint8_t>(UnitCommand::DfPage), direction,
                       static_cast<uint8_t>(page + 16 * direction), payload)) {
    link.Log += " error!;";
    return kNotWritten;
  }
  // Only a checked reply of the DataFlash command counts; a read must bring the whole page.
  const bool got = AwaitReply(link, kDfPageWaitMs, [&](const Reply& r) {
    if ((r.type & 0x0F) != static_cast<uint8_t>(UnitCommand::DfPage)) return false;
    return write || r.count == kPageCount;
  });
  if (!got) {
    link.Log += " Нет ответа\n";
    return kNoAnswer;
  }
  if (!write) {
    std::memcpy(buffer, link.Buffer, kPageCount);
    std::memset(buffer + kPageCount + 2, 0, kDfBufferBytes - (kPageCount + 2u));
  }
  return kDone;
}

uint8_t ReadRam(UnitLink& link, uint16_t address) {
  link.Log = "чтение Ram \n";
  ForgetOlderExchange(link);
  Payload(link)[0] = 0x00;
  Payload(link)[1] = 0x02;
  if (link.SendCommand(static_cast<uint8_t>(UnitCommand::Ram), static_cast<uint8_t>(address & 0xFF),
                       static_cast<uint8_t>(address >> 8), 2)) {
    link.Log += " error!;";
    return kNotWritten;
  }
  const bool got = AwaitReply(link, kRamWaitMs, [](const Reply& r) {
    return r.count == kPageCount && (r.type & 0x0F) == static_cast<uint8_t>(UnitCommand::Ram);
  });
  if (got) return kDone;
  link.Log += " Нет ответа\n";
  return kNoAnswer;
}

namespace {

DfPageIo LinkPageIo(UnitLink& link) {
  return [&link](uint8_t direction, uint8_t page, uint8_t* buffer) {
    return ReadWriteDfPage(link, direction, page, buffer);
  };
}

}  // namespace

bool ReadSetup(UnitLink& link, YSTANOV& setup, SetupMessage& message) {
  return ReadSetupPages(setup, LinkPageIo(link), message);
}

bool WriteSetup(UnitLink& link, YSTANOV& setup, SetupMessage& message,
                const std::function<void(int, int)>& progress) {
  return WriteSetupPages(setup, LinkPageIo(link), message, progress);
}

bool WriteSetupPageZero(UnitLink& link, YSTANOV& setup, SetupMessage& message) {
  UpdatePageZeroCheck(setup);
  uint8_t buffer[kDfBufferBytes] = {};
  std::memcpy(buffer, SetupBytes(setup), kSetupPageSize);
  if (ReadWriteDfPage(link, 1, 0, buffer) != kDone) {
    message = {"ошибка на стр. 0", "", false};
    return false;
  }
  return true;
}

}  // namespace recorder
