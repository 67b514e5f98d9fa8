#pragma once
// The one link of the recorder-control program to a recorder over the USB serial bridge: the list of
// attached recorders, the open device and its port settings, the frame buffer every command shares, the
// text of the last exchange and its counters. Framing and reception live in message_reception.cpp.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ftdi/backend.h"
#include "platform/ftdi/driver.h"

namespace recorder {

inline constexpr int kMaxDevices = 8;
inline constexpr size_t kLinkBufferBytes = 10800;

struct PortSettings {
  uint32_t BaudIndex = 0;  // index into the baud table (BaudRateOf)
  uint32_t DataBits = 0;   // word length minus 7
  uint32_t StopBits = 0;   // 1 = two stop bits, else one
  uint32_t Parity = 0;     // low byte goes to the driver unchanged (0 = none)
  uint32_t Flow = 0;       // 0 or 1 RTS/CTS, 2 DTR/DSR, 3 XON/XOFF, other none
  uint8_t XonChar = 0;
  uint8_t XoffChar = 0;
  uint8_t EventChar = 0;
  uint8_t ErrorChar = 0;
  uint32_t EventCharOn = 0;
  uint32_t ErrorCharOn = 0;
  uint32_t Rts = 0;
  uint32_t Dtr = 0;
  uint32_t Cts = 0;  // from the modem status at open
  uint32_t Dsr = 0;
  uint32_t ReadTimeout = 0;   // ms
  uint32_t WriteTimeout = 0;  // ms
  uint32_t EventMask = 0;
  platform::ftdi::FtHandle Handle = 0;
};

// UnitLink::Log is the account of the exchanges since a caller last reset it; a caller that polls a
// failing line for seconds would grow it without end. Past kMostLinkLogBytes only its last
// kKeptLinkLogBytes are kept.
inline constexpr size_t kMostLinkLogBytes = 16384;
inline constexpr size_t kKeptLinkLogBytes = 8192;
void KeepLogTail(std::string& log);

// The baud rate of a baud-table index; 115200 for an index outside the table.
uint32_t BaudRateOf(uint32_t index);

// How the link shows a message box and ends the program. The recorder windows install the real ones;
// the defaults write to stderr and call std::exit.
struct LinkNotices {
  enum class Icon { None, Error };
  std::function<void(const std::string& text, const std::string& caption, Icon icon)> Message;
  std::function<void(int exitCode)> Terminate;
};

class UnitLink {
 public:
  explicit UnitLink(platform::ftdi::Driver& driver = platform::ftdi::CurrentDriver());
  ~UnitLink();
  UnitLink(const UnitLink&) = delete;
  UnitLink& operator=(const UnitLink&) = delete;

  uint32_t TxQueue = 0;
  uint32_t RxQueue = 0;
  std::unique_ptr<PortSettings> Settings;
  std::string Log;
  char SerialNumbers[kMaxDevices][platform::ftdi::kSerialSize] = {};
  char Descriptions[kMaxDevices][platform::ftdi::kDescriptionSize] = {};
  uint32_t Flags[kMaxDevices] = {};
  uint32_t Ids[kMaxDevices] = {};
  uint32_t Types[kMaxDevices] = {};
  uint32_t LocIds[kMaxDevices] = {};
  uint32_t Handles[kMaxDevices] = {};
  std::array<const char*, platform::ftdi::kStatusCount> StatusNames{};
  uint8_t Buffer[kLinkBufferBytes] = {};
  uint16_t Dropped = 0;
  int32_t Chosen = -1;
  uint32_t DeviceCount = 0;
  // Bridge devices the last ListDevices examined (at most eight), recorders or not.
  uint32_t Examined = 0;
  uint32_t MaxWait = 0;
  uint32_t TotalWait = 0;
  uint16_t WriteErrors = 0;

  LinkNotices Notices;
  // Bridge devices of the last list whose details could not be read, each named with its place on the bus
  // and the cause (a recorder the user has no access to among them).
  std::vector<std::string> Unreadable;
  // Why the last OpenLink failed, in the driver's words; empty when it did not fail in the driver.
  std::string OpenFailure;

  // The name of a driver status for texts; bounded for values outside StatusNames.
  const char* StatusName(uint32_t status) const { return platform::ftdi::StatusName(status); }

  // Lists the attached recorders (description starting with "T-9XV" or "TK-41", non-zero location id),
  // at most eight, packed at the front of the arrays; devices that could not be read go to Unreadable
  // (and to stderr). False when no bridge device is attached at all; ends the program with exit code 1
  // when the driver cannot build its list.
  bool ListDevices();
  // Opens the device of slot Chosen (by its location id, so that of two devices with one description
  // the chosen one opens) and configures it; true on success. On failure a handle obtained is closed
  // again and OpenFailure (also on stderr) says why the driver could not open it.
  bool OpenLink();
  // Applies Settings to the open handle.
  bool ConfigurePort();

