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
  // Its own setup page was not received: the recorder's present setup heads it.
  bool UnitSetup = false;
};

struct DownloadReport {
  std::string EndReason;  // empty: the download read everything asked for
  std::vector<DownloadedFile> Files;
  std::vector<std::string> NotRead;  // chosen files or pages that were never read
  std::vector<uint32_t> Lost;        // pages of this download that did not arrive whole, in order

  bool Complete() const;
};

// The text of the box that shows an incomplete download; the files are listed by name, the pages lost
// as runs ("515, 520..527").
std::string DownloadReportText(const DownloadReport& report);

}  // namespace acquisition
