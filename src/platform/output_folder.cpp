#include "platform/output_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

FolderRefusal PrepareOutputFolder(const std::string& dir, int* madeError) {
  return PrepareOutputFolder(dir, ::geteuid(), madeError);
}

FolderRefusal PrepareOutputFolder(const std::string& dir, uid_t user, int* madeError) {
  // An existing entry is examined below; when nothing is there afterwards, the make's own reason
  // (a read-only disk, no permission) is the one to tell, not that of the first file written there.
  const int made = ::mkdir(dir.c_str(), 0777) == 0 ? 0 : errno;
  struct stat st {};
  if (::lstat(dir.c_str(), &st) != 0) {
    if (madeError == nullptr) return FolderRefusal::None;
    *madeError = made != 0 && made != EEXIST ? made : errno;
    return FolderRefusal::NotMade;
  }
  if (S_ISLNK(st.st_mode)) return FolderRefusal::Link;
  if (!S_ISDIR(st.st_mode)) return FolderRefusal::NotFolder;
  if (st.st_uid != user) return FolderRefusal::OtherUser;
  return FolderRefusal::None;
}

std::string FolderRefusalText(const std::string& what, const std::string& dir, FolderRefusal why, int code) {
  switch (why) {
    case FolderRefusal::None:
      break;
    case FolderRefusal::Link:
      return what + " " + dir + " — символическая ссылка; файлы в неё не пишутся";
    case FolderRefusal::NotFolder:
      return what + " " + dir + " — не папка; файлы в неё не пишутся";
    case FolderRefusal::OtherUser:
      return what + " " + dir + " принадлежит другому пользователю; файлы в неё не пишутся";
    case FolderRefusal::NotMade:
      return what + " " + dir + " не создана" +
             (code != 0 ? " (" + std::string(std::strerror(code)) + ")" : "");
  }
  return {};
}

}  // namespace platform
