#include "platform/memory_budget.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdio>
#include <new>

#include "platform/output_file.h"

namespace platform {

namespace {

// The text of a small kernel file (at most 64 KiB), or nothing when it is not a regular file or cannot be
// read; a FIFO put in its place cannot hold the program.
std::optional<std::string> ReadSmallFile(const std::string& path) {
  std::FILE* f = OpenForReading(path);
  if (!f) return std::nullopt;
  std::string text;
  char buf[4096];
  for (size_t got; text.size() < (size_t{64} << 10) && (got = std::fread(buf, 1, sizeof buf, f)) > 0;)
    text.append(buf, got);
  std::fclose(f);
  return text;
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\n' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::optional<uint64_t> Number(std::string_view s) {
  s = Trimmed(s);
  uint64_t v = 0;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
  return v;
}

// Calls `line` for each line of `text`.
template <typename F>
void ForEachLine(std::string_view text, F line) {
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    line(text.substr(at, end - at));
    at = end + 1;
  }
}

// The value of `key` in a "key value" listing such as memory.stat.
std::optional<uint64_t> KeyedValue(std::string_view text, std::string_view key) {
  std::optional<uint64_t> v;
  ForEachLine(text, [&](std::string_view l) {
    if (l.size() > key.size() && l.starts_with(key) && l[key.size()] == ' ') v = Number(l.substr(key.size()));
  });
  return v;
}

bool HasToken(std::string_view list, std::string_view token) {
  for (size_t at = 0; at <= list.size();) {
    size_t end = list.find(',', at);
    if (end == std::string_view::npos) end = list.size();
    if (list.substr(at, end - at) == token) return true;
    at = end + 1;
  }
  return false;
}

// The space-separated fields of a line of /proc/self/mounts.
std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> f;
  for (size_t at = 0; at < line.size();) {
    const size_t end = std::min(line.find(' ', at), line.size());
    if (end > at) f.push_back(line.substr(at, end - at));
    at = end + 1;
  }
  return f;
}

// A field of /proc/self/mounts as it is: the kernel writes a blank, a tab, a line end and a backslash of
// a path as the octal escapes \040, \011, \012 and \134 (and may so write any byte).
std::string MountField(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  auto octal = [](char c) { return c >= '0' && c <= '7'; };
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) && octal(field[i + 2]) &&
        octal(field[i + 3]) && field[i + 1] <= '3') {
      out.push_back(static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
      i += 3;
    } else {
      out.push_back(field[i]);
    }
  }
  return out;
}

std::string JoinCgroupPath(std::string_view mount, std::string_view path) {
  std::string dir(mount);
  while (!dir.empty() && dir.back() == '/') dir.pop_back();
  while (!path.empty() && path.back() == '/') path.remove_suffix(1);
  if (!path.empty() && path.front() != '/') dir += '/';
  dir += path;
  return dir.empty() ? "/" : dir;
}

uint64_t SaturatingSum(uint64_t a, uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }

// Room one cgroup folder allows, or nothing when it sets no limit there.
std::optional<uint64_t> LevelRoom(const std::string& dir, bool v2) {
  // "max" (no limit) is no number, as a missing file is none.
  const auto limitText = ReadSmallFile(dir + (v2 ? "/memory.max" : "/memory.limit_in_bytes"));
  const auto usageText = ReadSmallFile(dir + (v2 ? "/memory.current" : "/memory.usage_in_bytes"));
  if (!limitText || !usageText) return std::nullopt;
  const std::optional<uint64_t> limit = Number(*limitText), usage = Number(*usageText);
  if (!limit || !usage) return std::nullopt;
  uint64_t used = *usage;
  if (const auto stat = ReadSmallFile(dir + "/memory.stat")) {
    // The page cache of files, active or not, is reclaimed before the kernel kills; pages still to be
    // written are not at once.
    const std::string prefix = v2 ? "" : "total_";  // v1 counts the folders below under "total_"
    auto value = [&](const char* key) { return KeyedValue(*stat, prefix + key).value_or(0); };
    const uint64_t cache = SaturatingSum(value("active_file"), value("inactive_file"));
    const uint64_t pending = v2 ? SaturatingSum(value("file_dirty"), value("file_writeback"))
                                : SaturatingSum(value("dirty"), value("writeback"));
    used -= std::min(used, cache - std::min(cache, pending));
  }
  return *limit > used ? *limit - used : 0;
}

