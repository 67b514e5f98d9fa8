#pragma once
// Whether the temporary folder can take the tests' files.
#include <string>

namespace support {

// Why the temporary folder (TMPDIR, else /tmp) cannot hold a small file (it is missing, full or
// read-only), naming it; empty when it can. Leaves nothing behind.
std::string TemporaryFolderProblem();

}  // namespace support
