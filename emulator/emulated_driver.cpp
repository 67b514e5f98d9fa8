#include "emulator/emulated_driver.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/clock.h"
#include "platform/ftdi/device_problem.h"

namespace emulator {

using namespace platform::ftdi;

namespace {

std::string Hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", v);
  return text;
}

void CopyBounded(char* out, size_t size, const std::string& text) {
  const size_t n = std::min(size - 1, text.size());
  std::memcpy(out, text.data(), n);
  std::memset(out + n, 0, size - n);
}

}  // namespace

EmulatedDriver::EmulatedDriver() = default;
EmulatedDriver::~EmulatedDriver() = default;

EmulatedDevice& EmulatedDriver::Attach(DeviceInfo info) {
  std::lock_guard lock(mutex_);
  devices_.push_back(std::make_unique<EmulatedDevice>());
  devices_.back()->info = std::move(info);
  return *devices_.back();
}

EmulatedDevice* EmulatedDriver::DeviceOf(FtHandle handle) {
  std::lock_guard lock(mutex_);
  if (handle == 0) return nullptr;
  for (auto& d : devices_)
    if (d->handle == handle) return d.get();
  return nullptr;
}

void EmulatedDriver::FailNext(Op op, FtStatus status, int times) {
  std::lock_guard lock(mutex_);
  failures_[op] = {status, times};
}

FtStatus EmulatedDriver::Injected(Op op) {
  auto it = failures_.find(op);
  if (it == failures_.end() || it->second.second <= 0) return FT_OK;
  if (--it->second.second == 0) {
    const FtStatus status = it->second.first;
    failures_.erase(it);
    return status;
  }
  return it->second.first;
}

FtStatus EmulatedDriver::Begin(Op op, FtHandle handle, const std::string& call, EmulatedDevice*& device) {
  if (!call.empty()) calls_.push_back(call);
  device = DeviceOf(handle);
  if (!device) return FT_INVALID_HANDLE;
  if (device->unplugged) return FT_IO_ERROR;
  return Injected(op);
}

void EmulatedDriver::SpendPollCost() {
  pollDebtMicros_ += pollCostMicros_;
  if (pollDebtMicros_ >= 1000) {
    const uint32_t ms = pollDebtMicros_ / 1000;
    pollDebtMicros_ %= 1000;
    platform::Sleep(ms);
  }
}

FtStatus EmulatedDriver::CreateDeviceInfoList(uint32_t& count) {
  std::lock_guard lock(mutex_);
  calls_.push_back("CreateDeviceInfoList");
  if (FtStatus s = Injected(Op::CreateDeviceInfoList)) return s;
  listed_.clear();
  for (auto& d : devices_)
    if (!d->unplugged) listed_.push_back(d.get());
  count = static_cast<uint32_t>(listed_.size());
  return FT_OK;
}

FtStatus EmulatedDriver::GetDeviceInfoDetail(uint32_t index, uint32_t& flags, uint32_t& type, uint32_t& id,
                                             uint32_t& locationId, char (&serial)[kSerialSize],
                                             char (&description)[kDescriptionSize], FtHandle& handle) {
  std::lock_guard lock(mutex_);
  calls_.push_back("GetDeviceInfoDetail " + std::to_string(index));
  if (FtStatus s = Injected(Op::GetDeviceInfoDetail)) return s;
  if (index >= listed_.size()) return FT_DEVICE_NOT_FOUND;
  const EmulatedDevice& d = *listed_[index];
  flags = d.info.flags | (d.handle != 0 ? 1u : 0u);
  type = d.info.type;
  id = d.info.id;
  locationId = d.info.locationId;
  // A device the system denies tells nothing but its place.
  CopyBounded(serial, kSerialSize, d.accessDenied ? std::string() : d.info.serial);
  CopyBounded(description, kDescriptionSize, d.accessDenied ? std::string() : d.info.description);
  handle = d.handle;
  return FT_OK;
}

FtStatus EmulatedDriver::OpenDevice(EmulatedDevice& d, FtHandle& handle) {
  if (d.accessDenied) {
    openProblem_ = DeviceProblemText(d.info.bus, d.info.address, kNoAccessCause);
    return FT_DEVICE_NOT_OPENED;
  }
  if (d.handle != 0) {
    openProblem_ = DeviceProblemText(d.info.bus, d.info.address, "уже открыто другой программой");
    return FT_DEVICE_NOT_OPENED;
  }
  openProblem_.clear();
  d.handle = nextHandle_++;
  handle = d.handle;
  return FT_OK;
}

