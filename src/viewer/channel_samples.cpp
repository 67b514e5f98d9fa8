#include "viewer/channel_samples.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>

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
  static ChannelSamples samples;
  return samples;
}

}  // namespace viewer
