#include "emulator/default_device.h"

#include <cstdio>
#include <cstring>

#include "emulator/card_image.h"
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
constexpr uint16_t kCardHalfMegabytes = 1000;  // a 2000 MB card
constexpr uint8_t kFatFirst = 0x10;            // FAT pages 0x1000 .. 0x3FFF, data from 0x4000
constexpr uint8_t kDataFirst = 0x40;
constexpr uint32_t kSampleClock = 1000;  // the highest rate of the recorder
constexpr uint32_t kTicksPerSecond = 1024;
constexpr float kLongitude = 2.7689f;  // 158.65 E
constexpr float kLatitude = 0.9251f;   // 53.0 N
constexpr float kAltitude = 112.0f;

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
  Put16(s + status::kTikInSek, kTicksPerSecond - 1);
  s[status::kChannelMask] = 0x07;
  Put32(s + status::kDtOtPCor, 3600);
  Put32(s + status::kTime, now - 60);
  Put32(s + status::kCapTik, 3u * 65536u);
  Put32(s + status::kCapTime, now - 60);
  Put16(s + status::kGps + 2, 120);
  PutFloat(s + status::kAlt, kAltitude);
  PutFloat(s + status::kLon, kLongitude);
  PutFloat(s + status::kLat, kLatitude);
  s[status::kValid] = 0x00;
  s[status::kRows] = 4;
  s[status::kChannels] = 2;  // a three-channel recorder
  Put32(s + status::kTUnit, now);
  const uint16_t gains[8] = {1, 2, 4, 8, 16, 32, 64, 128};
  const uint16_t rates[8] = {50, 100, 200, 500, kSampleClock, 0, 0, 0};
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
  p[setup::kFatStart] = kFatFirst;
  p[setup::kDataStart] = kDataFirst;
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

struct SyncPoint {
  uint32_t ticks = 0, unitTime = 0, gpsTime = 0;
};

// A synchronisation record: the recorder's clock at `unitTime` stood `offsetMicros` behind GPS time (ahead
// when negative); the record's sub-second count is in 1/(ticks a second x 65536) s.
SyncPoint Synchronised(CardImageBuilder& card, uint32_t unitTime, int32_t offsetMicros) {
  constexpr int64_t kUnitsPerSecond = int64_t{kTicksPerSecond} * 65536;
  const int64_t units = int64_t{offsetMicros} * kUnitsPerSecond / 1'000'000;
  const SyncPoint p = units > 0
                          ? SyncPoint{static_cast<uint32_t>(kUnitsPerSecond - units), unitTime, unitTime + 1}
                          : SyncPoint{static_cast<uint32_t>(-units), unitTime, unitTime};
  card.Sync(p.ticks, p.unitTime, p.gpsTime);
  return p;
}

// One recording of the card, with the parameter page its setup copy carries.
CardRecording Recorded(const DeviceState& state, uint8_t channels, uint8_t decimationA, uint8_t decimationB,
                       uint32_t start, uint32_t pages) {
  CardRecording r;
  r.Channels = channels;
  r.DecimationA = decimationA;
  r.DecimationB = decimationB;
  r.StartTime = start;
  r.DataPages = pages;
  std::array<uint8_t, kCardPageBytes> setupCopy;
  std::memcpy(setupCopy.data(), state.dataFlash.data(), kCardPageBytes);
  setupCopy[setup::kChannelMask] = static_cast<uint8_t>((1u << channels) - 1);
  r.SetupPage = setupCopy;
  return r;
}

// What the recorder logged over a day in the field, ending about a day before `now`: switched on,
// synchronised, a recording by the button, a second one, a third one cut short by a power loss (it has
// no end record), switched on again, a short fast recording; each file followed by a GPS synchronisation.
// Rates are the sample clock over the decimation: 100, 200, 50 and 500 Hz.
CardImageBuilder FieldCard(const DeviceState& state, uint32_t now, SyncPoint& last) {
  const uint32_t t0 = now > 3 * 86400 ? (now / 3600 - 27) * 3600 : 3600;
  CardImageBuilder card(kCardHalfMegabytes, kFatFirst, kDataFirst, kSampleClock);
  card.PowerOn(t0).Position(kAltitude, kLongitude, kLatitude, 0);
  Synchronised(card, t0 + 40, 61);
  card.Button(t0 + 300);
  card.Recording(Recorded(state, 3, 1, 4, t0 + 300, 240));  // 3 channels, 100 Hz, 2 min
  card.Supply(0x01, 0x00, 12'400, 6'100, t0 + 430);
  Synchronised(card, t0 + 600, 183);
  card.Recording(Recorded(state, 2, 4, 0, t0 + 900, 160));  // 2 channels, 200 Hz, 1 min
  card.Drift(2'349, t0 + 1000, t0 + 1000, 1);               // 35 us
  Synchronised(card, t0 + 1200, 366);
  CardRecording cut = Recorded(state, 1, 3, 4, t0 + 1500, 100);  // 1 channel, 50 Hz, 5 min
  cut.Closed = false;
  card.Recording(cut);
  card.PowerOn(t0 + 3600).Position(kAltitude, kLongitude, kLatitude, 0);
  Synchronised(card, t0 + 3660, -92);
  card.Recording(Recorded(state, 3, 1, 0, t0 + 3900, 100));  // 3 channels, 500 Hz, 10 s
  last = Synchronised(card, t0 + 4200, -31);
  card.Supply(0x01, 0x00, 12'380, 6'090, t0 + 4300);
  return card;
}

// The card and what the status says of it: pages and files written, the last synchronisation.
void SetUpCard(DeviceState& state, uint32_t now) {
  SyncPoint last;
  const CardImageBuilder card = FieldCard(state, now, last);
  state.card = card.BuildWritten();
  card.ApplyToStatus(state.status);
  Put32(state.status.data() + status::kCapTikO, last.ticks);
  Put32(state.status.data() + status::kCapTimeO, last.unitTime);
  Put32(state.status.data() + status::kCapGpsO, last.gpsTime);
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
  SetUpCard(state, now);
  state.mode = 0;
}

}  // namespace emulator
