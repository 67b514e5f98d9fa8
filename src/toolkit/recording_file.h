#pragma once
// The recording data file: a 120-byte MAIN_HEADER, one 72-byte CHANNEL_HEADER per channel, then frames of
// one little-endian int32 per channel until the end of the file.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace toolkit {

#pragma pack(push, 1)
struct MAIN_HEADER {
  uint16_t Channels;  // 1 ... 64
  uint16_t Reserved2;
  uint16_t Format;  // >= 60 current layout, below: older layout
  uint16_t Day;
  uint16_t Month;
  uint16_t Year;
  uint16_t Reserved12;    // written 12 by the recorder-control program
  uint16_t GpsLostEnd;    // minutes without GPS fix at the end
  uint16_t Synced;        // non-zero: SyncDt holds the offset
  int16_t Bits;           // ADC word width
  uint16_t GpsLostStart;  // minutes without GPS fix at the start
  uint16_t Rate;          // samples per second per channel
  uint16_t Mark1;         // 0x5566
  uint16_t Mark2;         // 0x7788
  uint8_t Reserved28[4];
  char Station[16];
  double dt;      // sampling interval, s
  double to;      // seconds of the day of the first sample
  double SyncDt;  // synchronisation offset, s
  double Latitude;
  double Longitude;
  uint8_t Reserved88[16];
  int64_t StartTicks;  // 1/256 us since 1980-01-01 00:00:00
  uint8_t Reserved112[8];
};

struct CHANNEL_HEADER {
  uint16_t Number;
  uint16_t Mark1;  // 0x1111
  uint16_t Mark2;  // 0x2222
  uint16_t Mark3;  // 0x3333
  char Name[24];
  char tip[24];  // sensor type text
  double Coef;   // physical units per count
  double Coef2;  // written 1.0
};
#pragma pack(pop)

static_assert(sizeof(MAIN_HEADER) == 120);
static_assert(offsetof(MAIN_HEADER, Channels) == 0);
static_assert(offsetof(MAIN_HEADER, Format) == 4);
static_assert(offsetof(MAIN_HEADER, Day) == 6);
static_assert(offsetof(MAIN_HEADER, Month) == 8);
static_assert(offsetof(MAIN_HEADER, Year) == 10);
static_assert(offsetof(MAIN_HEADER, Reserved12) == 12);
static_assert(offsetof(MAIN_HEADER, GpsLostEnd) == 14);
static_assert(offsetof(MAIN_HEADER, Synced) == 16);
static_assert(offsetof(MAIN_HEADER, Bits) == 18);
static_assert(offsetof(MAIN_HEADER, GpsLostStart) == 20);
static_assert(offsetof(MAIN_HEADER, Rate) == 22);
static_assert(offsetof(MAIN_HEADER, Mark1) == 24);
static_assert(offsetof(MAIN_HEADER, Mark2) == 26);
static_assert(offsetof(MAIN_HEADER, Station) == 32);
static_assert(offsetof(MAIN_HEADER, dt) == 48);
static_assert(offsetof(MAIN_HEADER, to) == 56);
static_assert(offsetof(MAIN_HEADER, SyncDt) == 64);
static_assert(offsetof(MAIN_HEADER, Latitude) == 72);
static_assert(offsetof(MAIN_HEADER, Longitude) == 80);
static_assert(offsetof(MAIN_HEADER, StartTicks) == 104);

static_assert(sizeof(CHANNEL_HEADER) == 72);
static_assert(offsetof(CHANNEL_HEADER, Number) == 0);
static_assert(offsetof(CHANNEL_HEADER, Mark1) == 2);
static_assert(offsetof(CHANNEL_HEADER, Mark2) == 4);
static_assert(offsetof(CHANNEL_HEADER, Mark3) == 6);
static_assert(offsetof(CHANNEL_HEADER, Name) == 8);
static_assert(offsetof(CHANNEL_HEADER, tip) == 32);
static_assert(offsetof(CHANNEL_HEADER, Coef) == 56);
static_assert(offsetof(CHANNEL_HEADER, Coef2) == 64);

