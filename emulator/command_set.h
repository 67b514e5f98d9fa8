#pragma once
// The recorder's answers to the PC's command set: status request, mode change (with its effect on the
// status flags, live data in transmission and the FAT erased by mode 3), card-page streams with running
// reply codes and interleaved acknowledgements, DataFlash page read and write, and RAM read. The
// recorder keeps answering status requests while it streams.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "emulator/page_line_faults.h"
#include "emulator/live_signal.h"
#include "emulator/recorder.h"

namespace emulator {

// Command types of the PC's frames.
inline constexpr uint8_t kCommandRam = 1;
inline constexpr uint8_t kCommandStatus = 2;
inline constexpr uint8_t kCommandMode = 3;
inline constexpr uint8_t kCommandPages = 4;
inline constexpr uint8_t kCommandDataFlash = 5;

// Reply types the recorder uses.
inline constexpr uint8_t kReplyRam = 0x01;
inline constexpr uint8_t kReplyStatus = 0x02;
inline constexpr uint8_t kReplyMode = 0x03;
inline constexpr uint8_t kReplyAck = 0x04;
inline constexpr uint8_t kReplyPage = 0x24;  // card page or live data block
inline constexpr uint8_t kReplyDataFlash = 0x05;

struct CommandSetOptions {
  uint32_t statusLatencyMs = 5;
  uint32_t modeDelayMs = 300;
  // Mode echoed instead of the one asked for (-1: the one asked for).
  int echoMode = -1;
  uint32_t dataFlashLatencyMs = 20;
  uint32_t ramLatencyMs = 5;
  // An acknowledgement after every this many streamed pages (0: none).
  uint32_t ackEveryPages = 32;
  // Transmission mode sends live data blocks.
  bool liveData = true;
  // Status requests are answered while pages or live blocks stream (false: they are ignored then).
  bool statusDuringStream = true;
  // Streamed pages garbled on the line.
  PageLineFaults lineFaults;
  // Live blocks carry this signal instead of the default wave.
  std::optional<LiveSignal> liveSignal;
  // Every live block sent is kept (LiveBlocksSent).
  bool keepLiveBlocks = false;
};

class CommandSet {
 public:
  // Registers the command handlers and the stream refill on `recorder`; the returned object stays alive
  // as long as the handlers do.
  static std::shared_ptr<CommandSet> Install(Recorder& recorder, const CommandSetOptions& options = {});

  CommandSetOptions& Options() { return options_; }
  // Pages still to stream of the last page request, and pages streamed since installation.
  uint32_t PagesPending() const { return remaining_; }
  uint64_t PagesStreamed() const { return streamed_; }
  uint32_t LiveBlocks() const { return liveBlocks_; }
  // The live blocks sent so far, when the options keep them.
  std::vector<std::vector<uint8_t>> LiveBlocksSent() const;
  // Starts streaming `count` pages from `first` as a page request would (for a stream at start-up).
  void StartStream(uint32_t first, uint32_t count);

 private:
  explicit CommandSet(Recorder& recorder, const CommandSetOptions& options)
      : recorder_(recorder), options_(options) {}
  void OnStatus(const Command& c);
  void OnMode(const Command& c);
  void OnPages(const Command& c);
  void OnDataFlash(const Command& c);
  void OnRam(const Command& c);
  void Refill();
  void SendNextPage();
  void SendLiveBlock();
  void EraseFat();

  Recorder& recorder_;
  CommandSetOptions options_;
  uint32_t next_ = 0;
  uint32_t remaining_ = 0;
  uint32_t sentInStream_ = 0;
  uint64_t streamed_ = 0;
  uint8_t sequence_ = 0;
  uint16_t liveSerial_ = 0;
  uint32_t liveBlocks_ = 0;
  uint64_t liveSample_ = 0;  // samples per channel since transmission began
  uint32_t liveStartSecond_ = 0;
  uint64_t liveDrawn_ = 0;  // values drawn from the live signal
  mutable std::mutex sentMutex_;
  std::vector<std::vector<uint8_t>> liveSent_;
};

}  // namespace emulator
