#pragma once
// A stand-in for libftdi1 and the few libusb calls next to it, at the library's boundary: the functions
// the libftdi1 back end calls, behaving as libftdi documents them (a read of 0 bytes when nothing came,
// 64-byte USB packets that begin with the chip's 2 status bytes, which the read strips; negative codes on
// errors, -666 without a device), over a bus of FTDI bridge chips with emulated recorders behind them.
// Linked into a test program in place of the real libraries; tests attach devices and inject faults here.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "emulator/recorder.h"
#include "platform/clock.h"
#include "platform/ftdi/receive_queue.h"

namespace standin {

// One FTDI bridge chip on the bus and the recorder behind it. Fields are guarded by Bus::Mutex().
struct UsbDevice {
  uint16_t vendor = 0x0403;
  uint16_t product = 0x6001;  // FT232R
  uint16_t release = 0x0600;
  uint8_t bus = 1;
  uint8_t address = 2;
  std::vector<uint8_t> ports{1};
  std::string description = "T-9XV Unit";
  std::string serial = "UNIT0001";

  emulator::Recorder recorder;
  // The chip's receive buffer: what the recorder sent that the host has not fetched yet.
  platform::ftdi::ReceiveQueue chip{256};

  bool denied = false;            // libusb_open fails with LIBUSB_ERROR_ACCESS
  bool claimedElsewhere = false;  // another program holds its interface
  bool gone = false;              // pulled from the bus
  bool hung = false;              // read transfers time out
  bool holdReads = false;         // the next read transfer waits inside until released
  bool readHeld = false;          // a transfer is waiting there
  std::deque<int> readResults;    // libusb results of the next read transfers (0: a normal one)
  int writeFailures = 0;          // the next writes fail

  // What the host did.
  bool open = false;
  std::vector<std::string> calls;  // control calls, in order
  int controlDuringRead = 0;       // control calls made while a read transfer ran
  bool inRead = false;
  int baud = 0, bits = 0, stop = 0, parity = -1, flow = -1, dtr = -1, rts = -1, latency = 16;
  unsigned chunk = 0;
  int readTimeoutMs = 0;  // usb_read_timeout of the last read transfer
  uint64_t transfers = 0;
  uint32_t lastStartTick = 0;
  bool anyTransfer = false;
};

class Bus {
 public:
  static Bus& Instance();
  std::mutex& Mutex() { return mutex_; }
  std::condition_variable& Changed() { return changed_; }

  // Attaches a device at the end of the bus (address and port follow the number of devices).
  UsbDevice& Attach();
  std::vector<std::unique_ptr<UsbDevice>>& Devices() { return devices_; }
  // Removes every device; call when no context is open any more.
  void Clear();

  // Waits (in real time, at most 2 s) until every open, working device has finished a read transfer that
  // began at `tick` or later, so that a waiting link sees everything due by then.
  void AwaitReaders(uint32_t tick);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::unique_ptr<UsbDevice>> devices_;
};

// The test clock of these tests: a Sleep first lets the reader threads catch up with the present, then
// advances time, so that a link waiting on the clock never outruns the USB side however the machine
// schedules the threads.
class LockstepClock final : public platform::Clock {
 public:
  explicit LockstepClock(uint32_t startTicks) : clock_(startTicks) {}
  uint32_t GetTickCount() override { return clock_.GetTickCount(); }
  void Sleep(uint32_t milliseconds) override;
  platform::UtcTime NowUtc() override { return clock_.NowUtc(); }
  bool SetUtc(const platform::UtcTime& t) override { return clock_.SetUtc(t); }

 private:
  platform::TestClock clock_;
};

}  // namespace standin
