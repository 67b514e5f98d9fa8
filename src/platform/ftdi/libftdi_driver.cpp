#include "platform/ftdi/libftdi_driver.h"

#include <ftdi.h>
#include <libusb.h>

#include <atomic>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/ftdi/line_settings.h"
#include "platform/ftdi/receive_queue.h"

namespace platform::ftdi {

namespace {

// A recorder streams 513-byte pages at 115200 baud (about 11.5 kB/s) and the link polls the queue
// for whole frames. The chip holds back a partly filled USB packet until its latency timer runs out
// (16 ms by default), which would add up to 16 ms to every short reply; 2 ms keeps replies prompt while
// a full-speed packet of 64 bytes still fills in about 5 ms at this rate, so packets are seldom sent
// half empty. Reads of 4096 bytes take several pages per USB transfer when the chip is faster than the
// reader, which keeps the reader thread's overhead per byte low.
constexpr unsigned char kLatencyMs = 2;
constexpr unsigned kReadChunk = 4096;

struct Listed {
  libusb_device* device = nullptr;
  uint32_t type = 3;
  uint32_t id = 0;
  uint32_t locationId = 0;
  std::string serial;
  std::string description;
};

struct OpenDevice {
  ftdi_context* context = nullptr;
  ReceiveQueue queue{kReceiveQueueBytes};
  std::atomic<bool> failed{false};
  std::atomic<uint32_t> readTimeoutMs{300};
  std::jthread reader;
  std::string description;
};

void CopyBounded(char* out, size_t size, const std::string& text) {
  const size_t n = std::min(size - 1, text.size());
  std::memcpy(out, text.data(), n);
  std::memset(out + n, 0, size - n);
}

void ReaderLoop(std::stop_token stop, OpenDevice* open) {
  std::vector<unsigned char> chunk(kReadChunk);
  while (!stop.stop_requested()) {
    const int n = ftdi_read_data(open->context, chunk.data(), static_cast<int>(chunk.size()));
    if (n < 0) {
      open->failed = true;
      return;
    }
    size_t done = 0;
    // A full queue holds the bytes back until the link reads; the chip then holds off the recorder.
    while (done < static_cast<size_t>(n) && !stop.stop_requested()) {
      done += open->queue.Push(chunk.data() + done, static_cast<size_t>(n) - done);
      if (done < static_cast<size_t>(n)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (n == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

}  // namespace

struct LibftdiDriver::Impl {
  std::mutex mutex;
  ftdi_context* listContext = nullptr;
  ftdi_device_list* list = nullptr;
  std::vector<Listed> listed;
  std::map<FtHandle, std::unique_ptr<OpenDevice>> open;
  FtHandle nextHandle = 1;

  void FreeList() {
    if (list) ftdi_list_free(&list);
    list = nullptr;
    listed.clear();
  }

  OpenDevice* Find(FtHandle handle) {
    auto it = open.find(handle);
    return it == open.end() ? nullptr : it->second.get();
  }

  // Runs a libftdi call on an open device: FT_INVALID_HANDLE when it is not open, FT_IO_ERROR when the
  // device has gone or the call fails.
  template <typename Call>
  FtStatus Run(FtHandle handle, Call call) {
    std::lock_guard lock(mutex);
    OpenDevice* d = Find(handle);
    if (!d) return FT_INVALID_HANDLE;
    if (d->failed) return FT_IO_ERROR;
    return call(*d) < 0 ? FT_IO_ERROR : FT_OK;
  }
};

LibftdiDriver::LibftdiDriver() : impl_(std::make_unique<Impl>()) {}

LibftdiDriver::~LibftdiDriver() {
  std::vector<FtHandle> handles;
  for (auto& [h, d] : impl_->open) handles.push_back(h);
  for (FtHandle h : handles) Close(h);
  std::lock_guard lock(impl_->mutex);
  impl_->FreeList();
  if (impl_->listContext) ftdi_free(impl_->listContext);
}

FtStatus LibftdiDriver::CreateDeviceInfoList(uint32_t& count) {
  std::lock_guard lock(impl_->mutex);
  impl_->FreeList();
  if (!impl_->listContext && !(impl_->listContext = ftdi_new())) return FT_INSUFFICIENT_RESOURCES;
  // Vendor and product 0: every bridge of the vendor's known product ids.
  if (ftdi_usb_find_all(impl_->listContext, &impl_->list, 0, 0) < 0) return FT_OTHER_ERROR;
  for (ftdi_device_list* item = impl_->list; item; item = item->next) {
    Listed entry;
    entry.device = item->dev;
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(item->dev, &descriptor) == 0) {
      entry.id = static_cast<uint32_t>(descriptor.idVendor) << 16 | descriptor.idProduct;
      entry.type = DeviceTypeFromRelease(descriptor.bcdDevice);
    }
    uint8_t ports[7] = {};
    const int depth = libusb_get_port_numbers(item->dev, ports, 7);
    entry.locationId = MakeLocationId(libusb_get_bus_number(item->dev), ports, depth < 0 ? 0 : depth);
    char description[kDescriptionSize] = {};
    char serial[kSerialSize] = {};
    // A device another program holds open cannot tell its strings; it is listed without them.
    if (ftdi_usb_get_strings(impl_->listContext, item->dev, nullptr, 0, description, sizeof description,
                             serial, sizeof serial) == 0) {
      entry.description.assign(description, strnlen(description, sizeof description));
      entry.serial.assign(serial, strnlen(serial, sizeof serial));
    }
    impl_->listed.push_back(std::move(entry));
  }
  count = static_cast<uint32_t>(impl_->listed.size());
  return FT_OK;
}

FtStatus LibftdiDriver::GetDeviceInfoDetail(uint32_t index, uint32_t& flags, uint32_t& type, uint32_t& id,
                                            uint32_t& locationId, char (&serial)[kSerialSize],
                                            char (&description)[kDescriptionSize], FtHandle& handle) {
  std::lock_guard lock(impl_->mutex);
  if (index >= impl_->listed.size()) return FT_DEVICE_NOT_FOUND;
  const Listed& entry = impl_->listed[index];
  flags = 0;
  handle = 0;
  for (auto& [h, d] : impl_->open) {
    if (d->description == entry.description) {
      flags = 1;  // opened
      handle = h;
    }
  }
  type = entry.type;
  id = entry.id;
  locationId = entry.locationId;
  CopyBounded(serial, kSerialSize, entry.serial);
  CopyBounded(description, kDescriptionSize, entry.description);
  return FT_OK;
}

FtStatus LibftdiDriver::OpenEx(const char* description, uint32_t flags, FtHandle& handle) {
  std::lock_guard lock(impl_->mutex);
  if (flags != kOpenByDescription || description == nullptr) return FT_INVALID_PARAMETER;
  const std::string wanted(description, strnlen(description, kDescriptionSize));
  const Listed* entry = nullptr;
  for (const Listed& l : impl_->listed) {
    if (!l.description.empty() && l.description == wanted) {
      entry = &l;
      break;
    }
  }
  if (!entry) return FT_DEVICE_NOT_FOUND;
  auto open = std::make_unique<OpenDevice>();
  open->description = entry->description;
  if (!(open->context = ftdi_new())) return FT_INSUFFICIENT_RESOURCES;
  if (ftdi_usb_open_dev(open->context, entry->device) < 0) {
    ftdi_free(open->context);
    return FT_DEVICE_NOT_OPENED;
  }
  ftdi_set_latency_timer(open->context, kLatencyMs);
  ftdi_read_data_set_chunksize(open->context, kReadChunk);
  OpenDevice* raw = open.get();
  open->reader = std::jthread([raw](std::stop_token stop) { ReaderLoop(stop, raw); });
  handle = impl_->nextHandle++;
  impl_->open.emplace(handle, std::move(open));
  return FT_OK;
}

FtStatus LibftdiDriver::Close(FtHandle handle) {
  std::unique_ptr<OpenDevice> d;
  {
    std::lock_guard lock(impl_->mutex);
    auto it = impl_->open.find(handle);
    if (it == impl_->open.end()) return FT_INVALID_HANDLE;
    d = std::move(it->second);
    impl_->open.erase(it);
  }
  d->reader.request_stop();
  if (d->reader.joinable()) d->reader.join();
  ftdi_usb_close(d->context);
  ftdi_free(d->context);
  return FT_OK;
}

FtStatus LibftdiDriver::ResetDevice(FtHandle handle) {
  return impl_->Run(handle, [](OpenDevice& d) {
    d.queue.Clear();
    return ftdi_usb_reset(d.context);
  });
}

FtStatus LibftdiDriver::SetBaudRate(FtHandle handle, uint32_t baud) {
  return impl_->Run(handle,
                    [baud](OpenDevice& d) { return ftdi_set_baudrate(d.context, static_cast<int>(baud)); });
}

FtStatus LibftdiDriver::SetDataCharacteristics(FtHandle handle, uint8_t wordLength, uint8_t stopBits,
                                               uint8_t parity) {
  LineFormat format;
  if (!LineFormatOf(wordLength, stopBits, parity, format)) return FT_INVALID_PARAMETER;
  return impl_->Run(handle, [&format](OpenDevice& d) {
    return ftdi_set_line_property(d.context, format.dataBits == 7 ? BITS_7 : BITS_8,
                                  format.stopBits == 2 ? STOP_BIT_2 : STOP_BIT_1,
                                  static_cast<ftdi_parity_type>(format.parity));
  });
}

FtStatus LibftdiDriver::SetFlowControl(FtHandle handle, uint16_t flow, uint8_t xon, uint8_t xoff) {
  const FlowMode mode = FlowModeOf(flow);
  if (mode == FlowMode::Invalid) return FT_INVALID_PARAMETER;
  return impl_->Run(handle, [mode, xon, xoff](OpenDevice& d) {
    switch (mode) {
      case FlowMode::RtsCts:
        return ftdi_setflowctrl(d.context, SIO_RTS_CTS_HS);
      case FlowMode::DtrDsr:
        return ftdi_setflowctrl(d.context, SIO_DTR_DSR_HS);
      case FlowMode::XonXoff:
        return ftdi_setflowctrl_xonxoff(d.context, xon, xoff);
      default:
        return ftdi_setflowctrl(d.context, SIO_DISABLE_FLOW_CTRL);
    }
  });
}

FtStatus LibftdiDriver::SetChars(FtHandle handle, uint8_t eventChar, uint8_t eventEnable, uint8_t errorChar,
                                 uint8_t errorEnable) {
  return impl_->Run(handle, [=](OpenDevice& d) {
    const int r = ftdi_set_event_char(d.context, eventChar, eventEnable);
    return r < 0 ? r : ftdi_set_error_char(d.context, errorChar, errorEnable);
  });
}

FtStatus LibftdiDriver::SetEventNotification(FtHandle handle, uint32_t, void*) {
  // No event objects on this platform: the link polls the queue instead.
  return impl_->Run(handle, [](OpenDevice&) { return 0; });
}

FtStatus LibftdiDriver::SetDtr(FtHandle handle) {
  return impl_->Run(handle, [](OpenDevice& d) { return ftdi_setdtr(d.context, 1); });
}
FtStatus LibftdiDriver::ClrDtr(FtHandle handle) {
  return impl_->Run(handle, [](OpenDevice& d) { return ftdi_setdtr(d.context, 0); });
}
FtStatus LibftdiDriver::SetRts(FtHandle handle) {
  return impl_->Run(handle, [](OpenDevice& d) { return ftdi_setrts(d.context, 1); });
}
FtStatus LibftdiDriver::ClrRts(FtHandle handle) {
  return impl_->Run(handle, [](OpenDevice& d) { return ftdi_setrts(d.context, 0); });
}

FtStatus LibftdiDriver::SetTimeouts(FtHandle handle, uint32_t readTimeoutMs, uint32_t writeTimeoutMs) {
  return impl_->Run(handle, [=](OpenDevice& d) {
    d.readTimeoutMs = readTimeoutMs;
    d.context->usb_write_timeout = static_cast<int>(writeTimeoutMs);
    return 0;
  });
}

FtStatus LibftdiDriver::Purge(FtHandle handle, uint32_t mask) {
  return impl_->Run(handle, [mask](OpenDevice& d) {
    int r = 0;
    if ((mask & kPurgeRx) && (mask & kPurgeTx)) {
      r = ftdi_tcioflush(d.context);
    } else if (mask & kPurgeRx) {
      r = ftdi_tciflush(d.context);
    } else if (mask & kPurgeTx) {
      r = ftdi_tcoflush(d.context);
    }
    if (mask & kPurgeRx) d.queue.Clear();
    return r;
  });
}

FtStatus LibftdiDriver::GetModemStatus(FtHandle handle, uint32_t& status) {
  return impl_->Run(handle, [&status](OpenDevice& d) {
    unsigned short value = 0;
    const int r = ftdi_poll_modem_status(d.context, &value);
    status = value & 0xFFu;
    return r;
  });
}

FtStatus LibftdiDriver::GetStatus(FtHandle handle, uint32_t& rxQueue, uint32_t& txQueue, uint32_t& events) {
  std::lock_guard lock(impl_->mutex);
  OpenDevice* d = impl_->Find(handle);
  if (!d) return FT_INVALID_HANDLE;
  if (d->failed) return FT_IO_ERROR;
  rxQueue = static_cast<uint32_t>(d->queue.Count());
  txQueue = 0;  // writes go out synchronously
  events = 0;
  return FT_OK;
}

FtStatus LibftdiDriver::Read(FtHandle handle, void* buffer, uint32_t count, uint32_t& got) {
  got = 0;
  OpenDevice* d = nullptr;
  {
    std::lock_guard lock(impl_->mutex);
    d = impl_->Find(handle);
  }
  if (!d) return FT_INVALID_HANDLE;
  bool gone = false;
  got = ReadWithin(
      d->queue, static_cast<uint8_t*>(buffer), count, d->readTimeoutMs, [d] { return !d->failed.load(); },
      gone);
  return gone ? FT_IO_ERROR : FT_OK;
}

FtStatus LibftdiDriver::Write(FtHandle handle, const void* buffer, uint32_t count, uint32_t& written) {
  written = 0;
  return impl_->Run(handle, [&](OpenDevice& d) {
    const int n =
        ftdi_write_data(d.context, static_cast<const unsigned char*>(buffer), static_cast<int>(count));
    if (n > 0) written = static_cast<uint32_t>(n);
    return n;
  });
}

}  // namespace platform::ftdi
