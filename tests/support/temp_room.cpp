#include "support/temp_room.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace support {

std::string TemporaryFolderProblem() {
  std::error_code ec;
  const std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
  if (ec) return "there is no temporary folder (TMPDIR): " + ec.message();
  std::string name = (dir / ".suite_room_XXXXXX").string();
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return "the temporary folder " + dir.string() + " takes no file: " + std::strerror(errno);
  // A few fixtures' worth: a full folder refuses the first block.
  const std::vector<char> block(size_t{1} << 16, 'x');
  std::string problem;
  for (int i = 0; i < 16 && problem.empty(); ++i) {
    errno = 0;
    if (::write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size())) {
      problem = "the temporary folder " + dir.string() + " has no room for the tests' files: " +
                (errno != 0 ? std::strerror(errno) : "short write");
    }
  }
  if (::close(fd) != 0 && problem.empty()) {
    problem = "the temporary folder " + dir.string() + " has no room for the tests' files: " + std::strerror(errno);
  }
  ::unlink(name.c_str());
  return problem;
}

}  // namespace support
