#include "acquisition/live_counters.h"

namespace acquisition {

void LiveCounters::SetLiveFileName(const std::string& name) {
  std::lock_guard lock(mutex_);
  liveFileName_ = name;
}

std::string LiveCounters::LiveFileName() const {
  std::lock_guard lock(mutex_);
  return liveFileName_;
}

void LiveCounters::SetLastEventFile(const std::string& name) {
  std::lock_guard lock(mutex_);
  lastEventFile_ = name;
}

std::string LiveCounters::LastEventFile() const {
  std::lock_guard lock(mutex_);
  return lastEventFile_;
}

}  // namespace acquisition
