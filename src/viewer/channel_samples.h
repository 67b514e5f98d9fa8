#pragma once
// ChannelSamples: the float sample arrays of the channels in memory, one per channel place (0 ... 63).
// The loaders own the arrays: each read replaces the previous ones; every processing command reads and
// overwrites them in place.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "toolkit/recording_file.h"

namespace viewer {

class ChannelSamples {
 public:
  // Floats kept beyond the samples of a read; commands may use them up to index Samples + 89.
  static constexpr size_t kSpare = 90;

  // `floatBudget` bounds the floats all arrays together may hold (an allocation beyond it fails as if
  // memory had run out); the program's table has no bound.
  explicit ChannelSamples(size_t floatBudget = SIZE_MAX) : budget_(floatBudget) {}
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
  // Frees the array of place `i`.
  void Free(size_t i);
  // Frees the arrays from the top place down to place 0; every entry is null afterwards.
  void FreeAll();

 private:
  std::array<float*, toolkit::kMaxChannels> arrays_{};
  std::array<size_t, toolkit::kMaxChannels> sizes_{};
  size_t budget_;
  size_t held_ = 0;
};

// The program-wide table, read by the main window, the processing commands and the analysis windows.
ChannelSamples& GlobalChannelSamples();

}  // namespace viewer
