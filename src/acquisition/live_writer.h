#pragma once
// The live file writer: every data block received in transmission mode is appended to a recording data
// file in a directory per day ("_MM_DD" under the data directory), one file per set length, named after
// the time of its first block ("DDHHMM.S", S the tens of seconds). An event criterion runs over the same
// samples: per channel an exponentially smoothed level against the channel's threshold; when enough
// channels exceed theirs within a window of rows an event is counted, and a file that held events is
// renamed with "!" appended when it is closed.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "acquisition/live_counters.h"
#include "recorder/card_page.h"
#include "recorder/setup_block.h"
#include "recorder/status_block.h"
#include "toolkit/recording_file.h"

namespace acquisition {

struct LiveWriterSetup {
  std::string DataDir;
  recorder::ChannelList Channels;  // the recorded channels, in file order
  recorder::YSTANOV Setup{};       // the recorder's setup block (rate, file length, names, criterion)
  bool OldFormat = false;          // Format 1 instead of 60 in the header
  // Latitude and longitude in radians (the status block's LAT and LON) when a file is opened.
  std::function<void(float& lat, float& lon)> Position;
  // A line for the work log.
  std::function<void(const std::string&)> Log;
  // Tells the user of a failure that loses live data (a file that cannot be created or written).
  std::function<void(const std::string&)> Tell;
  // The system's write call (::write when empty); tests put a full disk behind it.
  std::function<long(int fd, const void* data, std::size_t size)> WriteBytes;
};

// Samples per channel of a block header: its values over its channels.
unsigned ValuesPerChannel(const recorder::CardPageHeader& h);
// The block's first sample in samples since 1899-12-30 at `rate`.
int64_t BlockStartSamples(const recorder::CardPageHeader& h, uint64_t rate);
// StartTicks (1/256 us since 1980-01-01) of a sample count since 1899-12-30 at `rate`, exact for any rate.
int64_t StartTicksOfSamples(int64_t samples, uint64_t rate);

// Texts the writer shows the user.
inline constexpr const char* kLiveCreateFailed = "Не удалось создать файл записи: ";
inline constexpr const char* kLiveWriteFailed = "Ошибка записи в файл (диск полон?): ";

class LiveWriter {
 public:
  LiveWriter(LiveWriterSetup setup, LiveCounters& counters);
  ~LiveWriter();
  LiveWriter(const LiveWriter&) = delete;
  LiveWriter& operator=(const LiveWriter&) = delete;

  // Takes the time of the first good block so that it passes the time test.
  void Prime(const recorder::CardPageHeader& first);
  // The block's time; true (the close flag) when the block does not follow the one before.
  bool CheckLiveTime(const recorder::CardPageHeader& h);
  // The event criterion over `samples`: whole rows of interleaved channels.
  void CheckEvent(std::span<const int32_t> samples);
  // Opens a file when none is open, appends the samples, closes the file when it is full. False when
  // the samples could not be written (the user has been told).
  bool WriteLiveBlock(std::span<const int32_t> samples);
  // Closes the open file and renames it when it held events; nothing when no file is open.
  void CloseLiveFile();

  bool FileOpen() const { return fd_ >= 0; }
  const std::string& FileName() const { return fileName_; }
  const std::string& DirName() const { return dirName_; }
  int64_t BlockSamples() const { return blockSamples_; }
  uint64_t LiveRate() const { return rate_; }
  uint32_t FileSamples() const { return fileSamples_; }
  uint32_t SamplesInFile() const { return samplesInFile_; }
  int32_t Events() const { return events_; }
  uint16_t EventFiles() const { return eventFiles_; }
  const toolkit::MAIN_HEADER& Header() const { return header_; }

 private:
  void OpenFile();
  void Log(const std::string& text) const;
  void Tell(const std::string& text);
  // Writes all of `size` bytes; the bytes that reached the file when it could not.
  std::size_t WriteAll(const void* data, std::size_t size);
  // Closes the file after a failed write, cut back to the whole frames it holds; a file without
  // samples is removed.
  void AbandonFile(uint64_t bytesInFile);
  // After the file is closed: the event rename and its log line, the per-file state reset.
  void FinishFile(bool hadFile);
  int64_t BlockSeconds() const;

  LiveWriterSetup setup_;
  LiveCounters& counters_;
  unsigned n_;
  uint64_t rate_;
  uint32_t fileSamples_;
  toolkit::MAIN_HEADER header_{};
  std::vector<toolkit::CHANNEL_HEADER> channelHeaders_;

  int fd_ = -1;
  std::string dirName_;
  std::string fileName_;
  std::string shortName_;
  uint16_t lastDay_ = 0;
  int64_t blockSamples_ = 0;
  int64_t prevBlockSamples_ = 0;
  unsigned prevPerChannel_ = 0;
  bool primed_ = false;
  uint32_t samplesInFile_ = 0;
  bool failureTold_ = false;

  double smoothGain_;
  double smoothKeep_;
  std::vector<double> level_;
  std::vector<int32_t> hits_;
  std::vector<double> windowPeak_;
  std::vector<double> filePeak_;
  int32_t windowRows_ = 0;
  int32_t events_ = 0;
  uint16_t eventFiles_ = 0;
};

// The writer of a live registration, or nothing (with the reason in `why`) when the setup cannot
// give files: no channels or a sampling rate of 0.
std::unique_ptr<LiveWriter> OpenLiveWriter(LiveWriterSetup setup, LiveCounters& counters,
                                           std::string* why = nullptr);
// Closes (and renames) the open file and frees the writer.
void DeleteLiveWriter(std::unique_ptr<LiveWriter>& writer);

}  // namespace acquisition
