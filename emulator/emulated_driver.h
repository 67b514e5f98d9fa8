#pragma once
// The bridge driver over emulated recorders: a bus of attached devices, each an emulated recorder
// behind an emulated bridge chip with its receive queue. Tests attach devices, set up their recorders,
// inject bridge faults and read the log of configuration calls.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "emulator/recorder.h"
#include "platform/ftdi/driver.h"
#include "platform/ftdi/receive_queue.h"

namespace emulator {

using platform::ftdi::FtHandle;
using platform::ftdi::FtStatus;

// What the device list shows of a bridge device.
struct DeviceInfo {
  uint32_t flags = 0;
  uint32_t type = 5;         // 232R
  uint32_t id = 0x04036001;  // vendor << 16 | product
  uint32_t locationId = 0x1000;
  std::string serial = "UNIT0001";
  std::string description = "T-9XV Unit";
  // Its place on the bus, as a device the system denies is named.
  uint8_t bus = 1;
  uint8_t address = 2;
};

enum class Op {
  CreateDeviceInfoList,
  GetDeviceInfoDetail,
  OpenEx,
  OpenByLocation,
  Close,
  ResetDevice,
  SetBaudRate,
  SetDataCharacteristics,
  SetFlowControl,
  SetChars,
  SetEventNotification,
  SetDtr,
  ClrDtr,
  SetRts,
  ClrRts,
  SetTimeouts,
  Purge,
  GetModemStatus,
  GetStatus,
  Read,
  Write,
};

// One attached device: the bridge's state and the recorder behind it.
struct EmulatedDevice {
  DeviceInfo info;
  Recorder recorder;
  platform::ftdi::ReceiveQueue rx{platform::ftdi::kReceiveQueueBytes};
  FtHandle handle = 0;  // 0 while closed
  // A pulled cable: the device is gone from the list and every call on its handle fails.
  bool unplugged = false;
  // The system denies the user the device: it is listed without its strings and does not open.
  bool accessDenied = false;
  uint32_t modemStatus = platform::ftdi::kModemCts | platform::ftdi::kModemDsr;
  uint32_t readTimeoutMs = 300;
  uint32_t writeTimeoutMs = 300;
  // The port settings last applied.
  uint32_t baud = 0;
  uint16_t flow = 0;
  bool dtr = false;
  bool rts = false;
  // Short writes: the next `shortWrites` writes take only `shortWriteBytes` bytes (status FT_OK).
  int shortWrites = 0;
  uint32_t shortWriteBytes = 0;
  // The bytes the last write took.
  std::vector<uint8_t> lastWrite;
  // Short reads: the next `shortReads` reads deliver `shortReadMissing` bytes less than asked.
  int shortReads = 0;
  uint32_t shortReadMissing = 1;
};

class EmulatedDriver final : public platform::ftdi::Driver {
 public:
  EmulatedDriver();
  ~EmulatedDriver() override;

  // Attaches a device at the end of the bus; the reference stays valid while the driver lives.
  EmulatedDevice& Attach(DeviceInfo info = {});
  EmulatedDevice& Device(size_t index) { return *devices_.at(index); }
  size_t DeviceCountAttached() const { return devices_.size(); }
  // The device behind an open handle, or nullptr.
  EmulatedDevice* DeviceOf(FtHandle handle);

  // The next `times` calls of `op` return `status`. A failing read still delivers its bytes; a failing
  // write takes none.
  void FailNext(Op op, FtStatus status, int times = 1);
  // Every call except queue status, read and write, in order, as "name arg arg".
  const std::vector<std::string>& Calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  // Clock time every queue-status poll costs, in microseconds (0: free; 5 by default, about what the
  // driver call takes). On a test clock this is what lets time pass in a loop that polls without
  // sleeping.
  void SetPollCostMicros(uint32_t micros) { pollCostMicros_ = micros; }
  // Queue-status calls made so far, failed ones too (how hard a caller polls).
  uint64_t StatusPolls() const { return statusPolls_.load(); }

  // Held by tests that touch a recorder while another thread uses the link.
  std::unique_lock<std::recursive_mutex> Lock() { return std::unique_lock(mutex_); }

  FtStatus CreateDeviceInfoList(uint32_t& count) override;
  FtStatus GetDeviceInfoDetail(uint32_t index, uint32_t& flags, uint32_t& type, uint32_t& id,
                               uint32_t& locationId, char (&serial)[platform::ftdi::kSerialSize],
                               char (&description)[platform::ftdi::kDescriptionSize],
                               FtHandle& handle) override;
  FtStatus OpenEx(const char* text, uint32_t flags, FtHandle& handle) override;
  FtStatus OpenByLocation(uint32_t locationId, FtHandle& handle) override;
  std::string DeviceProblem(uint32_t index) override;
  std::string OpenProblem() override;
  FtStatus Close(FtHandle handle) override;
  FtStatus ResetDevice(FtHandle handle) override;
  FtStatus SetBaudRate(FtHandle handle, uint32_t baud) override;
  FtStatus SetDataCharacteristics(FtHandle handle, uint8_t wordLength, uint8_t stopBits,
                                  uint8_t parity) override;
  FtStatus SetFlowControl(FtHandle handle, uint16_t flow, uint8_t xon, uint8_t xoff) override;
  FtStatus SetChars(FtHandle handle, uint8_t eventChar, uint8_t eventEnable, uint8_t errorChar,
                    uint8_t errorEnable) override;
  FtStatus SetEventNotification(FtHandle handle, uint32_t mask, void* event) override;
  FtStatus SetDtr(FtHandle handle) override;
  FtStatus ClrDtr(FtHandle handle) override;
  FtStatus SetRts(FtHandle handle) override;
  FtStatus ClrRts(FtHandle handle) override;
  FtStatus SetTimeouts(FtHandle handle, uint32_t readTimeoutMs, uint32_t writeTimeoutMs) override;
  FtStatus Purge(FtHandle handle, uint32_t mask) override;
  FtStatus GetModemStatus(FtHandle handle, uint32_t& status) override;
  FtStatus GetStatus(FtHandle handle, uint32_t& rxQueue, uint32_t& txQueue, uint32_t& events) override;
  FtStatus Read(FtHandle handle, void* buffer, uint32_t count, uint32_t& got) override;
  FtStatus Write(FtHandle handle, const void* buffer, uint32_t count, uint32_t& written) override;

 private:
  // The injected failure for this call of `op`, FT_OK when none is pending.
  FtStatus Injected(Op op);
  // Logs a configuration call and finds its device; FT_OK with `device` set, or the failure.
  FtStatus Begin(Op op, FtHandle handle, const std::string& call, EmulatedDevice*& device);
  // Begin, then `change` on the device when the call succeeds.
  FtStatus Apply(Op op, FtHandle handle, const std::string& call,
                 const std::function<void(EmulatedDevice&)>& change);
  void SpendPollCost();
  // Opens `device` (listed, not unplugged); FT_OK with `handle` set, or why not.
  FtStatus OpenDevice(EmulatedDevice& device, FtHandle& handle);

  std::recursive_mutex mutex_;
  std::vector<std::unique_ptr<EmulatedDevice>> devices_;
  std::vector<EmulatedDevice*> listed_;
  std::map<Op, std::pair<FtStatus, int>> failures_;
  std::vector<std::string> calls_;
  FtHandle nextHandle_ = 1;
  std::string openProblem_;
  uint32_t pollCostMicros_ = 5;
  uint32_t pollDebtMicros_ = 0;
  std::atomic<uint64_t> statusPolls_{0};
};

}  // namespace emulator
