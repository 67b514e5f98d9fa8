#pragma once
// The values list of a spectrum (with the energies of the useful and the harmful band) and the spectrum
// file "%s.s%d" with the time-frequency matrix of the intervals.
#include <string>
#include <vector>

#include "analysis/spectrum_buffers.h"
#include "toolkit/setup_record.h"

namespace analysis {

// Lines of the values list for the spectrum in `b`.
std::vector<std::string> SpectrumValueLines(const SpectrumBuffers& b, const toolkit::SetupRecord& s);

// Text of the spectrum file: `recording` the recording's file name as stored (it enters the text as one
// line of UTF-8), `intervalMode` true after an interval
// computation (the matrix follows only then, with more than 5 intervals), `start` the first sample the
// computation used (Nn, or the first cursor's sample of a single spectrum) and `startText` its
// date-time text. Cells that are not finite numbers are written as 0; their count goes to `zeroed`.
std::string SpectrumFileText(const SpectrumBuffers& b, const toolkit::SetupRecord& s, const std::string& recording,
                             bool intervalMode, int32_t start, const std::string& startText,
                             int64_t* zeroed = nullptr);

// Name of the spectrum file of `channel`: the recording's path + ".s" + channel.
std::string SpectrumFileName(const toolkit::SetupRecord& s, int channel);

// Writes `text` to `path`; false with `error` naming the file when it cannot be created or written.
bool WriteTextFile(const std::string& path, const std::string& text, std::string& error);

}  // namespace analysis
