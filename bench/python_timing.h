#pragma once
// Reference timings from Python (numpy/scipy): the script times its own calls and prints the
// seconds; the benchmark reports them as its manual time, so the numbers sit beside ours in one run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

#include "support/child_process.h"

namespace bench_support {

// The seconds /usr/bin/python3 `script` prints, run from an argument list (the script's folder may
// hold any character); nothing when it cannot run or prints no number.
inline std::optional<double> PythonSeconds(const std::string& script) {
  const support::ChildResult run = support::RunChild({"/usr/bin/python3", script}, true);
  if (!run.ok()) return std::nullopt;
  char* end = nullptr;
  const double seconds = std::strtod(run.output.c_str(), &end);
  if (end == run.output.c_str() || !std::isfinite(seconds) || seconds < 0) return std::nullopt;
  return seconds;
}

// Runs `script` once per iteration and records the seconds it prints.
inline void TimePythonScript(benchmark::State& state, const std::string& script) {
  for (auto _ : state) {
    const std::optional<double> seconds = PythonSeconds(script);
    if (!seconds) {
      state.SkipWithError("python failed");
      break;
    }
    state.SetIterationTime(*seconds);
  }
}

}  // namespace bench_support
