#pragma once
// "функции" → "корреляционные" and "врем.опер." → "производная": the correlation of channels by FFT and
// the derivative of a channel, both over all samples in memory.
#include <cstdint>
#include <functional>
#include <string>

#include "toolkit/funk.h"
#include "toolkit/setup_record.h"

namespace analysis {

// Progress of a long command, 0 ... 100 (the caller shows and hides its panel).
using Progress = std::function<void(int)>;

// Transform length of a correlation of n samples: the least power of two not below 2n.
uint64_t CorrelationLength(uint32_t n);

// CorrelateChannels over the first n samples: `b` equal to `a` gives the auto-correlation r[m] / E,
// otherwise the cross-correlation r[m] = sum a[i] b[i + m] / sqrt(Ea Eb); lags from 0.9 n on are 0.
// The result replaces `a`. Returns the message to show ("" done); a channel without energy, fewer than
// 2 samples, a transform longer than the longest one made or no memory for the work arrays leave `a`
// unchanged.
std::string CorrelateChannels(float* a, const float* b, uint32_t n, toolkit::TFunk& funk, const Progress& progress);

// DifferentiateChannel: the windowed-sinc low-pass of the "интеграл" page, then the backward difference
// divided by the sampling interval; x[0] takes x[1]. Fewer than 2 samples are left alone. Returns the
// message to show ("" done).
std::string DifferentiateChannel(const toolkit::SetupRecord& setup, float* x, toolkit::TFunk& funk);

}  // namespace analysis
