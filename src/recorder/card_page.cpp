#include "recorder/card_page.h"

#include <cstring>

#include "recorder/card_sum.h"
#include "recorder/fat_record.h"
#include "recorder/fat_table.h"
#include "recorder/recorder_time.h"
#include "toolkit/format_text.h"

namespace recorder {

static_assert(kFatRecordsPerPage * kFatRecordSize == kCardPageSize);

uint8_t CardPageSum(std::span<const uint8_t> page) {
  if (page.size() < kCardPageSize) return 0xFF;
  return CardSum(page.first(kCardPageSize));
}

bool CardPageSumGood(std::span<const uint8_t> page) {
  return page.size() >= kCardPageSize && CardSum(page.first(kCardPageSize)) == 0;
}

std::optional<CardPageKind> KindOfCardPage(std::span<const uint8_t> page) {
  if (page.empty()) return std::nullopt;
  if (page[0] == kFatPageMark) return CardPageKind::Fat;
  if (page[0] == kSetupCopyMark) return CardPageKind::SetupCopy;
  return CardPageKind::Data;
}

std::optional<SetupCopyInfo> ReadSetupCopy(std::span<const uint8_t> page) {
  if (page.size() < 14 || page[0] != kSetupCopyMark) return std::nullopt;
  SetupCopyInfo info;
  info.Channels = page[1] + 1u;
  info.Rate = page[12] | (unsigned{page[13]} << 8);
  return info;
}

std::optional<CardPageHeader> ReadCardPageHeader(std::span<const uint8_t> bytes) {
  if (bytes.size() < kCardPageHeaderSize) return std::nullopt;
  CardPageHeader h;
  std::memcpy(&h, bytes.data(), sizeof h);
  return h;
}

std::optional<DataPageHeader> DecodeDataPageHeader(std::span<const uint8_t> bytes, uint8_t maxChannelsMinus1,
                                                   uint32_t sampleClock, HeaderFault* fault) {
  auto fail = [fault](HeaderFault f) -> std::optional<DataPageHeader> {
    if (fault) *fault = f;
    return std::nullopt;
  };
  const auto raw = ReadCardPageHeader(bytes);
  if (!raw) return fail(HeaderFault::Short);
  if (CardSum(bytes.first(kCardPageHeaderSize)) != 0) return fail(HeaderFault::Sum);
  if (raw->ChannelsMinus1 > maxChannelsMinus1 || raw->ChannelsMinus1 >= kMaxPageChannels)
    return fail(HeaderFault::Channels);
  DataPageHeader h;
  h.Raw = *raw;
  h.Channels = raw->ChannelsMinus1 + 1u;
  if (raw->ValueCount == 0 || raw->ValueCount % h.Channels != 0 || raw->ValueCount > kMaxPageValues)
    return fail(HeaderFault::Values);
  if (sampleClock == 0) return fail(HeaderFault::SampleClock);
  h.Decimation = ((raw->DecimationA >> 4) + 1u) * ((raw->DecimationB >> 4) + 1u);
  h.SampleClock = sampleClock;
  h.OutputRate = sampleClock / h.Decimation;
  h.Span = raw->ValueCount / h.Channels * h.Decimation;
  const uint32_t second1899 = raw->Second + static_cast<uint32_t>(kUnitEpochFrom1899);  // modulo 2^32
  h.Position = uint64_t{second1899} * sampleClock + uint64_t{raw->Position} * h.Decimation;
  if (fault) *fault = HeaderFault::None;
  return h;
}

std::string DataPageHeader::TimeText() const {
  const uint32_t second1899 = Raw.Second + static_cast<uint32_t>(kUnitEpochFrom1899);
  const uint64_t fraction =
      SampleClock == 0 ? 0 : uint64_t{Raw.Position} * Decimation * (100000u / SampleClock);
  return DateTimeText(second1899) + toolkit::FormatText(",%05llu", static_cast<unsigned long long>(fraction));
}

}  // namespace recorder
