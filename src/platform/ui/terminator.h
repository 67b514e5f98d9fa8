#pragma once
// Ending the program with an exit status, for failures that leave no way on.
#include <stdexcept>

namespace platform::ui {

// Thrown by ExitProgram while a test script is installed, so that the test goes on after the
// program would have ended.
class ProgramTerminated : public std::runtime_error {
 public:
  explicit ProgramTerminated(int status);
  int status() const { return status_; }

 private:
  int status_;
};

// Ends the program with `status`. From a worker thread the end is passed to the GUI thread. Under a
// test script it records the status and throws ProgramTerminated in the calling thread instead.
[[noreturn]] void ExitProgram(int status);

}  // namespace platform::ui
