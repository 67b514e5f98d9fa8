#pragma once
// The recorder's setup block YSTANOV: a 512-byte parameter page and a calendar of 256 switch-on
// periods (pages 1..4), kept in the recorder's DataFlash pages 0..4 and held in one copy by the program.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/clock.h"
#include "recorder/status_block.h"

namespace recorder {

inline constexpr size_t kSetupSize = 2560;
inline constexpr size_t kSetupPageSize = 512;
inline constexpr int kSetupPages = 5;
inline constexpr int kCalendarEntries = 256;
inline constexpr int kEntriesPerPage = 64;
inline constexpr uint8_t kSetupMarker = 100;  // 'd'

#pragma pack(push, 1)
// One recording period, in recorder seconds. Free: both all bits set.
struct CalendarEntry {
  uint32_t On;
  uint32_t Off;
};

struct YSTANOV {
  uint8_t Marker;         // 100
  uint8_t ChannelCode;    // recorded channels minus 1
  uint8_t RecordFlags;    // bits 3..7: record to the card during transmission
  uint8_t ChannelMask;    // bit n: channel n recorded
  uint8_t AutoAdjustOff;  // 1 = automatic adjustment refused
  uint8_t FatStart;       // first FAT sector / 256
  uint8_t DataStart;      // first data sector / 256
  uint8_t GpsMode;        // high nibble receiver (1 external), low nibble 1 = always on
  uint8_t AdcOff;         // 0 "да", 1 "нет"
  uint8_t Reserved9[3];
  uint16_t SampleRate;       // Hz
  uint16_t GpsInterval;      // seconds
  uint16_t K_yc[8];          // gains
  uint32_t ZeroOffsets[64];  // entry 8 g + c: (c << 24) + 0x800000 + offset
  uint8_t Reserved288[40];
  uint8_t Language;     // 0 Russian, 1 English
  uint8_t FileMinutes;  // 0 = whole recording in one file
  uint8_t Reserved330;
  uint8_t HighPassIndex;  // corner 0.05 x index Hz, 0 = none
  uint8_t Reserved332;
  uint8_t EventChannels;
  uint8_t EventWindow;  // samples
  uint8_t SmoothPoints;
  double Latitude;   // degrees
  double Longitude;  // degrees
  char ChannelNames[8][8];
  uint8_t ChartCompression;
  uint8_t PageCount;  // pages that hold the block, page 0 included
  uint8_t GpsIntervalIndex;
  uint8_t FullNames;  // 0 full file names, 1 short
  char Station[28];
  uint16_t Thresholds[8];
  float Coefficients[8];
  uint8_t Filler[8];      // 0x77
  uint8_t PageChecks[5];  // check byte of page 0 and of pages 1..4
  uint8_t Reserved509[3];
  CalendarEntry Calendar[256];
};
#pragma pack(pop)

static_assert(sizeof(CalendarEntry) == 8);
static_assert(offsetof(CalendarEntry, On) == 0);
static_assert(offsetof(CalendarEntry, Off) == 4);
static_assert(sizeof(YSTANOV) == kSetupSize);
static_assert(offsetof(YSTANOV, Marker) == 0);
static_assert(offsetof(YSTANOV, ChannelCode) == 1);
static_assert(offsetof(YSTANOV, RecordFlags) == 2);
static_assert(offsetof(YSTANOV, ChannelMask) == 3);
static_assert(offsetof(YSTANOV, AutoAdjustOff) == 4);
static_assert(offsetof(YSTANOV, FatStart) == 5);
static_assert(offsetof(YSTANOV, DataStart) == 6);
static_assert(offsetof(YSTANOV, GpsMode) == 7);
static_assert(offsetof(YSTANOV, AdcOff) == 8);
static_assert(offsetof(YSTANOV, SampleRate) == 12);
static_assert(offsetof(YSTANOV, GpsInterval) == 14);
static_assert(offsetof(YSTANOV, K_yc) == 16);
static_assert(offsetof(YSTANOV, ZeroOffsets) == 32);
static_assert(offsetof(YSTANOV, Reserved288) == 288);
static_assert(offsetof(YSTANOV, Language) == 328);
static_assert(offsetof(YSTANOV, FileMinutes) == 329);
static_assert(offsetof(YSTANOV, Reserved330) == 330);
static_assert(offsetof(YSTANOV, HighPassIndex) == 331);
static_assert(offsetof(YSTANOV, EventChannels) == 333);
static_assert(offsetof(YSTANOV, EventWindow) == 334);
static_assert(offsetof(YSTANOV, SmoothPoints) == 335);
static_assert(offsetof(YSTANOV, Latitude) == 336);
static_assert(offsetof(YSTANOV, Longitude) == 344);
static_assert(offsetof(YSTANOV, ChannelNames) == 352);
static_assert(offsetof(YSTANOV, ChartCompression) == 416);
static_assert(offsetof(YSTANOV, PageCount) == 417);
static_assert(offsetof(YSTANOV, GpsIntervalIndex) == 418);
static_assert(offsetof(YSTANOV, FullNames) == 419);
static_assert(offsetof(YSTANOV, Station) == 420);
static_assert(offsetof(YSTANOV, Thresholds) == 448);
static_assert(offsetof(YSTANOV, Coefficients) == 464);
static_assert(offsetof(YSTANOV, Filler) == 496);
static_assert(offsetof(YSTANOV, PageChecks) == 504);
static_assert(offsetof(YSTANOV, Reserved509) == 509);
static_assert(offsetof(YSTANOV, Calendar) == kSetupPageSize);

// The block's bytes (for page access and files).
inline uint8_t* SetupBytes(YSTANOV& s) { return reinterpret_cast<uint8_t*>(&s); }
inline const uint8_t* SetupBytes(const YSTANOV& s) { return reinterpret_cast<const uint8_t*>(&s); }

inline bool IsFree(const CalendarEntry& e) { return e.On == 0xFFFF'FFFF && e.Off == 0xFFFF'FFFF; }
void FreeEntry(CalendarEntry& e);

// Station and channel names, read bounded by their field sizes.
std::string StationName(const YSTANOV& s);
std::string ChannelName(const YSTANOV& s, int channel);

// Sum modulo 256 that a valid page gives 0 for: page 0 its 512 bytes; page n = 1..4 its 512 bytes and
// check byte 504 + n.
uint8_t PageSum(const YSTANOV& s, int page);
// Stores the check bytes of pages 4 down to 0 (page 0 last, so it covers the others' check bytes).
void ComputePageChecks(YSTANOV& s);
// Stores the check byte of page 0 alone, after a change to the parameter page.
void UpdatePageZeroCheck(YSTANOV& s);

// True when page 0 of `a` and of `b` describe the same calendar pages: the same page count and the same
// check bytes of pages 1..4. Page 0 of one then goes with the calendar pages of the other.
bool SameCalendarBook(const YSTANOV& a, const YSTANOV& b);

// Pages the block needs, page 0 included (2..5): the calendar pages up to the highest entry in use
// in 1..255, so a free period between used ones never cuts off the later ones. Entry 0 always counts.
uint8_t PagesNeeded(const YSTANOV& s);

// What a failed operation asks the window to show.
struct SetupMessage {
  std::string Text;
  std::string Caption;  // empty: a plain message
  bool ErrorIcon = false;
};

// Reads or writes one DataFlash page (direction 0 read, 1 write) through a 1040-byte buffer; the read
// leaves the 512 page bytes and the check byte at its start. Result 0 = done, anything else = failure.
using DfPageIo = std::function<uint8_t(uint8_t direction, uint8_t page, uint8_t* buffer)>;

// Reads the block page by page, checks each page and frees the calendar entries beyond PageCount.
// The block is replaced only when every page read is good; on false `message` says why.
bool ReadSetupPages(YSTANOV& s, const DfPageIo& io, SetupMessage& message);

// Sets the marker, PageCount and the check bytes, then writes pages 0 .. PageCount - 1. `progress`
// (optional) is told (position, maximum) before each page. On false `message` names the page.
bool WriteSetupPages(YSTANOV& s, const DfPageIo& io, SetupMessage& message,
                     const std::function<void(int, int)>& progress = {});

// Fills the block with the defaults for the recorder of `status`, on the current UTC clock. Uses
// `channelCount` (the recorded-channel count shown last) for EventChannels and then sets it to
// Channels + 1. Returns the reference time of the default calendar (the current time, minutes rounded
// down to a multiple of 5).
platform::UtcTime DefaultSetup(YSTANOV& s, const StatusBlock& status, uint8_t& channelCount);

}  // namespace recorder
