#pragma once
// Loading the current recording of the setup record: its main header and channel headers into the
// record, the frames of the chosen channels into ChannelSamples as floats times their coefficients.
#include <string>

#include "toolkit/funk.h"
#include "toolkit/setup_record.h"
#include "viewer/channel_samples.h"

namespace viewer {

enum class LoadStatus {
  Ok,
  CannotOpen,          // the file cannot be opened
  ShortMainHeader,     // the file ends inside its main header
  BadHeader,           // CheckMainHeader refuses the main header (text in LoadReport::checkText)
  ShortChannelHeader,  // the file ends inside its channel headers
};

struct LoadReport {
  LoadStatus status = LoadStatus::Ok;
  std::string checkText;     // CheckMainHeader's text for the file's header
  bool memoryShort = false;  // fewer arrays were obtained than channels chosen
  int channelsKept = 0;      // channels in memory after the load
  std::string testSignalText;  // why the test signal could not be made (empty: made or not asked for)
};

// The failures after which the program cannot go on (the process ends with exit status 1); a refused
// header is not one of them: nothing of the record in memory has been changed then.
inline bool IsFatal(LoadStatus s) {
  return s == LoadStatus::CannotOpen || s == LoadStatus::ShortMainHeader ||
         s == LoadStatus::ShortChannelHeader;
}

// The path of the current file: SetupRecord.FileName, relative to SetupRecord.DataDir unless absolute.
std::string RecordingPath(const toolkit::SetupRecord& setup);

// Reads the current file. All headers are read and checked before anything in memory changes, so a
// failure leaves the record and the arrays of the previous load as they were. On success the previous
// arrays are freed, SetupRecord.ChannelCount arrays are filled (fewer when memory runs out), the headers,
// coefficients, sample counts and the view (whole record, all channels) are set, and `funk`'s calendar
// describes the record's start. A last frame cut short by the end of the file is not used. The read ends
// with the test signal and mean removal (GenerateTestSignal).
LoadReport LoadRecording(toolkit::SetupRecord& setup, ChannelSamples& samples, toolkit::TFunk& funk);

// The message shown when fewer arrays than channels could be allocated.
std::string MemoryShortText(int channelsKept);

// The main window's caption after a load: the build date and the data directory (cut to 50 characters
// and "..." beyond 51), the file name, its channel count and its length in seconds.
std::string RecordingCaption(const toolkit::SetupRecord& setup);

}  // namespace viewer
