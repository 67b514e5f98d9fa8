#pragma once
// What a download tells the user at its end: which data files are complete, which were cut and why,
// what was chosen but never read, and why the download ended early.
#include <cstdint>
#include <string>
#include <vector>

namespace acquisition {

struct DownloadedFile {
  std::string Name;       // the file's name in the data directory
  std::string CutReason;  // empty: the file holds everything of its part of the recording
};

struct DownloadReport {
  std::string EndReason;  // empty: the download read everything asked for
  std::vector<DownloadedFile> Files;
  std::vector<std::string> NotRead;  // chosen files or pages that were never read
  uint32_t LostPages = 0;            // pages of this download that did not arrive whole

  bool Complete() const;
};

// The text of the box that shows an incomplete download; the files are listed by name.
std::string DownloadReportText(const DownloadReport& report);

}  // namespace acquisition
