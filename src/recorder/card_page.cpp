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

namespace {

unsigned DecimationOf(const CardPageHeader& h) {
  return ((h.DecimationA >> 4) + 1u) * ((h.DecimationB >> 4) + 1u);
}

// Seconds since 1899-12-30 of the page's GPS second: 64-bit, so that 2036 is no limit.
uint64_t Second1899(const CardPageHeader& h) { return uint64_t{h.Second} + kUnitEpochFrom1899; }

}  // namespace

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
  if (raw->ValueCount == 0 || raw->ValueCount > kMaxPageValues) return fail(HeaderFault::Values);
  if (sampleClock == 0) return fail(HeaderFault::SampleClock);
  h.Decimation = DecimationOf(*raw);
  if (sampleClock / h.Decimation == 0) return fail(HeaderFault::Rate);
  h.SampleClock = sampleClock;
  h.OutputRate = sampleClock / h.Decimation;
  h.Span = raw->ValueCount / h.Channels * h.Decimation;
  h.Position = Second1899(*raw) * sampleClock + uint64_t{raw->Position} * h.Decimation;
  if (fault) *fault = HeaderFault::None;
  return h;
}

std::string HeaderFaultText(HeaderFault fault, std::span<const uint8_t> bytes, uint32_t sampleClock) {
  const auto raw = ReadCardPageHeader(bytes);
  if (!raw) return "заголовок короче 16 байт";
  switch (fault) {
    case HeaderFault::None:
      return {};
    case HeaderFault::Short:
      return "заголовок короче 16 байт";
    case HeaderFault::Sum:
      return toolkit::FormatText("ks заголовка 0x%02x", static_cast<unsigned>(CardSum(bytes.first(16))));
    case HeaderFault::Channels:
      return toolkit::FormatText("каналов %u", raw->ChannelsMinus1 + 1u);
    case HeaderFault::Values:
      return toolkit::FormatText("отсчётов %u", unsigned{raw->ValueCount});
    case HeaderFault::SampleClock:
      return toolkit::FormatText("частота прибора %u Гц", sampleClock);
    case HeaderFault::Rate:
      return toolkit::FormatText("%u Гц / децимация %u: частота 0", sampleClock, DecimationOf(*raw));
  }
  return {};
}

std::string DataPageHeader::TimeText() const {
  const uint64_t fraction =
      SampleClock == 0 ? 0 : uint64_t{Raw.Position} * Decimation * (100000u / SampleClock);
  return DateTimeText(static_cast<int64_t>(Second1899(Raw))) +
         toolkit::FormatText(",%05llu", static_cast<unsigned long long>(fraction));
}

}  // namespace recorder
