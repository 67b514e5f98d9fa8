#pragma once
// Card data pages built byte by byte from the page layout (header: +1 channels - 1, +2 position in
// output samples, +4 GPS second, +8 serial, +10 file number, +11 value count, +12/+13 decimation codes
// in the high nibbles, +14 channel mask; 3-byte offset-binary values from +16; 0x9D plus the sum of
// the 16 header bytes and of the 512 page bytes is 0 modulo 256), independent of the code under test.
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace acquisition_test {

using Page = std::array<uint8_t, 512>;

struct PageSpec {
  unsigned Channels = 2;
  uint16_t Position = 0;
  uint32_t Second = 1'000'000'000;
  uint16_t Serial = 0;
  uint8_t FileNumber = 1;
  uint8_t Values = 164;
  uint8_t DecimationA = 0;  // codes, 0..15
  uint8_t DecimationB = 0;
  uint8_t Mask = 0x03;
};

// The value of sample i (all channels together) of a page.
using SampleSource = std::function<int32_t(unsigned i)>;

inline void SealPage(Page& p) {
  unsigned sum = 0x9D;
  for (int i = 0; i < 15; ++i) sum += p[i];
  p[15] = static_cast<uint8_t>(-sum & 0xFF);
  sum = 0x9D;
  for (int i = 0; i < 511; ++i) sum += p[i];
  p[511] = static_cast<uint8_t>(-sum & 0xFF);
}

inline Page BuildPage(const PageSpec& s, const SampleSource& value) {
  Page p{};
  p[0] = 0x01;
  p[1] = static_cast<uint8_t>(s.Channels - 1);
  p[2] = static_cast<uint8_t>(s.Position);
  p[3] = static_cast<uint8_t>(s.Position >> 8);
  for (int b = 0; b < 4; ++b) p[4 + b] = static_cast<uint8_t>(s.Second >> (8 * b));
  p[8] = static_cast<uint8_t>(s.Serial);
  p[9] = static_cast<uint8_t>(s.Serial >> 8);
  p[10] = s.FileNumber;
  p[11] = s.Values;
  p[12] = static_cast<uint8_t>(s.DecimationA << 4);
  p[13] = static_cast<uint8_t>(s.DecimationB << 4);
  p[14] = s.Mask;
  for (unsigned i = 0; i < s.Values; ++i) {
    const uint32_t raw = static_cast<uint32_t>(value(i) + 0x800000) & 0xFFFFFF;
    p[16 + 3 * i] = static_cast<uint8_t>(raw);
    p[17 + 3 * i] = static_cast<uint8_t>(raw >> 8);
    p[18 + 3 * i] = static_cast<uint8_t>(raw >> 16);
  }
  SealPage(p);
  return p;
}

// A continuous recording: `count` pages from `first`, the position running on by the page's frames
// at `rate` output samples a second. Sample k of the recording (all channels counted) is value(k).
struct Recording {
  PageSpec First;
  unsigned Rate = 100;  // output samples a second (the position's unit)
  unsigned Count = 1;
};

inline std::vector<Page> BuildRecording(const Recording& r, const std::function<int32_t(uint64_t)>& value,
                                        uint64_t firstSample = 0) {
  std::vector<Page> pages;
  PageSpec s = r.First;
  const unsigned frames = s.Values / s.Channels;
  uint64_t k = firstSample;
  for (unsigned n = 0; n < r.Count; ++n) {
    pages.push_back(BuildPage(s, [&](unsigned i) { return value(k + i); }));
    k += s.Values;
    ++s.Serial;
    const unsigned position = s.Position + frames;
    s.Second += position / r.Rate;
    s.Position = static_cast<uint16_t>(position % r.Rate);
  }
  return pages;
}

}  // namespace acquisition_test
