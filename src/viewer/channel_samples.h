#pragma once
// ChannelSamples: the float sample arrays of the channels in memory, one per channel place (0 ... 63).
// The loaders own the arrays: each read replaces the previous ones; every processing command reads and
// overwrites them in place.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

#include "toolkit/recording_file.h"

namespace viewer {

class ChannelSamples {
 public:
  // Floats kept beyond the samples of a read; commands may use them up to index Samples + 89.
  static constexpr size_t kSpare = 90;

  // Bytes new arrays may take, asked before each load's allocations (see Provide).
  using MemorySource = std::function<uint64_t()>;

  // `floatBudget` bounds the floats all arrays together may hold (an allocation beyond it fails as if
  // memory had run out); `memory` says what the system can give (the program's table asks the memory
  // budget, platform::MemoryForNewData; without it there is no bound).
  explicit ChannelSamples(size_t floatBudget = SIZE_MAX, MemorySource memory = {})
      : budget_(floatBudget), memory_(std::move(memory)) {}
  ~ChannelSamples() { FreeAll(); }
  ChannelSamples(const ChannelSamples&) = delete;
  ChannelSamples& operator=(const ChannelSamples&) = delete;

  // The array of channel place `i`, or null when none is allocated (or `i` is outside 0 ... 63).
  float* operator[](size_t i) const { return i < arrays_.size() ? arrays_[i] : nullptr; }
  // Floats in the array of place `i` (0 when none).
  size_t Capacity(size_t i) const { return i < sizes_.size() ? sizes_[i] : 0; }

  // Gives place `i` an array of `count` floats; false when memory runs out (the place is then empty).
  // An array of that size already there is kept (a re-read of the same record then touches no new
  // memory); otherwise the old one is freed first. The contents are not initialised.
  bool Allocate(size_t i, size_t count);
  // Arrays of `count` floats for places 0 ... wanted - 1, for a load: the arrays of other places or
  // sizes are freed from the top down, those of this size are kept, and new ones are taken while the
  // memory the system can give (less the margin) holds them. Returns the places 0 ... n - 1 that hold an
  // array; every place above is empty.
  size_t Provide(size_t wanted, size_t count);
  // Bytes a load may give its arrays: what the system can give plus the arrays held, which the load
  // frees or takes over, within the float budget (UINT64_MAX without a bound). A load that cannot have
  // one array of this size refuses before it frees anything.
  uint64_t RoomForArrays() const;
  // Frees the array of place `i`.
  void Free(size_t i);
  // Frees the arrays from the top place down to place 0; every entry is null afterwards.
  void FreeAll();

 private:
  std::array<float*, toolkit::kMaxChannels> arrays_{};
  std::array<size_t, toolkit::kMaxChannels> sizes_{};
  size_t budget_;
  size_t held_ = 0;
  MemorySource memory_;
};

// The program-wide table (bounded by platform::MemoryForNewData), read by the main window, the processing commands
// and the analysis windows.
ChannelSamples& GlobalChannelSamples();

}  // namespace viewer
