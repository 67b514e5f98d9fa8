#pragma once
// The reports of one device's reader about failed USB reads that come and go. The first failure is
// reported at once; after a report, whatever happens in the next few seconds is only counted and told in
// one line when they have passed, so that a flaky cable cannot flood the output. Time is the tick count
// passed in (the program's injectable clock).
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace platform::ftdi {

class ReadFaultReports {
 public:
  using Report = std::function<void(const std::string& line)>;
  // Shortest time between two reports.
  static constexpr uint32_t kIntervalMs = 5000;

  ReadFaultReports(std::string name, Report report) : name_(std::move(name)), report_(std::move(report)) {}

  // A read failed with `error` (its name), to be tried again.
  void Failed(const std::string& error, uint32_t now);
  // A read worked.
  void Succeeded(uint32_t now);
  // Tells what was counted once the interval since the last report has passed.
  void Tick(uint32_t now);
  // The device has gone: said at once, with what was counted before.
  void Gone(const std::string& error);

 private:
  bool Due(uint32_t now) const;
  std::string Counted() const;
  void Write(const std::string& line, uint32_t now);

  std::string name_;
  Report report_;
  bool reported_ = false;  // a report was written, at lastReport_
  uint32_t lastReport_ = 0;
  bool failing_ = false;  // the last read failed
  uint64_t failures_ = 0;  // counted since the last report
  uint64_t recoveries_ = 0;
  std::string lastError_;
};

}  // namespace platform::ftdi
