#include "support/planted_fifo.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

namespace support {

namespace {

volatile sig_atomic_t writerFd = -1;
volatile sig_atomic_t guardFired = 0;

void ReleaseReader(int) {
  guardFired = 1;
  ::close(writerFd);  // the reader sees the end of the FIFO
}

}  // namespace

bool FifoLeftUnread(const std::string& path, const std::function<void()>& read) {
  if (::mkfifo(path.c_str(), 0600) != 0) return false;
  // Reader and writer in one descriptor: the open never waits, and the bytes stay while it is open.
  const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const std::string bytes(32768, '9');
  const ssize_t put = ::write(fd, bytes.data(), bytes.size());
  if (put <= 0) {
    ::close(fd);
    return false;
  }
  writerFd = fd;
  guardFired = 0;
  struct sigaction guard = {};
  struct sigaction saved = {};
  guard.sa_handler = ReleaseReader;  // no SA_RESTART: a waiting open or read returns
  ::sigaction(SIGALRM, &guard, &saved);
  ::alarm(30);
  read();
  ::alarm(0);
  ::sigaction(SIGALRM, &saved, nullptr);
  if (guardFired) return false;
  int left = -1;
  ::ioctl(fd, FIONREAD, &left);
  ::close(fd);
  return left == put;
}

}  // namespace support
