#include "toolkit/work_buffer.h"

#include <sys/mman.h>

#include <cstdlib>

#include "platform/memory_budget.h"

namespace toolkit {

namespace {
constexpr size_t kHugePage = size_t{2} << 20;
// From this size on the buffer is a mapping of its own.
constexpr size_t kMappedFrom = 2 * kHugePage;
}  // namespace

WorkBuffer::WorkBuffer(size_t bytes) {
  platform::CheckWorkingSpace(bytes);
  if (bytes < kMappedFrom) {
    data_ = std::calloc(bytes == 0 ? 1 : bytes, 1);
    if (data_ == nullptr) throw std::bad_alloc();
    return;
  }
  const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  void* p = ::mmap(nullptr, rounded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  ::madvise(p, rounded, MADV_HUGEPAGE);  // only advice: refused, the pages stay small
  data_ = p;
  mapped_ = rounded;
}

WorkBuffer::~WorkBuffer() {
  if (mapped_ != 0)
    ::munmap(data_, mapped_);
  else
    std::free(data_);
}

}  // namespace toolkit
