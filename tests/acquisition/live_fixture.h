#pragma once
// Shared pieces of the live registration tests: a setup block, block headers and a scratch directory.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "acquisition/live_writer.h"
#include "recorder/recorder_time.h"

namespace acquisition::testing {

namespace fs = std::filesystem;

// Recorder seconds of a UTC date and time.
inline uint32_t UnitSeconds(int year, int month, int day, int h, int m, int s) {
  return static_cast<uint32_t>(recorder::UnitSecondsFromDate(year, month, day) + h * 3600 + m * 60 + s);
}

inline recorder::YSTANOV LiveSetup(uint16_t rate, unsigned channels) {
  recorder::YSTANOV s{};
  s.SampleRate = rate;
  s.FileMinutes = 20;
  s.SmoothPoints = 1;
  s.EventWindow = 5;
  s.EventChannels = 2;
  s.ChartCompression = 5;
  std::strcpy(s.Station, "STA1");
  for (unsigned c = 0; c < 8; ++c) {
    s.ChannelNames[c][0] = 'Z';
    s.ChannelNames[c][1] = static_cast<char>('0' + c);
    s.Thresholds[c] = 1000;
    s.Coefficients[c] = 2.0f;
    s.K_yc[c] = 4;
  }
  s.ChannelMask = static_cast<uint8_t>((1u << channels) - 1);
  return s;
}

inline recorder::CardPageHeader BlockHeader(uint32_t second, uint16_t position, unsigned channels,
                                            unsigned rows, uint16_t serial = 1) {
  recorder::CardPageHeader h{};
  h.Mark = 0x11;
  h.ChannelsMinus1 = static_cast<uint8_t>(channels - 1);
  h.Position = position;
  h.Second = second;
  h.Serial = serial;
  h.ValueCount = static_cast<uint8_t>(channels * rows);
  return h;
}

inline std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <typename T>
T At(const std::vector<uint8_t>& bytes, size_t offset) {
  T v{};
  if (offset + sizeof v <= bytes.size()) std::memcpy(&v, bytes.data() + offset, sizeof v);
  return v;
}

// A directory of its own for each test, removed afterwards.
class ScratchDir {
 public:
  ScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = fs::current_path() / (std::string("live_") + info->test_suite_name() + "_" + info->name());
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string str() const { return path_.string(); }
  fs::path path() const { return path_; }

 private:
  fs::path path_;
};

}  // namespace acquisition::testing
