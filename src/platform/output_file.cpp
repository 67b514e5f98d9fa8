#include "platform/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace platform {

namespace {

void SetError(OutputError* error, const std::string& path, int code) {
  if (error) *error = {code, OutputErrorText(path, code)};
}

// The process's file creation mask, read without changing it (other threads may be creating files).
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
  }
  return 022;
}

std::FILE* FileOfFd(int fd, const char* mode, const std::string& path, OutputError* error) {
  if (fd < 0) return nullptr;
  std::FILE* f = ::fdopen(fd, mode);
  if (f == nullptr) {
    const int code = errno;
    ::close(fd);
    SetError(error, path, code);
  }
  return f;
}

}  // namespace

std::string OutputErrorText(const std::string& path, int code) {
  switch (code) {
    case ELOOP:
      return "Файл не записан: " + path + " — символическая ссылка";
    case EEXIST:
      return "Файл не записан: " + path + " — такое имя уже занято";
    case EINVAL:
      return "Файл не записан: " + path + " — это не обычный файл";
    default:
      return "Файл не записан: " + path + " (" + std::strerror(code) + ")";
  }
}

bool NameTaken(const std::string& path) {
  struct stat st {};
  // A name that cannot be looked at (a missing folder, no permission) is left to the create to report.
  return ::lstat(path.c_str(), &st) == 0;
}

std::string FreeName(const std::string& name) {
  if (!NameTaken(name)) return name;
  for (unsigned long k = 2;; ++k) {
    std::string candidate = name + "_" + std::to_string(k);
    if (!NameTaken(candidate)) return candidate;
  }
}

std::string RenameToFreeName(const std::string& from, const std::string& to, OutputError* error) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string target = FreeName(to);
    int code = 0;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
      code = errno;
      if (code == EINVAL || code == ENOSYS) {
        // A file system without the flag: a hard link fails on any existing entry as well.
        code = ::link(from.c_str(), target.c_str()) == 0 ? (::unlink(from.c_str()), 0) : errno;
      }
    }
    if (code == 0) return target;
    if (code != EEXIST) {
      SetError(error, from, code);
      return {};
    }
  }
  SetError(error, to, EEXIST);
  return {};
}

int CreateNewFd(const std::string& path, OutputError* error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) SetError(error, path, errno);
  return fd;
}

std::FILE* CreateNewFile(const std::string& path, OutputError* error) {
  return FileOfFd(CreateNewFd(path, error), "wb", path, error);
}

namespace {

// Opens `path` with `flags` (access mode included), never through a link, and only when it is a regular
// file. O_NONBLOCK: a FIFO planted at the name must not hang the writer; it is refused after the open.
std::FILE* OpenRegular(const std::string& path, int flags, const char* mode, OutputError* error) {
  const int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) {
    SetError(error, path, errno);
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    SetError(error, path, EINVAL);
    return nullptr;
  }
  ::fcntl(fd, F_SETFL, flags & ~O_CREAT);
  return FileOfFd(fd, mode, path, error);
}

}  // namespace

std::FILE* OpenForAppend(const std::string& path, OutputError* error) {
  return OpenRegular(path, O_WRONLY | O_APPEND | O_CREAT, "ab", error);
}

std::FILE* OpenForUpdate(const std::string& path, OutputError* error) {
  return OpenRegular(path, O_RDWR, "r+b", error);
}

std::FILE* OpenForReading(const std::string& path, OutputError* error) {
  return OpenRegular(path, O_RDONLY, "rb", error);
}

bool IsOutputTemporaryName(std::string_view fileName) {
  const std::string_view prefix = kOutputTemporaryPrefix;
  return fileName.size() == prefix.size() + 6 && fileName.substr(0, prefix.size()) == prefix;
}

bool ReplacingFile::SyncFolderOf(const std::string& name, OutputError* error) {
  const size_t slash = name.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : name.substr(0, slash);
  int code = 0;
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    code = errno;
  } else {
    // A file system that cannot sync a folder (EINVAL) keeps nothing back to sync.
    if (::fsync(fd) != 0 && errno != EINVAL) code = errno;
    ::close(fd);
  }
  if (code == 0) return true;
  if (error)
    *error = {code,
              "Файл " + name + " записан, но его папка не сброшена на диск (" + std::strerror(code) + ")"};
  return false;
}

ReplacingFile::~ReplacingFile() { Abandon(); }

bool ReplacingFile::Open(const std::string& path, OutputError* error) {
  Abandon();
  mode_t mode = 0666 & ~CurrentUmask();
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    if (S_ISLNK(st.st_mode)) {
      SetError(error, path, ELOOP);
      return false;
    }
    if (!S_ISREG(st.st_mode)) {
      SetError(error, path, EINVAL);
      return false;
    }
    mode = st.st_mode & 07777;  // the replacement keeps the file's permissions
  }
  // In the file's own folder (a rename does not cross folders), whatever the length of its name.
  std::string temp = path.substr(0, path.rfind('/') + 1) + kOutputTemporaryPrefix + "XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    SetError(error, path, errno);
    return false;
  }
  ::fchmod(fd, mode);
  file_ = FileOfFd(fd, "wb", path, error);
  if (file_ == nullptr) {
    ::unlink(temp.c_str());
    return false;
  }
  path_ = path;
  temp_ = std::move(temp);
  return true;
}

int ReplacingFile::Close() {
  if (file_ == nullptr) return EBADF;
  int code = 0;
  if (std::fflush(file_) != 0 || ::fsync(::fileno(file_)) != 0) code = errno;
  if (std::fclose(file_) != 0 && code == 0) code = errno;
  file_ = nullptr;
  return code;
}

std::string ReplacingFile::CommitToFreeName(const std::string& to, OutputError* error) {
  const int code = Close();
  std::string name;
  if (code != 0) {
    SetError(error, path_, code);
  } else {
    name = RenameToFreeName(temp_, to, error);
  }
  if (name.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  if (!name.empty() && !SyncFolderOf(name, error)) return {};
  return name;
}

bool ReplacingFile::Commit(OutputError* error) {
  int code = Close();
  if (code == 0) {
    // A link planted while the file was written is not replaced either.
    struct stat st {};
    if (::lstat(path_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) code = S_ISLNK(st.st_mode) ? ELOOP : EINVAL;
  }
  if (code == 0 && ::rename(temp_.c_str(), path_.c_str()) != 0) code = errno;
  if (code != 0) {
    ::unlink(temp_.c_str());
    temp_.clear();
    SetError(error, path_, code);
    return false;
  }
  temp_.clear();
  return SyncFolderOf(path_, error);
}

void ReplacingFile::Abandon() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

bool ReplaceFileContent(const std::string& path, const void* data, std::size_t size, OutputError* error) {
  ReplacingFile out;
  if (!out.Open(path, error)) return false;
  if (std::fwrite(data, 1, size, out.get()) != size) {
    SetError(error, path, errno != 0 ? errno : EIO);
    return false;
  }
  return out.Commit(error);
}

}  // namespace platform
