#include "support/temp_dir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace support {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "suite_test_XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot create a folder in the temporary folder " +
                             std::filesystem::temp_directory_path().string() + ": " + std::strerror(errno));
  }
  path_ = pattern;
  std::error_code ec;
  madeIn_ = std::filesystem::current_path(ec).string();
}

TempDir::~TempDir() {
  std::error_code ec;
  const std::string now = std::filesystem::current_path(ec).string();
  const bool inside = !ec && (now == path_ || now.starts_with(path_ + "/"));
  if ((ec || inside) && !madeIn_.empty()) std::filesystem::current_path(madeIn_, ec);
  std::filesystem::remove_all(path_, ec);
}

}  // namespace support
