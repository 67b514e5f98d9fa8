#pragma once
// Recording files for the viewer's directory tests, built byte by byte from the layout table.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "toolkit/header_bytes.h"

namespace viewer_test {

// 2001-01-01 00:00:00 in seconds since 1899-12-30 and in StartTicks.
constexpr uint32_t kSeconds2001 = 2'524'694'400u + 662'774'400u;
constexpr int64_t kTicks2001 = int64_t{662'774'400} * 256'000'000;

struct FilePlan {
  uint16_t channels = 3;
  uint16_t rate = 100;
  int64_t startTicks = kTicks2001;
  uint32_t frames = 0;
  std::string station = "st1";
  std::vector<double> coefs;  // empty: 1.0 for every channel
  size_t cutBytes = 0;        // bytes taken off the end of the file
};

// The file of `plan` whose sample of channel c at frame n is value(c, n).
inline std::vector<uint8_t> RecordingBytes(const FilePlan& plan, const std::function<int32_t(int, uint32_t)>& value) {
  toolkit_test::Bytes file = toolkit_test::MainHeaderBytes(plan.channels, 60, plan.rate, plan.startTicks);
  file.Text(32, plan.station);
  for (uint16_t c = 0; c < plan.channels; ++c) {
    const double coef = c < plan.coefs.size() ? plan.coefs[c] : 1.0;
    file.Append(toolkit_test::ChannelHeaderBytes(c, "ch" + std::to_string(c), coef));
  }
  toolkit_test::Bytes frames(size_t{4} * plan.channels * plan.frames);
  for (uint32_t n = 0; n < plan.frames; ++n)
    for (uint16_t c = 0; c < plan.channels; ++c) {
      const auto v = static_cast<uint32_t>(value(c, n));
      const size_t at = 4 * (size_t{n} * plan.channels + c);
      frames.U16(at, static_cast<uint16_t>(v)).U16(at + 2, static_cast<uint16_t>(v >> 16));
    }
  file.Append(frames);
  std::vector<uint8_t> bytes = file.data();
  bytes.resize(bytes.size() - std::min(plan.cutBytes, bytes.size()));
  return bytes;
}

inline void WriteRecording(const std::string& path, const FilePlan& plan,
                           const std::function<int32_t(int, uint32_t)>& value) {
  toolkit_test::WriteFile(path, RecordingBytes(plan, value));
}

}  // namespace viewer_test
