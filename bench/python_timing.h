#pragma once
// Reference timings from Python (numpy/scipy): the script times its own calls and prints the
// seconds; the benchmark reports them as its manual time, so the numbers sit beside ours in one run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace bench_support {

// Runs `script` with /usr/bin/python3 once per iteration and records the seconds it prints.
inline void TimePythonScript(benchmark::State& state, const std::string& script) {
  for (auto _ : state) {
    FILE* p = ::popen(("/usr/bin/python3 " + script).c_str(), "r");
    double seconds = 0;
    if (p == nullptr || std::fscanf(p, "%lf", &seconds) != 1) state.SkipWithError("python failed");
    if (p != nullptr) ::pclose(p);
    state.SetIterationTime(seconds);
  }
}

}  // namespace bench_support
