// Sending command frames and receiving reply frames over the link.
#include <algorithm>
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

void UnitLink::Consume(uint32_t n) {
  if (n > held_) n = held_;
  std::memmove(rx_, rx_ + n, held_ - n);
  held_ -= n;
  reported_ = reported_ > n ? reported_ - n : 0;
}

uint32_t UnitLink::FindWholeFrame(uint32_t from, uint32_t before) const {
  constexpr uint32_t kHeader = sizeof(ReplyHeader);
  for (uint32_t at = from; at < before && at + kHeader < held_; ++at) {
    ReplyHeader header{};
    if (!ReadReplyHeader(rx_ + at, held_ - at, header)) continue;
    const uint32_t length = BodyLength(header);
    if (length == 0 || length > kMaxReplyBody || at + kHeader + length + 1 > held_) continue;
    if (ByteSum(rx_ + at + kHeader, length + 1) == 0) return at;
  }
  return 0;
}

uint16_t UnitLink::ReceiveMessage(uint16_t& error, uint16_t& dropped, uint8_t& type, uint8_t& code,
                                  uint8_t* buffer) {
  return Receive(error, dropped, type, code, buffer, UINT32_MAX, false);
}

uint16_t UnitLink::ReceiveReply(uint16_t& error, uint16_t& dropped, uint8_t& type, uint8_t& code,
                                uint8_t* buffer, uint32_t mostWaitMs) {
  return Receive(error, dropped, type, code, buffer, mostWaitMs, true);
}

