#include "toolkit/file_coder.h"

#include <sys/stat.h>

namespace toolkit {

void FileCoder::SetOutputDir(const std::string& dir) {
  outputDir_ = dir;
  while (outputDir_.size() > 1 && outputDir_.back() == '/') outputDir_.pop_back();
  if (!outputDir_.empty()) ::mkdir(outputDir_.c_str(), 0777);  // failure shows at the first Open
}

}  // namespace toolkit
