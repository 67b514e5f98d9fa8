#include "viewer/recording_loader.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/output_file.h"
#include "toolkit/format_text.h"
#include "viewer/channel_coefficients.h"
#include "viewer/frame_convert.h"
#include "viewer/test_signal.h"

namespace viewer {

using toolkit::CHANNEL_HEADER;
using toolkit::MAIN_HEADER;
using toolkit::SetupRecord;

// Frames are little-endian int32 words, taken as they lie in memory.
static_assert(std::endian::native == std::endian::little);

namespace {

// The program's build stamp shown in the caption.
constexpr const char* kBuildDate = "Jul 28 2010";
// Frames are read in portions of about this many bytes.
constexpr size_t kPortionBytes = size_t{256} << 10;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Frames in the file after its headers, or 0 when its size cannot be taken.
uint64_t FramesInFile(std::FILE* f, uint16_t channels) {
  const long here = std::ftell(f);
  if (here < 0 || std::fseek(f, 0, SEEK_END) != 0) return 0;
  const long end = std::ftell(f);
  std::fseek(f, here, SEEK_SET);
  if (end < 0) return 0;
  return toolkit::SamplesPerChannel(static_cast<uint64_t>(end), channels).value_or(0);
}

// Frames of a read portion: a multiple of 16 keeps every portion's first sample aligned in the arrays.
size_t PortionFrames(uint16_t width) {
  return std::max<size_t>(16, kPortionBytes / (size_t{4} * width) / 16 * 16);
}

// Reads the frames and fills the arrays through `portion` (PortionFrames frames); returns the complete
// frames stored.
uint32_t ReadFrames(std::FILE* f, const SetupRecord& s, uint16_t width, const uint16_t* fileChannel,
                    ChannelSamples& samples, uint32_t wanted, std::vector<int32_t>& portion) {
  const size_t frameBytes = size_t{4} * width;
  const size_t portionFrames = PortionFrames(width);
  ChannelRoute routes[toolkit::kMaxChannels];
  uint32_t done = 0;
  while (done < wanted) {
    const size_t ask = std::min<size_t>(portionFrames, wanted - done);
    const size_t got = std::fread(portion.data(), 1, ask * frameBytes, f) / frameBytes;
    if (got == 0) break;
    for (uint16_t j = 0; j < s.ChannelCount; ++j)
      routes[j] = {fileChannel[j], s.MemCoef[j], samples[j] + done};
    ConvertFrames(portion.data(), got, width, routes, s.ChannelCount);
    done += static_cast<uint32_t>(got);
    if (got < ask) break;  // end of the file (a cut last frame is dropped)
  }
  FinishConvertedStores();
  return done;
}

}  // namespace

std::string RecordingPath(const SetupRecord& s) {
  const std::string name = toolkit::FieldText(s.FileName);
  const std::string dir = toolkit::FieldText(s.DataDir);
  if (name.empty() || name.front() == '/' || dir.empty()) return name;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}

LoadReport LoadRecording(SetupRecord& s, ChannelSamples& samples, toolkit::TFunk& funk,
                         uint64_t sampleLimit) {
  LoadReport report;
  File file(platform::OpenForReading(RecordingPath(s)));
  if (!file) {
    report.status = LoadStatus::CannotOpen;
    return report;
  }
  MAIN_HEADER header;
  if (toolkit::ReadMainHeader(file.get(), header) != toolkit::HeaderIo::Ok) {
    report.status = LoadStatus::ShortMainHeader;
    return report;
  }
  // The header decides how many channel headers follow and how wide a frame is: a header that fails the
  // check (a file changed since it was chosen) is refused before it can size anything.
  if (toolkit::CheckMainHeader(header, report.checkText) != 0) {
    report.status = LoadStatus::BadHeader;
    return report;
  }
  const uint16_t width = header.Channels;
  CHANNEL_HEADER channels[toolkit::kMaxChannels];
  if (toolkit::ReadChannelHeaders(file.get(), std::span(channels, width)) != toolkit::HeaderIo::Ok) {
    report.status = LoadStatus::ShortChannelHeader;
    return report;
  }
  // The file channel of each channel in memory; a map entry beyond the file takes its last channel.
  const uint16_t chosen = std::min<uint16_t>(s.LoadChannels, toolkit::kMaxChannels);
  uint16_t fileChannel[toolkit::kMaxChannels];
  for (uint16_t j = 0; j < chosen; ++j) fileChannel[j] = std::min<uint16_t>(s.ChannelMap[j], width - 1);
  // Only a coefficient that would scale samples refuses the file; the others stay in the headers as they
  // are, for the header editor to mend.
  if (s.UseCoefficients != 0) {
    if (const int bad = FirstUnusableCoefficient(std::span(channels, width), std::span(fileChannel, chosen));
        bad >= 0) {
      report.status = LoadStatus::BadCoefficient;
      report.checkText = LoadFailureText(report.status, s) + UnusableCoefficientText(bad, channels[bad].Coef);
      return report;
    }
  }
  const uint64_t framesInFile = FramesInFile(file.get(), width);
  // The read's own memory is taken before the record changes, so that running out of it leaves the
  // record as it was.
  std::vector<int32_t> portion(PortionFrames(width) * width);

  // Arrays are sized from the file's frame count as chosen, but never beyond what the file holds; a
  // count the record's 32 bits could not hold is the file's own. What a record may hold is read, and the
  // rest is said.
  uint64_t frames =
      s.FileSamples < UINT32_MAX ? std::min<uint64_t>(s.FileSamples, framesInFile) : framesInFile;
  const uint64_t limit = std::min(sampleLimit, kMaxRecordSamples);
  if (frames > limit) {
    report.samplesLeftOut = frames - limit;
    frames = limit;
  }
  const uint64_t capacity = frames + ChannelSamples::kSpare;
  // Not even one channel fits in what memory allows: said before a frame is read, and the record in
  // memory stays.
  const uint64_t room = samples.RoomForArrays();
  if (chosen > 0 && capacity * sizeof(float) > room) {
    report.status = LoadStatus::NoMemory;
    report.checkText = LoadFailureText(report.status, s) +
                       NoRoomForAChannelText(capacity * sizeof(float), room, samples[0] != nullptr);
    return report;
  }

  // Everything is read that can fail without a way on; now the record in memory is replaced.
  s.ChannelCount = chosen;
  s.StationMode = 0;
  s.CursorMode = 0;
  const uint16_t wanted = s.ChannelCount;
  // The previous load's arrays go from the top down; those of the same size are taken over.
  const auto obtained = static_cast<uint16_t>(samples.Provide(wanted, capacity));
  if (obtained < wanted) {
    report.memoryShort = true;
    s.ChannelCount = obtained;
  }
  s.ArrayCount = s.ChannelCount;
  s.ArraysAllocated = s.ChannelCount;

  s.Header = header;
  s.Dt = header.dt;
  for (uint16_t k = 0; k < width; ++k) {
    s.FileChannels[k] = channels[k];
    s.FileChannels[k].Name[22] = 0;  // names keep at most 22 characters
  }
  for (uint16_t j = 0; j < s.ChannelCount; ++j) {
    s.MemChannels[j] = s.FileChannels[fileChannel[j]];
    s.MemCoef[j] = s.UseCoefficients != 0 ? s.MemChannels[j].Coef : 1.0;
  }
  funk.DecodeTimeStamp(header.StartTicks, 0.0, 0);

  // Without a single array (an allocation that failed all the same) the file is not read.
  s.Samples = s.ChannelCount == 0
                  ? 0
                  : ReadFrames(file.get(), s, width, fileChannel, samples, static_cast<uint32_t>(frames), portion);
  // The floats past the samples read hold zeros rather than whatever the allocation left there.
  for (uint16_t j = 0; j < s.ChannelCount; ++j) {
    std::fill(samples[j] + s.Samples, samples[j] + samples.Capacity(j), 0.0f);
  }

  report.testSignalText = GenerateTestSignal(s, samples);

  s.Nn = 0;
  s.Nk = static_cast<int32_t>(s.Samples) - 1;
  s.FirstChannel = 0;
  s.ShownEnd = s.ChannelCount;
  s.ViewChanged = 1;
  report.channelsKept = s.ChannelCount;
  return report;
}

std::string LoadFailureText(LoadStatus status, const SetupRecord& s) {
  const std::string name = RecordingPath(s);
  switch (status) {
    case LoadStatus::Ok:
      return {};
    case LoadStatus::CannotOpen:
      return toolkit::FormatText("Не могу открыть файл %s", name.c_str());
    case LoadStatus::ShortMainHeader:
      return toolkit::FormatText("Файл %s короче заголовка MAIN_HEADER", name.c_str());
    case LoadStatus::BadHeader:
      return toolkit::FormatText("Заголовок файла %s не годится", name.c_str());
    case LoadStatus::ShortChannelHeader:
      return toolkit::FormatText("Файл %s обрывается в заголовках CHANNEL_HEADER", name.c_str());
    case LoadStatus::BadCoefficient:
    case LoadStatus::NoMemory:
      return toolkit::FormatText("Файл %s не прочитан: ", name.c_str());
  }
  return {};
}

void KeepLoadedRecord(SetupRecord& s, const SetupRecord& before) {
  std::memcpy(s.DataDir, before.DataDir, sizeof s.DataDir);
  std::memcpy(s.FileName, before.FileName, sizeof s.FileName);
  s.LoadChannels = before.LoadChannels;
  std::memcpy(s.ChannelMap, before.ChannelMap, sizeof s.ChannelMap);
  s.UseCoefficients = before.UseCoefficients;
  s.Header = before.Header;
  std::memcpy(s.FileChannels, before.FileChannels, sizeof s.FileChannels);
  s.FileSamples = before.FileSamples;
}

std::string SamplesLeftOutText(const SetupRecord& s, uint64_t leftOut) {
  return toolkit::FormatText(
      "Файл %s длиннее, чем может показать программа: прочитаны первые %u отсчётов каждого канала, "
      "последние %llu отсчётов не прочитаны.",
      RecordingPath(s).c_str(), s.Samples, static_cast<unsigned long long>(leftOut));
}

std::string NoRoomForAChannelText(uint64_t arrayBytes, uint64_t room, bool recordHeld) {
  constexpr double kMiB = 1024.0 * 1024.0;
  return toolkit::FormatText("памяти не хватает ни на один канал (нужно %.1f МБ, можно взять %.1f МБ)%s",
                             static_cast<double>(arrayBytes) / kMiB, static_cast<double>(room) / kMiB,
                             recordHeld ? "; в памяти осталась прежняя запись." : ".");
}

std::string MemoryShortText(int channelsKept) { return toolkit::FormatText(" память на %d", channelsKept); }

std::string RecordingCaption(const SetupRecord& s) {
  std::string dir = toolkit::FieldText(s.DataDir);
  // Cut by characters, not bytes, so that a UTF-8 path is never split inside a character.
  size_t chars = 0, cut = dir.size();
  for (size_t i = 0; i < dir.size(); ++i) {
    if ((static_cast<unsigned char>(dir[i]) & 0xC0) == 0x80) continue;
    if (chars == 50) cut = i;
    ++chars;
  }
  const bool separator = !dir.empty() && dir.back() != '/';
  if (chars > 51) dir = dir.substr(0, cut) + "...";
  if (separator) dir += '/';
  return toolkit::FormatText("пр-ма от %s;  %s", kBuildDate, dir.c_str()) +
         toolkit::FormatText("%s; %d каналов; %.2f cek", toolkit::FieldText(s.FileName).c_str(),
                             int{s.Header.Channels}, s.FileSamples * s.Header.dt);
}

}  // namespace viewer
