#pragma once
// Our interface to the USB serial bridge: exactly the calls the recorder link makes, with the status
// codes it expects. Back ends: the libftdi1 driver for real recorders and the emulated recorder.
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform::ftdi {

// Result of every driver call; FT_OK is success, every other value a failure.
enum FtStatus : uint32_t {
  FT_OK = 0,
  FT_INVALID_HANDLE = 1,
  FT_DEVICE_NOT_FOUND = 2,
  FT_DEVICE_NOT_OPENED = 3,
  FT_IO_ERROR = 4,
  FT_INSUFFICIENT_RESOURCES = 5,
  FT_INVALID_PARAMETER = 6,
  FT_INVALID_BAUD_RATE = 7,
  FT_DEVICE_NOT_OPENED_FOR_ERASE = 8,
  FT_DEVICE_NOT_OPENED_FOR_WRITE = 9,
  FT_FAILED_TO_WRITE_DEVICE = 10,
  FT_EEPROM_READ_FAILED = 11,
  FT_EEPROM_WRITE_FAILED = 12,
  FT_EEPROM_ERASE_FAILED = 13,
  FT_EEPROM_NOT_PRESENT = 14,
  FT_EEPROM_NOT_PROGRAMMED = 15,
  FT_INVALID_ARGS = 16,
  FT_NOT_SUPPORTED = 17,
  FT_OTHER_ERROR = 18,
};
inline constexpr uint32_t kStatusCount = 19;

// The name of a status code ("FT_OK" ... "FT_OTHER_ERROR"); "FT_UNKNOWN_STATUS" for any other value.
const char* StatusName(uint32_t status);

// An open device; 0 is no device.
using FtHandle = uint32_t;

inline constexpr size_t kSerialSize = 16;
inline constexpr size_t kDescriptionSize = 64;

// What OpenEx opens a device of the last list by.
inline constexpr uint32_t kOpenBySerialNumber = 1;
inline constexpr uint32_t kOpenByDescription = 2;

// Flow-control codes of SetFlowControl.
inline constexpr uint16_t kFlowNone = 0x000;
inline constexpr uint16_t kFlowRtsCts = 0x100;
inline constexpr uint16_t kFlowDtrDsr = 0x200;
inline constexpr uint16_t kFlowXonXoff = 0x400;

// Stop-bit codes of SetDataCharacteristics.
inline constexpr uint8_t kStopBits1 = 0;
inline constexpr uint8_t kStopBits2 = 2;

// Purge mask bits.
inline constexpr uint32_t kPurgeRx = 1;
inline constexpr uint32_t kPurgeTx = 2;

// Modem-status bits.
inline constexpr uint32_t kModemCts = 0x10;
inline constexpr uint32_t kModemDsr = 0x20;

class Driver {
 public:
  virtual ~Driver() = default;

  // Builds the list of attached bridge devices and reports their number.
  virtual FtStatus CreateDeviceInfoList(uint32_t& count) = 0;
  // Details of device `index` of the last list. The serial number and the description are written
  // NUL-terminated within their sizes.
  virtual FtStatus GetDeviceInfoDetail(uint32_t index, uint32_t& flags, uint32_t& type, uint32_t& id,
                                       uint32_t& locationId, char (&serial)[kSerialSize],
                                       char (&description)[kDescriptionSize], FtHandle& handle) = 0;
  // Opens the first device of the last list whose serial number (kOpenBySerialNumber) or description
  // (kOpenByDescription) equals `text`.
  virtual FtStatus OpenEx(const char* text, uint32_t flags, FtHandle& handle) = 0;
  // Opens the device of the last list at `locationId`: the one entry the user chose, even when another
  // device shows the same serial number or description.
  virtual FtStatus OpenByLocation(uint32_t locationId, FtHandle& handle) = 0;
  // Why the details of device `index` of the last list could not be read (the device named by its place
  // on the bus, and the cause); empty when they were read.
  virtual std::string DeviceProblem(uint32_t index) = 0;
  // Why the last failed open failed, in the same words; empty after a successful open.
  virtual std::string OpenProblem() = 0;
  virtual FtStatus Close(FtHandle handle) = 0;

  virtual FtStatus ResetDevice(FtHandle handle) = 0;
  virtual FtStatus SetBaudRate(FtHandle handle, uint32_t baud) = 0;
  virtual FtStatus SetDataCharacteristics(FtHandle handle, uint8_t wordLength, uint8_t stopBits,
                                          uint8_t parity) = 0;
  virtual FtStatus SetFlowControl(FtHandle handle, uint16_t flow, uint8_t xon, uint8_t xoff) = 0;
  virtual FtStatus SetChars(FtHandle handle, uint8_t eventChar, uint8_t eventEnable, uint8_t errorChar,
                            uint8_t errorEnable) = 0;
  virtual FtStatus SetEventNotification(FtHandle handle, uint32_t mask, void* event) = 0;
  virtual FtStatus SetDtr(FtHandle handle) = 0;
  virtual FtStatus ClrDtr(FtHandle handle) = 0;
  virtual FtStatus SetRts(FtHandle handle) = 0;
  virtual FtStatus ClrRts(FtHandle handle) = 0;
  virtual FtStatus SetTimeouts(FtHandle handle, uint32_t readTimeoutMs, uint32_t writeTimeoutMs) = 0;
  virtual FtStatus Purge(FtHandle handle, uint32_t mask) = 0;

  virtual FtStatus GetModemStatus(FtHandle handle, uint32_t& status) = 0;
  // Bytes waiting in the receive queue and the transmit queue, and the event state.
  virtual FtStatus GetStatus(FtHandle handle, uint32_t& rxQueue, uint32_t& txQueue, uint32_t& events) = 0;
  // Reads up to `count` bytes, waiting at most the read time-out; `got` may be short.
  virtual FtStatus Read(FtHandle handle, void* buffer, uint32_t count, uint32_t& got) = 0;
  // Writes up to `count` bytes within the write time-out; `written` may be short.
  virtual FtStatus Write(FtHandle handle, const void* buffer, uint32_t count, uint32_t& written) = 0;
};

}  // namespace platform::ftdi
