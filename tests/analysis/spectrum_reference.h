#pragma once
// Reference spectra from numpy/scipy: the test writes its samples as raw float32, a short Python program
// reads them and prints the reference values, one a line.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "toolkit/python_reference.h"

namespace analysis_test {

inline void WriteFloats(const std::string& path, const std::vector<float>& x) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(x.data()), static_cast<std::streamsize>(x.size() * sizeof(float)));
}

// Runs `program` and parses every output line as a number.
inline std::vector<double> PythonNumbers(const std::string& name, const std::string& program) {
  std::vector<double> out;
  for (const std::string& line : toolkit_test::RunPython(name, program)) out.push_back(std::stod(line));
  return out;
}

// Test signal: sines at bins 7 and 40 of a 1024-point transform, a slow drift and pseudo-random noise
// (a fixed linear congruential sequence).
inline std::vector<float> TestSignal(size_t n, float offset = 0.0f) {
  std::vector<float> x(n);
  uint32_t state = 12345;
  for (size_t i = 0; i < n; ++i) {
    state = state * 1664525u + 1013904223u;
    const double noise = (static_cast<double>(state >> 8) / 16777216.0 - 0.5) * 0.4;
    x[i] = static_cast<float>(offset + 3.0 * std::sin(2 * M_PI * 7.0 * i / 1024.0) +
                              0.5 * std::cos(2 * M_PI * 40.0 * i / 1024.0) + 1e-5 * i + noise);
  }
  return x;
}

// The largest |a - b| over both vectors (which must have the same length) and the largest |b|.
struct Deviation {
  double largest = 0.0;
  double scale = 0.0;
};
template <typename A, typename B>
Deviation Compare(const A& a, const B& b, size_t count) {
  Deviation d;
  for (size_t i = 0; i < count; ++i) {
    d.largest = std::max(d.largest, std::fabs(static_cast<double>(a[i]) - static_cast<double>(b[i])));
    d.scale = std::max(d.scale, std::fabs(static_cast<double>(b[i])));
  }
  return d;
}

}  // namespace analysis_test
