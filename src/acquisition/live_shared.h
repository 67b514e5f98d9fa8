#pragma once
// What the live window, its reception thread and its drawing thread share: the ring of per-column
// minima and maxima, the write index that hands new columns from the reception to the drawing, the
// view settings the window's controls change, the auto-scale collection and the last status block.
//
// The write index is guarded by one lock (the window's critical section): the reception stores the
// ring index of its newest column, the drawing takes it and leaves "nothing new". Stopping is a flag
// of its own, so no store of an index can hide it. Ring values are atomics: the drawing reads columns
// the reception published while the reception goes on writing later ones.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stop_token>
#include <vector>

#include "recorder/status_block.h"

namespace acquisition {

inline constexpr int32_t kNothingNew = -1;
inline constexpr int32_t kStopIndex = -6;
inline constexpr int32_t kRingColumnsPerChannel = 10000;  // ring values per channel
inline constexpr int32_t kScaleIdle = 99999;              // no auto-scale collection running

struct Extreme {
  int32_t Max = -16'777'215;
  int32_t Min = 16'777'215;
};

class LiveShared {
 public:
  // `channels` 1..8 (0 is taken as 1).
  explicit LiveShared(unsigned channels);

  unsigned Channels() const { return channels_; }
  int32_t RingSize() const { return static_cast<int32_t>(ring_.size()); }
  void StoreRing(int32_t index, int32_t value) {
    ring_[static_cast<size_t>(index)].store(value, std::memory_order_relaxed);
  }
  int32_t Ring(int32_t index) const {
    return ring_[static_cast<size_t>(index)].load(std::memory_order_relaxed);
  }

  // The reception: the ring index of its last completed column.
  void Publish(int32_t lastColumn);
  // The reception's end, or the window's: the drawing gets a column still pending, then kStopIndex from
  // every wait.
  void Stop();
  bool Stopped() const;
  // Forgets a published index.
  void ResetIndex();
  // The drawing: waits until a column index is published (returns it and leaves kNothingNew) or until
  // stop (kStopIndex), also when `token` asks for it. Never spins.
  int32_t Take(std::stop_token token);
  // The index as it stands: kStopIndex once stopped with nothing pending.
  int32_t WriteIndex() const;

  // View settings: changed by the window, read by the reception with every block.
  std::atomic<uint16_t> ColumnSamples{1};
  std::atomic<int16_t> ShowSmoothed{0};
  std::atomic<int32_t> SmoothPoints{1};
  std::atomic<int32_t> ScaleColumns{kScaleIdle};
  std::atomic<int32_t> ColumnsPerSecond{1};

  // The auto-scale collection: per channel the largest and smallest column values.
  void ResetAutoScale();
  void TakeAutoScale(const Extreme* columnExtremes);
  std::vector<Extreme> AutoScale() const;

  // The last status block received (a consistent copy either way).
  void SetStatus(const recorder::StatusBlock& status);
  recorder::StatusBlock Status() const;

 private:
  unsigned channels_;
  std::vector<std::atomic<int32_t>> ring_;
  mutable std::mutex section_;
  std::condition_variable_any changed_;
  int32_t writeIndex_ = kNothingNew;
  bool stopped_ = false;
  mutable std::mutex scaleMutex_;
  std::vector<Extreme> autoScale_;
  mutable std::mutex statusMutex_;
  recorder::StatusBlock status_{};
};

}  // namespace acquisition
