#pragma once
// Folders the programs make beside the data (the recorder's data folder and its day folders, the
// MiniSEED export's "Seed_files"). What is found at such a name is written into only when it is a folder
// of the user's own: a symbolic link planted there, a plain file, or another user's folder is refused.
#include <sys/types.h>

#include <string>

namespace platform {

enum class FolderRefusal { None, Link, NotFolder, OtherUser };

// Makes the folder `dir` (one level) when it is missing, then looks at what holds the name. A folder
// that cannot be made is not refused here (None): the files written into it fail and tell. `user` is
// whose folder it must be (the process's effective user).
FolderRefusal PrepareOutputFolder(const std::string& dir);
FolderRefusal PrepareOutputFolder(const std::string& dir, uid_t user);

// "<what> <dir> — символическая ссылка; файлы в неё не пишутся" and its likes; "" for None.
std::string FolderRefusalText(const std::string& what, const std::string& dir, FolderRefusal why);

}  // namespace platform
