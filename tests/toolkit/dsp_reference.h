#pragma once
// Runs tests/toolkit/dsp_reference.py (numpy and scipy) with the suite's python and exchanges arrays
// with it through raw float64 files in the working directory.
#include <string>
#include <vector>

namespace dsptest {

// Writes values to a file named after tag and this process; returns its path.
std::string WriteArray(const std::string& tag, const std::vector<double>& values);
std::vector<double> ReadArray(const std::string& path);
// A fresh output path for tag.
std::string OutputPath(const std::string& tag);
// Runs the script with the given arguments and removes the input files written since the last run;
// false (with a test failure recorded) when it fails.
bool RunReference(const std::string& arguments);

}  // namespace dsptest
