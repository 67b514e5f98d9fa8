#pragma once
// The recorder's 512-byte card pages: FAT pages ('c'), setup copies ('d') and data pages, and the
// 16-byte header of data pages (the live data blocks of the transmission mode have the same layout).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace recorder {

inline constexpr size_t kCardPageSize = 512;
inline constexpr size_t kCardPageHeaderSize = 16;
inline constexpr uint8_t kSetupCopyMark = 0x64;  // 'd'
inline constexpr size_t kSampleBytes = 3;        // one 24-bit offset-binary value
inline constexpr uint32_t kSampleZero = 0x800000;
// Values that fit behind the header of a page.
inline constexpr unsigned kMaxPageValues = (kCardPageSize - kCardPageHeaderSize) / kSampleBytes;
inline constexpr unsigned kMaxPageChannels = 8;

enum class CardPageKind { Fat, SetupCopy, Data };

#pragma pack(push, 1)
struct CardPageHeader {
  uint8_t Mark;            // never 'c' or 'd' on a data page; not interpreted otherwise
  uint8_t ChannelsMinus1;  // channels minus 1
  uint16_t Position;       // first sample's place within its second, in output samples
  uint32_t Second;         // GPS seconds of that second
  uint16_t Serial;         // block serial number, previous + 1
  uint8_t FileNumber;
  uint8_t ValueCount;   // 3-byte values in the page, all channels together
  uint8_t DecimationA;  // high nibble: decimation code
  uint8_t DecimationB;  // high nibble: decimation code
  uint8_t Reserved14[2];
};
#pragma pack(pop)

static_assert(sizeof(CardPageHeader) == kCardPageHeaderSize);
static_assert(offsetof(CardPageHeader, Mark) == 0);
static_assert(offsetof(CardPageHeader, ChannelsMinus1) == 1);
static_assert(offsetof(CardPageHeader, Position) == 2);
static_assert(offsetof(CardPageHeader, Second) == 4);
static_assert(offsetof(CardPageHeader, Serial) == 8);
static_assert(offsetof(CardPageHeader, FileNumber) == 10);
static_assert(offsetof(CardPageHeader, ValueCount) == 11);
static_assert(offsetof(CardPageHeader, DecimationA) == 12);
static_assert(offsetof(CardPageHeader, DecimationB) == 13);
static_assert(offsetof(CardPageHeader, Reserved14) == 14);

// A whole page whose sum check holds (false for fewer than 512 bytes).
bool CardPageSumGood(std::span<const uint8_t> page);
// The seed plus the sum of the 512 bytes (0 = good); 0xFF when fewer are given.
uint8_t CardPageSum(std::span<const uint8_t> page);

// By byte 0; nothing for an empty span.
std::optional<CardPageKind> KindOfCardPage(std::span<const uint8_t> page);

// What a setup copy tells of the recording that follows it.
struct SetupCopyInfo {
  unsigned Channels = 0;  // byte 1 + 1
  unsigned Rate = 0;      // uint16 at 12, Hz
};
std::optional<SetupCopyInfo> ReadSetupCopy(std::span<const uint8_t> page);

// The 16 header bytes as they stand; nothing when fewer are given.
std::optional<CardPageHeader> ReadCardPageHeader(std::span<const uint8_t> bytes);

// A checked data page header with its derived values.
struct DataPageHeader {
  CardPageHeader Raw{};
  unsigned Channels = 0;    // C = byte 1 + 1
  unsigned Decimation = 0;  // D = (h12 + 1) x (h13 + 1)
  uint32_t SampleClock = 0;
  uint32_t OutputRate = 0;  // SampleClock / D, Hz
  uint32_t Span = 0;        // (values / C) x D base-clock ticks
  uint64_t Position = 0;    // (second since 1899-12-30) x SampleClock + position x D

  // "dd.mm.yy hh:mm:ss,fffff": the page's second and the fraction position x D x (100000 / SampleClock).
  std::string TimeText() const;
};

// Why a header was refused.
enum class HeaderFault { None, Short, Sum, Channels, Values, SampleClock, Rate };

// Checks a data page header: its sum, channels at most `maxChannelsMinus1` (StatusBlock.Channels) and
// at most 8, a value count that is non-zero and fits in the page, a known sample clock and a decimation
// that leaves an output rate of at least 1 Hz. A count that is not a multiple of the channels is taken:
// its whole frames are the page's samples. Bytes 0, 14 and 15 are not looked at.
std::optional<DataPageHeader> DecodeDataPageHeader(std::span<const uint8_t> bytes, uint8_t maxChannelsMinus1,
                                                   uint32_t sampleClock, HeaderFault* fault = nullptr);

// The reason of a refusal in words, with the header's value that caused it ("каналов 9").
std::string HeaderFaultText(HeaderFault fault, std::span<const uint8_t> bytes, uint32_t sampleClock);

}  // namespace recorder
