#pragma once
// numpy references of the analysis tests: arrays go to the Python program as raw float64 files named
// in1, in2, ...; it writes its result array to the file named `out`.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/dsp_reference.h"
#include "toolkit/python_reference.h"

namespace analysis_test {

inline std::vector<double> Numpy(const std::string& tag, const std::vector<std::vector<double>>& inputs,
                                 const std::string& body) {
  std::string program = "import numpy as np\nfrom scipy import signal\n";
  std::vector<std::string> paths;
  for (size_t i = 0; i < inputs.size(); ++i) {
    paths.push_back(dsptest::WriteArray(tag, inputs[i]));
    program += "in" + std::to_string(i + 1) + " = np.fromfile('" + paths.back() + "', dtype='<f8')\n";
  }
  const std::string out = dsptest::OutputPath(tag);
  program += body + "\nnp.asarray(out, dtype='<f8').tofile('" + out + "')\n";
  toolkit_test::RunPython(tag, program);
  for (const std::string& p : paths) std::remove(p.c_str());
  return dsptest::ReadArray(out);
}

// A deterministic noise of unit-ish amplitude.
inline std::vector<float> Noise(size_t n, uint32_t seed) {
  std::vector<float> x(n);
  for (auto& v : x) {
    seed = seed * 1664525u + 1013904223u;
    v = static_cast<float>((seed >> 8) * (1.0 / 16777216.0) - 0.5);
  }
  return x;
}

inline std::vector<double> ToDouble(const std::vector<float>& x) { return {x.begin(), x.end()}; }

}  // namespace analysis_test
