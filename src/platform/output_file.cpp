#include "platform/output_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <utility>

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

namespace {

// Moves `from` to `to` unless `to` is taken: 0 or the errno (EEXIST when taken).
int MoveWithoutReplacing(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  const int code = errno;
  if (code != EINVAL && code != ENOSYS) return code;
  // A file system without the flag: a hard link fails on any existing entry as well.
  if (::link(from.c_str(), to.c_str()) != 0) return errno;
  ::unlink(from.c_str());
  return 0;
}

}  // namespace

std::string RenameToFreeName(const std::string& from, const std::string& to, OutputError* error) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string target = FreeName(to);
    const int code = MoveWithoutReplacing(from, target);
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

namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

namespace {

// The temporaries this process is writing. Some file systems lock with process-wide record locks (NFS
// emulates flock so), which do not keep a sweep of this process off its own files: it passes over these.
// The sweep's removal and a writer's taking of a fresh temporary exclude each other under the mutex.
struct LiveTemporaries {
  std::mutex mutex;
  std::set<std::pair<dev_t, ino_t>> files;
};

LiveTemporaries& Live() {
  static LiveTemporaries live;
  return live;
}

}  // namespace

void RemoveStaleTemporaries(const std::string& folder) {
  DIR* d = ::opendir(folder.c_str());
  if (d == nullptr) return;  // the writer's own create reports a folder it cannot use
  const int dirFd = ::dirfd(d);
  const uid_t self = ::geteuid();
  while (const dirent* e = ::readdir(d)) {
    if (!IsOutputTemporaryName(e->d_name)) continue;
    // Only a regular file of ours is opened at all (no device is touched); O_NONBLOCK: a FIFO put there
    // in the meantime is not waited on.
    struct stat first {};
    if (::fstatat(dirFd, e->d_name, &first, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(first.st_mode) ||
        first.st_uid != self)
      continue;
    const int fd = ::openat(dirFd, e->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st {};
    struct stat now {};
    // A writer holds its temporary locked until it is moved into place: a free lock means no one
    // writes it any more. The name must still be the file that was locked when it is removed.
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == self &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      const std::lock_guard<std::mutex> guard(Live().mutex);
      if (Live().files.count({st.st_dev, st.st_ino}) == 0 &&
          ::fstatat(dirFd, e->d_name, &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_dev == st.st_dev &&
          now.st_ino == st.st_ino)
        ::unlinkat(dirFd, e->d_name, 0);
    }
    ::close(fd);
  }
  ::closedir(d);
}

namespace detail {

bool SyncFolderOf(const std::string& name, OutputError* error) {
  const std::string folder = FolderOf(name);
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

bool HeldTemporary::Make(const std::string& path, mode_t mode, OutputError* error) {
  Remove();
  RemoveStaleTemporaries(FolderOf(path));
  const std::string stem = path.substr(0, path.rfind('/') + 1) + kOutputTemporaryPrefix + "XXXXXX";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string temp = stem;
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
      SetError(error, path, errno);
      return false;
    }
    // Another writer's sweep may have found the file before it was locked or known: it holds the lock
    // then and removes the name, so this one takes a fresh name. A file system without locks has no
    // sweep either (its sweep cannot lock): the temporary is written unlocked.
    struct stat st {};
    bool kept = false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK) {
      const std::lock_guard<std::mutex> guard(Live().mutex);
      kept = ::fstat(fd, &st) == 0 && st.st_nlink > 0 && Live().files.insert({st.st_dev, st.st_ino}).second;
    }
    if (!kept) {
      ::close(fd);
      continue;
    }
    name_ = std::move(temp);
    dev_ = st.st_dev;
    ino_ = st.st_ino;
    ::fchmod(fd, mode);
    lock_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (lock_ < 0) {
      const int code = errno;
      ::close(fd);
      Remove();
      SetError(error, path, code);
      return false;
    }
    file_ = FileOfFd(fd, "wb", path, error);
    if (file_ == nullptr) {
      Remove();
      return false;
    }
    return true;
  }
  SetError(error, path, EEXIST);
  return false;
}

int HeldTemporary::Close() {
  if (file_ == nullptr) return EBADF;
  int code = 0;
  if (std::fflush(file_) != 0 || ::fsync(::fileno(file_)) != 0) code = errno;
  if (std::fclose(file_) != 0 && code == 0) code = errno;
  file_ = nullptr;
  return code;
}

void HeldTemporary::Release() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  if (lock_ >= 0) ::close(lock_);
  lock_ = -1;
  if (!name_.empty()) {
    const std::lock_guard<std::mutex> guard(Live().mutex);
    Live().files.erase({dev_, ino_});
  }
  name_.clear();
}

void HeldTemporary::Remove() {
  // Removed while still locked: no sweep can take a new file of the same name for this one.
  if (!name_.empty()) ::unlink(name_.c_str());
  Release();
}

}  // namespace detail

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
  if (!temp_.Make(path, mode, error)) return false;
  path_ = path;
  return true;
}

std::string ReplacingFile::CommitToFreeName(const std::string& to, OutputError* error) {
  if (!temp_.held()) return {};
  const int code = temp_.Close();
  std::string name;
  if (code != 0) {
    SetError(error, path_, code);
  } else {
    name = RenameToFreeName(temp_.name(), to, error);
  }
  if (name.empty()) {
    temp_.Remove();
    return {};
  }
  temp_.Release();
  if (!detail::SyncFolderOf(name, error)) return {};
  return name;
}

bool ReplacingFile::Commit(OutputError* error) {
  if (!temp_.held()) return false;
  int code = temp_.Close();
  if (code == 0) {
    // A link planted while the file was written is not replaced either.
    struct stat st {};
    if (::lstat(path_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) code = S_ISLNK(st.st_mode) ? ELOOP : EINVAL;
  }
  if (code == 0 && ::rename(temp_.name().c_str(), path_.c_str()) != 0) code = errno;
  if (code != 0) {
    temp_.Remove();
    SetError(error, path_, code);
    return false;
  }
  temp_.Release();
  return detail::SyncFolderOf(path_, error);
}

bool NewWholeFile::Open(const std::string& path, OutputError* error) {
  Abandon();
  inPlace_ = false;
  // Refused at once, as an exclusive create would be; a name taken while the file is written is
  // refused by the move.
  if (NameTaken(path)) {
    SetError(error, path, EEXIST);
    return false;
  }
  if (!temp_.Make(path, 0666 & ~CurrentUmask(), error)) return false;
  path_ = path;
  return true;
}

bool NewWholeFile::Commit(OutputError* error) {
  if (!temp_.held()) return false;
  int code = temp_.Close();
  if (code == 0) code = MoveWithoutReplacing(temp_.name(), path_);
  if (code != 0) {
    temp_.Remove();
    SetError(error, path_, code);
    return false;
  }
  temp_.Release();
  inPlace_ = true;
  return detail::SyncFolderOf(path_, error);
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
