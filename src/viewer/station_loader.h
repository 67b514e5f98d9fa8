#pragma once
// Reading a time interval from all recording files of one station (or of every station the file chooser
// found) in the data directory: each file is laid into the channel arrays at its own time position, so
// gaps between files stay zero.
#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/funk.h"
#include "toolkit/setup_record.h"
#include "viewer/channel_samples.h"

namespace viewer {

// Bytes all channel arrays of an interval may take (1,360 MiB).
inline constexpr uint64_t kStationMemoryLimit = 1'426'063'360;

struct StationMessage {
  std::string text;
  std::string caption;  // empty: a plain message
  bool stop = false;    // shown with the stop icon
};

struct StationReadOutcome {
  bool refused = false;            // nothing was read; the record in memory is as it was
  bool recordLost = false;         // no array could be allocated: no record is in memory any more
  std::vector<StationMessage> messages;  // in the order they are shown
  std::vector<std::string> listing;      // the lines of LB_inf, which is cleared first
  int filesLoaded = 0;
  std::string caption;  // the main window's caption after the read
};

// Checks the interval against the limits (channels of several stations, the memory rule), allocates
// the arrays and reads the files of `dir` (ListStationFiles). A refusal (no rate, no interval, not even
// one hour fits in memory, no station) changes nothing.
StationReadOutcome CheckStationReadLimits(toolkit::SetupRecord& setup, ChannelSamples& samples,
                                          toolkit::TFunk& funk, const std::string& dir);

// Lists the interval, loads each station, runs the test signal and mean removal, and sets the caption and
// the view (whole interval, all channels, StationMode 1). The arrays must be allocated.
void ListStationFiles(toolkit::SetupRecord& setup, ChannelSamples& samples, toolkit::TFunk& funk,
                      const std::string& dir, int stations, StationReadOutcome& out);

// Lays the files of `station` in `dir` into output channels first ... first + channels - 1 (zeroed first):
// output channel first + j gets file channel map[j]. Files that do not match (header, rate, station),
// do not overlap the interval, lack a mapped channel or cannot have their channel headers read are
// passed over (the last two with a line in `listing`). Returns the files loaded.
int LoadStationFiles(toolkit::SetupRecord& setup, const std::string& dir, const std::string& station,
                     uint32_t samples, uint32_t start, uint16_t rate, const ChannelSamples& table,
                     uint16_t channels, const uint16_t* map, uint16_t first, StationReadOutcome& out);

// Sample index of a file starting at `fileStart` in an interval starting at `intervalStart` (both
// StartTicks), rounded to the nearest sample at `rate` Hz.
int64_t StationSamplePosition(int64_t fileStart, int64_t intervalStart, uint16_t rate);

}  // namespace viewer
