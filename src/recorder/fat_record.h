#pragma once
// One 16-byte record of the recorder's FAT (32 to a 512-byte FAT page), and the layouts of its kinds.
// All fields are little-endian.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

namespace recorder {

inline constexpr size_t kFatRecordSize = 16;
inline constexpr size_t kFatRecordsPerPage = 32;
inline constexpr uint8_t kFatPageMark = 0x63;  // 'c': kind of the page pointer, first record of a page

enum class FatKind : uint8_t {
  Unknown,      // present, but of no kind the program decodes (kind byte 0 among them)
  PagePointer,  // exactly 0x63
  PowerOn,      // exactly 7
  ButtonStart,  // exactly 3
  FileStart,    // low nibble 1, whatever the high nibble
  FileEnd,      // low nibble 2, whatever the high nibble
  Sync,         // exactly 4: GPS synchronisation
  Drift,        // exactly 5: clock drift
  Position,     // exactly 6
  Supply,       // exactly 8
};

#pragma pack(push, 1)
// Kinds 0x63, 7 and 3. For 0x63 `Number` is a file number, for 7 and 3 the number of files.
struct FatPointerRecord {
  uint8_t Kind;
  uint8_t Number;
  uint32_t Page;  // "Pg_end" of a page pointer; the card page of a power-on or button start
  uint16_t FatPage;
  uint8_t Flags;  // shown in hex
  uint8_t Reserved9[2];
  uint32_t Time;  // GPS seconds
  uint8_t Reserved15;
};

// File start (low nibble 1) and file end (low nibble 2).
struct FatFileRecord {
  uint8_t Kind;  // high nibble: kind bits (0x10: the file takes no synchronisation correction)
  uint8_t FileNumber;
  uint32_t Page;  // first page of a start, last page of an end
  uint8_t ChannelsMinus1;
  uint8_t DecimationA;  // high nibble h7
  uint8_t DecimationB;  // high nibble h8; decimation = (h7 + 1) x (h8 + 1)
  uint32_t Time;        // GPS seconds
  uint8_t Reserved13[3];
};

struct FatSyncRecord {
  uint8_t Kind;
  uint32_t Ticks;     // sub-second count of the recorder clock, 1/((TikInSek + 1) x 65536) s
  uint32_t UnitTime;  // recorder time, GPS seconds
  uint32_t GpsTime;   // GPS seconds
  uint8_t Reserved13[3];
};

struct FatDriftRecord {
  uint8_t Kind;
  int32_t Difference;  // sub-second difference, 1/(DriftScale x 65536) s
  uint32_t UnitTime;
  uint32_t ReferenceTime;
  uint16_t Count;
  uint8_t Reserved15;
};

struct FatPositionRecord {
  uint8_t Kind;
  float Altitude;
  float Longitude;  // radians
  float Latitude;   // radians
  uint16_t OscillatorCorrection;
  uint8_t Reserved15;
};

struct FatSupplyRecord {
  uint8_t Kind;
  uint8_t Flags1;     // shown in hex
  uint8_t Flags2;     // shown in hex
  uint16_t Voltage1;  // counts of the battery scale
  uint16_t Voltage2;  // counts of the accumulator scale
  uint32_t Page;      // "CTP"
  uint32_t Time;
  uint8_t Reserved15;
};
#pragma pack(pop)

static_assert(sizeof(FatPointerRecord) == kFatRecordSize);
static_assert(offsetof(FatPointerRecord, Number) == 1);
static_assert(offsetof(FatPointerRecord, Page) == 2);
static_assert(offsetof(FatPointerRecord, FatPage) == 6);
static_assert(offsetof(FatPointerRecord, Flags) == 8);
static_assert(offsetof(FatPointerRecord, Time) == 11);

static_assert(sizeof(FatFileRecord) == kFatRecordSize);
static_assert(offsetof(FatFileRecord, FileNumber) == 1);
static_assert(offsetof(FatFileRecord, Page) == 2);
static_assert(offsetof(FatFileRecord, ChannelsMinus1) == 6);
static_assert(offsetof(FatFileRecord, DecimationA) == 7);
static_assert(offsetof(FatFileRecord, DecimationB) == 8);
static_assert(offsetof(FatFileRecord, Time) == 9);

static_assert(sizeof(FatSyncRecord) == kFatRecordSize);
static_assert(offsetof(FatSyncRecord, Ticks) == 1);
static_assert(offsetof(FatSyncRecord, UnitTime) == 5);
static_assert(offsetof(FatSyncRecord, GpsTime) == 9);

static_assert(sizeof(FatDriftRecord) == kFatRecordSize);
static_assert(offsetof(FatDriftRecord, Difference) == 1);
static_assert(offsetof(FatDriftRecord, UnitTime) == 5);
static_assert(offsetof(FatDriftRecord, ReferenceTime) == 9);
static_assert(offsetof(FatDriftRecord, Count) == 13);

static_assert(sizeof(FatPositionRecord) == kFatRecordSize);
static_assert(offsetof(FatPositionRecord, Altitude) == 1);
static_assert(offsetof(FatPositionRecord, Longitude) == 5);
static_assert(offsetof(FatPositionRecord, Latitude) == 9);
static_assert(offsetof(FatPositionRecord, OscillatorCorrection) == 13);

static_assert(sizeof(FatSupplyRecord) == kFatRecordSize);
static_assert(offsetof(FatSupplyRecord, Flags1) == 1);
static_assert(offsetof(FatSupplyRecord, Flags2) == 2);
static_assert(offsetof(FatSupplyRecord, Voltage1) == 3);
static_assert(offsetof(FatSupplyRecord, Voltage2) == 5);
static_assert(offsetof(FatSupplyRecord, Page) == 7);
static_assert(offsetof(FatSupplyRecord, Time) == 11);

// The byte image of one record, with its kind and typed views.
struct FatRecord {
  uint8_t Bytes[kFatRecordSize] = {};

  // Record `index` (0..31) of a FAT page; nothing when the page is too short to hold it.
  static std::optional<FatRecord> FromPage(std::span<const uint8_t> page, size_t index);

  // A record is present when any of its bytes 0..13 is non-zero.
  bool Present() const;
  FatKind Kind() const;
  // Seed plus the byte sum, modulo 256 (0 = good). The last record of a page uses the other seed.
  uint8_t Sum(bool lastOfPage) const;

  template <class View>
  View As() const {
    static_assert(sizeof(View) == kFatRecordSize);
    View v;
    std::memcpy(&v, Bytes, sizeof v);
    return v;
  }
};
static_assert(sizeof(FatRecord) == kFatRecordSize);

FatKind FatKindOf(uint8_t kindByte);

// Decimation of a file record: (h7 + 1) x (h8 + 1); the product 256 (which the recorder keeps in one
// byte as 0) becomes 254.
uint8_t FatDecimation(const FatFileRecord& r);

}  // namespace recorder
