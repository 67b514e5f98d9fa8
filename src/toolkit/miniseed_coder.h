#pragma once
// MiniSEEDCoder: writes channels as MiniSEED files through libmseed: one trace and one file per channel
// and output period, 4096-byte Steim-1 records in big-endian order, network "SD".
//
// Samples are packed into records as they come (whole records only); Close packs the rest and closes
// the files. Files are named <output dir>/<year>-<month>-<day>-<hour>-<minute>-<second>-<channel
// index>.mseed after the start of their first sample (UTC, numbers without leading zeros); each holds
// one period of the running clock, and appears under its name only when closed whole (until then it
// is written under a hidden temporary, so a killed export leaves no short file behind). A period that ends with the data leaves no empty files behind, and a
// channel without samples gets no file. Record start times are exact to the microsecond.
//
// The first failure (a file that cannot be created, a record that cannot be written whole, a pack that
// does not take every sample, a sample too large for Steim-1, a start or rate libmseed cannot state)
// stops the writer: every file it made is removed and Error() names the file and the reason. Later
// calls do nothing and return false.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/output_file.h"
#include "toolkit/file_coder.h"

struct MSTrace_s;
struct MSRecord_s;

namespace toolkit {

class MiniSEEDCoder : public FileCoder {
 public:
  static constexpr int kRecordLength = 4096;
  static constexpr int kMaxChannels = 64;
  // Steim-1 keeps the differences of neighbouring samples in 32 bits.
  static constexpr int32_t kSampleLimit = 1 << 30;
  // The fixed header states a whole rate exactly as a 16-bit factor; libmseed approximates larger ones.
  static constexpr uint32_t kMaxRate = 32767;

  MiniSEEDCoder();
  ~MiniSEEDCoder() override;

  // 1 ... 64 channels; called before Open.
  bool SetChannelCount(int n) override;
  int GetChannelCount() const { return channels_; }
  // The name of channel `c` (Windows-1251 bytes); Open makes its SEED code of it (seed_codes.h).
  void SetChannelName(int c, const std::string& code);
  std::string GetChannelName(int c) const;
  // A rate the records' fixed header cannot state exactly (above kMaxRate samples a second) stops the
  // writer; Open refuses it too.
  void SetSampleRate(uint32_t rate) override;
  void SetTimeMark(int64_t seconds, uint32_t index, int64_t markTicks = -1) override;
  bool Open() override;
  // One value per channel; each must lie within +-kSampleLimit.
  bool AddSample(const int32_t* values) override { return AddSamples(values, 1); }
  // `count` instants of one value per channel each, one instant after the other.
  bool AddSamples(const int32_t* frames, size_t count);
  // `count` instants given per channel: columns[c] holds channel c's values.
  bool AddColumns(const int32_t* const* columns, size_t count);

  bool Close() override;
  // Does nothing (kept for the writer's interface).
  void Idle() {}

  // Every file closed whole so far, in the order made.
  const std::vector<std::string>& Files() const { return made_; }
  // The file name of channel `c` at the running clock.
  std::string MakeFileName(int c) const;
  // Stops the writer with `what` as its error: closes and removes every file made. Returns false.
  bool Abort(const std::string& what);

 private:
  struct Output {
    MSTrace_s* trace = nullptr;    // holds the samples not yet packed (an array from malloc)
    MSRecord_s* layout = nullptr;  // codes and blockette 1001 of the records
    std::unique_ptr<platform::NewWholeFile> file;  // written under a hidden temporary until closed
    std::string path;
    int64_t capacity = 0;  // samples the trace's array holds
    int64_t packed = 0;    // samples of this file already in records
  };

  // Packs the trace's samples into records: whole records only, or all of them when `all`.
  bool Pack(Output& out, bool all);
  // Appends `count` instants; channel c's value of instant i is starts[c][i x stride].
  bool Append(const int32_t* const* starts, size_t stride, size_t count);
  bool CloseFile(Output& out);
  void Release(Output& out);
  // The start of sample `j` of the current files, microseconds since 1970.
  int64_t SampleTime(int64_t j) const;

  std::vector<Output> outputs_;
  std::vector<std::string> names_;
  std::vector<std::string> made_;
  uint32_t rate_ = 0;
  uint64_t buffered_ = 0;
  int channels_ = 0;
  int64_t markSeconds_ = 0;
  uint32_t markIndex_ = 0;
  uint64_t markBuffered_ = 0;
  int64_t offset_ = 0;  // shift from the sample grid, in 1/(256 x rate) us
  // Running clock, and the clock at the start of the files being filled.
  int64_t seconds_ = 0;
  uint32_t index_ = 0;
  int64_t fileSeconds_ = 0;
  uint32_t fileIndex_ = 0;
  int64_t fileStartUs_ = 0;  // the whole second of the files' start, microseconds since 1970
  bool open_ = false;        // files of the current period exist
  bool pending_ = false;     // a period ended: the next sample starts new files
  bool failed_ = false;
};

}  // namespace toolkit
