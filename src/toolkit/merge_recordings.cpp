#include "toolkit/merge_recordings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "platform/cp1251.h"
#include "platform/output_file.h"
#include "toolkit/format_text.h"
#include "toolkit/recording_chooser.h"

namespace toolkit {

namespace {

namespace fs = std::filesystem;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

constexpr size_t kBlockFrames = 8192;

// Any directory entry takes a name, a dangling link included.
bool FileExists(const std::string& path) { return platform::NameTaken(path); }

}  // namespace

SideReading ReadSide(const std::string& path, const std::string& name, SetupRecord& rec, uint16_t firstRate) {
  SideReading out;
  File f(platform::OpenForReading(path));
  if (!f) {
    out.lines.push_back("Error open file " + name);
    return out;
  }
  MAIN_HEADER header;
  if (ReadMainHeader(f.get(), header) != HeaderIo::Ok) {
    out.lines.push_back("Error read file  " + name);
    return out;
  }
  std::string check;
  if (CheckMainHeader(header, check) != 0) {
    out.lines.push_back(check);
    return out;
  }
  std::vector<CHANNEL_HEADER> channels(header.Channels);
  std::error_code ec;
  const uintmax_t size = fs::file_size(path, ec);
  const std::optional<uint64_t> samples = ec ? std::nullopt : SamplesPerChannel(size, header.Channels);
  if (ReadChannelHeaders(f.get(), channels) != HeaderIo::Ok || !samples) {
    out.lines.push_back("Error read file  " + name);
    return out;
  }
  rec.Header = header;
  for (size_t i = 0; i < channels.size(); ++i) {
    rec.FileChannels[i] = channels[i];
    rec.FileChannels[i].Name[19] = '\0';
  }
  rec.Header.Station[9] = '\0';
  rec.FileSamples = static_cast<uint32_t>(std::min<uint64_t>(*samples, UINT32_MAX));
  out.samples = *samples;

  out.lines.push_back(name);
  out.lines.push_back(check);
  const std::string station = platform::FieldToUtf8(rec.Header.Station);
  out.lines.push_back(FormatText("из %s; каналов %2d ", station.c_str(), int{header.Channels}));
  out.lines.push_back(FormatText("разрядов %2d;   частота %u Гц ", int{header.Bits}, unsigned{header.Rate}));
  out.lines.push_back(FormatText("длина записи  : %.5f сеk", static_cast<double>(*samples) / header.Rate));
  for (size_t i = 0; i < channels.size(); ++i)
    out.lines.push_back(FormatText("%d(%d) - %s ", static_cast<int>(i), int{rec.FileChannels[i].Number},
                                   platform::FieldToUtf8(rec.FileChannels[i].Name).c_str()));
  if (firstRate != 0 && header.Rate != firstRate) {
    out.lines.push_back("");
    out.lines.push_back("error:    не совпадает частота");
    return out;
  }
  out.usable = 1;
  return out;
}

int64_t StartSample(int64_t startTicks, uint16_t rate) {
  // (ticks x rate + 0.001 s x 256e6) / 256e6, rounded down, without overflow.
  const __int128 scaled = static_cast<__int128>(startTicks) * rate + kTicksPerSecond / 1000;
  __int128 q = scaled / kTicksPerSecond;
  if (scaled % kTicksPerSecond != 0 && scaled < 0) --q;
  return static_cast<int64_t>(q);
}

MergeSpan PairSpan(const MAIN_HEADER& a, uint64_t samplesA, const MAIN_HEADER& b, uint64_t samplesB) {
  MergeSpan s;
  s.startA = StartSample(a.StartTicks, a.Rate);
  s.startB = StartSample(b.StartTicks, a.Rate);
  s.endA = s.startA + static_cast<int64_t>(samplesA);
  s.endB = s.startB + static_cast<int64_t>(samplesB);
  s.begin = std::min(s.startA, s.startB);
  s.end = std::max(s.endA, s.endB);
  return s;
}

int CheckPair(const SetupRecord& a, uint64_t samplesA, const SetupRecord& b, uint64_t samplesB,
              std::vector<std::string>& lines) {
  const MergeSpan s = PairSpan(a.Header, samplesA, b.Header, samplesB);
  const double rate = a.Header.Rate;
  auto pair = [&](int64_t x, int64_t y) {
    lines.push_back(FormatText("%.2f; %.2f;  ", static_cast<double>(x), static_cast<double>(y)));
  };
  pair(s.begin, s.end);
  pair(s.startA, s.endA);
  pair(s.startB, s.endB);
  const double apart = static_cast<double>(s.startA > s.startB ? s.startA - s.startB : s.startB - s.startA);
  lines.push_back("между началами");
  lines.push_back(FormatText("    %.5f сек (%.0f точек)", apart / rate, apart));
  const int total = a.Header.Channels + b.Header.Channels;
  if (total > kMaxChannels) {
    lines.push_back(FormatText("error:    каналов %d + %d, больше %d", int{a.Header.Channels},
                               int{b.Header.Channels}, int{kMaxChannels}));
    return 0;
  }
  const int64_t gap = s.Gap();
  if (gap < 0) return 1;
  lines.push_back(
      FormatText("разрыв: %.3f сек /%.0f т", static_cast<double>(gap) / rate, static_cast<double>(gap)));
  if (gap >= kMaxMergeGap) {
    lines.push_back("   ...  разрыв слишом большой");
    return 0;
  }
  return 1;
}

std::string DefaultMergeName(const std::string& dir, const std::string& nameA) {
  std::string name = nameA;
  if (name.empty()) return name;
  while (FileExists(JoinPath(dir, name)) && name[0] < '9') ++name[0];
  return name;
}

MAIN_HEADER MergedHeader(const MAIN_HEADER& a, const MAIN_HEADER& b) {
  MAIN_HEADER out = StartSample(a.StartTicks, a.Rate) <= StartSample(b.StartTicks, a.Rate) ? a : b;
  out.Channels = static_cast<uint16_t>(a.Channels + b.Channels);
  out.Bits = 24;
  return out;
}

MergeOutcome MergeRecordings(const MergeJob& job) {
  MergeOutcome result;
  const size_t nA = job.channelsA.size(), nB = job.channelsB.size(), n = nA + nB;
  auto fail = [&](const std::string& text, const std::string& caption = "ERROR") {
    result.ok = false;
    result.message = text;
    result.caption = caption;
    return result;
  };
  if (n > kMaxChannels || nA == 0 || nB == 0)
    return fail(FormatText("Каналов %zu + %zu: в файле может быть от 1 до %d; файл не создан", nA, nB,
                           int{kMaxChannels}));
  File a(platform::OpenForReading(job.pathA));
  File b(platform::OpenForReading(job.pathB));
  if (!a || !b) return fail("Can't open file " + (a ? job.pathB : job.pathA));
  if (std::fseek(a.get(), static_cast<long>(HeadersSize(static_cast<uint16_t>(nA))), SEEK_SET) != 0 ||
      std::fseek(b.get(), static_cast<long>(HeadersSize(static_cast<uint16_t>(nB))), SEEK_SET) != 0)
    return fail("Ошибка чтения файла; файл не создан", "Error");

  // Written whole under a hidden temporary and only then given its name: never through a link, never
  // over a file that appeared meanwhile, and never seen part-written, not even after a kill.
  platform::OutputError why;
  platform::NewWholeFile out;
  if (!out.Open(job.outPath, &why)) return fail("Can't open file " + job.outPath + "\n" + why.text);
  auto failOut = [&](const std::string& text) {
    out.Abandon();
    return fail(text + ": файл " + job.outPath + " не создан", "Error");
  };

  MAIN_HEADER header = job.header;
  header.Channels = static_cast<uint16_t>(n);
  if (WriteMainHeader(out.get(), header) != HeaderIo::Ok) return failOut(kMainHeaderWriteError);
  if (WriteChannelHeaders(out.get(), job.channelsA) != HeaderIo::Ok ||
      WriteChannelHeaders(out.get(), job.channelsB) != HeaderIo::Ok)
    return failOut(kChannelHeaderWriteError);

  // Output frames t of A lie in [a0, a1), of B in [b0, b1).
  const MergeSpan& s = job.span;
  int64_t a0 = s.startA - s.begin, a1 = s.endA - s.begin;
  int64_t b0 = s.startB - s.begin, b1 = s.endB - s.begin;
  int64_t last = s.end - s.begin;
  if (job.byStart) {
    a0 = b0 = 0;
    a1 = static_cast<int64_t>(job.samplesA);
    b1 = static_cast<int64_t>(job.samplesB);
    last = std::min(a1, b1);
  }
  platform::OutputError logWhy;
  const bool logMade =
      platform::ReplaceFileContent(JoinPath(fs::path(job.outPath).parent_path().string(), "2.txt"), "", 0, &logWhy);

  std::vector<int32_t> block(kBlockFrames * n);
  std::vector<int32_t> in(kBlockFrames * std::max(nA, nB));
  // Reads the frames [from, to) of one input (its frames follow one another) into columns
  // [column, column + width) of the block that starts at frame t0.
  auto place = [&](std::FILE* f, size_t width, size_t column, int64_t from, int64_t to, int64_t t0) {
    if (from >= to) return true;
    const size_t frames = static_cast<size_t>(to - from);
    if (std::fread(in.data(), sizeof(int32_t) * width, frames, f) != frames) return false;
    for (size_t k = 0; k < frames; ++k)
      std::memcpy(&block[(static_cast<size_t>(from - t0) + k) * n + column], &in[k * width],
                  sizeof(int32_t) * width);
    return true;
  };
  for (int64_t t0 = 0; t0 < last; t0 += static_cast<int64_t>(kBlockFrames)) {
    const int64_t t1 = std::min(last, t0 + static_cast<int64_t>(kBlockFrames));
    const size_t frames = static_cast<size_t>(t1 - t0);
    std::fill(block.begin(), block.begin() + static_cast<ptrdiff_t>(frames * n), 0);
    if (!place(a.get(), nA, 0, std::max(t0, a0), std::min(t1, a1), t0))
      return failOut("Ошибка чтения файла " + job.pathA);
    if (!place(b.get(), nB, nA, std::max(t0, b0), std::min(t1, b1), t0))
      return failOut("Ошибка чтения файла " + job.pathB);
    if (std::fwrite(block.data(), sizeof(int32_t) * n, frames, out.get()) != frames)
      return failOut("Ошибка записи");
  }
  if (!out.Commit(&why)) {
    // Only the folder's sync failed when the file reached its name: not kept either, as it might not
    // survive a power cut.
    if (out.InPlace()) std::remove(job.outPath.c_str());
    return fail("Ошибка записи: файл " + job.outPath + " не создан\n" + why.text, "Error");
  }
  result.ok = true;
  result.message = FormatText("создан  файл  < %s > ", fs::path(job.outPath).filename().string().c_str());
  if (!logMade) result.message += "\n" + logWhy.text;
  return result;
}

}  // namespace toolkit
