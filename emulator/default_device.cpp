#include "emulator/default_device.h"

#include <cstdio>
#include <cstring>

#include "emulator/device_layout.h"
#include "platform/clock.h"

namespace emulator {
namespace {

constexpr int64_t kRecorderEpochUnix = 315'964'800;  // 1980-01-06 00:00:00
constexpr size_t kSetupBytes = 5 * kPageBytes;
constexpr size_t kRamBytes = 20 * kPageBytes;
// The start-up reads the RAM block at 512 and takes the text from byte 338 of it.
constexpr size_t kFirmwareAt = 512 + 338;
constexpr uint32_t kFreeEntry = 0xFFFF'FFFF;

uint8_t SumOf(const uint8_t* bytes, size_t count) {
  unsigned sum = 0;
  for (size_t i = 0; i < count; ++i) sum += bytes[i];
  return static_cast<uint8_t>(sum);
}

void SetUpStatus(DeviceState& state, const DefaultDeviceOptions& o, uint32_t now) {
  uint8_t* s = state.status.data();
  std::memset(s, 0, kStatusBytes);
  Put16(s + status::kId, static_cast<uint16_t>(o.series << 8 | o.number));
  s[status::kSysRG] = 0x21;  // synchronised, card present
  s[status::kSysFL] = 0x02;  // receiver on
  s[status::kCrtFL] = 0x00;
  Put16(s + status::kFCmax, 1000);  // 2000 MB
  s[status::kFatPage] = 0x10;
  s[status::kDataPage] = 0x40;
  Put16(s + status::kTikInSek, 1023);
  s[status::kChannelMask] = 0x07;
  Put32(s + status::kCapGpsO, now - 3600);
  Put32(s + status::kDtOtPCor, 3600);
  Put32(s + status::kTime, now - 60);
  Put32(s + status::kCapTikO, 12u * 65536u);
  Put32(s + status::kCapTimeO, now - 3600);
  Put32(s + status::kCapTik, 3u * 65536u);
  Put32(s + status::kCapTime, now - 60);
  Put16(s + status::kGps + 2, 120);
  PutFloat(s + status::kAlt, 112.0f);
  PutFloat(s + status::kLon, 2.7689f);  // 158.65 E
  PutFloat(s + status::kLat, 0.9251f);  // 53.0 N
  s[status::kValid] = 0x00;
  Put32(s + status::kLastPg, 0x4000 + 2048 * 3);
  Put16(s + status::kLastPgFat, 0x1001);
  s[status::kRows] = 4;
  s[status::kChannels] = 2;  // a three-channel recorder
  s[status::kFiles] = 2;
  Put32(s + status::kTUnit, now);
  const uint16_t gains[8] = {1, 2, 4, 8, 16, 32, 64, 128};
  const uint16_t rates[8] = {50, 100, 200, 500, 1000, 0, 0, 0};
  for (int i = 0; i < 8; ++i) {
    Put16(s + status::kGains + 2 * i, gains[i]);
    Put16(s + status::kFreq + 2 * i, rates[i]);
  }
  Put16(s + status::kBattery, 12'400);      // first battery reading
  Put16(s + status::kBattery + 4, 12'350);  // second battery reading
  Put16(s + status::kBattery + 2, 6'100);   // accumulator
  Put16(s + status::kBattery + 6, 6'080);
  Put16(s + status::kBatteryScale, 1000);
  Put16(s + status::kAccuScale, 1000);
}

void SetUpSetup(DeviceState& state, const DefaultDeviceOptions& o, uint32_t now) {
  state.dataFlash.assign(kSetupBytes, 0);
  uint8_t* p = state.dataFlash.data();
  p[setup::kMarker] = 100;
  p[setup::kChannelCode] = 2;
  p[setup::kChannelMask] = 0x07;
  p[setup::kFatStart] = 16;
  p[setup::kDataStart] = 64;
  Put16(p + setup::kSampleRate, 100);
  for (int c = 0; c < 8; ++c) {
    Put16(p + setup::kGains + 2 * c, 1);
    for (int g = 0; g < 8; ++g)
      Put32(p + setup::kZeroOffsets + 4 * (8 * g + c), (uint32_t{uint8_t(c)} << 24) + 0x800000);
    std::snprintf(reinterpret_cast<char*>(p + setup::kChannelNames + 8 * c), 8, "K%02d", c);
    Put16(p + setup::kThresholds + 2 * c, 0x4000);
    PutFloat(p + setup::kCoefficients + 4 * c, 1.0f);
  }
  p[setup::kSmoothPoints] = 3;
  p[setup::kChartCompression] = 5;
  p[setup::kPageCount] = 2;
  std::snprintf(reinterpret_cast<char*>(p + setup::kStation), 28, "U%02x%02xV", o.series, o.number);
  std::memset(p + setup::kFiller, 0x77, 8);
  // The calendar: one period a day from tomorrow on for three days, the rest free.
  for (int e = 0; e < 256; ++e) {
    uint8_t* entry = p + kPageBytes + 8 * e;
    const uint32_t on = e < 3 ? (now / 86400 + 1 + e) * 86400 + 6 * 3600 : kFreeEntry;
    Put32(entry, on);
    Put32(entry + 4, e < 3 ? on + 1800 : kFreeEntry);
  }
  SealSetupPages(state);
}

}  // namespace

std::string FirmwareText(bool tk41) { return tk41 ? "TK-41 v2.04 08.11" : "T9XV v1.07 ok "; }

void SealSetupPages(DeviceState& state) {
  if (state.dataFlash.size() < kSetupBytes) state.dataFlash.resize(kSetupBytes, 0xFF);
  uint8_t* p = state.dataFlash.data();
  for (int n = 1; n < 5; ++n)
    p[setup::kPageChecks + n] = static_cast<uint8_t>(0u - SumOf(p + n * kPageBytes, kPageBytes));
  p[setup::kPageChecks] = 0;
  p[setup::kPageChecks] = static_cast<uint8_t>(0u - SumOf(p, kPageBytes));
}

void SetUpDefaultDevice(DeviceState& state, const DefaultDeviceOptions& options) {
  const int64_t unix = platform::CurrentClock().NowUtc().unixSeconds;
  const uint32_t now = unix > kRecorderEpochUnix ? static_cast<uint32_t>(unix - kRecorderEpochUnix) : 0;
  SetUpStatus(state, options, now);
  SetUpSetup(state, options, now);
  state.ram.assign(kRamBytes, 0);
  std::string text = FirmwareText(options.tk41);
  text.resize(options.tk41 ? 19 : 14, ' ');
  std::memcpy(state.ram.data() + kFirmwareAt, text.data(), text.size());
  state.card.clear();
  state.mode = 0;
}

}  // namespace emulator