FtStatus EmulatedDriver::OpenEx(const char* text, uint32_t flags, FtHandle& handle) {
  std::lock_guard lock(mutex_);
  const std::string wanted(text ? text : "", text ? strnlen(text, kDescriptionSize) : 0);
  calls_.push_back("OpenEx " + wanted + " " + std::to_string(flags));
  if (FtStatus s = Injected(Op::OpenEx)) return s;
  if (flags != kOpenByDescription && flags != kOpenBySerialNumber) return FT_INVALID_PARAMETER;
  // The first device of the list with that text, as the bridge's driver takes it.
  for (EmulatedDevice* d : listed_) {
    if (d->unplugged || (flags == kOpenByDescription ? d->info.description : d->info.serial) != wanted)
      continue;
    return OpenDevice(*d, handle);
  }
  return FT_DEVICE_NOT_FOUND;
}

FtStatus EmulatedDriver::OpenByLocation(uint32_t locationId, FtHandle& handle) {
  std::lock_guard lock(mutex_);
  calls_.push_back("OpenByLocation " + Hex(locationId));
  if (FtStatus s = Injected(Op::OpenByLocation)) return s;
  for (EmulatedDevice* d : listed_)
    if (!d->unplugged && d->info.locationId == locationId) return OpenDevice(*d, handle);
  return FT_DEVICE_NOT_FOUND;
}

std::string EmulatedDriver::DeviceProblem(uint32_t index) {
  std::lock_guard lock(mutex_);
  if (index >= listed_.size() || !listed_[index]->accessDenied) return {};
  return DeviceProblemText(listed_[index]->info.bus, listed_[index]->info.address, kNoAccessCause);
}

std::string EmulatedDriver::OpenProblem() {
  std::lock_guard lock(mutex_);
  return openProblem_;
}

FtStatus EmulatedDriver::Close(FtHandle handle) {
  std::lock_guard lock(mutex_);
  calls_.push_back("Close");
  if (FtStatus s = Injected(Op::Close)) return s;
  EmulatedDevice* d = DeviceOf(handle);
  if (!d) return FT_INVALID_HANDLE;
  d->handle = 0;
  d->rx.Clear();
  return FT_OK;
}

FtStatus EmulatedDriver::Apply(Op op, FtHandle handle, const std::string& call,
                               const std::function<void(EmulatedDevice&)>& change) {
  std::lock_guard lock(mutex_);
  EmulatedDevice* d = nullptr;
  if (FtStatus s = Begin(op, handle, call, d)) return s;
  if (change) change(*d);
  return FT_OK;
}

FtStatus EmulatedDriver::ResetDevice(FtHandle handle) {
  return Apply(Op::ResetDevice, handle, "ResetDevice", [](EmulatedDevice& d) { d.rx.Clear(); });
}

FtStatus EmulatedDriver::SetBaudRate(FtHandle handle, uint32_t baud) {
  return Apply(Op::SetBaudRate, handle, "SetBaudRate " + std::to_string(baud),
               [baud](EmulatedDevice& d) { d.baud = baud; });
}

FtStatus EmulatedDriver::SetDataCharacteristics(FtHandle handle, uint8_t wordLength, uint8_t stopBits,
                                                uint8_t parity) {
  return Apply(Op::SetDataCharacteristics, handle,
               "SetDataCharacteristics " + std::to_string(wordLength) + " " + std::to_string(stopBits) + " " +
                   std::to_string(parity),
               {});
}

FtStatus EmulatedDriver::SetFlowControl(FtHandle handle, uint16_t flow, uint8_t xon, uint8_t xoff) {
  return Apply(Op::SetFlowControl, handle,
               "SetFlowControl " + Hex(flow) + " " + std::to_string(xon) + " " + std::to_string(xoff),
               [flow](EmulatedDevice& d) { d.flow = flow; });
}

FtStatus EmulatedDriver::SetChars(FtHandle handle, uint8_t eventChar, uint8_t eventEnable, uint8_t errorChar,
                                  uint8_t errorEnable) {
  return Apply(Op::SetChars, handle,
               "SetChars " + std::to_string(eventChar) + " " + std::to_string(eventEnable) + " " +
                   std::to_string(errorChar) + " " + std::to_string(errorEnable),
               {});
}

