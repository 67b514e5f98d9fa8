#pragma once
// The text of "<recording>.kog": the spectra, transfer function, coherence and phase of one pair of
// channels, or of channel 0 against each other channel.
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/cross_spectrum.h"
#include "toolkit/setup_record.h"

namespace analysis {

std::string CrossFileName(const toolkit::SetupRecord& s);

// Channels `ch0` and `ch0` + 1; rows k = 1 .. last - 2. Values that are not finite numbers are written as 0;
// their count goes to `zeroed` (likewise below).
std::string PairCrossText(const toolkit::SetupRecord& s, int ch0, const CrossSums& sums, const TransferCurves& t,
                          int32_t last, int64_t* zeroed = nullptr);

// curves[c - 1] for channel c = 1 .. count - 1 against channel 0; rows k = 1 .. last - 2.
std::string AllCrossText(const toolkit::SetupRecord& s, int32_t n, const std::vector<TransferCurves>& curves,
                         int32_t last, int64_t* zeroed = nullptr);

}  // namespace analysis
