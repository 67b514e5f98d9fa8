#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

extern char** environ;

namespace support {

std::string CommandText(const std::vector<std::string>& argv) {
  std::string text;
  for (const std::string& a : argv) {
    if (!text.empty()) text += ' ';
    text += '\'' + a + '\'';
  }
  return text;
}

ChildResult RunChild(const std::vector<std::string>& argv, bool keepOutput, int limitSeconds) {
  ChildResult result;
  if (argv.empty()) {
    result.problem = "no program to run";
    return result;
  }
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  int pipeFds[2] = {-1, -1};
  if (keepOutput && ::pipe2(pipeFds, O_CLOEXEC) != 0) {
    result.problem = std::string("cannot make a pipe: ") + std::strerror(errno);
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (keepOutput) {
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  pid_t pid = -1;
  const int rc = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (keepOutput) ::close(pipeFds[1]);
  if (rc != 0) {
    if (keepOutput) ::close(pipeFds[0]);
    result.problem = "cannot start " + CommandText(argv) + ": " + std::strerror(rc);
    return result;
  }

  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::seconds(limitSeconds);
  bool timedOut = false;
  if (keepOutput) {
    char buffer[4096];
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) {
        timedOut = true;
        break;
      }
      pollfd p{pipeFds[0], POLLIN, 0};
      const int ready = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 1000)));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) continue;
      const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      result.output.append(buffer, static_cast<size_t>(n));
    }
    ::close(pipeFds[0]);
    if (timedOut) ::kill(pid, SIGKILL);
  }
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, timedOut ? 0 : WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) {
      result.problem = "cannot wait for " + CommandText(argv) + ": " + std::strerror(errno);
      return result;
    }
    if (done == 0) {
      if (Clock::now() >= deadline) {
        timedOut = true;
        ::kill(pid, SIGKILL);
      } else {
        ::usleep(2000);
      }
    }
  }
  if (timedOut) {
    result.problem = CommandText(argv) + " did not end within " + std::to_string(limitSeconds) + " s";
  } else if (WIFEXITED(status)) {
    result.exitCode = WEXITSTATUS(status);
    if (result.exitCode != 0) result.problem = CommandText(argv) + " exited with " + std::to_string(result.exitCode);
  } else {
    result.problem = CommandText(argv) + " ended by signal " + std::to_string(WTERMSIG(status));
  }
  return result;
}

}  // namespace support
