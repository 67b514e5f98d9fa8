#pragma once
// Reference timings from Python (numpy/scipy): the script times its own calls and prints the
// seconds; the benchmark reports them as its manual time, so the numbers sit beside ours in one run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

extern char** environ;

namespace bench_support {

// The seconds /usr/bin/python3 `script` prints, run from an argument list (the script's folder may
// hold any character); nothing when it cannot run or prints no number.
inline std::optional<double> PythonSeconds(const std::string& script) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  char python[] = "/usr/bin/python3";
  std::string path = script;
  char* argv[] = {python, path.data(), nullptr};
  pid_t pid = -1;
  const int rc = ::posix_spawn(&pid, python, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  std::string out;
  char buffer[256];
  for (ssize_t n; rc == 0 && (n = ::read(fds[0], buffer, sizeof buffer)) != 0;) {
    if (n > 0) out.append(buffer, static_cast<size_t>(n));
    else if (errno != EINTR) break;
  }
  ::close(fds[0]);
  int status = 0;
  if (rc != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return std::nullopt;
  char* end = nullptr;
  const double seconds = std::strtod(out.c_str(), &end);
  if (end == out.c_str() || !std::isfinite(seconds) || seconds < 0) return std::nullopt;
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
