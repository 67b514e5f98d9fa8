#pragma once
// The processing program's calls into the setup file, the loader and the reduction, with the messages
// and program ends that go with them.
#include <string>

#include "toolkit/funk.h"
#include "toolkit/setup_record.h"
#include "viewer/channel_samples.h"
#include "viewer/view_envelope.h"

namespace viewer {

// TFunk::ReadWriteSetup; a failure shows its message and ends the program with exit status 1.
void ReadWriteSetupOrExit(toolkit::TFunk& funk, int mode);

struct ReloadOutcome {
  bool loaded = false;  // a refused header leaves the previous record (or none) in memory
  std::string caption;  // the main window's caption after a load
};

// Reads the current file of the record (the data directory becomes the current directory). A file that
// cannot be opened, whose headers are cut short or refused by the check is shown with the reason and
// leaves the record and the arrays in memory as they were; fewer arrays than channels show
// " память на %d"; a file without one complete frame says that it holds no samples.
ReloadOutcome ReloadRecording(toolkit::SetupRecord& setup, ChannelSamples& samples, toolkit::TFunk& funk);

// for_curs, showing the span of an empty or reversed range as a number.
void ForCursAndReport(toolkit::SetupRecord& setup, const ChannelSamples& samples, ViewEnvelope& envelope,
                      int plotWidth);

}  // namespace viewer
