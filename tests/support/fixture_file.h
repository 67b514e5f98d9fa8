#pragma once
// A test that cannot write its own fixture stops with a message that names the file and the room left
// in its folder, instead of going on without it (and failing in some other way, or crashing on a null
// FILE*). The exception ends the test; GoogleTest reports its message as the test's failure.
#include <stdexcept>
#include <string>

namespace support {

class FixtureNotWritten : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Why `path` could not be written: the path, the temporary folder and the bytes free in the file's folder.
std::string FixtureProblem(const std::string& path);

// Throws FixtureNotWritten when `written` is false.
void RequireFixture(bool written, const std::string& path);

}  // namespace support
