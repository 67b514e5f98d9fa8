#pragma once
// The recorder's check rule for card pages, data page headers and FAT records: a block is good when the
// seed plus the sum of all its bytes is 0 modulo 256.
#include <cstdint>
#include <span>
#include <string>

namespace recorder {

inline constexpr uint8_t kCardSumSeed = 0x9D;
// The last record of a FAT page (bytes 496..511) is summed with this seed instead.
inline constexpr uint8_t kLastFatRecordSeed = 0x9A;

// (seed + sum of the bytes) modulo 256; 0 means the block is good.
uint8_t CardSum(std::span<const uint8_t> bytes, uint8_t seed = kCardSumSeed);

// " %02X" for each byte: the hex dumps of records and headers.
std::string HexBytes(std::span<const uint8_t> bytes);

}  // namespace recorder
