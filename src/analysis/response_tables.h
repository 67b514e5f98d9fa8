#pragma once
// Tables of spectral peaks appended to "for_ACF.txt" and the three-component ratio file
// "%s_АЧХ_WZ.txt": the peak rules and the texts, without a window.
#include <cstdint>
#include <string>
#include <vector>

namespace analysis {

inline constexpr int kPeakSlots = 200;
inline constexpr int kMaxResponseChannels = 8;

struct Peak {
  double frequency = 0.0;
  double value = 0.0;  // relative amplitude (response) or amplitude (above a level)
  int32_t bin = 0;
};

// Peaks of one channel's spectrum s[0 .. L/2-1] of an L-point transform: local maxima above 5 % of the
// largest amplitude over bins 1 .. L/2-1, relative to it; the first 199 are kept.
struct ChannelPeaks {
  double largest = 0.0;
  std::vector<Peak> peaks;
};
ChannelPeaks ResponsePeaks(const float* s, int32_t L, double dt);

// The texts below write a value that is not a finite number as 0 and give the count of such values in
// `zeroed`. `recording` is the recording's file name as stored; it enters the text as one line of UTF-8.

// The lines appended for the response by period: recording name, the channel list, the largest
// amplitudes and one row per peak up to the largest peak count (missing entries as zeros).
std::string ResponseText(const std::string& recording, const std::vector<std::string>& channelNames,
                         const std::vector<ChannelPeaks>& channels, int64_t* zeroed = nullptr);

// Peaks above level T of s[first .. last] (bins): a peak opens where the spectrum crosses T upwards,
// keeps its largest value while above, and is listed when it crosses T downwards; at most 200.
std::vector<Peak> PeaksAboveLevel(const float* s, int32_t first, int32_t last, double T, int32_t n, double dt);
// The largest value of the peaks (at least 1e-8).
double PeaksLargest(const std::vector<Peak>& peaks);

// The lines appended for the peaks above a level.
std::string PeaksAboveText(const std::string& recording, int channel, const std::string& channelName,
                           const std::vector<Peak>& peaks, int64_t* zeroed = nullptr);

// The three-component ratio: 0.5 (a0 + a1) / a2 from the mean powers of the three channels, 1.0 where a2
// is at most 1e-10.
float ComponentRatio(double p0, double p1, double p2, int32_t intervals);

// The ratio file: its first line and the table of bins 1 .. half/3-1.
std::string RatioFileHead(int32_t n, const std::string& recording);
std::string RatioFileTable(const std::vector<double>* powers, const std::vector<float>& ratio, int32_t n,
                           double dt, int32_t intervals, int64_t* zeroed = nullptr);

// Appends `text` to `path`; false with `error` naming the file when it cannot be opened or written.
bool AppendTextFile(const std::string& path, const std::string& text, std::string& error);

}  // namespace analysis
