#include "platform/ftdi/read_fault_reports.h"

#include "platform/clock.h"

namespace platform::ftdi {

bool ReadFaultReports::Due(uint32_t now) const {
  return !reported_ || TicksSince(lastReport_, now) >= kIntervalMs;
}

std::string ReadFaultReports::Counted() const {
  return "ошибок чтения USB " + std::to_string(failures_) + " (последняя " + lastError_ +
         "), чтение возобновлялось " + std::to_string(recoveries_) + " раз";
}

void ReadFaultReports::Write(const std::string& line, uint32_t now) {
  report_(name_ + ": " + line);
  reported_ = true;
  lastReport_ = now;
  failures_ = recoveries_ = 0;
}

void ReadFaultReports::Failed(const std::string& error, uint32_t now) {
  const bool runStarts = !failing_;
  failing_ = true;
  lastError_ = error;
  if (runStarts && failures_ == 0 && recoveries_ == 0 && Due(now)) {
    Write("ошибка чтения USB (" + error + "); повторяю", now);
    return;
  }
  ++failures_;
  Tick(now);
}

void ReadFaultReports::Succeeded(uint32_t now) {
  if (failing_) {
    failing_ = false;
    ++recoveries_;
  }
  Tick(now);
}

void ReadFaultReports::Tick(uint32_t now) {
  if ((failures_ == 0 && recoveries_ == 0) || !Due(now)) return;
  if (failures_ == 0) {
    Write("чтение USB снова идёт", now);
    return;
  }
  Write("за " + std::to_string(TicksSince(lastReport_, now) / 1000) + " с " + Counted() +
            (failing_ ? "; повторяю" : "; чтение идёт"),
        now);
}

void ReadFaultReports::Gone(const std::string& error) {
  std::string line = "устройство отключено (" + error + ")";
  if (failures_ > 0) line += "; до того " + Counted();
  report_(name_ + ": " + line);
}

}  // namespace platform::ftdi
