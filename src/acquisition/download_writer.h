#pragma once
// Turns the accepted data pages of a download into recording data files: takes the recording
// parameters from the page header, checks that pages follow each other in time, converts the 24-bit
// samples, runs the optional high-pass, buffers and writes the samples, splits the output into files
// of a set length, and names, opens, heads and closes the files.
#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "acquisition/download_settings.h"
#include "recorder/card_page.h"
#include "recorder/file_entry.h"
#include "recorder/setup_block.h"
#include "toolkit/fil_batt.h"
#include "toolkit/section_filter.h"

namespace acquisition {

// Reply code and block serial of the current and the previous accepted page.
struct PageSequence {
  uint8_t Code = 0;
  uint8_t PrevCode = 0;
  uint16_t Serial = 0;
  uint16_t PrevSerial = 0;
};

enum class PageResult {
  Accepted,  // the page went into a file
  Finish,    // the download ends here (the log says why)
  Failed,    // a file could not be created or written: the download ends as a failure
};

// Why the writer cannot work with a data page header (HeaderFault::None: it can): its sum, at most 8
// channels, 1..165 values and an output rate of at least 1 Hz at `sampleClock`.
recorder::HeaderFault DataHeaderFault(const uint8_t* page, uint32_t sampleClock);

// The recorder's sample clock a download can work with: what a status block can report (1..65535 Hz).
inline constexpr uint32_t kMostSampleClock = 65535;
bool SampleClockUsable(uint32_t sampleClock);

// Sample i of a data page: the 3 bytes at 16 + 3 i, offset binary.
inline int32_t PageSample(const uint8_t* page, unsigned i) {
  const uint8_t* v = page + recorder::kCardPageHeaderSize + 3 * i;
  return static_cast<int32_t>(v[0] | (uint32_t{v[1]} << 8) | (uint32_t{v[2]} << 16)) -
         static_cast<int32_t>(recorder::kSampleZero);
}

class DownloadWriter {
 public:
  // `shown` gets the name of every new data file (the main window's L_dt); both may be empty.
  DownloadWriter(const DownloadSettings& settings, LogSink log,
                 std::function<void(const std::string&)> shown);
  ~DownloadWriter();
  DownloadWriter(const DownloadWriter&) = delete;
  DownloadWriter& operator=(const DownloadWriter&) = delete;

  // The block the file headers are filled from (a copy of the setup, replaced by a setup page).
  recorder::YSTANOV FileSetup{};
  PageSequence Sequence;

  // Takes the recording parameters of `page` as the current ones.
  void TakePageParameters(const uint8_t* page);
  // Creates the next data file for the recording that starts with `page` (card page `pageNumber`) and
  // writes its headers. False when it could not be created or headed (logged; Failure() says why).
  bool OpenDataFile(uint32_t pageNumber, long double correction, const uint8_t* page);
  // Writes what is buffered and closes the file; false when a write or the close failed.
  bool CloseDataFile(uint32_t endPage);

  // A page with good sums of a page-range download.
  PageResult StoreRangePage(uint32_t pageNumber, const uint8_t* page);
  // An accepted page of a FAT-file download. `firstDataPage`: the page after the file's setup page.
  PageResult StoreFatPage(uint32_t pageNumber, const uint8_t* page, bool firstDataPage,
                          const recorder::FileEntry& entry);
  // Starts the file counter of the next FAT entry.
  void ResetFileCounter() { fileCounter_ = 0; }

  bool FileOpen() const { return file_ != nullptr; }
  const std::string& FileName() const { return fileName_; }
  // Every file created, in order (full paths).
  const std::vector<std::string>& FilesWritten() const { return files_; }
  // The text to show when a result was Failed.
  const std::string& Failure() const { return failure_; }

  uint32_t FlushAmount() const { return flushAmount_; }
  uint64_t FileAmount() const { return fileAmount_; }
  uint32_t Decimation() const { return decimation_; }

 private:
  void Log(const std::string& text);
  void TakeAmounts(const uint8_t* page);
  // The file length of the log lines: kilobytes and minutes.
  unsigned FileKb() const { return static_cast<unsigned>(fileAmount_ / 250); }
  unsigned FileLengthMinutes() const {
    return static_cast<unsigned>(fileAmount_ / (uint64_t{flushAmount_} * 6));
  }
  int64_t PageTimeOf(const uint8_t* page) const;
  uint32_t PositionTicks(const uint8_t* page) const;
  void DesignFilter();
  // Converts (and filters) the page's samples into the buffer, then writes full flush amounts.
  bool AppendSamples(const uint8_t* page, bool filter);
  bool WriteSamples(const int32_t* samples, size_t count);
  bool FailWrite();
  // Cuts the data file open as `fd` back to its headers and whole frames.
  void CutToWholeFrames(int fd);

  DownloadSettings settings_;
  LogSink log_;
  std::function<void(const std::string&)> shown_;

  std::array<uint8_t, recorder::kCardPageHeaderSize> savedHeader_{};
  bool haveParameters_ = false;
  unsigned samplesPerPage_ = 0;
  uint32_t decimation_ = 1;  // up to 16 x 16
  uint32_t ticksPerPage_ = 0;
  unsigned pageChannels_ = 1;
  int64_t prevPageTime_ = 0;
  uint32_t prevPosition_ = 0;
  uint32_t flushAmount_ = 0;
  uint64_t fileAmount_ = 0;
  uint32_t fill_ = 0;
  uint64_t written_ = 0;
  uint32_t fileCounter_ = 0;
  std::vector<int32_t> samples_;

  std::FILE* file_ = nullptr;
  std::string fileName_;
  std::string filePath_;
  std::vector<std::string> files_;
  std::string failure_;
  size_t headerBytes_ = 0;  // of the current file
  size_t frameBytes_ = 0;   // one sample of each channel
  std::array<uint8_t, 8> channelNumbers_{};

  toolkit::Tf_batt designer_;
  std::vector<toolkit::SosSection> sections_;
  std::array<toolkit::SectionFilter, recorder::kMaxPageChannels> filters_;
  bool filterOn_ = false;
  bool filterPrimed_ = false;
};

}  // namespace acquisition
