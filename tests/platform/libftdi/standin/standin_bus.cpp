#include "standin_bus.h"

#include <chrono>

namespace standin {

Bus& Bus::Instance() {
  static Bus bus;
  return bus;
}

UsbDevice& Bus::Attach() {
  std::lock_guard lock(mutex_);
  devices_.push_back(std::make_unique<UsbDevice>());
  UsbDevice& d = *devices_.back();
  d.address = static_cast<uint8_t>(2 + devices_.size());
  d.ports = {static_cast<uint8_t>(devices_.size())};
  return d;
}

void Bus::Clear() {
  std::lock_guard lock(mutex_);
  devices_.clear();
}

void Bus::AwaitReaders(uint32_t tick) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::seconds(2), [&] {
    for (const auto& d : devices_) {
      if (!d->open || d->gone || d->hung || d->readHeld) continue;
      if (!d->anyTransfer || static_cast<int32_t>(d->lastStartTick - tick) < 0) return false;
    }
    return true;
  });
}

void LockstepClock::Sleep(uint32_t milliseconds) {
  Bus::Instance().AwaitReaders(clock_.GetTickCount());
  clock_.Advance(milliseconds);
  // Under the bus's lock, so that a transfer waiting for the time to move cannot miss it.
  { std::lock_guard lock(Bus::Instance().Mutex()); }
  Bus::Instance().Changed().notify_all();
}

}  // namespace standin
