#include "toolkit/file_coder.h"

#include "platform/output_folder.h"

namespace toolkit {

void FileCoder::SetOutputDir(const std::string& dir) {
  outputDir_ = dir;
  while (outputDir_.size() > 1 && outputDir_.back() == '/') outputDir_.pop_back();
  outputDirRefusal_.clear();
  if (outputDir_.empty()) return;
  // A folder that cannot be made is refused with the reason it could not be made.
  int madeError = 0;
  const platform::FolderRefusal why = platform::PrepareOutputFolder(outputDir_, &madeError);
  outputDirRefusal_ = platform::FolderRefusalText("Папка", outputDir_, why, madeError);
}

}  // namespace toolkit
