#include "viewer/station_loader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/output_file.h"
#include "toolkit/format_text.h"
#include "toolkit/recording_chooser.h"
#include "viewer/channel_coefficients.h"
#include "viewer/directory_recordings.h"
#include "viewer/frame_convert.h"
#include "viewer/recording_loader.h"
#include "viewer/test_signal.h"

namespace viewer {

using toolkit::CHANNEL_HEADER;
using toolkit::MAIN_HEADER;
using toolkit::SetupRecord;

namespace {

constexpr const char* kBuildStamp = "Jul 28 2010";
constexpr const char* kLimitCaption = "убавь число каналов";
constexpr int64_t kSeconds1899To1980 = toolkit::kSecondsFrom1899To1980;
// Frames are read in portions of about this many bytes.
constexpr size_t kPortionBytes = size_t{1} << 20;

int64_t TicksOf1899Seconds(int64_t seconds) {
  return (seconds - kSeconds1899To1980) * toolkit::kTicksPerSecond;
}

// Stores the frames of `f` from the current position at positions pos, pos + 1, ... of the routes'
// channels while pos < samples; a cut last frame is not used.
void LayFrames(std::FILE* f, uint16_t width, int64_t pos, uint32_t samples, std::vector<ChannelRoute> routes) {
  const size_t frameBytes = size_t{4} * width;
  if (pos < 0) {
    // Frames before the interval are passed over.
    if (std::fseek(f, static_cast<long>(-pos * static_cast<int64_t>(frameBytes)), SEEK_CUR) != 0) return;
    pos = 0;
  }
  const size_t portionFrames = std::max<size_t>(16, kPortionBytes / frameBytes);
  std::vector<int32_t> portion(portionFrames * width);
  std::vector<ChannelRoute> at(routes.size());
  while (pos < samples) {
    const size_t ask = std::min<size_t>(portionFrames, static_cast<size_t>(samples - pos));
    const size_t got = std::fread(portion.data(), 1, ask * frameBytes, f) / frameBytes;
    if (got == 0) break;
    for (size_t r = 0; r < routes.size(); ++r) at[r] = {routes[r].fileChannel, routes[r].coef, routes[r].out + pos};
    ConvertFrames(portion.data(), got, width, at.data(), at.size());
    pos += static_cast<int64_t>(got);
    if (got < ask) break;
  }
  FinishConvertedStores();
}

}  // namespace

int64_t StationSamplePosition(int64_t fileStart, int64_t intervalStart, uint16_t rate) {
  // In the wide type from the start: a damaged header's start may lie anywhere in 64 bits.
  const __int128 num =
      (static_cast<__int128>(fileStart) - intervalStart) * rate + toolkit::kTicksPerSecond / 2;
  __int128 q = num / toolkit::kTicksPerSecond;
  if (num % toolkit::kTicksPerSecond != 0 && num < 0) --q;  // rounded down: half a sample goes up
  return static_cast<int64_t>(q);
}

int LoadStationFiles(SetupRecord& s, const std::string& dir, const std::string& station, uint32_t samples,
                     uint32_t start, uint16_t rate, const ChannelSamples& table, uint16_t channels,
                     const uint16_t* map, uint16_t first, StationReadOutcome& out) {
  channels = static_cast<uint16_t>(std::min<int>(channels, toolkit::kMaxChannels - first));
  for (uint16_t j = 0; j < channels; ++j) {
    if (float* x = table[first + j]) std::fill(x, x + table.Capacity(first + j), 0.0f);
  }
  const int64_t intervalStart = TicksOf1899Seconds(start);
  const int64_t intervalEnd = TicksOf1899Seconds(int64_t{samples / rate} + start);
  int loaded = 0;
  for (const std::string& name : RegularFileNames(dir)) {
    UniqueFile file(platform::OpenForReading(toolkit::JoinPath(dir, name)));
    if (!file) {
      out.messages.push_back({kCannotOpenFile, {}, false});
      continue;
    }
    MAIN_HEADER h;
    if (!ReadCheckedMainHeader(file.get(), h) || h.Format != s.Header.Format || h.Rate != rate ||
        toolkit::FieldText(h.Station) != station)
      continue;
    const uint64_t frames = toolkit::SamplesPerChannel(OpenFileSize(file.get()), h.Channels).value_or(0);
    const int64_t fileStart = h.StartTicks;
    const __int128 end = static_cast<__int128>(fileStart) +
                         static_cast<__int128>(frames) * (toolkit::kTicksPerSecond / h.Rate);
    const int64_t fileEnd = end > INT64_MAX ? INT64_MAX : static_cast<int64_t>(end);
    out.listing.push_back(toolkit::FormatText("%s: %s ", name.c_str(), DateTimeTextOfTicks(fileStart).c_str()) +
                          " -:- " + DateTimeTextOfTicks(fileEnd).substr(11));
    if (fileStart > intervalEnd || fileEnd < intervalStart) continue;

    CHANNEL_HEADER heads[toolkit::kMaxChannels];
    if (toolkit::ReadChannelHeaders(file.get(), std::span(heads, h.Channels)) != toolkit::HeaderIo::Ok) {
      out.listing.push_back(name + ": заголовки каналов не прочитаны, файл пропущен");
      continue;
    }
    const bool mapFits = std::all_of(map, map + channels, [&](uint16_t c) { return c < h.Channels; });
    if (!mapFits) {
      out.listing.push_back(toolkit::FormatText("%s: в файле %u каналов, файл пропущен", name.c_str(),
                                                unsigned{h.Channels}));
      continue;
    }
    // Only a coefficient that would scale samples of the interval passes the file over.
    if (const int bad = s.UseCoefficients != 0
                            ? FirstUnusableCoefficient(std::span(heads, h.Channels), std::span(map, channels))
                            : -1;
        bad >= 0) {
      out.listing.push_back(name + ": " + UnusableCoefficientText(bad, heads[bad].Coef) + ", файл пропущен");
      continue;
    }
    for (uint16_t k = 0; k < h.Channels; ++k) heads[k].Name[22] = 0;
    bool coefDiffers = false;
    for (uint16_t j = 0; j < channels; ++j) {
      const uint16_t k = first + j;
      const CHANNEL_HEADER& c = heads[map[j]];
      if (loaded == 0) {
        s.MemChannels[k] = c;
        const std::string label =
            toolkit::FormatText("%02u_%s", unsigned(first / std::max<uint16_t>(s.LoadChannels, 1)),
                                toolkit::FieldText(c.Name).c_str());
        toolkit::SetFieldText(s.MemChannels[k].Name, label.substr(0, 10));
        s.MemCoef[k] = s.UseCoefficients != 0 ? c.Coef : 1.0;
      }
      if (s.CoefficientCheck != 0 && s.UseCoefficients != 0 && std::fabs(c.Coef - s.MemCoef[k]) > 1e-11) {
        out.listing.push_back(toolkit::FormatText("%10.4e   %10.4e ", c.Coef, s.MemCoef[k]));
        coefDiffers = true;
        break;
      }
    }
    if (coefDiffers) continue;
    ++loaded;
    std::vector<ChannelRoute> routes;
    for (uint16_t j = 0; j < channels; ++j) {
      if (float* x = table[first + j]) routes.push_back({map[j], s.MemCoef[first + j], x});
    }
    LayFrames(file.get(), h.Channels, StationSamplePosition(fileStart, intervalStart, rate), samples, routes);
  }
  out.listing.push_back(station + toolkit::FormatText(" :  файлов:  %d", loaded) + "   *  *  *");
  return loaded;
}

void ListStationFiles(SetupRecord& s, ChannelSamples& samples, toolkit::TFunk& funk, const std::string& dir,
                      int stations, StationReadOutcome& out) {
  const uint16_t rate = s.Header.Rate;
  out.listing.push_back("от: " + DateTimeText1899(s.StationStart) + " до: " +
                        DateTimeText1899(int64_t{s.StationStart} + s.Samples / rate));
  out.listing.push_back("B   " + toolkit::FieldText(s.DataDir) + "   файлы:");
  s.ArraysAllocated = s.ArrayCount;
  int files = 0;
  if (s.SeveralStations != 0) {
    for (int j = 0; j < stations; ++j) {
      const uint16_t first = static_cast<uint16_t>(s.LoadChannels * j);
      if (first >= s.ChannelCount) break;
      const uint16_t n = std::min<uint16_t>(s.LoadChannels, s.ChannelCount - first);
      files += LoadStationFiles(s, dir, toolkit::FieldText(s.Stations[j]), s.Samples, s.StationStart, rate,
                                samples, n, s.ChannelMap, first, out);
    }
  } else {
    files = LoadStationFiles(s, dir, toolkit::FieldText(s.Header.Station), s.Samples, s.StationStart, rate,
                             samples, s.ChannelCount, s.ChannelMap, 0, out);
  }
  const std::string refusal = GenerateTestSignal(s, samples);
  if (!refusal.empty()) out.messages.push_back({refusal, {}, false});
  out.filesLoaded = files;
  const int minutes = s.StationHours * 60;
  out.caption = files == 0 ? toolkit::FormatText("файлов нет;    длина записи: %d мин;", minutes)
                           : toolkit::FormatText("%s ;  файлов - %d;    длина записи: %d мин;", kBuildStamp,
                                                 files, minutes);
  if (s.Header.dt > 0.0) {
    s.Dt = s.Header.dt;
  } else {
    s.Dt = s.Header.dt = 1.0 / rate;
  }
  s.ViewChanged = 1;
  s.Header.StartTicks = TicksOf1899Seconds(s.StationStart);
  funk.DecodeTimeStamp(s.Header.StartTicks, 0.0, 0);
  s.Nn = 0;
  s.Nk = static_cast<int32_t>(s.Samples) - 1;
  s.FirstChannel = 0;
  s.ShownEnd = s.ChannelCount;
  s.StationMode = 1;
  s.CursorMode = 0;
}

StationReadOutcome CheckStationReadLimits(SetupRecord& s, ChannelSamples& samples, toolkit::TFunk& funk,
                                          const std::string& dir) {
  StationReadOutcome out;
  auto refuse = [&](std::string text) {
    out.refused = true;
    out.messages.push_back({std::move(text), kLimitCaption, true});
    return out;
  };
  const uint16_t rate = s.Header.Rate;
  if (rate == 0) return refuse("в заголовке нет частоты записи");
  if (s.StationHours == 0) return refuse("длина интервала 0 часов");
  if (int64_t{s.StationStart} < kSeconds1899To1980) return refuse("начало интервала раньше 1980 года");
  if (uint64_t{s.StationStart} + uint64_t{s.StationHours} * 3600 > UINT32_MAX)
    return refuse("конец интервала позже 07.02.2036");
  const uint16_t perStation = std::clamp<uint16_t>(s.LoadChannels, 1, toolkit::kMaxChannels);
  int stations = 1;
  if (s.SeveralStations != 0) {
    const int found = std::min<int>(s.StationCount, toolkit::kStationSlots);
    if (found == 0) return refuse("станций нет");
    stations = found;
    if (perStation * stations > toolkit::kMaxChannels) {
      stations = toolkit::kMaxChannels / perStation;
      out.messages.push_back({toolkit::FormatText("можно показать только %u станций из  %u", unsigned(stations),
                                                  unsigned{s.StationCount}),
                              kLimitCaption, true});
    }
  }
  const uint16_t count = static_cast<uint16_t>(perStation * stations);
  // Bytes an hour of all arrays takes, in 64 bits (64 channels at 10 kHz are 9.2e9).
  const uint64_t perHour = uint64_t{count} * 4 * rate * 3600;
  uint16_t hours = s.StationHours;
  if (hours * perHour > kStationMemoryLimit) {
    hours = static_cast<uint16_t>(kStationMemoryLimit / perHour);
    if (hours == 0) return refuse("нельзя показать и одного часа: убавь число каналов");
  }
  // The same rule with what the system can give: a shorter interval, down to one hour; below that the
  // allocation keeps fewer channels.
  const uint64_t room = samples.RoomForArrays();
  if (hours * perHour > room) hours = static_cast<uint16_t>(std::max<uint64_t>(room / perHour, 1));
  // Not even one channel of the interval fits: said before anything is freed or read.
  const uint64_t arrayBytes = (uint64_t{hours} * rate * 3600 + ChannelSamples::kSpare) * sizeof(float);
  if (arrayBytes > room)
    return refuse("нельзя показать: " + NoRoomForAChannelText(arrayBytes, room, samples[0] != nullptr));
  if (hours < s.StationHours)
    out.messages.push_back(
        {toolkit::FormatText("можно показать только %u минут", unsigned{hours} * 60), kLimitCaption, true});

  s.StationHours = hours;
  s.LoadChannels = perStation;
  s.ChannelCount = count;
  s.ArrayCount = count;
  s.Samples = static_cast<uint32_t>(uint64_t{hours} * rate * 3600);
  // The previous arrays go from the top down; those of the same size are taken over.
  const size_t capacity = size_t{s.Samples} + ChannelSamples::kSpare;
  const auto obtained = static_cast<uint16_t>(samples.Provide(count, capacity));
  if (obtained < count) {
    out.messages.push_back({toolkit::FormatText(" память на %d", int{obtained}), {}, false});
    s.ChannelCount = s.ArrayCount = obtained;
    if (obtained == 0) {
      s.ArraysAllocated = 0;
      s.Samples = 0;
      out.refused = out.recordLost = true;
      return out;
    }
  }
  ListStationFiles(s, samples, funk, dir, stations, out);
  return out;
}

}  // namespace viewer
