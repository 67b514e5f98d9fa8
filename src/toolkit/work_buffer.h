#pragma once
// Work arrays of the long transforms. They come zeroed and are fresh pages from the kernel when large
// (zero already, so no pass of zeros runs ahead of the data), 64-byte aligned, and on huge pages where
// the kernel offers them, so a day-long channel costs a few hundred page faults, not a hundred thousand.
#include <cstddef>
#include <new>

namespace toolkit {

class WorkBuffer {
 public:
  // Zeroed memory of the given size. Throws std::bad_alloc when it cannot be had, or when it is more
  // than the memory budget allows (platform::CheckWorkingSpace): under a memory limit an allocation
  // does not fail, the process is killed when the pages are touched.
  explicit WorkBuffer(size_t bytes);
  ~WorkBuffer();
  WorkBuffer(const WorkBuffer&) = delete;
  WorkBuffer& operator=(const WorkBuffer&) = delete;
  template <typename T>
  T* As() const {
    return static_cast<T*>(data_);
  }

 private:
  void* data_ = nullptr;
  size_t mapped_ = 0;  // length of the mapping, 0 for memory from the heap
};

}  // namespace toolkit
