#pragma once
// The analysis commands write their files into the current directory: a test works in a fresh one and
// gets its own back afterwards.
#include <filesystem>

#include "support/temp_dir.h"

namespace analysis_test {

class ScopedWorkDir {
 public:
  ScopedWorkDir() : saved_(std::filesystem::current_path()) { std::filesystem::current_path(dir_.path()); }
  ~ScopedWorkDir() { std::filesystem::current_path(saved_); }
  const support::TempDir& dir() const { return dir_; }

 private:
  support::TempDir dir_;
  std::filesystem::path saved_;
};

}  // namespace analysis_test