constexpr size_t kMainHeaderSize = sizeof(MAIN_HEADER);
constexpr size_t kChannelHeaderSize = sizeof(CHANNEL_HEADER);
constexpr uint16_t kMaxChannels = 64;
constexpr uint16_t kCurrentFormat = 60;

// 1/256 microsecond ticks of StartTicks.
constexpr int64_t kTicksPerSecond = 256'000'000;
constexpr int64_t kTicksPerDay = 22'118'400'000'000;               // 0x141DD7600000
constexpr int64_t kSecondsFrom1899To1980 = 2'524'694'400;          // 29221 days
constexpr int64_t kTicksFrom1899To1980 = 646'321'766'400'000'000;  // 0x08F83238E0E00000
static_assert(kTicksPerDay == 86400 * kTicksPerSecond);
static_assert(kTicksFrom1899To1980 == kSecondsFrom1899To1980 * kTicksPerSecond);
static_assert(kTicksFrom1899To1980 == 0x08F83238E0E00000);

static_assert(std::endian::native == std::endian::little, "the records are stored as little-endian images");

// ---- Header check ----

// Room for any text CheckMainHeader writes (the longest is under 100 bytes).
constexpr size_t kCheckTextSize = 128;

// Checks one main header, completes it in place (current layout: date, dt, to and Format 60 from
// StartTicks and Rate; older layout: four-digit Year, Rate and StartTicks from the date, dt and to) and
// writes a one-line text: the reason when bad, the start date and time when good. 0 good, 1 bad.
uint16_t CheckMainHeader(MAIN_HEADER& header, std::string& text);
// The same with the text in a caller's buffer of `textSize` bytes, always NUL-terminated (textSize > 0).
uint16_t CheckMainHeader(MAIN_HEADER& header, char* text, size_t textSize);

// ---- Layout sizes ----

// Bytes of the main header and `channels` channel headers.
constexpr uint64_t HeadersSize(uint16_t channels) {
  return kMainHeaderSize + uint64_t{kChannelHeaderSize} * channels;
}

// Samples per channel of a file of `fileSize` bytes: the whole frames after the headers. Nothing when
// the channel count is outside 1 ... 64 or the file is shorter than its own headers.
std::optional<uint64_t> SamplesPerChannel(uint64_t fileSize, uint16_t channels);

// ---- Text fields ----

// The text of a fixed-size field: up to its first NUL, or the whole field when it holds none.
template <size_t N>
std::string FieldText(const char (&field)[N]) {
  return std::string(field, ::strnlen(field, N));
}
// Stores `text` cut to N - 1 bytes and fills the rest of the field with NULs.
template <size_t N>
void SetFieldText(char (&field)[N], std::string_view text) {
  const size_t n = text.size() < N ? text.size() : N - 1;
  std::memcpy(field, text.data(), n);
  std::memset(field + n, 0, N - n);
}

// ---- Reading and writing the headers ----

enum class HeaderIo {
  Ok,
  ShortMainHeader,     // the file ends (or the read fails) inside the main header
  BadChannelCount,     // Channels outside 1 ... 64: the channel headers cannot be located
  ShortChannelHeader,  // the file ends inside the channel headers
  WriteFailed,         // fewer bytes written than the header holds
};

// Reads one main header at the current position.
HeaderIo ReadMainHeader(std::FILE* f, MAIN_HEADER& header);
// Reads out.size() channel headers at the current position.
HeaderIo ReadChannelHeaders(std::FILE* f, std::span<CHANNEL_HEADER> out);
// Reads the main header and its Channels channel headers from the start of the file.
HeaderIo ReadHeaders(std::FILE* f, MAIN_HEADER& header, std::vector<CHANNEL_HEADER>& channels);

// A write through the stdio buffer can still fail when it is flushed: writers check fflush/fclose too.
HeaderIo WriteMainHeader(std::FILE* f, const MAIN_HEADER& header);
HeaderIo WriteChannelHeaders(std::FILE* f, std::span<const CHANNEL_HEADER> channels);

// Fatal messages of the writers when a header cannot be written whole.
inline constexpr const char* kMainHeaderWriteError = "Ошибка записи заголовка MAIN_HEADER ";
inline constexpr const char* kChannelHeaderWriteError = "Ошибка записи заголовка CHANNEL_HEADER";

}  // namespace toolkit
