// Sending command frames and receiving reply frames over the link.
#include <cstdio>
#include <cstring>

#include "platform/clock.h"
#include "recorder/frames.h"
#include "recorder/unit_link.h"

namespace recorder {

using namespace platform::ftdi;

namespace {

// The first wait for a header is short, so that a poll with nothing pending is cheap; a header's body
// must be complete this much later.
constexpr uint32_t kHeaderWaitMs = 10;
constexpr uint32_t kBodyWaitMs = 1450;
constexpr uint32_t kEmptyQueuePauseMs = 5;
// A frame still arriving is looked at again after this pause: the line brings about 11 bytes a ms.
constexpr uint32_t kArrivingPauseMs = 1;
// A driver call that failed is not tried again at once: a pulled cable fails every call at once, and
// the callers poll until their own time limit.
constexpr uint32_t kFailurePauseMs = 2;
constexpr uint16_t kMostDropped = 1000;
constexpr uint32_t kDrainMs = 2000;

template <typename... Args>
void Append(std::string& log, const char* format, Args... args) {
  char text[192];
  const int n = std::snprintf(text, sizeof text, format, args...);
  if (n > 0)
    log.append(text, static_cast<size_t>(n) < sizeof text ? static_cast<size_t>(n) : sizeof text - 1);
  KeepLogTail(log);
}

}  // namespace

void KeepLogTail(std::string& log) {
  if (log.size() <= kMostLinkLogBytes) return;
  size_t cut = log.size() - kKeptLinkLogBytes;
  // Never start the kept text inside a character.
  while (cut < log.size() && (static_cast<unsigned char>(log[cut]) & 0xC0) == 0x80) ++cut;
  log.erase(0, cut);
}

bool UnitLink::SendCommand(uint8_t type, uint8_t code, uint8_t subCode, uint16_t payloadCount) {
  uint32_t status = FT_OK;
  return SendCommand(type, code, subCode, payloadCount, status);
}

bool UnitLink::SendCommand(uint8_t type, uint8_t code, uint8_t subCode, uint16_t payloadCount,
                           uint32_t& status) {
  const size_t length = CompleteCommandFrame(Buffer, sizeof Buffer, type, code, subCode, payloadCount);
  if (length == 0) {
    status = FT_INVALID_PARAMETER;
    Log.clear();
    Append(Log, "команда из %u bt не помещается в кадр ", static_cast<unsigned>(payloadCount));
    return true;
  }
  uint32_t written = 0;
  status = driver_.Write(Settings->Handle, Buffer, static_cast<uint32_t>(length), written);
  if (status == FT_OK && written == length) return false;
  Log.clear();
  Append(Log, "записал %u вместо %ubt & Status 0x%02x ", written, static_cast<unsigned>(length), status);
  if (WriteErrors < UINT16_MAX) ++WriteErrors;
  return true;
}

uint16_t UnitLink::ReceiveMessage(uint16_t& error, uint16_t& dropped, uint8_t& type, uint8_t& code,
                                  uint8_t* buffer) {
  const uint32_t start = platform::GetTickCount();
  const FtHandle handle = Settings->Handle;
  error = kReceiveOk;
  dropped = 0;
  type = 0xFF;
  bool body = false;
  uint32_t need = sizeof(ReplyHeader);
  uint32_t limit = kHeaderWaitMs;
  uint32_t held = 0;       // bytes in the buffer
  uint32_t readTotal = 0;  // bytes read in this call
  uint32_t lastSeen = 0;

  for (;;) {
    const uint32_t elapsed = platform::TicksSince(start, platform::GetTickCount());
    if (elapsed > limit || dropped > kMostDropped) {
      if (!body && dropped == 0 && RxQueue == 0) return 0;  // nothing pending
      if (!body) {
        Append(Log, "/  error: взял %u bt, но не дожд. заголовка. В буф. %ubt; ", readTotal, RxQueue);
        error = kNoHeader;
      } else {
        Append(Log, " /error: не дождался сообщения в %ubt. В буф. %u", need, RxQueue);
        error = kBodyIncomplete;
      }
      return 0;
    }

    uint32_t events = 0;
    if (driver_.GetStatus(handle, RxQueue, TxQueue, events) != FT_OK) {
      Append(Log, "%s", ";\nошибка наличия данных в ftdi устройстве!;");
      error = kQueueStatus;
      platform::Sleep(kFailurePauseMs);
      return 0;
    }
    // Read once the queue holds comfortably more than needed, or has stopped growing between two polls
    // with enough in it.
    if (RxQueue <= need + 10) {
      if (RxQueue == 0) {
        platform::Sleep(kEmptyQueuePauseMs);
        continue;
      }
      if (RxQueue != lastSeen) {
        lastSeen = RxQueue;
        platform::Sleep(kArrivingPauseMs);
        continue;
      }
      if (RxQueue < need) {
        platform::Sleep(kArrivingPauseMs);
        continue;
      }
    }

    uint32_t got = 0;
    const FtStatus status = driver_.Read(handle, buffer + held, need, got);
    readTotal += got;
    if (status != FT_OK || got != need) {
      Append(Log,
             body ? "; /error: чтение cооб. Status = %u, read %u!=%u; "
                  : "; /error: чтение заг.  Status = %u, read %u!=%u; ",
             status, got, need);
      error = got == need ? kReadStatus : kReadShort;
      platform::Sleep(kFailurePauseMs);
      // The bytes this read delivered lie in the buffer after those held before it.
      return static_cast<uint16_t>(got);
    }
    held += got;
    // What this read left in the queue: the next poll that shows the same count sees a queue that has
    // stopped growing.
    lastSeen = RxQueue > got ? RxQueue - got : 0;

    if (!body) {
      ReplyHeader header{};
      if (!ReadReplyHeader(buffer, held, header)) {
        ++dropped;
        std::memmove(buffer, buffer + 1, held - 1);
        --held;
        need = 1;
        continue;
      }
      type = header.Type;
      code = header.Code;
      const uint16_t n = BodyLength(header);
      if (n == 0 || n > kMaxReplyBody) {
        Append(Log, "; /error:  длина сообщения %u; ", static_cast<unsigned>(n));
        error = kBadLength;
        return 0;
      }
      body = true;
      limit += kBodyWaitMs;
      need = n + 1u;
      held = 0;
      continue;
    }

    if (elapsed > MaxWait) MaxWait = elapsed;
    if (TotalWait == UINT32_MAX) TotalWait = 0;
    TotalWait += elapsed;
    const uint8_t sum = ByteSum(buffer, need);
    if (sum != 0) {
      // Delivered with its count, so that a stream of pages stays numbered; the error word tells every
      // caller that it is no good reply.
      Append(Log, "\nв прин. сообщении из %u bt   KC = 0x%02X", need, static_cast<unsigned>(sum));
      error = kBadBodyCheck;
    }
    return static_cast<uint16_t>(need);
  }
}

uint32_t UnitLink::DrainMessages() {
  const uint32_t start = platform::GetTickCount();
  for (;;) {
    uint16_t error = 0;
    uint8_t type = 0, code = 0;
    const uint16_t count = ReceiveMessage(error, Dropped, type, code, Buffer);
    // Quiet only when a reception found nothing pending at all; a failed one means the line is busy or
    // broken.
    if (count == 0 && error == kReceiveOk) return 0;
    if (platform::TicksSince(start, platform::GetTickCount()) >= kDrainMs) {
      uint32_t events = 0;
      if (driver_.GetStatus(Settings->Handle, RxQueue, TxQueue, events) != FT_OK) return 1;
      return RxQueue > 0 ? RxQueue : 1;
    }
  }
}

}  // namespace recorder
