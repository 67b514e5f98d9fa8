#pragma once
// The recorder's command set over the link: status request, mode change, card-page streaming, DataFlash
// page read and write, RAM read. Each wrapper places its payload, sends the command frame, waits for
// the matching reply under its own time limit and leaves an account of the exchange in UnitLink::Log.
// Results: kDone 0, kNotWritten 1 (the frame was not written; also: pages came instead of a status),
// kNoAnswer 255 (no matching reply in time).
#include <cstddef>
#include <cstdint>
#include <functional>

#include "recorder/setup_block.h"
#include "recorder/status_block.h"
#include "recorder/unit_link.h"

namespace recorder {

enum class UnitCommand : uint8_t { Ram = 1, Status = 2, Mode = 3, Pages = 4, DfPage = 5 };

inline constexpr uint8_t kDone = 0;
inline constexpr uint8_t kNotWritten = 1;
inline constexpr uint8_t kNoAnswer = 255;

// Modes of SetTransmission.
inline constexpr uint8_t kModeStop = 0;
inline constexpr uint8_t kModeTransmission = 1;
inline constexpr uint8_t kModeRegistration = 2;
inline constexpr uint8_t kModeRegistrationErase = 3;

// Time limits, ms.
inline constexpr uint32_t kStatusWaitMs = 500;
inline constexpr uint32_t kModeWaitMs = 13'000;
inline constexpr uint32_t kCardPageWaitMs = 4'000;
inline constexpr uint32_t kDfPageWaitMs = 9'999;
inline constexpr uint32_t kRamWaitMs = 9'999;

// Reply counts (body + check byte).
inline constexpr uint16_t kAckCount = 3;
inline constexpr uint16_t kPageCount = 513;

// A DataFlash read leaves the page there; the buffer of ReadWriteDfPage must hold this many bytes.
inline constexpr size_t kDfBufferBytes = 1040;

// The status request alone (the recorder answers with the status block): true when it could not be
// written, `status` then holding the driver's code.
bool SendStatusRequest(UnitLink& link, uint32_t& status);
bool SendStatusRequest(UnitLink& link);

// Status request and its wait: on kDone the 241 bytes (status block and check byte) are copied to
// `destination`.
uint8_t ReadStatus(UnitLink& link, uint8_t* destination);
uint8_t ReadStatus(UnitLink& link, StatusBlock& destination);
// The waiting half alone, after the status request has been sent by the caller.
uint8_t WaitStatus(UnitLink& link, uint8_t* destination);
uint8_t WaitStatus(UnitLink& link, StatusBlock& destination);

// Mode change 0..3, awaiting the recorder's echo of the same mode for up to kModeWaitMs. With `quietMs`
// above 0 the wait also ends once nothing at all has come for that long: a recorder that has fallen
// silent is not waited for, one still sending (the rest of a stream ahead of the echo) is.
uint8_t SetTransmission(UnitLink& link, uint8_t mode, uint32_t quietMs = 0);

// Asks for `count` card pages from `firstPage`; the caller receives them. True when the write failed.
bool RequestPages(UnitLink& link, uint32_t firstPage, uint16_t count);

// One card page; on kDone the page and its check byte lie at the start of link.Buffer.
uint8_t ReadCardPage(UnitLink& link, uint32_t page);

// DataFlash page read (direction 0) or write (direction 1) through `buffer` (kDfBufferBytes). A write
// sends the buffer's first 512 bytes. A read is done only on a checked 513-byte reply: the page and its
// check byte go to buffer bytes 0..512, bytes 515..1039 are zeroed, 513 and 514 are left as they were.
uint8_t ReadWriteDfPage(UnitLink& link, uint8_t direction, uint8_t page, uint8_t* buffer);

// 512 bytes of the recorder's RAM from `address`; on kDone they and the check byte lie at the start of
// link.Buffer.
uint8_t ReadRam(UnitLink& link, uint16_t address);

// The setup block from and to the recorder's DataFlash (pages 0..4), with the page checks; on false
// `message` is what the caller shows.
bool ReadSetup(UnitLink& link, YSTANOV& setup, SetupMessage& message);
bool WriteSetup(UnitLink& link, YSTANOV& setup, SetupMessage& message,
                const std::function<void(int, int)>& progress = {});
// Page 0 alone, after recomputing its check byte (the zero calibration).
bool WriteSetupPageZero(UnitLink& link, YSTANOV& setup, SetupMessage& message);

}  // namespace recorder
