#pragma once
// The processing commands of the main window's menus that change the channels in memory in place:
// channel arithmetic, the comparisons and least-squares fits, absolute value, smoothing by straight
// segments, the tick check of a saw-tooth channel, the interpolation test and the filters. Each works on
// `channels` (ChannelSamples: one float array per channel place, null where none is held, at least
// SetupRecord.Samples floats each) and reports what to show; the window shows the messages in order and,
// when `redraw` is set, brings the view up to date (RedrawView).
#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/funk.h"
#include "toolkit/setup_record.h"
#include "viewer/view_host.h"

namespace viewer {

struct CommandResult {
  std::vector<std::string> messages;
  bool redraw = false;
};

// Channels a multi-channel command works on: the processed channel, or every channel in memory when the
// processed-channel number equals the channel count. [first, end); empty when the number is beyond both.
struct ChannelSpan {
  int first = 0;
  int end = 0;
};
ChannelSpan ProcessedChannels(const toolkit::SetupRecord& setup);

// ---- Channel arithmetic ("канал  { +  -  *  / }  ") ----

// Before the panel shows: a processed channel beyond the last becomes 0 and the second channel is
// brought into the channels in memory.
void PrepareChannelOperation(toolkit::SetupRecord& setup);
// "Пишем в канал %d. ..." and the formula " K[d] = ( K[d]  +  a ) op ( b * K[e]  +  c )".
std::string ChannelOperationCaption(const toolkit::SetupRecord& setup);
std::string ChannelOperationFormula(const toolkit::SetupRecord& setup);
// The sign of item `index` of the sign box: 0 '+', 1 '-', 2 '*', 3 '/'; another index leaves `current`.
uint8_t SignOfItem(int index, uint8_t current);
// K[d][n] := (K[d][n] + a) op (b K[e][n] + c) over every sample in memory, d the processed channel.
// Nothing is written when a divisor is zero or a result is not a finite float: the message says why.
CommandResult ChannelArithmetic(toolkit::SetupRecord& setup, float* const* channels);

// ---- Comparisons of channels 0 and 1, written into channel 2, over the selection [Nn, Nk) ----

// Least squares y = a x + b over n points; false (a, b untouched) when n < 2 or all x are equal.
bool LeastSquares(const float* x, const float* y, int64_t n, double& a, double& b);
// "сравнить (1)": channel 1 scaled onto channel 0 by their visible extremes.
CommandResult CompareByRange(toolkit::SetupRecord& setup, float* const* channels);
// "сравнить (2)": channel 1 fitted onto channel 0.
CommandResult CompareByFit(toolkit::SetupRecord& setup, float* const* channels);
// "Вычитание разностных каналов": the sum of channels 1 and 2 fitted onto channel 0.
CommandResult SubtractDifferenceChannels(toolkit::SetupRecord& setup, float* const* channels);

// ---- Single-channel commands (every processed channel while all are processed) ----

// "abs знач.": |K| over every sample; nothing while cursor mode is on.
CommandResult AbsoluteValue(toolkit::SetupRecord& setup, float* const* channels);
// "сглаживание": straight segments between the successive extremes, over the whole record.
CommandResult SmoothBySegments(toolkit::SetupRecord& setup, float* const* channels);
void SmoothChannel(float* k, uint32_t samples);
// "тики (СШГ)": the steps of a saw-tooth channel over the selection; needs one processed channel. The
// anomalies are listed by their column on a plot `plotWidth` columns wide.
CommandResult CheckTicks(const toolkit::SetupRecord& setup, float* const* channels, int plotWidth);
// "интерполяция": four-point interpolation of synthetic sines into channels 0 ... 5 (no redraw).
CommandResult InterpolationTest(const toolkit::SetupRecord& setup, float* const* channels);

// ---- Filters and integration ----

// "спектр.опер.": mode 0 band filter, 1 integration, 2 differentiation in the frequency domain.
CommandResult FrequencyDomainCommand(toolkit::SetupRecord& setup, float* const* channels,
                                     toolkit::TFunk& funk, int mode);
// "врем.опер." → "интеграл".
CommandResult IntegrateCommand(toolkit::SetupRecord& setup, float* const* channels, toolkit::TFunk& funk);
// One channel of "врем.опер." → "фильтр": Butterworth (`butterworth` true) or the windowed-sinc filter
// with the settings' order, type, points and band. Returns the message of a refused design, else "".
std::string TimeDomainFilter(const toolkit::SetupRecord& setup, float* data, toolkit::TFunk& funk,
                             bool butterworth);

// "врем.опер." → "фильтр" → "Баттерворта" / "Поттера": filters each processed channel and draws it over
// the plot at once, then waits for the user ("жми") and redraws. A refused design is shown and ends the
// loop.
void RunTimeDomainFilter(toolkit::SetupRecord& setup, float* const* channels, toolkit::TFunk& funk,
                         bool butterworth, ViewHost& host);

// Shows a command's messages in order and, when it changed the channels, redraws the view.
void FinishCommand(ViewHost& host, const CommandResult& result, const toolkit::SetupRecord& setup);

}  // namespace viewer
