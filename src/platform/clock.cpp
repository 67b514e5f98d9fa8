#include "platform/clock.h"

#include <sys/time.h>
#include <time.h>

#include <cerrno>

namespace platform {

uint32_t SystemClock::GetTickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1'000'000u;
  return static_cast<uint32_t>(ms);
}

void SystemClock::Sleep(uint32_t milliseconds) {
  timespec req{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1'000'000L};
  while (nanosleep(&req, &req) != 0 && errno == EINTR) {
  }
}

UtcTime SystemClock::NowUtc() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return {static_cast<int64_t>(ts.tv_sec), static_cast<int32_t>(ts.tv_nsec / 1000)};
}

bool SystemClock::SetUtc(const UtcTime& t) {
  timespec ts{static_cast<time_t>(t.unixSeconds), static_cast<long>(t.microseconds) * 1000L};
  return clock_settime(CLOCK_REALTIME, &ts) == 0;
}

TestClock::TestClock(uint32_t startTicks, UtcTime startUtc) : ticks_(startTicks), utc_(startUtc) {}

uint32_t TestClock::GetTickCount() {
  std::lock_guard lock(mutex_);
  return ticks_;
}

void TestClock::Sleep(uint32_t milliseconds) {
  ++sleepCalls_;
  if (sleepAdvances_) Advance(milliseconds);
}

void TestClock::Advance(uint32_t milliseconds) {
  std::lock_guard lock(mutex_);
  ticks_ += milliseconds;  // wraps like the real counter
  elapsedMs_ += milliseconds;
  const int64_t us = static_cast<int64_t>(utc_.microseconds) + static_cast<int64_t>(milliseconds % 1000) * 1000;
  utc_.unixSeconds += milliseconds / 1000 + us / 1'000'000;
  utc_.microseconds = static_cast<int32_t>(us % 1'000'000);
}

void TestClock::SetTicks(uint32_t ticks) {
  std::lock_guard lock(mutex_);
  ticks_ = ticks;
}

UtcTime TestClock::NowUtc() {
  std::lock_guard lock(mutex_);
  return utc_;
}

bool TestClock::SetUtc(const UtcTime& t) {
  if (refuseSet_) return false;
  std::lock_guard lock(mutex_);
  utc_ = t;
  return true;
}

namespace {
SystemClock& systemClock() {
  static SystemClock clock;
  return clock;
}
std::atomic<Clock*> current{nullptr};
}  // namespace

Clock& CurrentClock() {
  Clock* c = current.load(std::memory_order_acquire);
  return c ? *c : systemClock();
}

void SetCurrentClock(Clock* clock) { current.store(clock, std::memory_order_release); }

ScopedClock::ScopedClock(Clock& clock) : previous_(current.load()) { SetCurrentClock(&clock); }
ScopedClock::~ScopedClock() { SetCurrentClock(previous_); }

}  // namespace platform
