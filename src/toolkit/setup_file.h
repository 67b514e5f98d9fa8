#pragma once
// The setup file "qvd.0": the whole SetupRecord, byte for byte, in the program directory.
#include <string>

#include "toolkit/setup_record.h"

namespace toolkit {

// The program directory with its trailing separator; filled by the main window at start.
extern std::string ProgramDir;

constexpr const char* kSetupFileName = "qvd.0";

// A failure that leaves the program no way on: the caller shows `text` (titled `caption` when not
// empty) and ends the program with exit status 1.
struct SetupFileError {
  bool failed = false;
  std::string text;
  std::string caption;
};

// How a load ended when it did not fail.
enum class SetupLoad { FromFile, Defaults };

struct SetupLoadResult {
  SetupLoad how = SetupLoad::Defaults;
  int fieldsMended = 0;  // fields of a read record brought back into their ranges
  SetupFileError error;
};

// Directory text followed by the file name; a separator is put between them when the directory lacks it.
std::string SetupFilePath(const std::string& programDir);

// Loads the record from `path`. A file of any other size than the record's (or a missing or short one) is
// replaced by the defaults, which are written back to `path`. A file of the right size is still sanitised.
// Only a regular file is read; a link, a FIFO or a folder at `path` is not replaced either (a failure).
SetupLoadResult LoadSetupFile(const std::string& path, SetupRecord& setup, const std::string& programDir);

// Saves the record to `path` through a temporary file in the same directory and a rename, so that an
// interrupted save never leaves a short setup file behind.
SetupFileError SaveSetupFile(const std::string& path, const SetupRecord& setup);

}  // namespace toolkit
