#include "platform/ftdi/libftdi_driver.h"

#include <ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/ftdi/device_problem.h"
#include "platform/ftdi/line_settings.h"
#include "platform/ftdi/read_fault_reports.h"
#include "platform/ftdi/receive_queue.h"

namespace platform::ftdi {

namespace {

// A recorder streams 513-byte pages at 115200 baud (about 11.5 kB/s) and the link polls the queue
// for whole frames. The chip holds back a partly filled USB packet until its latency timer runs out
// (16 ms by default), which would add up to 16 ms to every short reply; 2 ms keeps replies prompt while
// a full-speed packet of 64 bytes still fills in about 5 ms at this rate, so packets are seldom sent
// half empty.
constexpr unsigned char kLatencyMs = 2;
constexpr unsigned kReadChunk = 4096;
// libusb's wait for one read transfer. A working chip answers every latency period, with at least its
// two status bytes, so this only bounds how long a hung device holds the reader, and with it a control
// call or the close (libftdi's own default is 5 s).
constexpr int kUsbReadTimeoutMs = 250;
// A failed read is tried again after this pause: a CRC error on a long cable or a libusb time-out
// passes, and the pause keeps a failing bus from being hammered.
constexpr auto kRetryPause = std::chrono::milliseconds(20);
// libftdi's code for a context without a device.
constexpr int kNoUsbDevice = -666;
// libftdi's code when libusb_open fails (in listing the strings and in opening).
constexpr int kLibusbOpenFailed = -4;

bool DeviceGone(int code) { return code == LIBUSB_ERROR_NO_DEVICE || code == kNoUsbDevice; }

// The name of a read's failure code (libusb's codes, which ftdi_read_data passes on). The context's error
// text is not read here: a write on another thread may be setting it.
std::string ReadErrorName(int code) {
  switch (code) {
    case LIBUSB_ERROR_IO:
      return "LIBUSB_ERROR_IO";
    case LIBUSB_ERROR_NO_DEVICE:
      return "LIBUSB_ERROR_NO_DEVICE";
    case LIBUSB_ERROR_TIMEOUT:
      return "LIBUSB_ERROR_TIMEOUT";
    case LIBUSB_ERROR_PIPE:
      return "LIBUSB_ERROR_PIPE";
    case LIBUSB_ERROR_OVERFLOW:
      return "LIBUSB_ERROR_OVERFLOW";
    case kNoUsbDevice:
      return "нет устройства";
    default:
      return "код " + std::to_string(code);
  }
}

struct Listed {
  libusb_device* device = nullptr;
  uint32_t type = 3;
  uint32_t id = 0;
  uint32_t locationId = 0;
  UsbPlace place;
  uint8_t bus = 0;
  uint8_t address = 0;
  std::string serial;
  std::string description;
  std::string problem;  // why the strings could not be read
};

// One open device. Every libftdi call on its context goes through the gate, one at a time: the reader
// thread between its transfers, control calls before the reader's next transfer. Writes use their own
// endpoint and libftdi keeps no state for them that a read touches, so they go straight to the device.
struct OpenDevice {
  ftdi_context* context = nullptr;
  ReceiveQueue queue{kReceiveQueueBytes};
  std::atomic<bool> gone{false};
  std::atomic<uint32_t> readTimeoutMs{300};
  UsbPlace place;
  std::string name;  // for reports

  std::mutex gateMutex;
  std::condition_variable_any gateFree;
  bool busy = false;        // a call runs on the context
  int controlWaiting = 0;   // control calls waiting for the gate
  uint64_t generation = 0;  // raised by every purge and reset of the receive side
  std::jthread reader;

  // Runs a control call through the gate.
  template <typename Call>
  int Control(Call call) {
    {
      std::unique_lock lock(gateMutex);
      ++controlWaiting;
      gateFree.wait(lock, [this] { return !busy; });
      --controlWaiting;
      busy = true;
    }
    const int result = call();
    {
      std::lock_guard lock(gateMutex);
      busy = false;
    }
    gateFree.notify_all();
    return result;
  }

