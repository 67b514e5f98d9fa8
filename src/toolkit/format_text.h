#pragma once
// printf-style formatting into an owned string (C locale numbers: the programs set LC_NUMERIC=C).
#include <cstdarg>
#include <cstdio>
#include <string>

namespace toolkit {

std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace toolkit
