// Gives every test program the locations it needs (the source tree, the reference interpreter)
// before any test runs; values set in the environment take precedence.
#include <cstdlib>

namespace {
struct SuiteEnvironment {
  SuiteEnvironment() {
    setenv("SUITE_SOURCE_DIR", SUITE_SOURCE_DIR_DEFAULT, 0);
    setenv("SUITE_PYTHON", SUITE_PYTHON_DEFAULT, 0);
  }
} const suiteEnvironment;
}  // namespace
