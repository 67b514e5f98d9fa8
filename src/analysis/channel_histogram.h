#pragma once
// "функции" → "гистограмма ": amplitude statistics, effective bits, a histogram and a windowed RMS of
// every channel in memory over the selection, for the main window's information list and a text file.
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/correlation.h"
#include "toolkit/setup_record.h"

namespace analysis {

// "gistogram_for_%s_%02d%02d%02d%02d.txt": the station's first 4 characters (made safe for a file name),
// the month, the day, and the hour and minute of `to`.
std::string HistogramFileName(const toolkit::MAIN_HEADER& header);

// Samples of one RMS window: the "Поиск" page's minutes at the header's rate, raised so that a selection
// of `n` samples gives at most 720 windows; at least 1.
int64_t RmsWindow(const toolkit::SetupRecord& setup, int64_t n);

struct HistogramReport {
  struct Moments {
    double mean = 0.0;
    double rms = 0.0;  // root of the mean squared deviation from the mean
  };
  std::string fileName;            // written in the current directory
  std::vector<Moments> moments;    // of each channel measured, as the lines show them rounded
  std::vector<std::string> list;   // the information list, in order
  std::string error;               // a message to show ("" none); the list holds what was done before it
};

// ChannelHistogram over [Nn, Nk) of each channel in memory (`channels` as the processing commands take
// them). An empty selection writes nothing.
HistogramReport ChannelHistogram(const toolkit::SetupRecord& setup, const float* const* channels,
                                 const Progress& progress);

}  // namespace analysis