uint16_t UnitLink::Receive(uint16_t& error, uint16_t& dropped, uint8_t& type, uint8_t& code, uint8_t* buffer,
                           uint32_t mostWaitMs, bool reply) {
  const uint32_t start = platform::GetTickCount();
  const FtHandle handle = Settings->Handle;
  // The frame delivered last was not refused: its bytes go.
  Consume(delivered_);
  delivered_ = 0;
  error = kReceiveOk;
  dropped = 0;
  type = 0xFF;
  bool body = false;  // the held bytes begin with a checked header of a body of `length` bytes
  uint32_t length = 0;
  uint32_t limit = std::min(kHeaderWaitMs, mostWaitMs);
  uint32_t readTotal = 0;  // bytes read in this call
  uint32_t lastSeen = 0;
  uint32_t scanned = 0;  // held bytes already searched for a whole frame inside the body
  constexpr uint32_t kHeader = sizeof(ReplyHeader);
  // A reply's frame has begun inside the body held: the bytes before it (of an older frame the line
  // cut) are dropped, and the hunt takes the reply.
  const auto yieldTo = [&](uint32_t at) {
    dropped = static_cast<uint16_t>(dropped + (at > reported_ ? at - reported_ : 0));
    Consume(at);
    body = false;
    length = 0;
    scanned = 0;
  };

  for (;;) {
    if (!body) {
      // Slide to a frame start: a byte that cannot begin a header, or six that fail the check, is
      // dropped; the beginning of a header waits for the rest.
      ReplyHeader header{};
      while (held_ > 0 && dropped <= kMostDropped) {
        if (rx_[0] == kFrameStart && held_ < kHeader) break;
        if (ReadReplyHeader(rx_, held_, header)) {
          body = true;
          break;
        }
        if (reported_ == 0) ++dropped;
        Consume(1);
      }
      if (body) {
        type = header.Type;
        code = header.Code;
        length = BodyLength(header);
        if (length == 0 || length > kMaxReplyBody) {
          Append(Log, "; /error:  длина сообщения %u; ", length);
          error = kBadLength;
          // The hunt goes on after this header's first byte; its other bytes are not dropped again.
          if (reported_ < kHeader) reported_ = kHeader;
          Consume(1);
          return 0;
        }
        limit = std::min(kHeaderWaitMs + kBodyWaitMs, mostWaitMs);
      }
    }
    const uint32_t frameBytes = kHeader + length + 1;
    if (body && held_ >= frameBytes && reply) {
      // A whole checked frame beginning inside this one is the truth, not the frame around it.
      if (const uint32_t at = FindWholeFrame(1, frameBytes); at != 0) {
        yieldTo(at);
        continue;
      }
    }
    if (body && held_ >= frameBytes) {
      const uint32_t elapsed = platform::TicksSince(start, platform::GetTickCount());
      if (elapsed > MaxWait) MaxWait = elapsed;
      if (TotalWait == UINT32_MAX) TotalWait = 0;
      TotalWait += elapsed;
      const uint32_t count = length + 1;
      std::memcpy(buffer, rx_ + kHeader, count);
      const uint8_t sum = ByteSum(rx_ + kHeader, count);
      if (sum == 0) {
        // Its bytes stay until the next reception, in case its reader refuses it.
        delivered_ = frameBytes;
      } else {
        // Delivered with its count and the error word; the bytes after its first are hunted again, for
        // a byte lost in it leaves the next frame's start among them.
        Append(Log, "\nв прин. сообщении из %u bt   KC = 0x%02X", count, static_cast<unsigned>(sum));
        error = kBadBodyCheck;
        if (reported_ < frameBytes) reported_ = frameBytes;
        Consume(1);
      }
      return static_cast<uint16_t>(count);
    }
    const uint32_t need = (body ? frameBytes : kHeader) - held_;

    const uint32_t elapsed = platform::TicksSince(start, platform::GetTickCount());
    if (elapsed > limit || dropped > kMostDropped) {
      // Nothing pending, or the start of a frame the line paused in: it stays for the next call.
      if (!body && dropped == 0) return 0;
      if (!body) {
        Append(Log, "/  error: взял %u bt, но не дожд. заголовка. В буф. %ubt; ", readTotal, RxQueue);
        error = kNoHeader;
      } else {
        Append(Log, " /error: не дождался сообщения в %ubt. В буф. %u", length + 1,
               held_ - kHeader + RxQueue);
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
    // Read once the queue holds comfortably more than needed, or has stopped growing between two polls;
    // a part of a frame is kept until the rest comes.
    if (RxQueue == 0) {
      // The body's bytes stopped: awaiting a reply, a whole frame that began inside it is taken.
      if (reply && body && held_ != scanned) {
        scanned = held_;
        if (const uint32_t at = FindWholeFrame(1, held_); at != 0) {
          yieldTo(at);
          continue;
        }
      }
      platform::Sleep(kEmptyQueuePauseMs);
      continue;
    }
    if (RxQueue <= need + 10 && RxQueue != lastSeen) {
      lastSeen = RxQueue;
      platform::Sleep(kArrivingPauseMs);
      continue;
    }
    const uint32_t want = RxQueue < need ? RxQueue : need;
    uint32_t got = 0;
    const FtStatus status = driver_.Read(handle, rx_ + held_, want, got);
    if (got > want) got = want;
    readTotal += got;
    BytesRead += got;
    if (got != 0) LastReadTick = platform::GetTickCount();
    held_ += got;
    if (status != FT_OK || got != want) {
      Append(Log,
             body ? "; /error: чтение cооб. Status = %u, read %u!=%u; "
                  : "; /error: чтение заг.  Status = %u, read %u!=%u; ",
             status, got, want);
      error = got == want ? kReadStatus : kReadShort;
      platform::Sleep(kFailurePauseMs);
      // The bytes this read delivered, at the buffer start; the link keeps them for the next hunt.
      std::memcpy(buffer, rx_ + held_ - got, got);
      return static_cast<uint16_t>(got);
    }
    // What this read left in the queue: the next poll that shows the same count sees a queue that has
    // stopped growing.
    lastSeen = RxQueue > got ? RxQueue - got : 0;
  }
}

void UnitLink::RefuseLastFrame() {
  if (delivered_ == 0) return;
  if (reported_ < delivered_) reported_ = delivered_;
  delivered_ = 0;
  Consume(1);
}

void UnitLink::DropPending() {
  DropHeld();
  uint32_t events = 0;
  if (driver_.GetStatus(Settings->Handle, RxQueue, TxQueue, events) != FT_OK) return;
  // Only what the queue holds now: a line that keeps streaming is left to the receptions.
  uint32_t left = RxQueue;
  while (left > 0) {
    const uint32_t want = std::min(left, kHeldCapacity);
    uint32_t got = 0;
    const FtStatus status = driver_.Read(Settings->Handle, rx_, want, got);
    if (got > want) got = want;
    BytesRead += got;
    if (got != 0) LastReadTick = platform::GetTickCount();
    left -= got;
    if (status != FT_OK || got != want) break;
  }
  RxQueue = left;
}

uint32_t UnitLink::DrainMessages() {
  const uint32_t start = platform::GetTickCount();
  for (;;) {
    uint16_t error = 0;
    uint8_t type = 0, code = 0;
    const uint64_t before = BytesRead;
    const uint16_t count = ReceiveMessage(error, Dropped, type, code, Buffer);
    // Quiet only when a reception found nothing pending, or a frame the line stopped in brought nothing
    // more; a failed one means the line is busy or broken. What the link holds then is dropped.
    if (count == 0 && (error == kReceiveOk || (error == kBodyIncomplete && BytesRead == before))) {
      DropHeld();
      return 0;
    }
    if (platform::TicksSince(start, platform::GetTickCount()) >= kDrainMs) {
      uint32_t events = 0;
      if (driver_.GetStatus(Settings->Handle, RxQueue, TxQueue, events) != FT_OK) return 1;
      return RxQueue > 0 ? RxQueue : 1;
    }
  }
}

}  // namespace recorder
