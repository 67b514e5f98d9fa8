#pragma once
// The counters of one live registration: written by the reception thread and its file writer, read by
// the live window's timer. Numbers are atomics; the two file names sit behind a lock of their own.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace acquisition {

inline constexpr const char* kNoLiveFile = " * * * ";

class LiveCounters {
 public:
  std::atomic<uint8_t> FirstBlock{1};       // 1 until the first good data block
  std::atomic<uint32_t> SerialMisses{0};    // serial-number jumps since the start
  std::atomic<uint32_t> Blocks{0};          // data blocks received
  std::atomic<uint32_t> EventCount{0};      // events in the current file
  std::atomic<uint16_t> EventFileCount{0};  // files closed with events
  std::atomic<double> FileSeconds{0.0};     // seconds in the current file
  std::atomic<double> BlockDateTime{0.0};   // the last block's date-time (days since 1899-12-30)
  std::atomic<int64_t> BlockSeconds{0};     // the same, whole seconds since 1899-12-30
  std::atomic<bool> CloseFlag{false};       // the last block did not follow the one before

  void SetLiveFileName(const std::string& name);
  std::string LiveFileName() const;
  void SetLastEventFile(const std::string& name);
  std::string LastEventFile() const;

 private:
  mutable std::mutex mutex_;
  std::string liveFileName_{kNoLiveFile};
  std::string lastEventFile_{kNoLiveFile};
};

}  // namespace acquisition
