#pragma once
// Loading the current recording of the setup record: its main header and channel headers into the
// record, the frames of the chosen channels into ChannelSamples as floats times their coefficients.
#include <cstdint>
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
  BadCoefficient,      // a loaded channel's coefficient is not a number or absurdly large (text in checkText)
  NoMemory,            // memory allows not even one channel's array (text in checkText)
};

// Samples per channel a record in memory may hold: the visible range Nn ... Nk and every index into the
// arrays (spare floats included) are 32-bit signed numbers in the setup record.
inline constexpr uint64_t kMaxRecordSamples = INT32_MAX - ChannelSamples::kSpare;

struct LoadReport {
  LoadStatus status = LoadStatus::Ok;
  std::string checkText;     // CheckMainHeader's text for the file's header; for BadCoefficient and
                             // NoMemory the refusal
  bool memoryShort = false;  // fewer arrays were obtained than channels chosen
  int channelsKept = 0;      // channels in memory after the load
  std::string testSignalText;  // why the test signal could not be made (empty: made or not asked for)
  uint64_t samplesLeftOut = 0;  // samples per channel of the file beyond what a record may hold
};

// Why the current file could not be read, in words for a message box (empty for Ok).
std::string LoadFailureText(LoadStatus status, const toolkit::SetupRecord& setup);

// Said once when a file read whole holds headers but not one complete frame, and by every command that
// needs samples while such a record is in memory.
inline constexpr const char* kNoSamplesText = "В файле нет ни одного отсчёта: только заголовки.";
inline constexpr const char* kCommandNeedsSamplesText = "Нет отсчётов: команда не выполнена.";

// After a failed read: puts back into `setup` the fields that describe the record still in memory (its
// file, its headers and the channels chosen from it), taken from `before`, the record as it was when the
// record was read. The other settings keep their new values.
void KeepLoadedRecord(toolkit::SetupRecord& setup, const toolkit::SetupRecord& before);

// The path of the current file: SetupRecord.FileName, relative to SetupRecord.DataDir unless absolute.
std::string RecordingPath(const toolkit::SetupRecord& setup);

// Reads the current file. All headers are read and checked before anything in memory changes, so a
// failure leaves the record and the arrays of the previous load as they were. On success the previous
// arrays are freed, SetupRecord.ChannelCount arrays are filled (fewer when memory runs out), the headers,
// coefficients, sample counts and the view (whole record, all channels) are set, and `funk`'s calendar
// describes the record's start. A last frame cut short by the end of the file is not used. The read ends
// with the test signal and mean removal (GenerateTestSignal). At most `sampleLimit` samples per channel
// are read; the rest of a longer file is counted in LoadReport::samplesLeftOut.
LoadReport LoadRecording(toolkit::SetupRecord& setup, ChannelSamples& samples, toolkit::TFunk& funk,
                         uint64_t sampleLimit = kMaxRecordSamples);

// The message after a load that left the end of the file out: the file, the samples read and those not.
std::string SamplesLeftOutText(const toolkit::SetupRecord& setup, uint64_t leftOut);

// Why a read takes nothing: one array of `arrayBytes` is more than the `room` memory allows; it says the
// record in memory stays only when there is one (`recordHeld`).
std::string NoRoomForAChannelText(uint64_t arrayBytes, uint64_t room, bool recordHeld);

// The message shown when fewer arrays than channels could be allocated.
std::string MemoryShortText(int channelsKept);

// The main window's caption after a load: the build date and the data directory (cut to 50 characters
// and "..." beyond 51) joined with the file name by one separator, the file's channel count and its
// length in seconds.
std::string RecordingCaption(const toolkit::SetupRecord& setup);

}  // namespace viewer
