#include "viewer/cursor_readout.h"

#include <algorithm>
#include <cmath>

#include "toolkit/format_text.h"
#include "toolkit/time_texts.h"
#include "viewer/channel_colors.h"
#include "viewer/plot_layout.h"
#include "viewer/view_envelope.h"

namespace viewer {
namespace {

using toolkit::FormatText;
using toolkit::SetupRecord;

constexpr int kMaxIndex = 63;
constexpr uint32_t kAqua = 0xFFFF00;

struct StripLayout {
  int line, markerColumn, channelBlock, timeX, timeStep;
};

StripLayout Layout(bool largeFont) {
  if (largeFont) return {17, 82, 258, 62, 142};
  return {16, 70, 208, 52, 122};
}

int Clamped(int v, int hi) { return std::clamp(v, 0, hi); }

// Screen y of marker `set` of channel `ch` (stored as screen y plus the row's baseline).
int MarkerScreenY(const SetupRecord& s, int set, int ch) {
  return static_cast<int>(static_cast<float>(s.MarkerY[set][ch]) - s.Baseline[ch]);
}

// First shown channel and the number of shown channels whose markers are drawn (at most three).
int MarkerChannels(const SetupRecord& s) {
  const int first = std::min<int>(s.FirstChannel, kMaxIndex + 1);
  const int end = std::min<int>(s.ShownEnd, kMaxIndex + 1);
  return std::clamp(end - first, 0, 3);
}

int CursorCount(const SetupRecord& s) {
  return std::clamp<int>(s.VerticalCursorCount, 1, toolkit::kMaxVerticalCursors);
}

int PixelsPerSample(const SetupRecord& s) { return s.PixelsPerSample > 0 ? s.PixelsPerSample : 1; }

// Seconds from the first visible sample to column `col`.
double ColumnSeconds(const SetupRecord& s, const ReadoutGeometry& g, int col) {
  return static_cast<double>(col) * SamplesPerColumnOf(s, g.plotWidth) / PixelsPerSample(s) * s.Dt;
}

void AllStrokes(const SetupRecord& s, std::vector<XorStroke>& out) {
  const int first = s.FirstChannel;
  for (int set = 0; set < 2; ++set) {
    for (int k = 0; k < CursorCount(s); ++k) out.push_back({true, k, s.CursorColumns[set][k]});
    for (int b = 0; b < MarkerChannels(s); ++b)
      out.push_back({false, first + b, MarkerScreenY(s, set, first + b)});
  }
}

void MoveStrokes(SetupRecord& s, int dx, int dy, const ReadoutGeometry& g, std::vector<XorStroke>& out) {
  const int set = s.CursorSet > 1 ? 0 : s.CursorSet;
  if (s.CursorIndex >= CursorCount(s)) s.CursorIndex = 0;
  const int k = s.CursorIndex;
  int32_t& col = s.CursorColumns[set][k];
  out.push_back({true, k, col});
  col = Clamped(col + dx, g.plotWidth);
  out.push_back({true, k, col});

  if (s.MarkerChannel > kMaxIndex) s.MarkerChannel = s.FirstChannel <= kMaxIndex ? s.FirstChannel : 0;
  const int ch = s.MarkerChannel;
  out.push_back({false, ch, MarkerScreenY(s, set, ch)});
  const int moved = static_cast<int>(static_cast<float>(s.MarkerY[set][ch] + dy) - s.Baseline[ch]);
  if (moved > 1 && moved < g.plotHeight) s.MarkerY[set][ch] += dy;
  out.push_back({false, ch, MarkerScreenY(s, set, ch)});

  const int64_t perColumn = SamplesPerColumnOf(s, g.plotWidth);
  for (int i = 0; i < 2; ++i) {
    const int64_t n = perColumn * s.CursorColumns[i][0] / PixelsPerSample(s) + s.Nn;
    s.CursorSamples[i] = static_cast<int32_t>(std::clamp<int64_t>(n, INT32_MIN, INT32_MAX));
  }
}

// The time rows, the frequency line and the marker amplitudes of cursor mode.
void CursorTexts(const SetupRecord& s, const StripLayout& l, const ReadoutGeometry& g, const float* envelope,
                 std::vector<ReadoutText>& out) {
  std::vector<int> rows{0};
  if (CursorCount(s) > 1 && s.CursorIndex != 0 && s.CursorIndex < CursorCount(s))
    rows.push_back(s.CursorIndex);
  const int64_t start = s.Header.StartTicks;
  double d = 0.0;
  for (size_t row = 0; row < rows.size(); ++row) {
    const int c = rows[row];
    int colour = 10 + c;
    if (colour > 15) colour -= 15;
    const int y = 1 + 2 * l.line * static_cast<int>(row);
    out.push_back({1, y, colour, 0, row == 0 ? "Время:" : "от <0>:"});
    for (int i = 0; i < 2; ++i) {
      std::string t;
      if (row == 0) {
        t = toolkit::TimeText(start, ColumnSeconds(s, g, s.CursorColumns[i][0]) + s.Nn * s.Dt);
      } else {
        t = toolkit::TimeText(0,
                              std::fabs(ColumnSeconds(s, g, s.CursorColumns[i][c] - s.CursorColumns[0][0])));
      }
      out.push_back({l.timeX + i * l.timeStep, y, colour, 0, t});
    }
    d = ColumnSeconds(s, g, s.CursorColumns[1][c] - s.CursorColumns[0][c]);
    out.push_back({l.timeX + 2 * l.timeStep, y, colour, 0, toolkit::FormatSignedDms(d)});
  }

  const int ch = ReadoutChannel(s);
  const int col = Clamped(s.CursorColumns[0][0], toolkit::kMaxPlotColumns - 1);
  const double mn = envelope != nullptr ? envelope[col] : 0.0;
  const double mx = envelope != nullptr ? envelope[col + toolkit::kMaxPlotColumns] : 0.0;
  std::string f;
  if (std::fabs(d) > 1e-5) {
    // Left-aligned: a zero fill would be ignored beside the '-' flag anyway.
    f = FormatText("f=%8.3fГц;(%d)   %-5.0f:%-5.0f;  ", 1.0 / d,
                   s.CursorColumns[1][0] - s.CursorColumns[0][0], mn, mx);
  } else {
    f = FormatText("     %05.0f:%05.0f;", mn, mx);
  }
  out.push_back({4 * l.timeStep + l.timeX + 10, 2, ChannelColourIndex(ch), 0, f});

  for (int b = 0; b < MarkerChannels(s); ++b) {
    const int c = s.FirstChannel + b;
    for (int i = 0; i < 3; ++i) {
      double v;
      if (i < 2) {
        v = static_cast<double>(g.plotHeight) - s.MarkerY[i][c] + s.Baseline[c] - s.RowOffset[c];
      } else {
        v = static_cast<double>(s.MarkerY[0][c]) - s.MarkerY[1][c];
      }
      v = v / s.PlotScale / s.DisplayGain[c];
      out.push_back(
          {b * l.channelBlock + i * l.markerColumn, l.line + 2, ChannelColourIndex(c), 0, AmplitudeText(v)});
    }
  }
}

}  // namespace

int ReadoutChannel(const SetupRecord& setup) {
  if (setup.Channel < setup.ChannelCount && setup.Channel <= kMaxIndex) return setup.Channel;
  return setup.FirstChannel <= kMaxIndex ? setup.FirstChannel : 0;
}

std::string AmplitudeText(double v) {
  const double a = std::fabs(v);
  if (a > 0.0005 && a < 99999.9) return FormatText("%.7f", v).substr(0, 8);
  return FormatText("%.2e", v);
}

TimeAxisPicture DrawTimeAxisStep(SetupRecord& setup, int dx, int dy, int mode, const ReadoutGeometry& g,
                                 const float* envelope) {
  TimeAxisPicture p;
  const StripLayout l = Layout(g.largeFont);
  if (mode == 3) {
    AllStrokes(setup, p.strokes);
  } else {
    if (mode == 1) dy = 0;
    if (mode == 2) dx = 0;
    MoveStrokes(setup, dx, dy, g, p.strokes);
  }
  if (setup.CursorMode == 1) {
    CursorTexts(setup, l, g, envelope, p.texts);
    p.status = kCursorKeyHelp;
  } else {
    // View mode: the strip is cleared again and shows only where the view starts.
    int64_t ticks = setup.Header.StartTicks;
    if (setup.Header.Rate != 0)
      ticks += static_cast<int64_t>(setup.Nn) * toolkit::kTicksPerSecond / setup.Header.Rate;
    p.texts.push_back(
        {1, 2, -1, kAqua,
         FormatText("началo: %s;  (%d:%d)", toolkit::FormatTimeStamp(ticks).c_str(), setup.PixelsPerSample,
                    static_cast<int>(SamplesPerColumnOf(setup, g.plotWidth)))});
    p.status = kPlotKeyHelp;
  }
  return p;
}

}  // namespace viewer
