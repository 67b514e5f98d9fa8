#pragma once
// A fresh directory for one test, removed with everything in it when the test ends. When the process's
// working directory lies inside it by then (the code under test made it current), the working directory
// the directory was made in comes back first, so that the next test does not start in a removed one.
#include <string>

namespace support {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // `name` within the directory.
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  std::string madeIn_;  // the working directory at creation
};

}  // namespace support
