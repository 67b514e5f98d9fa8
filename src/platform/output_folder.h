#pragma once
// Folders the programs make beside the data (the recorder's data folder and its day folders, the
// MiniSEED export's "Seed_files"). What is found at such a name is written into only when it is a folder
// of the user's own: a symbolic link planted there, a plain file, or another user's folder is refused.
#include <sys/types.h>

#include <string>

namespace platform {

enum class FolderRefusal { None, Link, NotFolder, OtherUser, NotMade };

// Makes the folder `dir` (one level) when it is missing, then looks at what holds the name. `user` is
// whose folder it must be (the process's effective user). A folder that cannot be made is NotMade, with
// the reason in `madeError`, when the caller asks for it; otherwise None: the files written into it
// fail and tell.
FolderRefusal PrepareOutputFolder(const std::string& dir, int* madeError = nullptr);
FolderRefusal PrepareOutputFolder(const std::string& dir, uid_t user, int* madeError = nullptr);

// "<what> <dir> — символическая ссылка; файлы в неё не пишутся" and its likes; "" for None. For
// NotMade, "<what> <dir> не создана (<reason of `code`>)".
std::string FolderRefusalText(const std::string& what, const std::string& dir, FolderRefusal why,
                              int code = 0);

}  // namespace platform