FtStatus EmulatedDriver::SetEventNotification(FtHandle handle, uint32_t mask, void*) {
  return Apply(Op::SetEventNotification, handle, "SetEventNotification " + Hex(mask), {});
}

FtStatus EmulatedDriver::SetDtr(FtHandle handle) {
  return Apply(Op::SetDtr, handle, "SetDtr", [](EmulatedDevice& d) { d.dtr = true; });
}

FtStatus EmulatedDriver::ClrDtr(FtHandle handle) {
  return Apply(Op::ClrDtr, handle, "ClrDtr", [](EmulatedDevice& d) { d.dtr = false; });
}

FtStatus EmulatedDriver::SetRts(FtHandle handle) {
  return Apply(Op::SetRts, handle, "SetRts", [](EmulatedDevice& d) { d.rts = true; });
}

FtStatus EmulatedDriver::ClrRts(FtHandle handle) {
  return Apply(Op::ClrRts, handle, "ClrRts", [](EmulatedDevice& d) { d.rts = false; });
}

FtStatus EmulatedDriver::SetTimeouts(FtHandle handle, uint32_t readTimeoutMs, uint32_t writeTimeoutMs) {
  return Apply(Op::SetTimeouts, handle,
               "SetTimeouts " + std::to_string(readTimeoutMs) + " " + std::to_string(writeTimeoutMs),
               [=](EmulatedDevice& d) {
                 d.readTimeoutMs = readTimeoutMs;
                 d.writeTimeoutMs = writeTimeoutMs;
               });
}

FtStatus EmulatedDriver::Purge(FtHandle handle, uint32_t mask) {
  return Apply(Op::Purge, handle, "Purge " + std::to_string(mask), [mask](EmulatedDevice& d) {
    if (mask & kPurgeRx) d.rx.Clear();
  });
}

FtStatus EmulatedDriver::GetModemStatus(FtHandle handle, uint32_t& status) {
  return Apply(Op::GetModemStatus, handle, "GetModemStatus",
               [&status](EmulatedDevice& d) { status = d.modemStatus; });
}

FtStatus EmulatedDriver::GetStatus(FtHandle handle, uint32_t& rxQueue, uint32_t& txQueue, uint32_t& events) {
  std::lock_guard lock(mutex_);
  ++statusPolls_;
  SpendPollCost();
  EmulatedDevice* d = nullptr;
  if (FtStatus s = Begin(Op::GetStatus, handle, "", d)) return s;
  d->recorder.Pump(d->rx);
  rxQueue = static_cast<uint32_t>(d->rx.Count());
  txQueue = 0;
  events = 0;
  return FT_OK;
}

FtStatus EmulatedDriver::Read(FtHandle handle, void* buffer, uint32_t count, uint32_t& got) {
  got = 0;
  EmulatedDevice* d = nullptr;
  FtStatus injected = FT_OK;
  uint32_t asked = count;
  {
    std::lock_guard lock(mutex_);
    injected = Begin(Op::Read, handle, "", d);
    if (!d || d->unplugged) return injected;
    if (d->shortReads > 0) {
      --d->shortReads;
      asked = count > d->shortReadMissing ? count - d->shortReadMissing : 0;
    }
  }
  bool gone = false;
  got = ReadWithin(
      d->rx, static_cast<uint8_t*>(buffer), asked, d->readTimeoutMs,
      [this, d] {
        std::lock_guard lock(mutex_);
        if (d->unplugged) return false;
        d->recorder.Pump(d->rx);
        return true;
      },
      gone);
  if (gone) return FT_IO_ERROR;
  return injected;
}

FtStatus EmulatedDriver::Write(FtHandle handle, const void* buffer, uint32_t count, uint32_t& written) {
  std::lock_guard lock(mutex_);
  written = 0;
  EmulatedDevice* d = nullptr;
  if (FtStatus s = Begin(Op::Write, handle, "", d)) return s;
  uint32_t n = count;
  if (d->shortWrites > 0) {
    --d->shortWrites;
    n = std::min(count, d->shortWriteBytes);
  }
  written = n;
  const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
  d->lastWrite.assign(bytes, bytes + n);
  d->recorder.OnBytesFromPc(bytes, n);
  return FT_OK;
}

}  // namespace emulator
