#pragma once
// Where the recorder keeps what it reports: byte offsets in the status block and in the setup block's
// parameter page, and little-endian access to memory images. Written from the recorder's side, apart
// from the PC's own record definitions, so that the two are checked against each other.
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace emulator {

namespace status {
inline constexpr size_t kId = 0;
inline constexpr size_t kSysRG = 2;
inline constexpr size_t kSysFL = 3;
inline constexpr size_t kCrtFL = 6;
inline constexpr size_t kFCmax = 20;
inline constexpr size_t kFatPage = 22;
inline constexpr size_t kDataPage = 23;
inline constexpr size_t kTikInSek = 28;
inline constexpr size_t kChannelMask = 41;
inline constexpr size_t kCapGpsO = 48;
inline constexpr size_t kDtOtPCor = 56;
inline constexpr size_t kTime = 60;
inline constexpr size_t kCapTikO = 64;
inline constexpr size_t kCapTimeO = 68;
inline constexpr size_t kCapTik = 72;
inline constexpr size_t kCapTime = 76;
inline constexpr size_t kGps = 80;
inline constexpr size_t kAlt = 84;
inline constexpr size_t kLon = 88;
inline constexpr size_t kLat = 92;
inline constexpr size_t kValid = 101;
inline constexpr size_t kLastPg = 104;
inline constexpr size_t kLastPgFat = 108;
inline constexpr size_t kRows = 110;
inline constexpr size_t kChannels = 111;
inline constexpr size_t kFiles = 113;
inline constexpr size_t kTUnit = 116;
inline constexpr size_t kGains = 120;
inline constexpr size_t kFreq = 136;
inline constexpr size_t kBattery = 160;
inline constexpr size_t kBatteryScale = 168;
inline constexpr size_t kAccuScale = 170;
}  // namespace status

namespace setup {
inline constexpr size_t kMarker = 0;
inline constexpr size_t kChannelCode = 1;
inline constexpr size_t kChannelMask = 3;
inline constexpr size_t kFatStart = 5;
inline constexpr size_t kDataStart = 6;
inline constexpr size_t kSampleRate = 12;
inline constexpr size_t kGains = 16;
inline constexpr size_t kZeroOffsets = 32;
inline constexpr size_t kSmoothPoints = 335;
inline constexpr size_t kChannelNames = 352;
inline constexpr size_t kChartCompression = 416;
inline constexpr size_t kPageCount = 417;
inline constexpr size_t kStation = 420;
inline constexpr size_t kThresholds = 448;
inline constexpr size_t kCoefficients = 464;
inline constexpr size_t kFiller = 496;
inline constexpr size_t kPageChecks = 504;
}  // namespace setup

inline void Put16(uint8_t* at, uint16_t v) {
  at[0] = static_cast<uint8_t>(v);
  at[1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(uint8_t* at, uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutFloat(uint8_t* at, float v) {
  uint32_t u;
  std::memcpy(&u, &v, 4);
  Put32(at, u);
}
inline uint16_t Get16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }
inline uint32_t Get32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
         static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

}  // namespace emulator
