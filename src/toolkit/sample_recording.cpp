#include "toolkit/sample_recording.h"

#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include "platform/cp1251.h"
#include "platform/output_file.h"
#include "toolkit/funk.h"
#include "toolkit/recording_file.h"

namespace toolkit {

int32_t SampleValue(const SampleRecordingPlan& plan, uint16_t c, uint32_t n) {
  const double t = static_cast<double>(n) / plan.rate;
  const double sine = 1000.0 * (c + 1) * std::sin(2.0 * std::numbers::pi * 0.5 * (c + 1) * t);
  const double ramp = plan.frames > 1 ? 200.0 * n / (plan.frames - 1) : 0.0;
  return static_cast<int32_t>(std::lround(sine + ramp));
}

std::string SampleFileName(int64_t startTicks) {
  TFunk funk;
  return funk.DecodeTimeStamp(startTicks, 0.0, 0);
}

bool WriteSampleRecording(const std::string& path, const SampleRecordingPlan& plan) {
  if (plan.channels < 1 || plan.channels > kMaxChannels || plan.rate == 0) return false;
  MAIN_HEADER header{};
  header.Channels = plan.channels;
  header.Format = kCurrentFormat;
  header.Reserved12 = 12;
  header.Bits = 24;
  header.Rate = plan.rate;
  header.Mark1 = 0x5566;
  header.Mark2 = 0x7788;
  platform::Utf8ToField(plan.station, header.Station);
  header.StartTicks = plan.startTicks;
  header.Latitude = 53.01667;
  header.Longitude = 158.65;
  std::string ignored;
  CheckMainHeader(header, ignored);  // fills the date, dt and to from StartTicks and Rate

  std::vector<CHANNEL_HEADER> channels(plan.channels);
  for (uint16_t c = 0; c < plan.channels; ++c) {
    CHANNEL_HEADER& ch = channels[c];
    ch = CHANNEL_HEADER{};
    ch.Number = c;
    ch.Mark1 = 0x1111;
    ch.Mark2 = 0x2222;
    ch.Mark3 = 0x3333;
    // Short names: a plot row shows the first 6 characters of a name, so they must differ there.
    platform::Utf8ToField("к" + std::to_string(c + 1) + " " + "ZNE"[c % 3], ch.Name);
    SetFieldText(ch.tip, "demo");
    ch.Coef = 1e-3;
    ch.Coef2 = 1.0;
  }

  platform::ReplacingFile out;  // never through a link; an earlier file is replaced only by a whole one
  if (!out.Open(path)) return false;
  std::FILE* f = out.get();
  bool ok = WriteMainHeader(f, header) == HeaderIo::Ok && WriteChannelHeaders(f, channels) == HeaderIo::Ok;
  std::vector<int32_t> frame(plan.channels);
  for (uint32_t n = 0; ok && n < plan.frames; ++n) {
    for (uint16_t c = 0; c < plan.channels; ++c) frame[c] = SampleValue(plan, c, n);
    ok = std::fwrite(frame.data(), sizeof(int32_t), frame.size(), f) == frame.size();
  }
  return ok && out.Commit();
}

}  // namespace toolkit
