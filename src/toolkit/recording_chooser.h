#pragma once
// The logic of the recording-file chooser: which files of a directory are listed, in which order, which
// are marked as chosen together, and what is read from the header of a picked file.
#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/setup_record.h"

namespace toolkit {

constexpr size_t kChooserMaxFiles = 800;
// A main header and three channel headers: smaller files are never listed.
constexpr uint64_t kChooserMinFileSize = kMainHeaderSize + 3 * kChannelHeaderSize;

struct ChooserFile {
  std::string name;  // file name within the directory (the file system's bytes)
  int64_t time = 0;  // the file's modification time, nanoseconds since the file clock's epoch
};

// `name` within `dir`; an absolute name stands alone.
std::string JoinPath(const std::string& dir, const std::string& name);
// The current file of a setup record: SetupRecord.FileName within SetupRecord.DataDir.
std::string CurrentFilePath(const SetupRecord& setup);

// Scans the plain files of `dir` in name order. Files of at least kChooserMinFileSize bytes whose main
// header passes CheckMainHeader are listed (every such file when SetupRecord.ChooserFilter is 1), at
// most kChooserMaxFiles; the station table of `setup` is rebuilt from the good headers (at most 16).
std::vector<ChooserFile> ScanRecordings(const std::string& dir, SetupRecord& setup);

// Order 1: by name, byte-wise ascending; 0: by time, newest first. Ties keep their order.
void SortRecordings(std::vector<ChooserFile>& files, uint16_t order);

// The file is among the names of SetupRecord.SelectedFiles.
bool IsSelectedFile(const SetupRecord& setup, const std::string& name);

// The count line: directory, files found and stations.
std::string ChooserCountText(const std::string& dir, size_t files, unsigned stations);

// A name or directory the setup record can hold (its text must end inside the field).
bool FitsFileNameField(const std::string& name);
bool FitsDataDirField(const std::string& dir);
// The message shown when a name or directory is too long to be kept.
std::string FileNameTooLongText(const std::string& name);
std::string DataDirTooLongText(const std::string& dir);

// Clears the selected-file slots and stores `names` in order, at most kSelectedFileSlots, with their
// count. Names that do not fit their slot are left out.
void StoreSelectedFiles(SetupRecord& setup, const std::vector<std::string>& names);

// What the chooser shows about the first of the marked files.
struct MarkedSummary {
  enum Status { Opened, OpenFailed, ReadFailed, BadHeader };
  Status status = Opened;
  std::string from;  // "от " + start date and time
  std::string to;    // "до " + the date and time at the end of the file
};
MarkedSummary SummariseMarkedFile(const std::string& path);

// ReadFileHeader without its list: reads the main header of the current file of `setup`.
struct FileHeaderResult {
  int result = -1;          // -1 no file or unreadable, 0 good, 1 bad header
  bool readFailed = false;  // the file opened but its main header could not be read
  std::vector<std::string> lines;
};
// Good: SetupRecord.FileSamples and SetupRecord.Header are set, and the lines hold the file name and the
// header's description. A file shorter than its own headers counts as a bad header.
FileHeaderResult ReadCurrentFileHeader(SetupRecord& setup);

}  // namespace toolkit
