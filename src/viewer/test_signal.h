#pragma once
// The last step of every read: the synthetic test signal that replaces the first channels when the
// settings ask for one, then the removal of each channel's mean.
#include <cstdint>
#include <string>

#include "toolkit/setup_record.h"
#include "viewer/channel_samples.h"

namespace viewer {

// Entries of the phase table of the sum of harmonics; harmonic numbers stay below it.
inline constexpr int kHarmonicTableSize = 4096;

// Writes the test signal of SetupRecord.TestMode (0 none, 2 sum of harmonics, other values the two-sine
// signal) into channels 0 ... TestChannels - 1 over SetupRecord.Samples samples (TestChannels brought
// into 1 ... ChannelCount), then, with SetupRecord.RemoveMean on, subtracts every channel's mean.
// Noise and phases come from a generator seeded with `seed`. Returns the reason when the harmonic
// settings cannot make a signal (step or period below 1): no test signal is made then, but the mean is
// still removed. Empty otherwise.
std::string GenerateTestSignal(toolkit::SetupRecord& setup, const ChannelSamples& samples, uint64_t seed);
// The same, seeded from the clock so that two reads give different noise.
std::string GenerateTestSignal(toolkit::SetupRecord& setup, const ChannelSamples& samples);

// Subtracts from samples 0 ... count - 1 their mean (summed in double precision); nothing when count is 0.
void RemoveMean(float* channel, uint32_t count);

}  // namespace viewer
