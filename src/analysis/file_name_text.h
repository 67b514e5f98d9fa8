#pragma once
// Pieces of result-file names taken from recording headers: Windows-1251 text turned into UTF-8 that is
// safe inside a file name.
#include <string>
#include <string_view>

namespace analysis {

// The first `chars` characters of a Windows-1251 text, as UTF-8 in which every character but a letter
// (Latin or Cyrillic), a digit, '-' and '_' has become '_'.
std::string SafeNamePart(std::string_view cp1251, size_t chars);

}  // namespace analysis
