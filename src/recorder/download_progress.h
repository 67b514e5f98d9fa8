#pragma once
// The counters a running download leaves for the main window's one-second timer: written by the
// download thread, read by the timer on the GUI thread.
#include <atomic>
#include <cstdint>

namespace recorder {

struct DownloadProgress {
  std::atomic<uint32_t> PagesInPortion{0};  // pages received in the current request
  std::atomic<uint32_t> ErrorPages{0};      // bad pages since the program started
  std::atomic<uint32_t> FileIndex{0};       // index of the SelFiles entry being read
  std::atomic<uint32_t> PagesDone{0};       // pages done before the current request
};

}  // namespace recorder