  // Completes the command frame whose payload lies in Buffer from byte 6 and writes it. False when it
  // was sent whole; true on a failed or short write (Log says why, WriteErrors counts it). `status`
  // gets the write's driver status (FT_OK when the write was merely short).
  bool SendCommand(uint8_t type, uint8_t code, uint8_t subCode, uint16_t payloadCount, uint32_t& status);
  bool SendCommand(uint8_t type, uint8_t code, uint8_t subCode, uint16_t payloadCount);

  // Hunts for and receives one reply frame into `buffer` (at least 513 bytes). Returns the body length
  // + 1 when a frame came (body and check byte at the start of `buffer`; a body failing its check comes
  // with error kBadBodyCheck), the bytes a failed read delivered (kReadStatus, kReadShort), else 0.
  // `error` is one of the ReceiveError words: only a reception with error 0 is a good reply. `type` is
  // the reply type (0xFF when no header was accepted), `code` its code, `dropped` the bytes discarded
  // while hunting for the header. A failed driver call pauses a little before returning, so that
  // callers polling a pulled cable do not spin.
  //
  // Bytes read from the driver and not yet part of a frame stay in the link for the next reception: a
  // frame the line pauses in is completed by a later call, and a pause with nothing dropped returns 0
  // without an error (in a body, kBodyIncomplete after 1460 ms; the bytes are kept all the same). After
  // a refused header or a body that failed its check the hunt goes on from the byte after that frame's
  // start, so a frame that lost a byte costs no byte of the frame after it; bytes of a frame already
  // delivered or refused are not counted as dropped again.
  uint16_t ReceiveMessage(uint16_t& error, uint16_t& dropped, uint8_t& type, uint8_t& code, uint8_t* buffer);

  // A reception awaiting the reply of a command just sent: as ReceiveMessage, but it waits at most
  // `mostWaitMs` (what is left of the command's own wait), and a frame whose body is not complete yields
  // to a whole, checked frame that has begun inside it: an older frame the line cut takes none of the
  // reply's bytes, and its body time never holds the reply back.
  uint16_t ReceiveReply(uint16_t& error, uint16_t& dropped, uint8_t& type, uint8_t& code, uint8_t* buffer,
                        uint32_t mostWaitMs);

  // The reader of the frame the last reception delivered good found its content spoilt (a card or block
  // sum failed): a frame check can hold by chance, or when a lost byte equalled the next frame's first,
  // which the frame then took in. The hunt goes on from the byte after that frame's start, as after a
  // failed frame check, so the next frame is not lost with it.
  void RefuseLastFrame();

  // Empties the line, the bytes the link holds included: 0 when it is quiet, else (after 2000 ms of
  // replies or failures) the number of bytes still waiting, at least 1.
  uint32_t DrainMessages();

  // Bytes taken from the driver since the link was created: a caller sees by it whether the line
  // brought anything, also when no frame was complete.
  uint64_t BytesRead = 0;
  // The tick count of the last read that brought bytes.
  uint32_t LastReadTick = 0;
  // Bytes of an unfinished frame the link holds for the next reception.
  uint32_t HeldBytes() const { return held_ - delivered_; }
  // Forgets the bytes the link holds (the driver's queue was purged, or a drain found the line quiet).
  void DropHeld() { held_ = reported_ = delivered_ = 0; }
  // Forgets what is left of older exchanges before a command is sent: the bytes the link holds and those
  // already waiting in the driver's queue. Bytes still on their way are left to the receptions.
  void DropPending();

  platform::ftdi::Driver& Driver() { return driver_; }

 private:
  // Removes the first `n` held bytes.
  void Consume(uint32_t n);
  // ReceiveMessage and ReceiveReply: `reply` makes a stopped body yield to a whole frame inside it.
  uint16_t Receive(uint16_t& error, uint16_t& dropped, uint8_t& type, uint8_t& code, uint8_t* buffer,
                   uint32_t mostWaitMs, bool reply);
  // The offset (from `from` on, below `before`) of the first whole frame held whose header and body
  // checks hold; 0 when there is none.
  uint32_t FindWholeFrame(uint32_t from, uint32_t before) const;

  platform::ftdi::Driver& driver_;
  // The bytes read from the driver that no frame has taken yet, and those of the frame delivered last:
  // at most a header and a whole body.
  static constexpr uint32_t kHeldCapacity = 1024;
  uint8_t rx_[kHeldCapacity] = {};
  uint32_t held_ = 0;
  // Leading held bytes that belonged to a frame already delivered or refused: hunted through again
  // without counting them as dropped.
  uint32_t reported_ = 0;
  // Leading held bytes of the frame delivered last, kept until the next reception (RefuseLastFrame).
  uint32_t delivered_ = 0;
};

}  // namespace recorder
