#pragma once
// The live window's drawing thread: waits for the reception to publish new columns and has them drawn
// on the GUI thread through Synchronize. It never spins: it sleeps on the shared write index until a
// column comes or the registration stops.
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "acquisition/live_shared.h"

namespace acquisition {

class TRis {
 public:
  // Draws `columns` columns from ring index `old`, on the GUI thread.
  using Draw = std::function<void(int32_t old, int32_t columns)>;

  TRis(LiveShared& shared, Draw draw) : shared_(shared), draw_(std::move(draw)) {}
  ~TRis() { Terminate(); }
  TRis(const TRis&) = delete;
  TRis& operator=(const TRis&) = delete;

  void Start();
  void Terminate() { thread_.request_stop(); }
  std::jthread& Thread() { return thread_; }
  // Drawing batches run so far.
  uint64_t Batches() const { return batches_; }

 private:
  void Execute(std::stop_token token);

  LiveShared& shared_;
  Draw draw_;
  std::jthread thread_;
  std::atomic<uint64_t> batches_{0};
};

}  // namespace acquisition
