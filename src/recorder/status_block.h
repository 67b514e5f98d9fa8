#pragma once
// The recorder's status block: the 240-byte body of a status reply and its check byte, as the recorder
// sends it. One copy of the last status received is kept for every window and thread.
#include <bit>
#include <cstddef>
#include <cstdint>

namespace recorder {

static_assert(std::endian::native == std::endian::little, "the recorder's records are little-endian");

// Mode flags in StatusBlock::sysRG.
inline constexpr uint8_t kRgSynchronised = 0x01;
inline constexpr uint8_t kRgAdcOn = 0x02;
inline constexpr uint8_t kRgWaiting = 0x04;
inline constexpr uint8_t kRgTest = 0x10;
inline constexpr uint8_t kRgCardPresent = 0x20;
inline constexpr uint8_t kRgCardFull = 0x80;
// StatusBlock::sysFL: GPS receiver switched on.
inline constexpr uint8_t kFlGpsOn = 0x02;
// StatusBlock::crtFL.
inline constexpr uint8_t kCrtGpsPermanent = 0x01;
inline constexpr uint8_t kCrtNoOscillatorCorrection = 0x04;
inline constexpr uint8_t kCrtGpsExternal = 0x10;
// Cap_Time values up to this one mean "no capture".
inline constexpr uint32_t kNoCaptureTime = 86'400'000;

#pragma pack(push, 1)
struct StatusBlock {
  uint16_t Id;  // low byte number, high byte series
  uint8_t sysRG;
  uint8_t sysFL;
  uint8_t auxFL;
  uint8_t conFL;
  uint8_t crtFL;
  uint8_t conST;
  uint8_t DFpsc;
  uint8_t DFmax;
  uint16_t DFsz;
  uint16_t TYPE0;
  uint16_t TYPE0sz;
  uint16_t TYPE1;
  uint8_t TYPE1sz;
  uint8_t Pgpoint;
  uint16_t FCmax;  // card size in half-megabytes
  uint8_t FT_PG;   // first FAT page / 256
  uint8_t ST_PG;   // first data page / 256
  uint32_t Adder;
  uint16_t TikInSek;  // oscillator ticks per second minus 1
  uint16_t SecOff;
  uint8_t Config0_4[5];
  uint8_t Config5_9[4];
  uint8_t ChannelMask;  // bit i: channel i recorded
  uint8_t FilterDecimation[2];
  uint8_t MaskExtra;  // shown beside the mask
  uint8_t CodeDF;
  uint8_t CodeAX;
  uint8_t Eit_Last;
  uint32_t Cap_GPS_o;  // recorder seconds of the last synchronisation
  uint32_t Correct;
  uint32_t Dt_Ot_P_Cor;  // seconds
  uint32_t Time;         // recorder seconds
  uint32_t Cap_Tik_o;    // 1/65536 tick
  uint32_t Cap_Time_o;   // recorder seconds
  uint32_t Cap_Tik;      // 1/65536 tick
  uint32_t Cap_Time;     // recorder seconds; up to kNoCaptureTime = none
  uint16_t GPS[2];       // second word: seconds on, or until the next adjustment
  float ALT;
  float LON;  // radians
  float LAT;  // radians
  uint32_t GPSon;
  uint8_t Reserved100;
  uint8_t Valid;  // low nibble: GPS receiver status code
  uint8_t Battery;
  uint8_t Reserved103;
  uint32_t Last_pg;  // last written card page
  uint16_t LastPgFat;
  uint8_t Rows;
  uint8_t Channels;  // ADC kind; 2 = three-channel recorder
  uint8_t Schedule;
  uint8_t Files;
  uint8_t Reserved114[2];
  uint32_t T_Unit;  // recorder clock, recorder seconds
  uint16_t K_yc[8];
  uint16_t Freq[8];
  uint32_t T_start;  // 0 = none
  uint32_t T_End;    // 0 = none
  uint16_t BatteryReading1;
  uint16_t AccuReading1;
  uint16_t BatteryReading2;
  uint16_t AccuReading2;
  uint16_t BatteryScale;  // microvolts per count; 0 = no reading
  uint16_t AccuScale;     // microvolts per count; 0 = no reading
  uint8_t Reserved172[68];
  uint8_t Check;  // the reply frame's body check byte
};
#pragma pack(pop)

inline constexpr size_t kStatusBodySize = 240;
inline constexpr size_t kStatusReplySize = 241;  // body and check byte: the count a status reply has

static_assert(sizeof(StatusBlock) == kStatusReplySize);
static_assert(offsetof(StatusBlock, Id) == 0);
static_assert(offsetof(StatusBlock, sysRG) == 2);
static_assert(offsetof(StatusBlock, sysFL) == 3);
static_assert(offsetof(StatusBlock, auxFL) == 4);
static_assert(offsetof(StatusBlock, conFL) == 5);
static_assert(offsetof(StatusBlock, crtFL) == 6);
static_assert(offsetof(StatusBlock, conST) == 7);
static_assert(offsetof(StatusBlock, DFpsc) == 8);
static_assert(offsetof(StatusBlock, DFmax) == 9);
static_assert(offsetof(StatusBlock, DFsz) == 10);
static_assert(offsetof(StatusBlock, TYPE0) == 12);
static_assert(offsetof(StatusBlock, TYPE0sz) == 14);
static_assert(offsetof(StatusBlock, TYPE1) == 16);
static_assert(offsetof(StatusBlock, TYPE1sz) == 18);
static_assert(offsetof(StatusBlock, Pgpoint) == 19);
static_assert(offsetof(StatusBlock, FCmax) == 20);
static_assert(offsetof(StatusBlock, FT_PG) == 22);
static_assert(offsetof(StatusBlock, ST_PG) == 23);
static_assert(offsetof(StatusBlock, Adder) == 24);
static_assert(offsetof(StatusBlock, TikInSek) == 28);
static_assert(offsetof(StatusBlock, SecOff) == 30);
static_assert(offsetof(StatusBlock, Config0_4) == 32);
static_assert(offsetof(StatusBlock, Config5_9) == 37);
static_assert(offsetof(StatusBlock, ChannelMask) == 41);
static_assert(offsetof(StatusBlock, FilterDecimation) == 42);
static_assert(offsetof(StatusBlock, MaskExtra) == 44);
static_assert(offsetof(StatusBlock, CodeDF) == 45);
static_assert(offsetof(StatusBlock, CodeAX) == 46);
static_assert(offsetof(StatusBlock, Eit_Last) == 47);
static_assert(offsetof(StatusBlock, Cap_GPS_o) == 48);
static_assert(offsetof(StatusBlock, Correct) == 52);
static_assert(offsetof(StatusBlock, Dt_Ot_P_Cor) == 56);
static_assert(offsetof(StatusBlock, Time) == 60);
static_assert(offsetof(StatusBlock, Cap_Tik_o) == 64);
static_assert(offsetof(StatusBlock, Cap_Time_o) == 68);
static_assert(offsetof(StatusBlock, Cap_Tik) == 72);
static_assert(offsetof(StatusBlock, Cap_Time) == 76);
static_assert(offsetof(StatusBlock, GPS) == 80);
static_assert(offsetof(StatusBlock, ALT) == 84);
static_assert(offsetof(StatusBlock, LON) == 88);
static_assert(offsetof(StatusBlock, LAT) == 92);
static_assert(offsetof(StatusBlock, GPSon) == 96);
static_assert(offsetof(StatusBlock, Valid) == 101);
static_assert(offsetof(StatusBlock, Battery) == 102);
static_assert(offsetof(StatusBlock, Last_pg) == 104);
static_assert(offsetof(StatusBlock, LastPgFat) == 108);
static_assert(offsetof(StatusBlock, Rows) == 110);
static_assert(offsetof(StatusBlock, Channels) == 111);
static_assert(offsetof(StatusBlock, Schedule) == 112);
static_assert(offsetof(StatusBlock, Files) == 113);
static_assert(offsetof(StatusBlock, T_Unit) == 116);
static_assert(offsetof(StatusBlock, K_yc) == 120);
static_assert(offsetof(StatusBlock, Freq) == 136);
static_assert(offsetof(StatusBlock, T_start) == 152);
static_assert(offsetof(StatusBlock, T_End) == 156);
static_assert(offsetof(StatusBlock, BatteryReading1) == 160);
static_assert(offsetof(StatusBlock, AccuReading1) == 162);
static_assert(offsetof(StatusBlock, BatteryReading2) == 164);
static_assert(offsetof(StatusBlock, AccuReading2) == 166);
static_assert(offsetof(StatusBlock, BatteryScale) == 168);
static_assert(offsetof(StatusBlock, AccuScale) == 170);
static_assert(offsetof(StatusBlock, Reserved172) == 172);
static_assert(offsetof(StatusBlock, Check) == kStatusBodySize);

// Copies a status reply (body and check byte) into `out`. False, with `out` untouched, when fewer than
// 241 bytes are given.
bool DecodeStatus(const uint8_t* bytes, size_t count, StatusBlock& out);
// Writes the 241 bytes of `status` to `out`; false when `capacity` is too small.
bool EncodeStatus(const StatusBlock& status, uint8_t* out, size_t capacity);

// Recorder number and series, from StatusBlock::Id.
inline uint8_t UnitNumber(const StatusBlock& s) { return static_cast<uint8_t>(s.Id & 0xFF); }
inline uint8_t UnitSeries(const StatusBlock& s) { return static_cast<uint8_t>(s.Id >> 8); }

// The recorded channels: their count and numbers in ascending order; unused slots hold 15.
struct ChannelList {
  uint8_t Count = 0;
  uint8_t Numbers[8] = {15, 15, 15, 15, 15, 15, 15, 15};
};
ChannelList ChannelsFromMask(uint8_t mask);

// The highest sampling frequency of the eight channels (the recorder's sample clock).
uint32_t SampleClock(const StatusBlock& s);

// The copy of the last status received. Written by the main thread only.
StatusBlock& GlobalStatus();

}  // namespace recorder
