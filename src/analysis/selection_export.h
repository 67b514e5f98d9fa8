#pragma once
// "сохранить": the selection [Nn, Nk) of the record written to a new file. Modes 0 "из файла" and 1
// "с экрана" write a recording data file (0 from the file's own frames, 1 from the samples in memory
// turned back into counts); 2 "из файла в текст", 3 "с экрана в текст" and 4 "из файла в текст_16" a
// commented text; 5 "казань" a column text of times and values.
#include <cstdint>
#include <string>

#include "toolkit/funk.h"
#include "toolkit/setup_record.h"

namespace analysis {

struct ExportResult {
  std::string error;    // the message to show ("" done)
  std::string path;     // the file written (or that could not be)
  uint64_t frames = 0;  // frames (lines of samples) written
  int64_t zeroed = 0;   // values of the text modes (samples, header numbers) that were not finite numbers,
                        // written as 0
};

// The name the export of `mode` writes: the time-stamp name of the selection's start with the station's
// first character (modes 0, 1) or "tx" (2 ... 4) in the current directory; for mode 5 the recording's own
// path with its base name cut at its first '.' and ".dat" added.
std::string ExportFileName(const toolkit::SetupRecord& setup, const toolkit::MAIN_HEADER& checked, int mode,
                           toolkit::TFunk& funk);

// ExportRecording of `mode`; `channels` are the arrays in memory (as the processing commands take them).
// Nothing is written when the header fails its check, when the output would be the recording itself or
// its name is taken (the message names the file and what to do), or when a mode that reads the file
// follows a station read.
ExportResult ExportRecording(const toolkit::SetupRecord& setup, const float* const* channels, int mode,
                             toolkit::TFunk& funk);

}  // namespace analysis
