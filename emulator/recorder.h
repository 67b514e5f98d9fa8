#pragma once
// The emulated recorder: takes the command frames the PC writes, hands each checked command to the
// handler registered for its (type, code), and sends replies down its output line. Commands without a
// handler are only recorded. The recorder's memory lives in State(); handlers and tests work on it.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <unordered_map>
#include <vector>

#include "emulator/command_parser.h"
#include "emulator/device_state.h"
#include "emulator/output_line.h"
#include "emulator/reply_frame.h"

namespace emulator {

class Recorder {
 public:
  using Handler = std::function<void(Recorder&, const Command&)>;
  // Runs when the output line has run dry, to keep a stream going (live data, a long page stream).
  using Refill = std::function<void(Recorder&)>;

  DeviceState& State() { return state_; }
  const DeviceState& State() const { return state_; }

  // Registers the handler of command (type 0..15, code); an empty handler removes it.
  void SetHandler(uint8_t type, uint8_t code, Handler handler);
  bool HasHandler(uint8_t type, uint8_t code) const;

  // A recorder that does not answer still takes commands (they are recorded) but runs no handler.
  void SetAnswering(bool answering) { answering_ = answering; }

  // Bytes written by the PC.
  void OnBytesFromPc(const uint8_t* bytes, size_t count);
  // Every checked command received, in order.
  const std::vector<Command>& Received() const { return received_; }
  void ClearReceived() { received_.clear(); }
  const CommandParser& Parser() const { return parser_; }

  // Sends a reply frame, a raw byte sequence (garbage) or a pause in the stream.
  void SendReply(uint8_t type, uint8_t code, std::span<const uint8_t> body, const ReplyFault& fault = {});
  void SendRaw(std::span<const uint8_t> bytes);
  void SendGap(uint32_t ms) { line_.AppendGap(ms); }

  OutputLine& Line() { return line_; }
  void SetRefill(Refill refill) { refill_ = std::move(refill); }

  // Delivers what is due into the bridge's receive queue, asking the refill for more as the line runs
  // dry; returns the bytes delivered.
  size_t Pump(platform::ftdi::ReceiveQueue& queue);

 private:
  DeviceState state_;
  CommandParser parser_;
  std::unordered_map<uint16_t, Handler> handlers_;
  std::vector<Command> received_;
  OutputLine line_;
  Refill refill_;
  bool answering_ = true;
  std::vector<uint8_t> scratch_;
};

}  // namespace emulator
