#include "acquisition/live_sweep.h"

#include <algorithm>

#include "recorder/recorder_time.h"
#include "toolkit/format_text.h"

namespace acquisition {

using toolkit::FormatText;

int SweepY(int32_t value, int base, int32_t offset, int32_t scale, int top, int bottom) {
  const int64_t y = base - (int64_t{value} - offset) / std::max<int32_t>(1, scale);
  return static_cast<int>(std::clamp<int64_t>(y, top, bottom));
}

int32_t HalveScale(int32_t scale) { return std::max(kMinScale, scale / 2); }
int32_t DoubleScale(int32_t scale) { return std::min(kMaxScale, scale * 2); }

int32_t ColumnsBetween(int32_t from, int32_t to, int32_t ringSize, int32_t step) {
  int32_t d = to - from;
  if (d < 0) d += ringSize;
  return step > 0 ? d / step : 0;
}

ChannelScale AutoScaleOf(const Extreme& e, int rowHeight) {
  ChannelScale s;
  s.Offset = static_cast<int32_t>((int64_t{e.Max} + e.Min) / 2);
  s.Scale = static_cast<int32_t>((int64_t{e.Max} - e.Min) / std::max(1, rowHeight));
  if (s.Scale <= 0) s.Scale = 1;
  s.Scale = std::min(s.Scale, kMaxScale);
  return s;
}

int ColumnSamplesStep(int position) { return position > 39 ? 10 : position > 19 ? 5 : 1; }
int SmoothPointsStep(int position) { return position < 40 ? 1 : 5; }

std::string SmoothedCaption(int columnSamples, int width, double dt, int smoothPoints, bool narrow,
                            bool withPoints) {
  if (!narrow)
    return FormatText("Масштаб: 1 / %d (%.1f сек);  Cигналы сглажены с пост. вр. %.3fсек (%dт.)",
                      columnSamples, columnSamples * width * dt, smoothPoints * dt, smoothPoints);
  if (withPoints)
    return FormatText("Масштаб: 1/%d; Cигналы сглажены c Т=%.3fсек, %d)", columnSamples, smoothPoints * dt,
                      smoothPoints);
  return FormatText("Масштаб: 1/%d; Cигналы сглажены c Т=%.3fсек)", columnSamples, smoothPoints * dt);
}

std::string RawCaption(int columnSamples, int width, double dt) {
  return FormatText("Масштаб: 1/%d (%.1fсек); Графики сигналов с линии.", columnSamples,
                    columnSamples * width * dt);
}

namespace {
std::string UnitDateTime(uint32_t s) {
  return recorder::DateTimeText(int64_t{s} + recorder::kUnitEpochFrom1899);
}
}  // namespace

TimePanel TimePanelText(int mode, const recorder::StatusBlock& st, int64_t blockSeconds,
                        uint16_t gpsInterval) {
  const double ticksPerSecond = st.TikInSek + 1.0;
  const double dT =
      st.Cap_Time > recorder::kNoCaptureTime
          ? static_cast<double>(int64_t{st.Cap_Time} - int64_t{st.Time}) * ticksPerSecond * 65536.0 +
                st.Cap_Tik
          : 0.0;
  TimePanel p;
  switch (mode & 3) {
    case 0:
      p.Text = FormatText("%s / %.0fмк ", recorder::DateTimeText(blockSeconds).c_str(),
                          dT * 1e6 / 65536.0 / ticksPerSecond);
      break;
    case 1:
      p.Text = FormatText("корр. %s / %.0f т", UnitDateTime(st.Cap_Time).c_str(), dT);
      p.DarkRed = st.Cap_Time < 0xFFFFFF;
      break;
    case 2:
      p.Text = FormatText("%.0fт / %u мин ", dT, static_cast<unsigned>(gpsInterval / 64));
      break;
    default:
      p.Text = FormatText("синхр. %s", UnitDateTime(st.Cap_GPS_o).c_str());
      p.DarkRed = st.Cap_GPS_o < 0xFFFFFF;
      break;
  }
  return p;
}

const char* TimePanelHint(int mode) {
  switch (mode & 3) {
    case 0:
      return "Время и dt(мк) / Время последней коррекции  (щелчок мыши)";
    case 1:
      return "Время посл. коррекции и dt(мк) / Инт. вкл.GPS (щелчок мыши)";
    case 2:
      return "Тики и инт. вкл.GPS / Время синхронизации)";
    default:
      return "Время синхронизации / Время и dt(мк) (щелчок мыши)";
  }
}

std::string SizeText(const recorder::YSTANOV& s, const recorder::ChannelList& channels) {
  std::string text = FormatText("файл (минут) %u;  %u Гц;  Kyc =  ", s.FileMinutes, s.SampleRate);
  for (unsigned i = 0; i < channels.Count; ++i) text += FormatText("%u ", s.K_yc[channels.Numbers[i] & 7]);
  return text;
}

}  // namespace acquisition
