#include "emulator/recorder.h"

namespace emulator {

namespace {
uint16_t KeyOf(uint8_t type, uint8_t code) { return static_cast<uint16_t>((type & 0x0F) << 8 | code); }
}  // namespace

void Recorder::SetHandler(uint8_t type, uint8_t code, Handler handler) {
  if (handler) {
    handlers_[KeyOf(type, code)] = std::move(handler);
  } else {
    handlers_.erase(KeyOf(type, code));
  }
}

bool Recorder::HasHandler(uint8_t type, uint8_t code) const {
  return handlers_.count(KeyOf(type, code)) != 0;
}

void Recorder::OnBytesFromPc(const uint8_t* bytes, size_t count) {
  const size_t first = received_.size();
  parser_.Feed(bytes, count, received_);
  // Index, not iterate: a handler may change the table; each command is handled from a copy.
  for (size_t i = first; i < received_.size() && answering_; ++i) {
    auto it = handlers_.find(KeyOf(received_[i].type, received_[i].code));
    if (it == handlers_.end()) continue;
    const Command command = received_[i];
    it->second(*this, command);
  }
}

void Recorder::SendReply(uint8_t type, uint8_t code, std::span<const uint8_t> body, const ReplyFault& fault) {
  scratch_.clear();
  AppendReply(scratch_, type, code, body.data(), body.size(), fault);
  line_.Append(scratch_);
}

void Recorder::SendRaw(std::span<const uint8_t> bytes) { line_.Append(bytes.data(), bytes.size()); }

size_t Recorder::Pump(platform::ftdi::ReceiveQueue& queue) {
  size_t moved = line_.Release(queue);
  // Bounded, so that a refill that adds nothing cannot spin here.
  for (int round = 0; round < 256 && refill_ && line_.Empty() && queue.Room() > 0; ++round) {
    refill_(*this);
    if (line_.Empty()) break;
    moved += line_.Release(queue);
  }
  return moved;
}

}  // namespace emulator
