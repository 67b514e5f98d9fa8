#pragma once
// Runs a child program from an argument list, never through a shell, so that paths holding blanks,
// quotes or Cyrillic letters reach it as they are. The wait is bounded: a child that has not ended
// after `limitSeconds` is killed and reported.
#include <string>
#include <vector>

namespace support {

struct ChildResult {
  int exitCode = -1;    // the child's exit status; -1 when it could not start, was killed or timed out
  std::string output;   // its standard output, when asked for
  std::string problem;  // why it failed, in words (empty when it exited with 0)
  bool ok() const { return exitCode == 0; }
};

// `argv[0]` is looked up in PATH when it holds no '/'. Standard input is /dev/null; standard error
// is the test's own; standard output is kept in `output` when `keepOutput`, else discarded.
ChildResult RunChild(const std::vector<std::string>& argv, bool keepOutput = false, int limitSeconds = 300);

// The command line of `argv` for a failure message.
std::string CommandText(const std::vector<std::string>& argv);

}  // namespace support
