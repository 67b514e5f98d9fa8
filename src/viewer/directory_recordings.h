#pragma once
// What the station read and the directory variance share: the regular files of a directory in name
// order, a file's main header read and checked, and the date-and-time text of an instant.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/recording_file.h"

namespace viewer {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// Names of the regular files of `dir`, sorted (empty when the directory cannot be listed); temporaries
// of a replacement are no recordings and are left out.
std::vector<std::string> RegularFileNames(const std::string& dir);

// Reads the main header at the start of `f` and checks it; false when it is short or refused.
bool ReadCheckedMainHeader(std::FILE* f, toolkit::MAIN_HEADER& header);

// Size of an open file in bytes, 0 when it cannot be taken.
uint64_t OpenFileSize(std::FILE* f);

// "dd.mm.yyyy hh:mm:ss" of whole seconds since 1899-12-30 00:00:00.
std::string DateTimeText1899(int64_t seconds);
// The same of a StartTicks instant (1/256 us since 1980-01-01).
std::string DateTimeTextOfTicks(int64_t ticks);

// The message of a file that cannot be opened.
inline constexpr const char* kCannotOpenFile = "нельзя открыть файл ";

}  // namespace viewer
