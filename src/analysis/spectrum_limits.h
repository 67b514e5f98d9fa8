#pragma once
// The bounds the spectrum computations rely on, applied to the setup record before every computation
// and redraw, so that a setup file or a typed value outside them can never index past a buffer or
// divide by zero.
#include <cstdint>
#include <string>

#include "toolkit/setup_record.h"

namespace analysis {

inline constexpr uint32_t kMinFourierLength = 4;
inline constexpr uint32_t kMaxFourierLength = 32768;
inline constexpr uint32_t kMinCursorSpan = 10;
inline constexpr uint32_t kMaxCursorSpan = 32768;
inline constexpr uint16_t kMinShift = 2;

// Transform length of spectrum mode `mode`: the FFT length (0), the Fourier length (1), the cursor
// span (2).
uint32_t ModeLength(const toolkit::SetupRecord& s, uint16_t mode);

// The length of `mode`, or 0 with `error` set when it is outside what the mode can transform.
int32_t CheckedModeLength(const toolkit::SetupRecord& s, uint16_t mode, std::string& error);

// Forces the shift into 2 .. 65535 and the bins into 0 <= first < last <= half - 1 (half >= 2).
void ClampBins(toolkit::SetupRecord& s, int32_t half);
void ClampShift(toolkit::SetupRecord& s);

// Intervals of an interval computation over `length` samples: (length - n) / shift + 1, at least 1.
int32_t IntervalTotal(int64_t length, int32_t n, int32_t shift);
// Progress bar position after `done` of `total` intervals: 0 .. 100.
int ProgressPosition(int64_t done, int64_t total);

// The cursor span length from the main window's cursor samples: even, 10 .. 32768.
uint32_t CursorSpan(const toolkit::SetupRecord& s);
// Start of a single spectrum: the first cursor's sample inside [Nn, Nk).
int32_t SingleSpectrumStart(const toolkit::SetupRecord& s);

}  // namespace analysis
