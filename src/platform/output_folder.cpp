#include "platform/output_folder.h"

#include <sys/stat.h>
#include <unistd.h>

namespace platform {

FolderRefusal PrepareOutputFolder(const std::string& dir) { return PrepareOutputFolder(dir, ::geteuid()); }

FolderRefusal PrepareOutputFolder(const std::string& dir, uid_t user) {
  ::mkdir(dir.c_str(), 0777);  // an existing entry is examined below
  struct stat st {};
  if (::lstat(dir.c_str(), &st) != 0) return FolderRefusal::None;
  if (S_ISLNK(st.st_mode)) return FolderRefusal::Link;
  if (!S_ISDIR(st.st_mode)) return FolderRefusal::NotFolder;
  if (st.st_uid != user) return FolderRefusal::OtherUser;
  return FolderRefusal::None;
}

std::string FolderRefusalText(const std::string& what, const std::string& dir, FolderRefusal why) {
  switch (why) {
    case FolderRefusal::None:
      break;
    case FolderRefusal::Link:
      return what + " " + dir + " — символическая ссылка; файлы в неё не пишутся";
    case FolderRefusal::NotFolder:
      return what + " " + dir + " — не папка; файлы в неё не пишутся";
    case FolderRefusal::OtherUser:
      return what + " " + dir + " принадлежит другому пользователю; файлы в неё не пишутся";
  }
  return {};
}

}  // namespace platform
