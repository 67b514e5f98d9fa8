#include "acquisition/page_identity.h"

#include <cstring>

#include "recorder/recorder_time.h"

namespace acquisition {

namespace {
constexpr int kParameterBytes[6] = {1, 10, 11, 12, 13, 14};
}  // namespace

PageIdentity IdentityOf(const uint8_t* page, uint32_t number, uint32_t sampleClock) {
  PageIdentity id;
  const uint32_t decimation = ((page[12] >> 4) + 1u) * ((page[13] >> 4) + 1u);
  const uint32_t channels = page[1] + 1u;
  uint32_t second;
  std::memcpy(&second, page + 4, sizeof second);
  const uint32_t position = page[2] | uint32_t{page[3]} << 8;
  id.Valid = true;
  id.Page = number;
  id.Serial = static_cast<uint16_t>(page[8] | page[9] << 8);
  id.Time = (int64_t{second} + recorder::kUnitEpochFrom1899) * sampleClock + int64_t{position} * decimation;
  id.Span = page[11] / channels * decimation;
  for (size_t i = 0; i < id.Parameters.size(); ++i) id.Parameters[i] = page[kParameterBytes[i]];
  return id;
}

std::optional<int64_t> PageByHeader(const PageIdentity& anchor, const uint8_t* page, uint32_t sampleClock) {
  if (!anchor.Valid || anchor.Span == 0) return std::nullopt;
  const PageIdentity id = IdentityOf(page, 0, sampleClock);
  if (id.Parameters != anchor.Parameters) return std::nullopt;
  const int64_t bySerial = static_cast<int16_t>(static_cast<uint16_t>(id.Serial - anchor.Serial));
  if (id.Time - anchor.Time != bySerial * int64_t{anchor.Span}) return std::nullopt;
  return int64_t{anchor.Page} + bySerial;
}

bool RowKnown(const recorder::FileEntry& row) { return row.BeginPage != 0 && row.EndPage >= row.BeginPage; }

}  // namespace acquisition
