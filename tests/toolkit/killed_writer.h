#pragma once
// A writer killed at a chosen byte: the writer runs in a child process whose file-size limit is that
// byte, so the kernel kills it (SIGXFSZ) at the write that would pass it, as a pulled plug or a kill
// would, with no timing involved.
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <functional>

namespace toolkit_test {

// True when the child running `write` was killed at `bytes` bytes of a file.
inline bool KilledAtByte(rlim_t bytes, const std::function<void()>& write) {
  std::fflush(nullptr);  // nothing buffered by the parent is written twice
  const pid_t pid = ::fork();
  if (pid < 0) return false;
  if (pid == 0) {
    ::prctl(PR_SET_DUMPABLE, 0);  // the kill leaves no core file
    const rlimit core{0, 0};
    ::setrlimit(RLIMIT_CORE, &core);
    std::signal(SIGXFSZ, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGXFSZ);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    const rlimit limit{bytes, bytes};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::alarm(60);  // a writer that hangs ends too
    write();
    ::_exit(0);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ;
}

}  // namespace toolkit_test
