#include "support/fixture_file.h"

#include <sys/statvfs.h>

#include <filesystem>
#include <system_error>

namespace support {

std::string FixtureProblem(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path tmp = std::filesystem::temp_directory_path(ec);
  std::string text = "cannot write the test's file " + path;
  if (!ec) text += ": the temporary folder " + tmp.string() + " is full, too small or not writable";
  const std::string folder = std::filesystem::path(path).parent_path().string();
  struct statvfs fs {};
  if (::statvfs(folder.empty() ? "." : folder.c_str(), &fs) == 0) {
    const unsigned long long free = static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize;
    text += " (" + std::to_string(free) + " bytes free there now)";
  }
  return text;
}

void RequireFixture(bool written, const std::string& path) {
  if (!written) throw FixtureNotWritten(FixtureProblem(path));
}

}  // namespace support
