#pragma once
// The description lines of a recording file's main header, as the information lists show them.
#include <string>
#include <vector>

#include "toolkit/recording_file.h"

namespace toolkit {

// Start date and time; position; station and rate; channels and converter bits; for headers of a
// format below 59 also the GPS state at both ends and the synchronisation offset. UTF-8.
std::vector<std::string> HeaderInfoLines(const MAIN_HEADER& header);

}  // namespace toolkit
