#pragma once
// How much memory the process may still take: the smaller of the system's MemAvailable and what the
// process's memory cgroup (and every parent of it) still allows. Inside a container or a session with a
// memory limit MemAvailable shows the host's memory, and no allocation fails before the kernel kills the
// process, so loads and commands size themselves by this budget before they allocate.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Memory kept free for the rest of the program and the system when data is sized by the budget.
inline constexpr uint64_t kMemoryMargin = uint64_t{256} << 20;

// Where the figures are read; tests point these at copies in a folder of their own.
struct MemoryFiles {
  std::string meminfo = "/proc/meminfo";
  std::string cgroups = "/proc/self/cgroup";  // the process's cgroups, "id:controllers:path" a line
  std::string mounts = "/proc/self/mounts";   // where the cgroup hierarchies are mounted
};

// Bytes of MemAvailable in the text of /proc/meminfo, or nothing when the line is missing.
std::optional<uint64_t> MemAvailableBytes(std::string_view meminfo);

// The folder of the process's memory cgroup in one hierarchy, and the hierarchy's mount point (the
// last parent that can hold a limit).
struct MemoryCgroup {
  std::string dir;
  std::string mount;
  bool v2 = false;  // memory.max / memory.current; else memory.limit_in_bytes / memory.usage_in_bytes
};
// The v2 cgroup ("0::/path") and the v1 memory cgroup (a line naming the "memory" controller) of the
// process, each where its hierarchy is mounted.
std::vector<MemoryCgroup> ProcessMemoryCgroups(const MemoryFiles& files);

// Bytes `cgroup` still allows: over the folder and each parent up to the mount, the least of the limit
// less the usage, with the file cache (which the kernel reclaims before it kills, whether active or
// not) not counted as used unless it is still to be written. Nothing when no level has a limit ("max", or
// its files missing).
std::optional<uint64_t> CgroupRoom(const MemoryCgroup& cgroup);

// The smaller of MemAvailable and the room of each memory cgroup of the process; UINT64_MAX when none
// of them can be read.
uint64_t MemoryBudget(const MemoryFiles& files = {});

// Bytes new data may take now: MemoryBudget() less kMemoryMargin (UINT64_MAX without a bound), or the
// figure a ScopedMemoryForNewData put in place.
uint64_t MemoryForNewData();

// Throws std::bad_alloc when `bytes` of working space are more than MemoryForNewData(): a command checks
// its working space this way before it allocates, so it is refused as an allocation that failed would be.
void CheckWorkingSpace(uint64_t bytes);

// For tests: MemoryForNewData() gives `bytes` while this object lives.
class ScopedMemoryForNewData {
 public:
  explicit ScopedMemoryForNewData(uint64_t bytes);
  ~ScopedMemoryForNewData();
  ScopedMemoryForNewData(const ScopedMemoryForNewData&) = delete;
  ScopedMemoryForNewData& operator=(const ScopedMemoryForNewData&) = delete;

 private:
  std::optional<uint64_t> before_;
};

}  // namespace platform
