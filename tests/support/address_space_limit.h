#pragma once
// Runs a check in a child process whose address space may grow by only a little: allocations beyond it
// fail as they do when memory runs out, without touching the machine's memory.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace support {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kAddressSpaceLimitWorks = false;  // the sanitizers reserve the address space
#else
inline constexpr bool kAddressSpaceLimitWorks = true;
#endif

// Bytes of address space the process holds now (VmSize), 0 when it cannot be read.
inline size_t AddressSpaceInUse() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return 0;
  char line[256];
  size_t kib = 0;
  while (std::fgets(line, sizeof line, f)) {
    if (std::strncmp(line, "VmSize:", 7) == 0) kib = std::strtoull(line + 7, nullptr, 10);
  }
  std::fclose(f);
  return kib * 1024;
}

// In a child process, lets the address space grow by `headroom` bytes and runs `check`; the child's exit
// code is 0 only when `check` returns true (an uncaught exception ends it abnormally).
[[noreturn]] inline void RunWithinAddressSpace(size_t headroom, const std::function<bool()>& check) {
  const size_t used = AddressSpaceInUse();
  const rlimit limit{used + headroom, used + headroom};
  if (used == 0 || setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(2);
  std::_Exit(check() ? 0 : 1);
}

inline void ExpectWithinAddressSpace(size_t headroom, const std::function<bool()>& check) {
  if (AddressSpaceInUse() == 0) GTEST_SKIP() << "the address space in use cannot be read (/proc/self/status)";
  EXPECT_EXIT(RunWithinAddressSpace(headroom, check), testing::ExitedWithCode(0), "");
}

}  // namespace support
