#include "viewer/channel_samples.h"

#include <new>

namespace viewer {

namespace {
constexpr std::align_val_t kLineAlignment{64};
}  // namespace

bool ChannelSamples::Allocate(size_t i, size_t count) {
  if (i >= arrays_.size()) return false;
  if (arrays_[i] != nullptr && sizes_[i] == count) return true;
  Free(i);
  if (count > budget_ - held_ || count > SIZE_MAX / sizeof(float)) return false;
  // Cache-line aligned, so that the loader's streaming stores fill whole lines.
  float* p = new (kLineAlignment, std::nothrow) float[count];
  if (p == nullptr) return false;
  arrays_[i] = p;
  sizes_[i] = count;
  held_ += count;
  return true;
}

void ChannelSamples::Free(size_t i) {
  if (i >= arrays_.size() || arrays_[i] == nullptr) return;
  ::operator delete[](arrays_[i], kLineAlignment);
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
