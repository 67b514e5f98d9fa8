// Gives every test program the locations it needs (the source tree, the reference interpreter)
// before any test runs; values set in the environment take precedence. Before the first test the
// temporary folder is tried: where it cannot hold a small file (full, read-only, missing), the program
// ends at once, failed, with one message that names the folder, instead of each test failing (or
// hanging) in its own way.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/temp_room.h"

namespace {
struct SuiteEnvironment {
  SuiteEnvironment() {
    setenv("SUITE_SOURCE_DIR", SUITE_SOURCE_DIR_DEFAULT, 0);
    setenv("SUITE_PYTHON", SUITE_PYTHON_DEFAULT, 0);
  }
} const suiteEnvironment;

class TemporaryFolderCheck : public ::testing::Environment {
 public:
  void SetUp() override {
    const std::string problem = support::TemporaryFolderProblem();
    if (problem.empty()) return;
    // Not a failure of the global set-up: GoogleTest would then report every test as skipped, which
    // a runner counts as passed.
    std::fprintf(stderr, "[  FAILED  ] %s; point TMPDIR at a writable folder with room\n", problem.c_str());
    std::fflush(nullptr);
    std::_Exit(1);
  }
};
::testing::Environment* const temporaryFolderCheck = ::testing::AddGlobalTestEnvironment(new TemporaryFolderCheck);
}  // namespace
