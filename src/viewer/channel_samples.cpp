#include "viewer/channel_samples.h"

#include <sys/mman.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>

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

std::optional<uint64_t> MemAvailableBytes(std::string_view meminfo) {
  constexpr std::string_view kKey = "MemAvailable:";
  for (size_t at = 0; at < meminfo.size();) {
    size_t end = meminfo.find('\n', at);
    if (end == std::string_view::npos) end = meminfo.size();
    std::string_view line = meminfo.substr(at, end - at);
    at = end + 1;
    if (!line.starts_with(kKey)) continue;
    line.remove_prefix(kKey.size());
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    uint64_t kib = 0;
    const auto r = std::from_chars(line.data(), line.data() + line.size(), kib);
    if (r.ec != std::errc() || kib > UINT64_MAX / 1024) return std::nullopt;
    return kib * 1024;
  }
  return std::nullopt;
}

uint64_t SystemMemoryForArrays() {
  std::FILE* f = std::fopen("/proc/meminfo", "r");
  if (f == nullptr) return UINT64_MAX;
  std::string text(8192, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), f));
  std::fclose(f);
  const std::optional<uint64_t> available = MemAvailableBytes(text);
  if (!available) return UINT64_MAX;
  return *available > kMemoryMargin ? *available - kMemoryMargin : 0;
}

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
  if (!memory_) return UINT64_MAX;
  const uint64_t held = uint64_t{held_} * sizeof(float);
  const uint64_t room = memory_();
  return room > UINT64_MAX - held ? UINT64_MAX : room + held;
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
  static ChannelSamples samples(SIZE_MAX, SystemMemoryForArrays);
  return samples;
}

}  // namespace viewer
