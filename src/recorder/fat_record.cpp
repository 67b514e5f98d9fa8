#include "recorder/fat_record.h"

#include "recorder/card_sum.h"

namespace recorder {

std::optional<FatRecord> FatRecord::FromPage(std::span<const uint8_t> page, size_t index) {
  if (index >= kFatRecordsPerPage || page.size() < (index + 1) * kFatRecordSize) return std::nullopt;
  FatRecord r;
  std::memcpy(r.Bytes, page.data() + index * kFatRecordSize, kFatRecordSize);
  return r;
}

bool FatRecord::Present() const {
  for (size_t i = 0; i < 14; ++i)
    if (Bytes[i] != 0) return true;
  return false;
}

FatKind FatRecord::Kind() const { return FatKindOf(Bytes[0]); }

uint8_t FatRecord::Sum(bool lastOfPage) const {
  return CardSum(Bytes, lastOfPage ? kLastFatRecordSeed : kCardSumSeed);
}

FatKind FatKindOf(uint8_t kindByte) {
  switch (kindByte) {
    case kFatPageMark:
      return FatKind::PagePointer;
    case 7:
      return FatKind::PowerOn;
    case 3:
      return FatKind::ButtonStart;
    case 4:
      return FatKind::Sync;
    case 5:
      return FatKind::Drift;
    case 6:
      return FatKind::Position;
    case 8:
      return FatKind::Supply;
    default:
      break;
  }
  switch (kindByte & 0x0F) {
    case 1:
      return FatKind::FileStart;
    case 2:
      return FatKind::FileEnd;
    default:
      return FatKind::Unknown;
  }
}

uint8_t FatDecimation(const FatFileRecord& r) {
  const unsigned product = ((r.DecimationA >> 4) + 1u) * ((r.DecimationB >> 4) + 1u);
  return product == 256 ? 254 : static_cast<uint8_t>(product);
}

}  // namespace recorder
