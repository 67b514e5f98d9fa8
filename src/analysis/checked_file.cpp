#include "analysis/checked_file.h"

#include <cerrno>
#include <cstring>

namespace analysis {

CheckedFile::~CheckedFile() {
  if (appending_ && f_ != nullptr) std::fclose(f_);
}

bool CheckedFile::Open(const std::string& path, const char* mode) {
  appending_ = mode[0] == 'a';
  creating_ = std::strchr(mode, 'x') != nullptr;
  path_ = path;
  written_.clear();
  if (creating_ && platform::NameTaken(path)) {
    error_ = {EEXIST, platform::OutputErrorText(path, EEXIST)};
    f_ = nullptr;
  } else if (appending_) {
    f_ = platform::OpenForAppend(path, &error_);
  } else {
    f_ = replacing_.Open(path, &error_) ? replacing_.get() : nullptr;
  }
  ok_ = f_ != nullptr;
  return ok_;
}

bool CheckedFile::Write(const void* data, size_t bytes) {
  if (!ok_ || f_ == nullptr) return false;
  if (bytes != 0 && std::fwrite(data, 1, bytes, f_) != bytes) ok_ = false;
  return ok_;
}

bool CheckedFile::Print(const char* format, ...) {
  if (!ok_ || f_ == nullptr) return false;
  va_list args;
  va_start(args, format);
  const int n = std::vfprintf(f_, format, args);
  va_end(args);
  if (n < 0) ok_ = false;
  return ok_;
}

bool CheckedFile::Line(const std::string& text) {
  Write(text.data(), text.size());
  return Write("\n", 1);
}

bool CheckedFile::Close() {
  if (f_ == nullptr) return false;
  if (!appending_) {
    f_ = nullptr;
    if (!ok_) {
      replacing_.Abandon();  // the earlier file of that name stays as it was
      return false;
    }
    if (creating_) {
      written_ = replacing_.CommitToFreeName(path_, &error_);
      ok_ = !written_.empty();
    } else {
      ok_ = replacing_.Commit(&error_);
    }
    return ok_;
  }
  if (std::fflush(f_) != 0) ok_ = false;
  if (std::fclose(f_) != 0) ok_ = false;
  f_ = nullptr;
  return ok_;
}

}  // namespace analysis
