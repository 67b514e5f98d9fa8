#include "recorder/shutdown_path.h"

#include <algorithm>

namespace recorder {

ShutdownPath::Hook::Hook(Hook&& other) noexcept : path_(other.path_), id_(other.id_) {
  other.path_ = nullptr;
}

ShutdownPath::Hook& ShutdownPath::Hook::operator=(Hook&& other) noexcept {
  if (this != &other) {
    Release();
    path_ = other.path_;
    id_ = other.id_;
    other.path_ = nullptr;
  }
  return *this;
}

ShutdownPath::Hook::~Hook() { Release(); }

void ShutdownPath::Hook::Release() {
  if (path_ != nullptr) path_->Remove(id_);
  path_ = nullptr;
}

ShutdownPath::Hook ShutdownPath::Add(std::string name, Stopper stopper) {
  std::lock_guard lock(mutex_);
  const uint64_t id = nextId_++;
  entries_.push_back({id, std::move(name), std::move(stopper)});
  return Hook(this, id);
}

void ShutdownPath::Remove(uint64_t id) {
  std::lock_guard lock(mutex_);
  std::erase_if(entries_, [id](const Entry& e) { return e.id == id; });
}

int ShutdownPath::StopAll() {
  int ran = 0;
  for (;;) {
    Stopper stopper;
    {
      std::lock_guard lock(mutex_);
      if (entries_.empty()) return ran;
      // Taken off before it runs: the worker's own Hook may be dropped inside the stopper.
      stopper = std::move(entries_.back().stopper);
      entries_.pop_back();
    }
    // Outside the lock: the stopper waits for a worker that may itself hook or unhook.
    if (stopper) stopper();
    ++ran;
  }
}

std::vector<std::string> ShutdownPath::Hooked() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  for (const Entry& e : entries_) names.push_back(e.name);
  return names;
}

ShutdownPath& Shutdown() {
  static ShutdownPath path;
  return path;
}

}  // namespace recorder
