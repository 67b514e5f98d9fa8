#pragma once
// Merging two recordings of the same sampling rate into a new recording whose channels are those of the
// first followed by those of the second. Frames lie at their true instants ("by time": zeros where a
// recording has no sample) or both recordings are laid from the first frame ("by start": the output is
// as long as the shorter one).
#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/setup_record.h"

namespace toolkit {

// What ReadSide learnt of one input: 1 usable, 0 not; the lines for the side's list; the samples per
// channel of the file.
struct SideReading {
  int usable = 0;
  std::vector<std::string> lines;
  uint64_t samples = 0;
};

// Reads the headers of the recording at `path` (shown as `name`) into `rec` (Header, FileChannels with
// names cut to 19 characters, station cut to 9, FileSamples) and lists them. `firstRate` is 0 for the
// first file; for the second it is the first file's rate, which the second must share.
SideReading ReadSide(const std::string& path, const std::string& name, SetupRecord& rec, uint16_t firstRate);

// Sample positions of both recordings, counted in samples of the common rate since 1980-01-01.
struct MergeSpan {
  int64_t begin = 0, end = 0;
  int64_t startA = 0, endA = 0;
  int64_t startB = 0, endB = 0;
  int64_t Gap() const { return startA <= startB ? startB - endA : startA - endB; }
};
// The first sample at or after StartTicks, allowing 0.001 sample of jitter before it.
int64_t StartSample(int64_t startTicks, uint16_t rate);
MergeSpan PairSpan(const MAIN_HEADER& a, uint64_t samplesA, const MAIN_HEADER& b, uint64_t samplesB);
// Most samples a gap may hold.
constexpr int64_t kMaxMergeGap = 10'000'000;

// The second side's remaining checks: appends the positions, the distance of the starts and the gap to
// `lines`; 1 when the pair can be merged (channels together at most 64, gap below kMaxMergeGap).
int CheckPair(const SetupRecord& a, uint64_t samplesA, const SetupRecord& b, uint64_t samplesB,
              std::vector<std::string>& lines);

// The name offered for the output in `dir`: `nameA` with its first character raised by one while a
// file of that name exists there and the character is below '9'.
std::string DefaultMergeName(const std::string& dir, const std::string& nameA);

struct MergeJob {
  std::string pathA, pathB, outPath;
  MAIN_HEADER header{};  // the output's main header (Channels = channels of A and B together)
  std::vector<CHANNEL_HEADER> channelsA, channelsB;
  uint64_t samplesA = 0, samplesB = 0;
  MergeSpan span;
  bool byStart = false;
};

// The output's header: the earlier-starting recording's, with the channels of both and 24 bits.
MAIN_HEADER MergedHeader(const MAIN_HEADER& a, const MAIN_HEADER& b);

struct MergeOutcome {
  bool ok = false;
  std::string message;  // the success or failure message
  std::string caption;  // caption of the failure box
};

// Writes the merged recording. Every read, write and close is checked; after a failure the partial
// output is removed and the message says so. An empty "2.txt" is made beside the output; when it cannot
// be, the message says why after the success line.
MergeOutcome MergeRecordings(const MergeJob& job);

}  // namespace toolkit
