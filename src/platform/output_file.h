#pragma once
// Creating the files both programs write. Data folders come from the field and from colleagues, so an
// output never goes through a symbolic link in its last component, a new file is created exclusively
// (any directory entry of that name, a dangling link included, counts as taken), and an existing file
// is replaced only through a fresh temporary file renamed over it, and a new whole file appears under
// its name only when whole. Every failure is reported. The files
// both programs read by a fixed name are opened here too, under the same rule: regular files only.
#include <sys/types.h>

#include <cstdio>
#include <string>
#include <string_view>

namespace platform {

// Why an output file could not be made: the errno and a text naming the file.
struct OutputError {
  int code = 0;
  std::string text;
};

// The text of a failure to make `path`, naming it (a link is called a link).
std::string OutputErrorText(const std::string& path, int code);

// True when a directory entry of any kind has this name (a dangling link included).
bool NameTaken(const std::string& path);

// `name`, or `name` + "_2", "_3", ...: the first that no directory entry holds.
std::string FreeName(const std::string& name);

// Renames `from` to FreeName(`to`) without ever replacing an entry that appears meanwhile; the name
// it took, or "" with `error` set.
std::string RenameToFreeName(const std::string& from, const std::string& to, OutputError* error = nullptr);

// A new file for writing (mode "wb"); nullptr with `error` set when the name is taken or cannot be made.
// For files that grow in place (logs, recordings being downloaded); a file written whole goes through
// NewWholeFile.
std::FILE* CreateNewFile(const std::string& path, OutputError* error = nullptr);
// The same as a file descriptor (-1 on failure).
int CreateNewFd(const std::string& path, OutputError* error = nullptr);

// A file to append to (mode "ab"), created when absent; never through a link, never anything but a
// regular file.
std::FILE* OpenForAppend(const std::string& path, OutputError* error = nullptr);

// An existing regular file opened to be rewritten in place (mode "r+b"), never through a link.
std::FILE* OpenForUpdate(const std::string& path, OutputError* error = nullptr);

// An existing regular file opened for reading (mode "rb"), never through a link: a FIFO, a device or a
// folder at the name is refused (EINVAL) without waiting on it. Files read by a fixed name open here.
std::FILE* OpenForReading(const std::string& path, OutputError* error = nullptr);

// Temporary files of whole-file writers are hidden, of one bounded length, and named ".qtmp" and six more
// characters; a writer killed while writing leaves such a name. Readers of folders skip them.
inline constexpr const char* kOutputTemporaryPrefix = ".qtmp";
bool IsOutputTemporaryName(std::string_view fileName);

// Removes the temporaries in `folder` that a killed writer left: regular files of ours under such a
// name that no live writer holds locked. Every writer of whole files runs it in its folder first.
void RemoveStaleTemporaries(const std::string& folder);

namespace detail {

// The hidden temporary a whole file is written under, in the folder of the file it becomes (a rename
// does not cross folders). It is locked (flock) from its making until it is moved into place or
// removed, so that no other writer takes it for a killed writer's leftover.
class HeldTemporary {
 public:
  HeldTemporary() = default;
  ~HeldTemporary() { Remove(); }
  HeldTemporary(const HeldTemporary&) = delete;
  HeldTemporary& operator=(const HeldTemporary&) = delete;

  // Makes a fresh temporary beside `path` with the permissions `mode`; false with `error` set.
  bool Make(const std::string& path, mode_t mode, OutputError* error);
  std::FILE* file() const { return file_; }
  const std::string& name() const { return name_; }
  bool held() const { return !name_.empty(); }
  // Flushes, syncs and closes the stream; the lock stays until Release or Remove. 0 or the errno.
  int Close();
  // After the temporary was moved into place: drops the lock and forgets the name.
  void Release();
  // Closes and removes the temporary.
  void Remove();

 private:
  std::string name_;
  std::FILE* file_ = nullptr;
  int lock_ = -1;  // a second descriptor of the file: the lock outlives the stream's close
  dev_t dev_ = 0;  // the file, as this process's sweeps know it
  ino_t ino_ = 0;
};

// After `name` was moved into place: syncs its folder; false with `error` set when that fails.
bool SyncFolderOf(const std::string& name, OutputError* error);

}  // namespace detail

// Writes a file that replaces `path` (or creates it): the data goes to a fresh temporary file in its
// folder, which Commit flushes to the disk and renames over `path`, then syncs the folder so that the
// new name survives a power cut. A `path` that is a symbolic link or anything but a regular file is
// refused. Destroyed without Commit, the temporary file is removed and `path` is left as it was.
class ReplacingFile {
 public:
  ReplacingFile() = default;
  ~ReplacingFile() = default;
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  bool Open(const std::string& path, OutputError* error = nullptr);
  std::FILE* get() const { return temp_.file(); }
  // Flushes, closes and renames into place; false (the temporary removed) when any step fails.
  bool Commit(OutputError* error = nullptr);
  // Flushes and closes as Commit does, but moves the file to FreeName(`to`) instead, replacing
  // nothing; the name it took, or "".
  std::string CommitToFreeName(const std::string& to, OutputError* error = nullptr);
  void Abandon() { temp_.Remove(); }

 private:
  std::string path_;
  detail::HeldTemporary temp_;
};

// A new whole file (a merge, an export): written under a fresh hidden temporary in its folder, so that
// a reader never sees it part-written, not even after a kill or a power cut. Open refuses a name that
// is taken; Commit syncs the file, moves it to its name without replacing anything (a name taken
// meanwhile is refused, EEXIST) and syncs the folder. Destroyed without Commit, nothing is left.
class NewWholeFile {
 public:
  NewWholeFile() = default;
  ~NewWholeFile() = default;
  NewWholeFile(const NewWholeFile&) = delete;
  NewWholeFile& operator=(const NewWholeFile&) = delete;

  bool Open(const std::string& path, OutputError* error = nullptr);
  std::FILE* get() const { return temp_.file(); }
  const std::string& path() const { return path_; }
  bool Commit(OutputError* error = nullptr);
  // After a failed Commit: true when the file did reach its name (only its folder's sync failed).
  bool InPlace() const { return inPlace_; }
  void Abandon() { temp_.Remove(); }

 private:
  std::string path_;
  detail::HeldTemporary temp_;
  bool inPlace_ = false;
};

// Writes `size` bytes as the whole new content of `path` through a ReplacingFile.
bool ReplaceFileContent(const std::string& path, const void* data, std::size_t size,
                        OutputError* error = nullptr);

}  // namespace platform
