#include "emulator/command_set.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "emulator/device_layout.h"
#include "platform/clock.h"

namespace emulator {
namespace {

constexpr uint8_t kModeCode = 35;
constexpr uint32_t kRecorderEpochUnix = 315'964'800;  // 1980-01-06 00:00:00
constexpr uint8_t kPageCheckBase = 0x9D;

uint8_t SumOf(const uint8_t* bytes, size_t count) {
  unsigned sum = 0;
  for (size_t i = 0; i < count; ++i) sum += bytes[i];
  return static_cast<uint8_t>(sum);
}

}  // namespace

std::shared_ptr<CommandSet> CommandSet::Install(Recorder& recorder, const CommandSetOptions& options) {
  std::shared_ptr<CommandSet> set(new CommandSet(recorder, options));
  recorder.SetHandler(kCommandStatus, 36, [set](Recorder&, const Command& c) { set->OnStatus(c); });
  recorder.SetHandler(kCommandMode, kModeCode, [set](Recorder&, const Command& c) { set->OnMode(c); });
  recorder.SetHandler(kCommandPages, 0, [set](Recorder&, const Command& c) { set->OnPages(c); });
  for (uint8_t direction : {uint8_t{0}, uint8_t{1}}) {
    recorder.SetHandler(kCommandDataFlash, direction,
                        [set](Recorder&, const Command& c) { set->OnDataFlash(c); });
  }
  for (int code = 0; code < 256; ++code) {
    recorder.SetHandler(kCommandRam, static_cast<uint8_t>(code),
                        [set](Recorder&, const Command& c) { set->OnRam(c); });
  }
  recorder.SetRefill([set](Recorder&) { set->Refill(); });
  return set;
}

void CommandSet::OnStatus(const Command&) {
  DeviceState& st = recorder_.State();
  const bool streaming = remaining_ > 0 || (st.mode == 1 && options_.liveData);
  if (streaming && !options_.statusDuringStream) return;
  // The recorder's clock runs on.
  const platform::UtcTime now = platform::CurrentClock().NowUtc();
  if (now.unixSeconds > kRecorderEpochUnix && (st.status[status::kSysRG] & 0x01)) {
    Put32(&st.status[status::kTUnit], static_cast<uint32_t>(now.unixSeconds - kRecorderEpochUnix));
  }
  if (options_.statusLatencyMs) recorder_.SendGap(options_.statusLatencyMs);
  recorder_.SendReply(kReplyStatus, 0, st.status);
}

void CommandSet::OnMode(const Command& c) {
  DeviceState& st = recorder_.State();
  const uint8_t mode = c.subCode;
  uint8_t& rg = st.status[status::kSysRG];
  switch (mode) {
    case 0:
      rg &= static_cast<uint8_t>(~0x06);
      remaining_ = 0;
      break;
    case 1:
      rg = static_cast<uint8_t>((rg & ~0x06) | 0x02);
      liveSample_ = 0;
      liveStartSecond_ = Get32(&st.status[status::kTUnit]);
      break;
    case 2:
      rg |= 0x06;
      break;
    case 3:
      EraseFat();
      rg |= 0x06;
      break;
    default:
      return;
  }
  st.mode = mode;
  if (options_.modeDelayMs) recorder_.SendGap(options_.modeDelayMs);
  const uint8_t echoed = options_.echoMode >= 0 ? static_cast<uint8_t>(options_.echoMode) : mode;
  const uint8_t body[2] = {kModeCode, echoed};
  recorder_.SendReply(kReplyMode, 0, body);
}

void CommandSet::EraseFat() {
  DeviceState& st = recorder_.State();
  const uint32_t fatBegin = st.status[status::kFatPage] * 256u;
  const uint32_t fatEnd = st.status[status::kDataPage] * 256u;
  for (uint32_t p = fatBegin; p < fatEnd; ++p) {
    uint8_t* page = PageAt(st.card, p);
    if (page == nullptr) break;
    std::memset(page, 0xFF, kPageBytes);
  }
  st.status[status::kFiles] = 0;
  Put16(&st.status[status::kLastPgFat], static_cast<uint16_t>(fatBegin));
  Put32(&st.status[status::kLastPg], fatEnd);
}

void CommandSet::StartStream(uint32_t first, uint32_t count) {
  next_ = first;
  remaining_ = count;
  sentInStream_ = 0;
}

void CommandSet::OnPages(const Command& c) {
  if (c.subCode != 0 || c.payload.size() < 6) return;
  StartStream(Get32(c.payload.data()), Get16(c.payload.data() + 4));
  // Later stream bytes follow what is already on the line.
  if (recorder_.Line().Empty()) Refill();
}

void CommandSet::Refill() {
  if (remaining_ > 0) {
    SendNextPage();
  } else if (recorder_.State().mode == 1 && options_.liveData) {
    SendLiveBlock();
  }
}

void CommandSet::SendNextPage() {
  DeviceState& st = recorder_.State();
  uint8_t page[kPageBytes];
  if (const uint8_t* stored = PageAt(st.card, next_)) {
    std::memcpy(page, stored, kPageBytes);
  } else {
    std::memset(page, 0xFF, kPageBytes);  // beyond the image: erased flash
  }
  sequence_ = SendCardPage(recorder_, kReplyPage, static_cast<uint8_t>(sequence_ + 1), next_, page,
                           options_.lineFaults,
                           [&st](uint32_t number) -> const uint8_t* { return PageAt(st.card, number); });
  ++next_;
  --remaining_;
  ++sentInStream_;
  ++streamed_;
  if (options_.ackEveryPages && sentInStream_ % options_.ackEveryPages == 0 && remaining_ > 0) {
    const uint8_t ack[2] = {static_cast<uint8_t>(sentInStream_), static_cast<uint8_t>(sentInStream_ >> 8)};
    recorder_.SendReply(kReplyAck, 0, ack);
  }
}

void CommandSet::SendLiveBlock() {
  DeviceState& st = recorder_.State();
  const uint8_t mask = st.status[status::kChannelMask];
  const unsigned channels =
      std::popcount(static_cast<unsigned>(mask)) ? std::popcount(static_cast<unsigned>(mask)) : 1;
  const uint8_t* setupPage = PageAt(st.dataFlash, 0);
  uint32_t rate = setupPage ? Get16(setupPage + setup::kSampleRate) : 0;
  if (rate == 0) rate = 100;
  unsigned perChannel = 495 / 3 / channels;
  unsigned values = perChannel * channels;
  uint8_t page[kPageBytes] = {};
  if (options_.liveSignal) {
    values = FillLiveValues(*options_.liveSignal, channels, liveDrawn_, page);
    perChannel = std::max(1u, values / channels);
  }
  page[0] = 0x20;
  page[1] = static_cast<uint8_t>(channels - 1);
  Put16(page + 2, static_cast<uint16_t>(liveSample_ % rate));
  Put32(page + 4, static_cast<uint32_t>(liveStartSecond_ + liveSample_ / rate));
  Put16(page + 8, ++liveSerial_);
  page[11] = static_cast<uint8_t>(values);
  page[15] = static_cast<uint8_t>(0u - kPageCheckBase - SumOf(page, 15));
  for (unsigned i = 0; i < values && !options_.liveSignal; ++i) {
    // A slow sine-like triangle per channel around the converter's zero.
    const uint64_t n = liveSample_ + i / channels;
    const int32_t wave = static_cast<int32_t>((n * 997 + (i % channels) * 50'000) % 200'000) - 100'000;
    const uint32_t v = static_cast<uint32_t>(0x800000 + wave);
    page[16 + 3 * i] = static_cast<uint8_t>(v);
    page[17 + 3 * i] = static_cast<uint8_t>(v >> 8);
    page[18 + 3 * i] = static_cast<uint8_t>(v >> 16);
  }
  page[511] = static_cast<uint8_t>(0u - kPageCheckBase - SumOf(page, 511));
  if (options_.liveSignal && options_.liveSignal->Tamper) options_.liveSignal->Tamper(liveBlocks_, page);
  if (options_.keepLiveBlocks) {
    std::lock_guard lock(sentMutex_);
    liveSent_.emplace_back(page, page + kPageBytes);
  }
  const uint32_t intervalMs = static_cast<uint32_t>(uint64_t{perChannel} * 1000 / rate);
  recorder_.SendGap(intervalMs ? intervalMs : 1);
  recorder_.SendReply(kReplyPage, ++sequence_, page);
  liveSample_ += perChannel;
  ++liveBlocks_;
}

std::vector<std::vector<uint8_t>> CommandSet::LiveBlocksSent() const {
  std::lock_guard lock(sentMutex_);
  return liveSent_;
}

void CommandSet::OnDataFlash(const Command& c) {
  DeviceState& st = recorder_.State();
  const uint8_t direction = c.code;
  const uint8_t page = static_cast<uint8_t>(c.subCode - 16 * direction);
  if (st.dataFlash.size() < (page + 1u) * kPageBytes) st.dataFlash.resize((page + 1u) * kPageBytes, 0xFF);
  uint8_t* stored = PageAt(st.dataFlash, page);
  if (options_.dataFlashLatencyMs) recorder_.SendGap(options_.dataFlashLatencyMs);
  if (direction == 1) {
    if (c.payload.size() != kPageBytes) return;
    std::memcpy(stored, c.payload.data(), kPageBytes);
    const uint8_t body[2] = {direction, page};
    recorder_.SendReply(kReplyDataFlash, 0, body);
    return;
  }
  recorder_.SendReply(kReplyDataFlash, 0, std::span<const uint8_t>(stored, kPageBytes));
}

void CommandSet::OnRam(const Command& c) {
  DeviceState& st = recorder_.State();
  const size_t address = static_cast<size_t>(c.code) | static_cast<size_t>(c.subCode) << 8;
  uint8_t block[kPageBytes];
  for (size_t i = 0; i < kPageBytes; ++i) block[i] = address + i < st.ram.size() ? st.ram[address + i] : 0;
  if (options_.ramLatencyMs) recorder_.SendGap(options_.ramLatencyMs);
  recorder_.SendReply(kReplyRam, 0, block);
}

}  // namespace emulator
