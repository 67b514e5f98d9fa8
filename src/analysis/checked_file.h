#pragma once
// A result file that remembers whether every write reached it: each write, the flush and the close are
// checked, so a full disk or a size limit is never taken for success.
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <string>

namespace analysis {

class CheckedFile {
 public:
  CheckedFile() = default;
  ~CheckedFile();
  CheckedFile(const CheckedFile&) = delete;
  CheckedFile& operator=(const CheckedFile&) = delete;

  // Opens `path` with the stdio `mode`; false when it cannot be opened.
  bool Open(const std::string& path, const char* mode);
  // Each returns false once any write has failed (later writes are then skipped).
  bool Write(const void* data, size_t bytes);
  bool Print(const char* format, ...) __attribute__((format(printf, 2, 3)));
  bool Line(const std::string& text);  // text and "\n"
  // Flushes and closes; true only when every write, the flush and the close succeeded.
  bool Close();
  bool Good() const { return ok_; }
  std::FILE* Handle() const { return f_; }

 private:
  std::FILE* f_ = nullptr;
  bool ok_ = true;
};

}  // namespace analysis
