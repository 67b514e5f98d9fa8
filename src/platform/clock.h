#pragma once
// The millisecond tick counter, Sleep and the UTC wall clock, behind one injectable interface so that
// tests of long waits run on a clock they advance by hand.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace platform {

// Seconds and microseconds since 1970-01-01 00:00:00 UTC.
struct UtcTime {
  int64_t unixSeconds = 0;
  int32_t microseconds = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since some start; wraps after 2^32 ms. Compare only differences in uint32 arithmetic.
  virtual uint32_t GetTickCount() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
  virtual UtcTime NowUtc() = 0;
  // Sets the machine's clock; false when the system refuses.
  virtual bool SetUtc(const UtcTime& t) = 0;
};

// Milliseconds elapsed from `start` to `now` on the wrapping counter.
inline uint32_t TicksSince(uint32_t start, uint32_t now) { return now - start; }

class SystemClock final : public Clock {
 public:
  uint32_t GetTickCount() override;
  void Sleep(uint32_t milliseconds) override;
  UtcTime NowUtc() override;
  bool SetUtc(const UtcTime& t) override;
};

// A clock that only moves when told to. Sleep advances it by the requested time, so a loop that
// sleeps between polls runs through a 13-second wait instantly. Thread-safe.
class TestClock final : public Clock {
 public:
  explicit TestClock(uint32_t startTicks = 0, UtcTime startUtc = {1'700'000'000, 0});
  uint32_t GetTickCount() override;
  void Sleep(uint32_t milliseconds) override;
  UtcTime NowUtc() override;
  bool SetUtc(const UtcTime& t) override;

  void Advance(uint32_t milliseconds);
  void SetTicks(uint32_t ticks);
  // When false, Sleep does not advance the clock (for tests that drive time only through Advance).
  void SetSleepAdvances(bool on) { sleepAdvances_ = on; }
  // Refuse SetUtc, as a system without the right to set the clock does.
  void SetRefuseSetUtc(bool refuse) { refuseSet_ = refuse; }
  uint64_t SleepCalls() const { return sleepCalls_; }

 private:
  mutable std::mutex mutex_;
  uint32_t ticks_;
  uint64_t elapsedMs_ = 0;
  UtcTime utc_;
  std::atomic<bool> sleepAdvances_{true};
  std::atomic<bool> refuseSet_{false};
  std::atomic<uint64_t> sleepCalls_{0};
};

// The clock every wait of the programs uses. Defaults to the system clock; tests install their own.
Clock& CurrentClock();
// Installs `clock` as the current clock (nullptr restores the system clock). The caller keeps it alive
// until it is replaced.
void SetCurrentClock(Clock* clock);

// Convenience wrappers over the current clock.
inline uint32_t GetTickCount() { return CurrentClock().GetTickCount(); }
inline void Sleep(uint32_t milliseconds) { CurrentClock().Sleep(milliseconds); }

// Installs a clock for the lifetime of a scope.
class ScopedClock {
 public:
  explicit ScopedClock(Clock& clock);
  ~ScopedClock();
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;

 private:
  Clock* previous_;
};

}  // namespace platform
