#include "toolkit/recording_file.h"

#include <cmath>

#include "toolkit/civil_date.h"
#include "toolkit/format_text.h"
#include "toolkit/start_ticks.h"
#include "toolkit/time_texts.h"

namespace toolkit {

namespace {

constexpr uint16_t kMinRate = 49;
constexpr uint16_t kMaxRate = 10000;

// Current layout: StartTicks and Rate are authoritative; the date, dt and to follow from them.
void CompleteCurrentLayout(MAIN_HEADER& h) {
  h.dt = 1.0 / h.Rate;
  const TickInstant start = SplitStartTicks(h.StartTicks);
  const CivilDateTime civil = start.Civil();
  h.Year = static_cast<uint16_t>(civil.Date.Year);
  h.Month = static_cast<uint16_t>(civil.Date.Month);
  h.Day = static_cast<uint16_t>(civil.Date.Day);
  h.to = static_cast<double>(SecondsOfDay(civil.Time)) +
         static_cast<double>(start.Ticks) / static_cast<double>(kTicksPerSecond);
  h.Format = kCurrentFormat;
}

bool OlderLayoutPlausible(const MAIN_HEADER& h) {
  // Written so that a NaN in dt or to fails its comparison.
  return h.Year >= 1980 && h.Year <= 2020 && h.Bits >= 20 && h.Bits <= 24 && h.dt >= 0.0001 &&
         h.to <= 100000.0 && h.to >= 0.0 && h.Month <= 12 && h.Day >= 1 && h.Day <= 31;
}

}  // namespace

uint16_t CheckMainHeader(MAIN_HEADER& h, std::string& text) {
  if (h.Channels < 1 || h.Channels > kMaxChannels) {
    text = FormatText("каналов %d (другой формат)", h.Channels);
    return 1;
  }
  if (h.Format >= kCurrentFormat) {
    if (h.Rate < kMinRate || h.Rate > kMaxRate) {
      text = FormatText("другой формат: частота %u Гц", unsigned{h.Rate});
      return 1;
    }
    CompleteCurrentLayout(h);
  } else {
    if (h.Year < 100) h.Year = static_cast<uint16_t>(h.Year + (h.Year >= 30 ? 1900 : 2000));
    if (!OlderLayoutPlausible(h)) {
      text = FormatText("формат: T %02d:%02d:%02d; разр %d; dt %.5f; to %.2f;", h.Year, h.Month, h.Day,
                        h.Bits, h.dt, h.to);
      return 1;
    }
    // A huge dt gives no whole sample a second; every later step divides by Rate.
    const auto rate = static_cast<uint16_t>(std::trunc(1.0 / h.dt + 0.0001));
    if (rate == 0) {
      text = FormatText("другой формат: частота %u Гц", 0u);
      return 1;
    }
    h.Rate = rate;
    // Month 0 and a day past the month's end count on from the month's start (see DaysFromCivil).
    const int64_t day = DaysFromCivil(CivilDate{h.Year, h.Month, h.Day});
    const int64_t wholeTicks = (day - kDay1980) * kSecondsPerDay * kTicksPerSecond;
    h.StartTicks = wholeTicks + static_cast<int64_t>(std::trunc(h.to * static_cast<double>(kTicksPerSecond)));
  }
  text = DateTimeText(h.StartTicks, 0.0);
  return 0;
}

uint16_t CheckMainHeader(MAIN_HEADER& header, char* text, size_t textSize) {
  std::string s;
  const uint16_t result = CheckMainHeader(header, s);
  if (text != nullptr && textSize > 0) {
    const size_t n = s.size() < textSize ? s.size() : textSize - 1;
    std::memcpy(text, s.data(), n);
    text[n] = '\0';
  }
  return result;
}

std::optional<uint64_t> SamplesPerChannel(uint64_t fileSize, uint16_t channels) {
  if (channels < 1 || channels > kMaxChannels) return std::nullopt;
  const uint64_t headers = HeadersSize(channels);
  if (fileSize < headers) return std::nullopt;
  return (fileSize - headers) / (uint64_t{4} * channels);
}

HeaderIo ReadMainHeader(std::FILE* f, MAIN_HEADER& header) {
  MAIN_HEADER h;
  if (f == nullptr || std::fread(&h, 1, sizeof h, f) != sizeof h) return HeaderIo::ShortMainHeader;
  header = h;
  return HeaderIo::Ok;
}

HeaderIo ReadChannelHeaders(std::FILE* f, std::span<CHANNEL_HEADER> out) {
  if (out.empty()) return HeaderIo::Ok;
  if (f == nullptr || std::fread(out.data(), 1, out.size_bytes(), f) != out.size_bytes())
    return HeaderIo::ShortChannelHeader;
  return HeaderIo::Ok;
}

HeaderIo ReadHeaders(std::FILE* f, MAIN_HEADER& header, std::vector<CHANNEL_HEADER>& channels) {
  if (f == nullptr || std::fseek(f, 0, SEEK_SET) != 0) return HeaderIo::ShortMainHeader;
  MAIN_HEADER h;
  if (const HeaderIo r = ReadMainHeader(f, h); r != HeaderIo::Ok) return r;
  if (h.Channels < 1 || h.Channels > kMaxChannels) {
    header = h;
    return HeaderIo::BadChannelCount;
  }
  std::vector<CHANNEL_HEADER> c(h.Channels);
  if (const HeaderIo r = ReadChannelHeaders(f, c); r != HeaderIo::Ok) return r;
  header = h;
  channels = std::move(c);
  return HeaderIo::Ok;
}

HeaderIo WriteMainHeader(std::FILE* f, const MAIN_HEADER& header) {
  if (f == nullptr || std::fwrite(&header, 1, sizeof header, f) != sizeof header)
    return HeaderIo::WriteFailed;
  return HeaderIo::Ok;
}

HeaderIo WriteChannelHeaders(std::FILE* f, std::span<const CHANNEL_HEADER> channels) {
  if (channels.empty()) return HeaderIo::Ok;
  if (f == nullptr || std::fwrite(channels.data(), 1, channels.size_bytes(), f) != channels.size_bytes())
    return HeaderIo::WriteFailed;
  return HeaderIo::Ok;
}

}  // namespace toolkit
