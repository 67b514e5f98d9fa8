// The libftdi1 and libusb functions of the stand-in (declared by the libraries' own headers).
#include <ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include "standin_bus.h"

struct libusb_device {
  standin::UsbDevice* device;
};
struct libusb_device_handle {
  standin::UsbDevice* device;
};

namespace {

using standin::Bus;
using standin::UsbDevice;

constexpr int kPacket = 64;
constexpr uint16_t kFtdiProducts[] = {0x6001, 0x6010, 0x6011, 0x6014, 0x6015};

// libftdi's way of failing: the text in the context, the code returned.
int Fail(ftdi_context* ftdi, int code, const char* text) {
  if (ftdi) ftdi->error_str = text;
  return code;
}

UsbDevice* DeviceOf(ftdi_context* ftdi) { return ftdi && ftdi->usb_dev ? ftdi->usb_dev->device : nullptr; }

// A control request on the device: recorded, refused when the device has gone.
template <typename Change>
int Control(ftdi_context* ftdi, const std::string& call, int failCode, const char* failText, Change change) {
  if (!ftdi || !ftdi->usb_dev) return Fail(ftdi, -666, "USB device unavailable");
  std::lock_guard lock(Bus::Instance().Mutex());
  UsbDevice& d = *DeviceOf(ftdi);
  if (d.inRead) ++d.controlDuringRead;
  if (d.gone) return Fail(ftdi, failCode, failText);
  d.calls.push_back(call);
  change(d);
  return 0;
}

void Strings(const std::string& text, char* out, int size) {
  if (!out || size <= 0) return;
  const size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

// One bulk IN transfer of up to `size` bytes: 64-byte packets, each the chip's two status bytes and up
// to 62 bytes of what the recorder sent; a packet of the status bytes alone when nothing came.
int Transfer(ftdi_context* ftdi, unsigned char* out, int size, int* actual) {
  *actual = 0;
  Bus& bus = Bus::Instance();
  std::unique_lock lock(bus.Mutex());
  UsbDevice& d = *DeviceOf(ftdi);
  const uint32_t tick = platform::GetTickCount();
  d.readTimeoutMs = ftdi->usb_read_timeout;
  d.inRead = true;
  const auto finish = [&](int result) {
    d.inRead = false;
    d.lastStartTick = tick;
    d.anyTransfer = true;
    ++d.transfers;
    bus.Changed().notify_all();
    return result;
  };
  if (d.gone) return finish(LIBUSB_ERROR_NO_DEVICE);
  if (!d.readResults.empty()) {
    const int result = d.readResults.front();
    d.readResults.pop_front();
    if (result != 0) return finish(result);
  }
  if (d.hung) {
    bus.Changed().wait_for(lock, std::chrono::milliseconds(ftdi->usb_read_timeout), [&] { return !d.hung; });
    if (d.hung) return finish(LIBUSB_ERROR_TIMEOUT);
  }
  if (d.holdReads) {
    d.readHeld = true;
    bus.Changed().notify_all();
    bus.Changed().wait(lock, [&] { return !d.holdReads; });
    d.readHeld = false;
  }
  d.recorder.Pump(d.chip);
  if (d.chip.Count() == 0 && d.anyTransfer && d.lastStartTick == tick) {
    // Nothing new at this moment: the chip answers when its latency timer runs out.
    bus.Changed().wait_for(lock, std::chrono::milliseconds(2), [&] { return platform::GetTickCount() != tick; });
    d.recorder.Pump(d.chip);
  }
  int filled = 0;
  do {
    out[filled] = 0x01 | 0x30;  // modem status: CTS and DSR
    out[filled + 1] = 0x60;     // line status: transmitter empty
    const size_t payload = d.chip.Take(out + filled + 2, kPacket - 2);
    filled += 2 + static_cast<int>(payload);
    if (payload < kPacket - 2) break;  // a short packet ends the transfer
  } while (filled + kPacket <= size && d.chip.Count() > 0);
  *actual = filled;
  return finish(0);
}

}  // namespace

extern "C" {

struct ftdi_context* ftdi_new(void) {
  auto* ftdi = static_cast<ftdi_context*>(std::calloc(1, sizeof(ftdi_context)));
  if (!ftdi) return nullptr;
  ftdi->usb_read_timeout = 5000;
  ftdi->usb_write_timeout = 5000;
  ftdi->type = TYPE_BM;
  ftdi->readbuffer_chunksize = 4096;
  ftdi->writebuffer_chunksize = 4096;
  ftdi->readbuffer = static_cast<unsigned char*>(std::malloc(ftdi->readbuffer_chunksize));
  ftdi->interface = 0;
  ftdi->index = 1;
  ftdi->module_detach_mode = AUTO_DETACH_SIO_MODULE;
  return ftdi;
}

void ftdi_free(struct ftdi_context* ftdi) {
  if (!ftdi) return;
  if (ftdi->usb_dev) ftdi_usb_close(ftdi);
  std::free(ftdi->readbuffer);
  std::free(ftdi);
}

const char* ftdi_get_error_string(struct ftdi_context* ftdi) { return ftdi && ftdi->error_str ? ftdi->error_str : ""; }

int ftdi_usb_find_all(struct ftdi_context* ftdi, struct ftdi_device_list** devlist, int vendor, int product) {
  std::lock_guard lock(Bus::Instance().Mutex());
  *devlist = nullptr;
  ftdi_device_list** tail = devlist;
  int count = 0;
  for (auto& d : Bus::Instance().Devices()) {
    if (d->gone) continue;
    const bool known = vendor == 0 && product == 0
                           ? d->vendor == 0x0403 && std::count(std::begin(kFtdiProducts), std::end(kFtdiProducts), d->product) > 0
                           : d->vendor == vendor && d->product == product;
    if (!known) continue;
    auto* item = static_cast<ftdi_device_list*>(std::calloc(1, sizeof(ftdi_device_list)));
    if (!item) return Fail(ftdi, -3, "out of memory");
    item->dev = new libusb_device{d.get()};
    *tail = item;
    tail = &item->next;
    ++count;
  }
  return count;
}

void ftdi_list_free(struct ftdi_device_list** devlist) {
  for (ftdi_device_list* item = *devlist; item;) {
    ftdi_device_list* next = item->next;
    delete item->dev;
    std::free(item);
    item = next;
  }
  *devlist = nullptr;
}

int ftdi_usb_get_strings(struct ftdi_context* ftdi, struct libusb_device* dev, char* manufacturer, int mnf_len,
                         char* description, int desc_len, char* serial, int serial_len) {
  std::lock_guard lock(Bus::Instance().Mutex());
  const UsbDevice& d = *dev->device;
  if (d.denied || d.gone) return Fail(ftdi, -4, "libusb_open() failed");
  Strings("FTDI", manufacturer, mnf_len);
  Strings(d.description, description, desc_len);
  Strings(d.serial, serial, serial_len);
  return 0;
}

int ftdi_usb_open_dev(struct ftdi_context* ftdi, struct libusb_device* dev) {
  if (!ftdi) return -8;
  std::lock_guard lock(Bus::Instance().Mutex());
  UsbDevice& d = *dev->device;
  if (d.denied || d.gone) return Fail(ftdi, -4, "libusb_open() failed");
  if (d.claimedElsewhere || d.open)
    return Fail(ftdi, -5, "unable to claim usb device. Make sure the default FTDI driver is not in use");
  ftdi->usb_dev = new libusb_device_handle{&d};
  ftdi->max_packet_size = kPacket;
  ftdi->type = TYPE_R;
  ftdi->readbuffer_offset = 0;
  ftdi->readbuffer_remaining = 0;
  d.open = true;
  d.anyTransfer = false;
  d.calls.push_back("open");
  return 0;
}

int ftdi_usb_close(struct ftdi_context* ftdi) {
  if (!ftdi || !ftdi->usb_dev) return 0;
  {
    std::lock_guard lock(Bus::Instance().Mutex());
    ftdi->usb_dev->device->open = false;
    ftdi->usb_dev->device->calls.push_back("close");
  }
  Bus::Instance().Changed().notify_all();
  delete ftdi->usb_dev;
  ftdi->usb_dev = nullptr;
  return 0;
}

int ftdi_set_latency_timer(struct ftdi_context* ftdi, unsigned char latency) {
  if (latency < 1) return Fail(ftdi, -1, "latency out of range. Only valid for 1-255");
  return Control(ftdi, "latency " + std::to_string(latency), -2, "unable to set latency timer",
                 [&](UsbDevice& d) { d.latency = latency; });
}

int ftdi_read_data_set_chunksize(struct ftdi_context* ftdi, unsigned int chunksize) {
  if (!ftdi) return -1;
  auto* buffer = static_cast<unsigned char*>(std::realloc(ftdi->readbuffer, chunksize));
  if (!buffer) return Fail(ftdi, -1, "out of memory for readbuffer");
  ftdi->readbuffer = buffer;
  ftdi->readbuffer_offset = 0;
  ftdi->readbuffer_remaining = 0;
  ftdi->readbuffer_chunksize = chunksize;
  if (UsbDevice* d = DeviceOf(ftdi)) {
    std::lock_guard lock(Bus::Instance().Mutex());
    d->chunk = chunksize;
  }
  return 0;
}

// As libftdi reads: first from what the last transfer left, then transfer by transfer with the status
// bytes of every packet stripped, until `size` bytes are there or a transfer brings nothing.
int ftdi_read_data(struct ftdi_context* ftdi, unsigned char* buf, int size) {
  if (!ftdi || !ftdi->usb_dev) return Fail(ftdi, -666, "USB device unavailable");
  if (size <= static_cast<int>(ftdi->readbuffer_remaining)) {
    std::memcpy(buf, ftdi->readbuffer + ftdi->readbuffer_offset, static_cast<size_t>(size));
    ftdi->readbuffer_remaining -= static_cast<unsigned>(size);
    ftdi->readbuffer_offset += static_cast<unsigned>(size);
    return size;
  }
  int offset = 0;
  if (ftdi->readbuffer_remaining != 0) {
    std::memcpy(buf, ftdi->readbuffer + ftdi->readbuffer_offset, ftdi->readbuffer_remaining);
    offset = static_cast<int>(ftdi->readbuffer_remaining);
  }
  for (;;) {
    ftdi->readbuffer_remaining = 0;
    ftdi->readbuffer_offset = 0;
    int actual = 0;
    const int result = Transfer(ftdi, ftdi->readbuffer, static_cast<int>(ftdi->readbuffer_chunksize), &actual);
    if (result < 0) return Fail(ftdi, result, "usb bulk read failed");
    if (actual <= 2) return offset;
    // Strip the two status bytes of every packet.
    int payload = 0;
    for (int p = 0; p < actual; p += kPacket) {
      const int n = std::min(kPacket, actual - p) - 2;
      std::memmove(ftdi->readbuffer + payload, ftdi->readbuffer + p + 2, static_cast<size_t>(n));
      payload += n;
    }
    if (offset + payload <= size) {
      std::memcpy(buf + offset, ftdi->readbuffer, static_cast<size_t>(payload));
      offset += payload;
      if (offset == size) return offset;
      continue;
    }
    const int part = size - offset;
    std::memcpy(buf + offset, ftdi->readbuffer, static_cast<size_t>(part));
    ftdi->readbuffer_offset = static_cast<unsigned>(part);
    ftdi->readbuffer_remaining = static_cast<unsigned>(payload - part);
    return size;
  }
}

int ftdi_write_data(struct ftdi_context* ftdi, const unsigned char* buf, int size) {
  if (!ftdi || !ftdi->usb_dev) return Fail(ftdi, -666, "USB device unavailable");
  std::lock_guard lock(Bus::Instance().Mutex());
  UsbDevice& d = *DeviceOf(ftdi);
  if (d.gone) return Fail(ftdi, -1, "usb bulk write failed");
  if (d.writeFailures > 0) {
    --d.writeFailures;
    return Fail(ftdi, -1, "usb bulk write failed");
  }
  d.recorder.OnBytesFromPc(buf, static_cast<size_t>(size));
  return size;
}

// Purging the receive side also forgets what libftdi's own buffer holds.
static void ForgetReceived(ftdi_context* ftdi, UsbDevice& d) {
  d.chip.Clear();
  ftdi->readbuffer_offset = 0;
  ftdi->readbuffer_remaining = 0;
}

int ftdi_usb_reset(struct ftdi_context* ftdi) {
  return Control(ftdi, "reset", -1, "FTDI reset failed", [&](UsbDevice& d) { ForgetReceived(ftdi, d); });
}
int ftdi_tciflush(struct ftdi_context* ftdi) {
  return Control(ftdi, "tciflush", -1, "FTDI purge of RX buffer failed",
                 [&](UsbDevice& d) { ForgetReceived(ftdi, d); });
}
int ftdi_tcoflush(struct ftdi_context* ftdi) {
  return Control(ftdi, "tcoflush", -1, "FTDI purge of TX buffer failed", [](UsbDevice&) {});
}
int ftdi_tcioflush(struct ftdi_context* ftdi) {
  return Control(ftdi, "tcioflush", -1, "FTDI purge of RX buffer failed",
                 [&](UsbDevice& d) { ForgetReceived(ftdi, d); });
}

int ftdi_set_baudrate(struct ftdi_context* ftdi, int baudrate) {
  if (baudrate <= 0) return Fail(ftdi, -1, "Silly baudrate <= 0.");
  return Control(ftdi, "baud " + std::to_string(baudrate), -2, "Setting new baudrate failed", [&](UsbDevice& d) {
    d.baud = baudrate;
    ftdi->baudrate = baudrate;
  });
}

int ftdi_set_line_property(struct ftdi_context* ftdi, enum ftdi_bits_type bits, enum ftdi_stopbits_type sbit,
                           enum ftdi_parity_type parity) {
  return Control(ftdi, "line", -1, "Setting new line property failed", [&](UsbDevice& d) {
    d.bits = bits;
    d.stop = sbit;
    d.parity = parity;
  });
}

int ftdi_setflowctrl(struct ftdi_context* ftdi, int flowctrl) {
  return Control(ftdi, "flow " + std::to_string(flowctrl), -1, "set flow control failed",
                 [&](UsbDevice& d) { d.flow = flowctrl; });
}

int ftdi_setflowctrl_xonxoff(struct ftdi_context* ftdi, unsigned char xon, unsigned char xoff) {
  return Control(ftdi, "xonxoff " + std::to_string(xon) + " " + std::to_string(xoff), -1,
                 "set flow control failed", [&](UsbDevice& d) { d.flow = SIO_XON_XOFF_HS; });
}

int ftdi_setdtr(struct ftdi_context* ftdi, int state) {
  return Control(ftdi, "dtr " + std::to_string(state), -1, "set dtr failed", [&](UsbDevice& d) { d.dtr = state; });
}

int ftdi_setrts(struct ftdi_context* ftdi, int state) {
  return Control(ftdi, "rts " + std::to_string(state), -1, "set of rts failed", [&](UsbDevice& d) { d.rts = state; });
}

int ftdi_set_event_char(struct ftdi_context* ftdi, unsigned char eventch, unsigned char enable) {
  return Control(ftdi, "event " + std::to_string(eventch) + " " + std::to_string(enable), -1,
                 "setting event character failed", [](UsbDevice&) {});
}

int ftdi_set_error_char(struct ftdi_context* ftdi, unsigned char errorch, unsigned char enable) {
  return Control(ftdi, "error " + std::to_string(errorch) + " " + std::to_string(enable), -1,
                 "setting error character failed", [](UsbDevice&) {});
}

int ftdi_poll_modem_status(struct ftdi_context* ftdi, unsigned short* status) {
  return Control(ftdi, "modem", -1, "ftdi_poll_modem_status failed", [&](UsbDevice&) { *status = 0x6031; });
}

int LIBUSB_CALL libusb_get_device_descriptor(libusb_device* dev, struct libusb_device_descriptor* desc) {
  std::lock_guard lock(Bus::Instance().Mutex());
  std::memset(desc, 0, sizeof *desc);
  desc->bLength = LIBUSB_DT_DEVICE_SIZE;
  desc->bDescriptorType = LIBUSB_DT_DEVICE;
  desc->idVendor = dev->device->vendor;
  desc->idProduct = dev->device->product;
  desc->bcdDevice = dev->device->release;
  desc->bNumConfigurations = 1;
  return 0;
}

uint8_t LIBUSB_CALL libusb_get_bus_number(libusb_device* dev) { return dev->device->bus; }
uint8_t LIBUSB_CALL libusb_get_device_address(libusb_device* dev) { return dev->device->address; }

int LIBUSB_CALL libusb_get_port_numbers(libusb_device* dev, uint8_t* port_numbers, int port_numbers_len) {
  const auto& ports = dev->device->ports;
  if (static_cast<int>(ports.size()) > port_numbers_len) return LIBUSB_ERROR_OVERFLOW;
  std::copy(ports.begin(), ports.end(), port_numbers);
  return static_cast<int>(ports.size());
}

int LIBUSB_CALL libusb_open(libusb_device* dev, libusb_device_handle** dev_handle) {
  std::lock_guard lock(Bus::Instance().Mutex());
  if (dev->device->gone) return LIBUSB_ERROR_NO_DEVICE;
  if (dev->device->denied) return LIBUSB_ERROR_ACCESS;
  *dev_handle = new libusb_device_handle{dev->device};
  return 0;
}

void LIBUSB_CALL libusb_close(libusb_device_handle* dev_handle) { delete dev_handle; }

}  // extern "C"
