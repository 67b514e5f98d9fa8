#pragma once
// The noise level of one station over a directory: every recording file that matches the record in
// memory gives its frames to one mean per channel; then, file after file in time order, the root mean
// square of each channel about that mean in windows of a fixed number of minutes is written to
// "gistogram_for_dir.txt" in the directory.
#include <functional>
#include <string>
#include <vector>

#include "toolkit/setup_record.h"

namespace viewer {

inline constexpr const char* kDirectoryVarianceFile = "gistogram_for_dir.txt";

struct DirectoryVarianceOutcome {
  bool written = false;               // the output file is complete
  std::vector<std::string> messages;  // shown in order
};

// Progress: called with the position and the maximum of the progress bar.
using VarianceProgress = std::function<void(int position, int maximum)>;

// Accepts the files of `dir` whose header passes the check and whose Format, Bits, Channels, Rate and
// station equal those of SetupRecord.Header (at most 999). Samples are multiplied by the file's own
// channel coefficients when SetupRecord.UseCoefficients is on. A window shorter than one sample or no
// accepted file writes no file.
DirectoryVarianceOutcome DirectoryVariance(const toolkit::SetupRecord& setup, const std::string& dir,
                                           const VarianceProgress& progress);

}  // namespace viewer
