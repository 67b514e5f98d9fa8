#include "viewer/channel_samples.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>

#include "platform/memory_budget.h"

namespace viewer {

namespace {
// Arrays start on a cache line, so that the loader's streaming stores fill whole lines.
constexpr size_t kLineAlignment = 64;
// Arrays of at least one huge page start on one and ask for huge pages: the first read of a record then
// takes one page fault per 2 MiB instead of one per 4 KiB.
constexpr size_t kHugePage = size_t{2} << 20;

float* AllocateFloats(size_t count) {
  const size_t bytes = count * sizeof(float);
  const size_t alignment = bytes >= kHugePage ? kHugePage : kLineAlignment;
  const size_t rounded = std::max<size_t>((bytes + alignment - 1) / alignment * alignment, alignment);
  void* p = std::aligned_alloc(alignment, rounded);
  if (p == nullptr) return nullptr;
  if (alignment == kHugePage) ::madvise(p, rounded, MADV_HUGEPAGE);  // only a hint: ignored where unsupported
  return static_cast<float*>(p);
}

}  // namespace

bool ChannelSamples::Allocate(size_t i, size_t count) {
  if (i >= arrays_.size()) return false;
  if (arrays_[i] != nullptr && sizes_[i] == count) return true;
  Free(i);
  if (count > budget_ - held_ || count > (SIZE_MAX - kHugePage) / sizeof(float)) return false;
  float* p = AllocateFloats(count);
  if (p == nullptr) return false;
  arrays_[i] = p;
  sizes_[i] = count;
  held_ += count;
  return true;
}

size_t ChannelSamples::Provide(size_t wanted, size_t count) {
  wanted = std::min(wanted, arrays_.size());
  for (size_t i = arrays_.size(); i-- > 0;) {
    if (i >= wanted || sizes_[i] != count) Free(i);
  }
  // Measured after the frees, which give their memory back; arrays taken over cost nothing new.
  uint64_t room = memory_ ? memory_() : UINT64_MAX;
  const uint64_t bytes = uint64_t{count} * sizeof(float);
  size_t obtained = 0;
  for (; obtained < wanted; ++obtained) {
    if (arrays_[obtained] != nullptr) continue;
    if (bytes > room || !Allocate(obtained, count)) break;
    room -= bytes;
  }
  for (size_t i = obtained; i < arrays_.size(); ++i) Free(i);
  return obtained;
}

uint64_t ChannelSamples::RoomForArrays() const {
  const uint64_t floats = budget_ > UINT64_MAX / sizeof(float) ? UINT64_MAX : uint64_t{budget_} * sizeof(float);
  if (!memory_) return floats;
  const uint64_t held = uint64_t{held_} * sizeof(float);
  const uint64_t room = memory_();
  return std::min(floats, room > UINT64_MAX - held ? UINT64_MAX : room + held);
}

void ChannelSamples::Free(size_t i) {
  if (i >= arrays_.size() || arrays_[i] == nullptr) return;
  std::free(arrays_[i]);
  held_ -= sizes_[i];
  arrays_[i] = nullptr;
  sizes_[i] = 0;
}

void ChannelSamples::FreeAll() {
  for (size_t i = arrays_.size(); i-- > 0;) Free(i);
}

ChannelSamples& GlobalChannelSamples() {
  static ChannelSamples samples(SIZE_MAX, platform::MemoryForNewData);
  return samples;
}

}  // namespace viewer
