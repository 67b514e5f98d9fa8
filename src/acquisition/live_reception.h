#pragma once
// The live reception thread: while the recorder transmits it receives its data blocks and status
// replies, keeps the link alive with a status request every 15 s, logs synchronisation changes,
// checks every block, decodes its 24-bit samples, smooths them, reduces them to a maximum and a
// minimum per channel and screen column in the live ring, and passes each block to the live file
// writer and its event criterion. It ends after 20 s without data, after more than 5 failed writes to
// the recorder, or when asked to stop.
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/live_counters.h"
#include "acquisition/live_shared.h"
#include "acquisition/live_writer.h"
#include "recorder/unit_link.h"

namespace acquisition {

inline constexpr uint32_t kLiveSilenceMs = 20'000;
inline constexpr uint32_t kLivePollMs = 15'000;
inline constexpr uint16_t kLiveMostWriteErrors = 5;
inline constexpr uint32_t kLiveStopCode = 19000;
inline constexpr uint16_t kLiveBlockCount = 513;  // a data block with its check byte
inline constexpr int kLiveWindowWidth = 570;

// What the thread changes in the windows. The window hands each call to the GUI thread; every member
// may be left empty.
struct LiveView {
  std::function<void(int width)> SetWidth;
  // True when the dump list is shown and asks for the next block ("as" on its first line).
  std::function<bool()> DumpRequested;
  std::function<void(std::vector<std::string> lines)> ShowDump;
  std::function<bool()> HeaderShown;
  std::function<void(std::string zag1, std::string zag2)> ShowHeader;
  std::function<void()> EnableExit;
};

struct LiveReceptionSetup {
  LiveWriterSetup Writer;    // channels, setup block, data directory, log (empty: WriteLog)
  bool DecimalDump = false;  // the dump shows sample values instead of their bytes
};

// The lines of a block dump: "%03d:  " and per channel "%07d  " (decimal) or its three bytes.
std::vector<std::string> DumpLines(const uint8_t* page, unsigned values, unsigned channels, bool decimal);
// The header line texts: bytes 0..7 and 8..15 as two hexadecimal digits separated by blanks.
std::string HeaderBytesText(const uint8_t* bytes, unsigned count);

class th_work {
 public:
  th_work(recorder::UnitLink& link, LiveShared& shared, LiveCounters& counters, LiveReceptionSetup setup,
          LiveView view = {});
  ~th_work();
  th_work(const th_work&) = delete;
  th_work& operator=(const th_work&) = delete;

  // Runs Execute on a thread of its own; `onTerminate` runs on that thread after Execute has ended.
  void Start(std::function<void()> onTerminate = {});
  void Terminate();
  std::jthread& Thread() { return thread_; }

  // The thread's body (tests run it in their own thread).
  void Execute(std::stop_token token);

  uint32_t StopCode() const { return stopCode_; }
  uint32_t BlocksReceived() const { return blocks_; }
  // Column values per ring column: channels x 2.
  int32_t ColumnValues() const { return columnValues_; }

 private:
  void Log(const std::string& text) const;
  void OnStatus(const uint8_t* body);
  void OnBlock(const uint8_t* page);
  void SetSmoothing(int32_t points);
  // Failed receptions in a row make one log line, written when the run ends: a pulled cable fails
  // every reception for as long as the thread waits.
  void NoteFailure(uint16_t error, uint16_t dropped);
  void EndFailureRun();

  recorder::UnitLink& link_;
  LiveShared& shared_;
  LiveCounters& counters_;
  LiveReceptionSetup setup_;
  LiveView view_;
  std::unique_ptr<LiveWriter> writer_;
  std::jthread thread_;

  unsigned channels_;
  int32_t columnValues_;
  int32_t smoothPoints_ = 1;
  double smoothGain_ = 1.0;
  double smoothKeep_ = 0.0;
  std::vector<Extreme> extremes_;
  std::vector<double> smoothed_;
  std::vector<int32_t> blockSamples_;
  uint32_t columnCount_ = 0;
  int32_t ringPos_ = 0;
  int32_t lastColumn_ = 0;
  uint32_t blocks_ = 0;
  uint32_t lastDataTick_ = 0;
  uint32_t lastPollTick_ = 0;
  uint32_t stopCode_ = 0;
  uint16_t serialReference_ = 0;
  uint8_t sysRG_ = 0;
  uint32_t capTime_ = 0;
  struct FailureRun {
    uint32_t Count = 0;
    uint32_t Block = 0;  // blocks received before its first failure
    uint16_t Error = 0;
    uint16_t Dropped = 0;
  };
  FailureRun failures_;
  uint8_t receive_[2700] = {};
};

}  // namespace acquisition
