#pragma once
// A result file that remembers whether every write reached it: each write, the flush and the close are
// checked, so a full disk or a size limit is never taken for success. A file opened with "w" replaces
// its name only when closed whole (through a fresh temporary file); one opened with "wx" replaces nothing:
// it is refused when its name is taken, and takes a free name when the name is taken while it is written.
// None is opened through a link.
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <string>

#include "platform/output_file.h"

namespace analysis {

class CheckedFile {
 public:
  CheckedFile() = default;
  ~CheckedFile();
  CheckedFile(const CheckedFile&) = delete;
  CheckedFile& operator=(const CheckedFile&) = delete;

  // Opens `path` to replace ("w", "wb"), to create ("wx", "wbx") or to append to ("a", "ab"); false when
  // it cannot be opened.
  bool Open(const std::string& path, const char* mode);
  // The name a created file took when closed: its path, or a free name beside it ("" when not closed).
  const std::string& Written() const { return written_; }
  // Why Open or Close failed, naming the file.
  const std::string& ErrorText() const { return error_.text; }
  // Each returns false once any write has failed (later writes are then skipped).
  bool Write(const void* data, size_t bytes);
  bool Print(const char* format, ...) __attribute__((format(printf, 2, 3)));
  bool Line(const std::string& text);  // text and "\n"
  // Flushes and closes; true only when every write, the flush and the close succeeded.
  bool Close();
  bool Good() const { return ok_; }
  std::FILE* Handle() const { return f_; }

 private:
  platform::ReplacingFile replacing_;
  platform::OutputError error_;
  std::FILE* f_ = nullptr;  // the appended file, or the replacing one's temporary
  std::string path_;
  std::string written_;
  bool appending_ = false;
  bool creating_ = false;
  bool ok_ = true;
};

}  // namespace analysis
