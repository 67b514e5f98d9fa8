#include "toolkit/file_coder.h"

#include "platform/output_folder.h"

namespace toolkit {

void FileCoder::SetOutputDir(const std::string& dir) {
  outputDir_ = dir;
  while (outputDir_.size() > 1 && outputDir_.back() == '/') outputDir_.pop_back();
  outputDirRefusal_.clear();
  if (outputDir_.empty()) return;
  // A folder that cannot be made shows at the first Open that cannot create its file there.
  outputDirRefusal_ =
      platform::FolderRefusalText("Папка", outputDir_, platform::PrepareOutputFolder(outputDir_));
}

}  // namespace toolkit
