#include "analysis/cross_spectrum_file.h"

#include <cmath>

#include "analysis/finite_cells.h"
#include "platform/cp1251.h"
#include "toolkit/format_text.h"
#include "toolkit/recording_chooser.h"
#include "toolkit/recording_file.h"

namespace analysis {

namespace {

std::string ChannelLine(const toolkit::SetupRecord& s, int i) {
  return toolkit::FormatText("%2d - %2d (%s); \n", i, s.ChannelMap[i],
                             platform::FieldToTextLine(s.MemChannels[i].Name).c_str());
}

}  // namespace

std::string CrossFileName(const toolkit::SetupRecord& s) { return toolkit::CurrentFilePath(s) + ".kog"; }

std::string PairCrossText(const toolkit::SetupRecord& s, int ch0, const CrossSums& sums, const TransferCurves& t,
                          int32_t last, int64_t* zeroed) {
  FiniteCells v;
  std::string text = "Спектpы и взаимный спектp.\n";
  text += ChannelLine(s, ch0);
  text += ChannelLine(s, ch0 + 1);
  text +=
      "    f            |0|             |1|               |01|          |H|=|01|/|00|         |g|           "
      "fase/Pi            re(H)             im(H)\n";
  const double step = 1.0 / (sums.N * s.Dt);
  for (int32_t k = 1; k <= last - 2 && k < static_cast<int32_t>(t.H.size()); ++k) {
    const double s00 = sums.S00[k];
    const double reH = s00 < kCrossGuard ? 0.0 : sums.C[k] / s00;
    const double imH = s00 < kCrossGuard ? 0.0 : -sums.Q[k] / s00;
    text += toolkit::FormatText(
        "%8.3f  %15.6f  %15.6f  %15.6f  %15.6f  %15.6f  %15.6f  %15.6f  %15.6f  %5d\n", v(k * step), v(std::sqrt(s00)),
        v(std::sqrt(sums.S11[k])), v(std::sqrt(std::hypot(sums.C[k], sums.Q[k]))), v(t.H[k]), v(t.G[k]),
        v(t.Phase[k]), v(reH), v(imH), static_cast<int>(k));
  }
  v.Report(zeroed);
  return text;
}

std::string AllCrossText(const toolkit::SetupRecord& s, int32_t n, const std::vector<TransferCurves>& curves,
                         int32_t last, int64_t* zeroed) {
  FiniteCells v;
  std::string text = "передаточная функция, функция когерентности и фазовый спектp.\n";
  for (int i = 0; i < s.ChannelCount && i < 64; ++i) text += ChannelLine(s, i);
  text += "    f ";
  const int channels = static_cast<int>(curves.size());
  for (int c = 1; c <= channels; ++c)
    text += toolkit::FormatText("         H(00-%02d)         f(00-%02d)         g(00-%02d)", c, c, c);
  text += "       N";
  const double step = 1.0 / (n * s.Dt);
  int32_t rows = last - 2;
  for (const TransferCurves& t : curves) rows = std::min<int32_t>(rows, static_cast<int32_t>(t.H.size()) - 1);
  for (int32_t k = 1; k <= rows; ++k) {
    text += toolkit::FormatText("\n%8.3f", v(k * step));
    for (const TransferCurves& t : curves)
      text += toolkit::FormatText("%15.6f  %15.6f  %15.6f ;", v(t.H[k]), v(t.Phase[k]), v(t.G[k]));
    text += toolkit::FormatText("  %05d", static_cast<int>(k));
  }
  v.Report(zeroed);
  return text;
}

}  // namespace analysis
