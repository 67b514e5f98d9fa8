#pragma once
// The driver back end for real recorders, over libftdi1. A reader thread per open device feeds a
// receive queue, so that queue status and reads behave as the link expects of the bridge driver.
// A failed USB read is tried again after a short pause; only a device that has gone from the bus ends
// the reader, and the bytes received before still reach the link.
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/ftdi/driver.h"

namespace platform::ftdi {

class LibftdiDriver final : public Driver {
 public:
  // Where the reader thread reports failed reads (the first at once, then at most one line every few
  // seconds with what happened since) and a device gone; the default writes a line to stderr.
  using Report = std::function<void(const std::string& line)>;

  explicit LibftdiDriver(Report report = {});
  ~LibftdiDriver() override;

  FtStatus CreateDeviceInfoList(uint32_t& count) override;
  FtStatus GetDeviceInfoDetail(uint32_t index, uint32_t& flags, uint32_t& type, uint32_t& id,
                               uint32_t& locationId, char (&serial)[kSerialSize],
                               char (&description)[kDescriptionSize], FtHandle& handle) override;
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
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform::ftdi
