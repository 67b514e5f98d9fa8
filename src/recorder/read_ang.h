#pragma once
// read_ang: the zero calibration's worker. It drains the link, then receives the recorder's transmitted
// blocks and sums them into the shared values until it is asked to stop, nothing arrives for 30 s or
// enough rounds were summed; then it switches the recorder to stop. Only this thread uses the link while
// it runs.
#include <cstdint>
#include <functional>
#include <thread>

#include "recorder/zero_calibration.h"

namespace recorder {

class UnitLink;

class read_ang {
 public:
  // `maxChannelsMinus1` is StatusBlock.Channels: blocks with more channels are refused.
  read_ang(UnitLink& link, CalShared& shared, uint8_t maxChannelsMinus1);
  ~read_ang();  // asks the thread to stop and joins it
  read_ang(const read_ang&) = delete;
  read_ang& operator=(const read_ang&) = delete;

  // Starts the thread; `onTerminate` runs on the worker thread as its last step (the window hands it on
  // to the GUI thread).
  void Start(std::function<void()> onTerminate = {});
  std::jthread& Thread() { return thread_; }
  // The result of the link drain made at the start.
  uint32_t DrainResult() const { return drainResult_; }

 private:
  void Execute(std::stop_token token);

  UnitLink& link_;
  CalShared& shared_;
  uint8_t maxChannelsMinus1_;
  uint32_t drainResult_ = 0;
  std::function<void()> onTerminate_;
  std::jthread thread_;
};

}  // namespace recorder