  // After a purge or reset of the receive side: what the reader holds or the queue has is older than it.
  void DropReceived() {
    std::lock_guard lock(gateMutex);
    ++generation;
    queue.Clear();
  }
};

void CopyBounded(char* out, size_t size, const std::string& text) {
  const size_t n = std::min(size - 1, text.size());
  std::memcpy(out, text.data(), n);
  std::memset(out + n, 0, size - n);
}

// The cause of a failed libftdi call on `device`: "нет доступа" with the hint when the system refuses
// the user the device, else libftdi's own text.
std::string CauseOf(ftdi_context* context, int code, libusb_device* device) {
  if (code == kLibusbOpenFailed) {
    libusb_device_handle* probe = nullptr;
    const int opened = libusb_open(device, &probe);
    if (opened == 0) libusb_close(probe);
    if (opened == LIBUSB_ERROR_ACCESS) return kNoAccessCause;
  }
  const char* text = context ? ftdi_get_error_string(context) : nullptr;
  char cause[160];
  std::snprintf(cause, sizeof cause, "%s (код %d)", text && *text ? text : "ошибка libftdi", code);
  return cause;
}

// Moves `count` bytes read under `generation` into the queue as it makes room; bytes that a purge or
// reset has overtaken are dropped.
void Deliver(std::stop_token& stop, OpenDevice& d, const unsigned char* bytes, size_t count,
             uint64_t generation) {
  size_t done = 0;
  while (done < count && !stop.stop_requested()) {
    {
      std::lock_guard lock(d.gateMutex);
      if (d.generation != generation) return;
      done += d.queue.Push(bytes + done, count - done);
    }
    // A full queue holds the bytes back until the link reads; the chip then holds off the recorder.
    if (done < count) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void ReaderLoop(std::stop_token stop, OpenDevice* d, const LibftdiDriver::Report* report) {
  std::vector<unsigned char> chunk(kReadChunk);
  ReadFaultReports faults(d->name, *report);
  while (!stop.stop_requested()) {
    faults.Tick(platform::GetTickCount());
    uint64_t generation = 0;
    {
      std::unique_lock lock(d->gateMutex);
      if (!d->gateFree.wait(lock, stop, [d] { return !d->busy && d->controlWaiting == 0; })) return;
      d->busy = true;
      generation = d->generation;
    }
    // Asked for one byte while libftdi holds none, ftdi_read_data makes at most one USB transfer, so a
    // failed transfer can never take bytes of an earlier one with it; what the transfer brought beyond
    // that byte is then taken from libftdi's buffer without touching the bus.
    int n = ftdi_read_data(d->context, chunk.data(), 1);
    if (n == 1 && d->context->readbuffer_remaining > 0) {
      const int rest = static_cast<int>(std::min<unsigned>(d->context->readbuffer_remaining, kReadChunk - 1));
      const int more = ftdi_read_data(d->context, chunk.data() + 1, rest);
      if (more > 0) n += more;
    }
    {
      std::lock_guard lock(d->gateMutex);
      d->busy = false;
    }
    d->gateFree.notify_all();

    if (n < 0) {
      if (DeviceGone(n)) {
        d->gone = true;
        faults.Gone(ReadErrorName(n));
        return;
      }
      faults.Failed(ReadErrorName(n), platform::GetTickCount());
      std::this_thread::sleep_for(kRetryPause);
      continue;
    }
    faults.Succeeded(platform::GetTickCount());
    if (n > 0) {
      Deliver(stop, *d, chunk.data(), static_cast<size_t>(n), generation);
    } else {
      // Nothing came: the transfer itself waited for the chip's latency timer.
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
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
  std::string openProblem;
  Report report;

  void FreeList() {
    if (list) ftdi_list_free(&list);
    list = nullptr;
    listed.clear();
  }

  OpenDevice* Find(FtHandle handle) {
    auto it = open.find(handle);
    return it == open.end() ? nullptr : it->second.get();
  }

  // Runs a control call on an open device: FT_INVALID_HANDLE when it is not open, FT_IO_ERROR when the
  // device has gone or the call fails.
  template <typename Call>
  FtStatus Run(FtHandle handle, Call call) {
    OpenDevice* d = nullptr;
    {
      std::lock_guard lock(mutex);
      d = Find(handle);
    }
    if (!d) return FT_INVALID_HANDLE;
    if (d->gone) return FT_IO_ERROR;
    return d->Control([&] { return call(*d); }) < 0 ? FT_IO_ERROR : FT_OK;
  }

  FtStatus OpenListed(const Listed& entry, FtHandle& handle);
};

LibftdiDriver::LibftdiDriver(Report report) : impl_(std::make_unique<Impl>()) {
  impl_->report = report ? std::move(report)
                         : Report([](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
}

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
    entry.bus = libusb_get_bus_number(item->dev);
    entry.address = libusb_get_device_address(item->dev);
    uint8_t ports[UsbPlace::kMaxDepth] = {};
    entry.place = PlaceOf(entry.bus, ports, libusb_get_port_numbers(item->dev, ports, UsbPlace::kMaxDepth));
    char description[kDescriptionSize] = {};
    char serial[kSerialSize] = {};
    const int strings = ftdi_usb_get_strings(impl_->listContext, item->dev, nullptr, 0, description,
                                             sizeof description, serial, sizeof serial);
    if (strings == 0) {
      entry.description.assign(description, strnlen(description, sizeof description));
      entry.serial.assign(serial, strnlen(serial, sizeof serial));
    } else {
      // Listed without its strings, and named with the reason, so that it does not pass for no device.
      entry.problem = DeviceProblemText(entry.bus, entry.address, CauseOf(impl_->listContext, strings, item->dev));
    }
    impl_->listed.push_back(std::move(entry));
  }
  std::vector<UsbPlace> places;
  for (const Listed& entry : impl_->listed) places.push_back(entry.place);
  const std::vector<uint32_t> ids = LocationIds(places);
  for (size_t i = 0; i < ids.size(); ++i) impl_->listed[i].locationId = ids[i];
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
    if (d->place == entry.place) {
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

std::string LibftdiDriver::DeviceProblem(uint32_t index) {
  std::lock_guard lock(impl_->mutex);
  return index < impl_->listed.size() ? impl_->listed[index].problem : std::string();
}

std::string LibftdiDriver::OpenProblem() {
  std::lock_guard lock(impl_->mutex);
  return impl_->openProblem;
}

FtStatus LibftdiDriver::Impl::OpenListed(const Listed& entry, FtHandle& handle) {
  char name[64];
  std::snprintf(name, sizeof name, "USB %03u:%03u", static_cast<unsigned>(entry.bus),
                static_cast<unsigned>(entry.address));
  auto device = std::make_unique<OpenDevice>();
  device->place = entry.place;
  device->name = name;
  if (!(device->context = ftdi_new())) {
    openProblem = DeviceProblemText(entry.bus, entry.address, "нет памяти для libftdi");
    return FT_INSUFFICIENT_RESOURCES;
  }
  const int opened = ftdi_usb_open_dev(device->context, entry.device);
  if (opened < 0) {
    openProblem = DeviceProblemText(entry.bus, entry.address, CauseOf(device->context, opened, entry.device));
    ftdi_free(device->context);
    return FT_DEVICE_NOT_OPENED;
  }
  ftdi_set_latency_timer(device->context, kLatencyMs);
  ftdi_read_data_set_chunksize(device->context, kReadChunk);
  device->context->usb_read_timeout = kUsbReadTimeoutMs;
  OpenDevice* raw = device.get();
  const Report* sink = &report;
  device->reader = std::jthread([raw, sink](std::stop_token stop) { ReaderLoop(stop, raw, sink); });
  handle = nextHandle++;
  open.emplace(handle, std::move(device));
  openProblem.clear();
  return FT_OK;
}

FtStatus LibftdiDriver::OpenEx(const char* text, uint32_t flags, FtHandle& handle) {
  std::lock_guard lock(impl_->mutex);
  if ((flags != kOpenByDescription && flags != kOpenBySerialNumber) || text == nullptr)
    return FT_INVALID_PARAMETER;
  const std::string wanted(text, strnlen(text, kDescriptionSize));
  for (const Listed& l : impl_->listed) {
    const std::string& key = flags == kOpenByDescription ? l.description : l.serial;
    if (!key.empty() && key == wanted) return impl_->OpenListed(l, handle);
  }
  return FT_DEVICE_NOT_FOUND;
}

FtStatus LibftdiDriver::OpenByLocation(uint32_t locationId, FtHandle& handle) {
  std::lock_guard lock(impl_->mutex);
  for (const Listed& l : impl_->listed)
    if (l.locationId == locationId) return impl_->OpenListed(l, handle);
  return FT_DEVICE_NOT_FOUND;
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
  // The reader ends after its transfer, which a hung device holds at most for the bounded time-out.
  d->reader.request_stop();
  if (d->reader.joinable()) d->reader.join();
  ftdi_usb_close(d->context);
  ftdi_free(d->context);
  return FT_OK;
}

FtStatus LibftdiDriver::ResetDevice(FtHandle handle) {
  return impl_->Run(handle, [](OpenDevice& d) {
    const int r = ftdi_usb_reset(d.context);
    d.DropReceived();
    return r;
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
    if (mask & kPurgeRx) d.DropReceived();
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
  OpenDevice* d = nullptr;
  {
    std::lock_guard lock(impl_->mutex);
    d = impl_->Find(handle);
  }
  if (!d) return FT_INVALID_HANDLE;
  rxQueue = static_cast<uint32_t>(d->queue.Count());
  // A gone device still hands over what it sent before; then every call says it is gone.
  if (d->gone && rxQueue == 0) return FT_IO_ERROR;
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
      d->queue, static_cast<uint8_t*>(buffer), count, d->readTimeoutMs,
      [d] { return !d->gone || d->queue.Count() > 0; }, gone);
  return gone ? FT_IO_ERROR : FT_OK;
}

FtStatus LibftdiDriver::Write(FtHandle handle, const void* buffer, uint32_t count, uint32_t& written) {
  written = 0;
  OpenDevice* d = nullptr;
  {
    std::lock_guard lock(impl_->mutex);
    d = impl_->Find(handle);
  }
  if (!d) return FT_INVALID_HANDLE;
  if (d->gone) return FT_IO_ERROR;
  const int n = ftdi_write_data(d->context, static_cast<const unsigned char*>(buffer), static_cast<int>(count));
  if (n < 0) return FT_IO_ERROR;
  written = static_cast<uint32_t>(n);
  return FT_OK;
}

}  // namespace platform::ftdi
