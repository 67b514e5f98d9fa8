#pragma once
// A small synthetic recording written with the recording file's own header writers: a demonstration file
// for a first start of the processing program, and known data for window tests.
#include <cstdint>
#include <string>

namespace toolkit {

struct SampleRecordingPlan {
  uint16_t channels = 3;
  uint16_t rate = 100;     // samples per second per channel
  uint32_t frames = 6000;  // samples per channel
  int64_t startTicks = 0;  // StartTicks of the first sample
  std::string station = "DEMO";
};

// Channel c holds a sine of 0.5 (c + 1) Hz with an amplitude of 1000 (c + 1) counts plus a slow ramp of
// 200 counts over the record, so every channel differs in shape and range. Each channel's Coef is 1e-3;
// channel c is named "к<c + 1> " and a component letter (Z, N, E in turn), so the names differ within the
// 6 characters a plot row shows.
// False when the file cannot be written whole (a partial file is removed).
bool WriteSampleRecording(const std::string& path, const SampleRecordingPlan& plan);

// The value WriteSampleRecording stores for channel `c` at frame `n`.
int32_t SampleValue(const SampleRecordingPlan& plan, uint16_t c, uint32_t n);

// The file name the recorder gives a recording that starts at `startTicks` ("MMddhhmm.t").
std::string SampleFileName(int64_t startTicks);

}  // namespace toolkit