// Set by ScopedMemoryForNewData; UINT64_MAX - 1 is no figure (UINT64_MAX itself is a figure: no bound).
constexpr uint64_t kNoFigure = UINT64_MAX - 1;
std::atomic<uint64_t> g_figure{kNoFigure};

}  // namespace

std::optional<uint64_t> MemAvailableBytes(std::string_view meminfo) {
  constexpr std::string_view kKey = "MemAvailable:";
  std::optional<uint64_t> bytes;
  ForEachLine(meminfo, [&](std::string_view line) {
    if (bytes || !line.starts_with(kKey)) return;
    line = Trimmed(line.substr(kKey.size()));
    if (line.ends_with("kB")) line = line.substr(0, line.size() - 2);
    const auto kib = Number(line);
    if (kib && *kib <= UINT64_MAX / 1024) bytes = *kib * 1024;
  });
  return bytes;
}

std::vector<MemoryCgroup> ProcessMemoryCgroups(const MemoryFiles& files) {
  std::vector<MemoryCgroup> out;
  const auto list = ReadSmallFile(files.cgroups);
  const auto mounts = ReadSmallFile(files.mounts);
  if (!list || !mounts) return out;
  std::string v2Mount, v1Mount;
  ForEachLine(*mounts, [&](std::string_view line) {
    const auto f = Fields(line);
    if (f.size() < 4) return;
    if (f[2] == "cgroup2" && v2Mount.empty()) v2Mount = MountField(f[1]);
    if (f[2] == "cgroup" && HasToken(f[3], "memory") && v1Mount.empty()) v1Mount = MountField(f[1]);
  });
  ForEachLine(*list, [&](std::string_view line) {
    const size_t first = line.find(':');
    const size_t second = first == std::string_view::npos ? first : line.find(':', first + 1);
    if (second == std::string_view::npos) return;
    const std::string_view id = line.substr(0, first);
    const std::string_view controllers = line.substr(first + 1, second - first - 1);
    const std::string_view path = line.substr(second + 1);
    if (id == "0" && controllers.empty() && !v2Mount.empty())
      out.push_back({JoinCgroupPath(v2Mount, path), v2Mount, true});
    else if (HasToken(controllers, "memory") && !v1Mount.empty())
      out.push_back({JoinCgroupPath(v1Mount, path), v1Mount, false});
  });
  return out;
}

std::optional<uint64_t> CgroupRoom(const MemoryCgroup& cgroup) {
  std::optional<uint64_t> room;
  std::string dir = cgroup.dir;
  const std::string mount = JoinCgroupPath(cgroup.mount, "");
  // From the process's folder up to the mount: a parent's limit binds as well. A folder that is not
  // there (a container that shows its own cgroup at the mount) sets no limit.
  while (true) {
    if (const auto r = LevelRoom(dir, cgroup.v2)) room = std::min(room.value_or(UINT64_MAX), *r);
    if (dir.size() <= mount.size() || !dir.starts_with(mount)) break;
    dir.resize(std::max(dir.rfind('/'), mount.size()));
  }
  return room;
}

uint64_t MemoryBudget(const MemoryFiles& files) {
  uint64_t budget = UINT64_MAX;
  if (const auto meminfo = ReadSmallFile(files.meminfo)) {
    if (const auto available = MemAvailableBytes(*meminfo)) budget = *available;
  }
  for (const MemoryCgroup& g : ProcessMemoryCgroups(files)) {
    if (const auto room = CgroupRoom(g)) budget = std::min(budget, *room);
  }
  return budget;
}

uint64_t MemoryForNewData() {
  const uint64_t figure = g_figure.load();
  if (figure != kNoFigure) return figure;
  const uint64_t budget = MemoryBudget();
  if (budget == UINT64_MAX) return UINT64_MAX;
  return budget > kMemoryMargin ? budget - kMemoryMargin : 0;
}

void CheckWorkingSpace(uint64_t bytes) {
  if (bytes > MemoryForNewData()) throw std::bad_alloc();
}

ScopedMemoryForNewData::ScopedMemoryForNewData(uint64_t bytes) {
  const uint64_t was = g_figure.exchange(bytes == kNoFigure ? kNoFigure - 1 : bytes);
  if (was != kNoFigure) before_ = was;
}

ScopedMemoryForNewData::~ScopedMemoryForNewData() { g_figure.store(before_.value_or(kNoFigure)); }

}  // namespace platform
