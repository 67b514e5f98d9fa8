#include "acquisition/download_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "acquisition/channel_header.h"
#include "platform/output_file.h"
#include "recorder/recorder_time.h"
#include "toolkit/civil_date.h"
#include "toolkit/format_text.h"
#include "toolkit/recording_file.h"
#include "toolkit/start_ticks.h"

namespace acquisition {

using recorder::kCardPageHeaderSize;
using toolkit::FormatText;

namespace {

constexpr size_t kMinSampleBuffer = 128'000;
constexpr uint32_t kMostFileSamples = 100'000'000;
// Header bytes that carry the recording parameters.
constexpr int kChannelsByte = 1, kFileNumberByte = 10, kValuesByte = 11, kDecimationA = 12, kDecimationB = 13,
              kMaskByte = 14;

uint32_t DecimationOf(const uint8_t* page) {
  return ((page[kDecimationA] >> 4) + 1u) * ((page[kDecimationB] >> 4) + 1u);
}
uint16_t PositionOf(const uint8_t* page) { return static_cast<uint16_t>(page[2] | page[3] << 8); }
uint32_t SecondOf(const uint8_t* page) {
  uint32_t s;
  std::memcpy(&s, page + 4, sizeof s);
  return s;
}

bool Differs(const uint8_t* page, const std::array<uint8_t, kCardPageHeaderSize>& saved,
             std::initializer_list<int> bytes) {
  for (int b : bytes)
    if (page[b] != saved[static_cast<size_t>(b)]) return true;
  return false;
}

// The date-time text of a tick count since 1899-12-30 (whole seconds).
std::string TicksText(int64_t ticks, uint32_t clock) {
  return recorder::DateTimeText(toolkit::FloorDiv(ticks, clock == 0 ? 1 : clock));
}

}  // namespace

recorder::HeaderFault DataHeaderFault(const uint8_t* page, uint32_t sampleClock) {
  recorder::HeaderFault fault = recorder::HeaderFault::None;
  recorder::DecodeDataPageHeader({page, kCardPageHeaderSize}, recorder::kMaxPageChannels - 1, sampleClock,
                                 &fault);
  return fault;
}

bool SampleClockUsable(uint32_t sampleClock) { return sampleClock >= 1 && sampleClock <= kMostSampleClock; }

DownloadWriter::DownloadWriter(const DownloadSettings& settings, LogSink log,
                               std::function<void(const std::string&)> shown)
    : settings_(settings), log_(std::move(log)), shown_(std::move(shown)) {
  FileSetup = settings_.Setup;
  samples_.resize(kMinSampleBuffer);
}

DownloadWriter::~DownloadWriter() {
  if (file_ != nullptr) std::fclose(file_);
}

void DownloadWriter::Log(const std::string& text) {
  if (log_) log_(text);
}

void DownloadWriter::TakePageParameters(const uint8_t* page) {
  Sequence.PrevSerial = static_cast<uint16_t>(Sequence.Serial - 1);
  Sequence.PrevCode = static_cast<uint8_t>(Sequence.Code - 1);
  std::memcpy(savedHeader_.data(), page, kCardPageHeaderSize);
  decimation_ = DecimationOf(page);
  pageChannels_ = page[kChannelsByte] + 1u;
  // Whole frames only: a value count that is not a multiple of the channels loses its last values.
  samplesPerPage_ = page[kValuesByte] / pageChannels_ * pageChannels_;
  ticksPerPage_ = samplesPerPage_ / pageChannels_ * decimation_;
  haveParameters_ = true;
}

int64_t DownloadWriter::PageTimeOf(const uint8_t* page) const {
  return (int64_t{SecondOf(page)} + recorder::kUnitEpochFrom1899) * settings_.SampleClock +
         int64_t{PositionOf(page)} * decimation_;
}

uint32_t DownloadWriter::PositionTicks(const uint8_t* page) const { return PositionOf(page) * decimation_; }

void DownloadWriter::TakeAmounts(const uint8_t* page) {
  const uint32_t rate = std::max<uint32_t>(1, settings_.SampleClock / DecimationOf(page));
  const uint32_t channels = page[kChannelsByte] + 1u;
  flushAmount_ = rate * channels * 10;
  fileAmount_ = uint64_t{flushAmount_} * 360;
  const uint64_t hours = kMostFileSamples / fileAmount_;
  if (hours >= 1) fileAmount_ *= hours;
  if (settings_.FileMinutes != 0) fileAmount_ = uint64_t{flushAmount_} * settings_.FileMinutes * 6;
  const size_t need = size_t{flushAmount_} + recorder::kMaxPageValues;
  if (samples_.size() < need) samples_.resize(need);
}

void DownloadWriter::DesignFilter() {
  const double rate = static_cast<double>(settings_.SampleClock) / decimation_;
  filterOn_ = false;
  // Each file's filter starts from its own first samples: nothing of the previous file's history.
  filterPrimed_ = false;
  const auto status = designer_.DesignButterworth(3, toolkit::kHighPass, rate, settings_.HighPassIndex * 0.05,
                                                  0.49 * rate, nullptr, nullptr);
  if (status != toolkit::ButterworthStatus::Ok) {
    Log("\n" + designer_.text);
    return;
  }
  sections_ = designer_.Sections();
  for (auto& f : filters_) f = toolkit::SectionFilter(sections_);
  filterOn_ = true;
}

void DownloadWriter::CutToWholeFrames(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_size < static_cast<off_t>(headerBytes_) || frameBytes_ == 0) return;
  const uint64_t data = static_cast<uint64_t>(st.st_size) - headerBytes_;
  const auto keep = static_cast<off_t>(headerBytes_ + data / frameBytes_ * frameBytes_);
  if (keep < st.st_size && ::ftruncate(fd, keep) != 0)
    Log(FormatText("\n   файл %s не обрезан до целых кадров: %s", fileName_.c_str(), std::strerror(errno)));
}

bool DownloadWriter::FailWrite() {
  Log(FormatText("\n\n\n\n\n   error write file %s.                   E X I T !", fileName_.c_str()));
  failure_ = FormatText("Ошибка записи файла %s: в нём только целые кадры до ошибки, чтение остановлено.",
                        filePath_.c_str());
  if (file_ != nullptr) {
    // What reached the disk may end inside a frame: the file keeps whole frames only, each of them
    // received and written whole.
    const int fd = ::dup(::fileno(file_));
    std::fclose(file_);
    if (fd >= 0) {
      CutToWholeFrames(fd);
      ::close(fd);
    }
  }
  file_ = nullptr;
  fill_ = 0;
  written_ = 0;
  return false;
}

bool DownloadWriter::WriteSamples(const int32_t* samples, size_t count) {
  static_assert(std::endian::native == std::endian::little);
  if (count == 0) return true;
  return std::fwrite(samples, sizeof(int32_t), count, file_) == count;
}

bool DownloadWriter::AppendSamples(const uint8_t* page, bool filter) {
  const unsigned n = samplesPerPage_;
  const unsigned c = pageChannels_;
  int32_t* out = samples_.data() + fill_;
  if (filter && !filterPrimed_) {
    // Start every channel in the steady state of the mean of its first (up to) four samples.
    const unsigned frames = std::min(4u, n / c);
    for (unsigned j = 0; j < c; ++j) {
      double sum = 0;
      for (unsigned f = 0; f < frames; ++f) sum += PageSample(page, f * c + j);
      filters_[j].Prime(frames == 0 ? 0.0 : sum / frames);
    }
    filterPrimed_ = true;
  }
  if (filter) {
    for (unsigned i = 0, j = 0; i < n; ++i) {
      out[i] = static_cast<int32_t>(std::trunc(filters_[j].Step(PageSample(page, i))));
      if (++j == c) j = 0;
    }
  } else {
    for (unsigned i = 0; i < n; ++i) out[i] = PageSample(page, i);
  }
  fill_ += n;
  while (fill_ >= flushAmount_ && flushAmount_ != 0) {
    if (!WriteSamples(samples_.data(), flushAmount_)) return FailWrite();
    std::memmove(samples_.data(), samples_.data() + flushAmount_, (fill_ - flushAmount_) * sizeof(int32_t));
    fill_ -= flushAmount_;
    written_ += flushAmount_;
  }
  return true;
}

bool DownloadWriter::OpenDataFile(uint32_t pageNumber, long double correction, const uint8_t* page) {
  toolkit::MAIN_HEADER main{};
  main.Reserved12 = 12;
  main.Bits = 24;
  main.Mark1 = 0x5566;
  main.Mark2 = 0x7788;
  main.SyncDt = 0.0;
  main.Latitude = FileSetup.Latitude;
  main.Longitude = FileSetup.Longitude;
  toolkit::SetFieldText(main.Station, recorder::StationName(FileSetup));

  // The channel mask names the recorder channels of the file; the frames hold the header's channel
  // count, which rules when the two differ.
  unsigned n = 0;
  channelNumbers_.fill(0x0F);
  const unsigned frameChannels = std::min(page[kChannelsByte] + 1u, recorder::kMaxPageChannels);
  if (std::popcount(page[kMaskByte]) == static_cast<int>(frameChannels)) {
    for (unsigned b = 0; b < 8; ++b)
      if (page[kMaskByte] >> b & 1) channelNumbers_[n++] = static_cast<uint8_t>(b);
  } else {
    Log(FormatText("\n маска каналов 0x%02x не для %u каналов: каналы 0..%u", page[kMaskByte], frameChannels,
                   frameChannels - 1));
    for (; n < frameChannels; ++n) channelNumbers_[n] = static_cast<uint8_t>(n);
  }
  main.Channels = static_cast<uint16_t>(n);

  const uint32_t dh = DecimationOf(page);
  const uint32_t clock = settings_.SampleClock;
  main.dt = static_cast<double>(dh) / clock;
  main.Rate = static_cast<uint16_t>(clock / dh);
  const size_t headerSize = toolkit::HeadersSize(static_cast<uint16_t>(n));
  Log(FormatText("\n\n\n\n\n   %u:    %u   %u   %u   %u   %u   %u   %u   %u; %u ", n, channelNumbers_[0],
                 channelNumbers_[1], channelNumbers_[2], channelNumbers_[3], channelNumbers_[4],
                 channelNumbers_[5], channelNumbers_[6], channelNumbers_[7],
                 static_cast<unsigned>(headerSize)));

  // Start in seconds since 1899-12-30: whole seconds exact, the rest (position and correction) apart.
  const long double rest = static_cast<long double>(PositionOf(page)) * dh / clock + correction;
  const long double restWhole = std::floor(rest);
  const int64_t whole =
      int64_t{SecondOf(page)} + recorder::kUnitEpochFrom1899 + static_cast<int64_t>(restWhole);
  const long double fraction = rest - restWhole;  // 0 <= fraction < 1
  const toolkit::CivilDateTime civil = toolkit::CivilFromSeconds(whole);
  main.Day = static_cast<uint16_t>(civil.Date.Day);
  main.Month = static_cast<uint16_t>(civil.Date.Month);
  main.Year = static_cast<uint16_t>(civil.Date.Year);
  main.to = static_cast<double>(toolkit::SecondsOfDay(civil.Time) + fraction);
  int64_t ticks = static_cast<int64_t>(fraction * toolkit::kStartTicksPerSecond);
  if (ticks >= toolkit::kStartTicksPerSecond) ticks = toolkit::kStartTicksPerSecond - 1;
  int64_t startTicks = 0;
  toolkit::StartTicksFromSeconds(whole, 0, ticks, startTicks);
  main.StartTicks = startTicks;
  main.Format = settings_.OldFormat ? 1 : toolkit::kCurrentFormat;

  const unsigned number = settings_.UnitId & 0xFF, series = settings_.UnitId >> 8;
  const toolkit::TimeOfDay& t = civil.Time;
  const std::string base =
      FileSetup.FullNames == 1
          ? FormatText("%02u%02u%02u.%u%02x", civil.Date.Day, t.Hour, t.Minute, t.Second / 10, number)
          : FormatText("%02u%02u%02u%02uu%02x%03u.%02u", civil.Date.Month, civil.Date.Day, t.Hour, t.Minute,
                       series, number, t.Second);

  std::vector<toolkit::CHANNEL_HEADER> channels(n);
  for (unsigned i = 0; i < n; ++i)
    channels[i] = RecorderChannelHeader(FileSetup, channelNumbers_[i], static_cast<uint16_t>(i));

  // A name already taken (two files within the name's time resolution) gets a suffix: never overwrite.
  std::string name = base;
  std::FILE* f = nullptr;
  for (unsigned suffix = 2; f == nullptr; ++suffix) {
    const std::string path = settings_.DataDir.empty() ? name : settings_.DataDir + "/" + name;
    platform::OutputError error;
    f = platform::CreateNewFile(path, &error);
    if (f != nullptr) {
      filePath_ = path;
      break;
    }
    if (error.code != EEXIST || suffix > 999) {
      Log(FormatText("\n\n\n\n\n   error open file %s.                   E X I T !", name.c_str()));
      failure_ = FormatText("Не создаётся файл %s: %s", path.c_str(), std::strerror(error.code));
      return false;
    }
    name = base + FormatText("_%u", suffix);
  }
  fileName_ = name;
  file_ = f;
  files_.push_back(filePath_);
  headerBytes_ = headerSize;
  frameBytes_ = size_t{n} * sizeof(int32_t);
  if (toolkit::WriteMainHeader(f, main) != toolkit::HeaderIo::Ok ||
      toolkit::WriteChannelHeaders(f, channels) != toolkit::HeaderIo::Ok)
    return FailWrite();
  Log(FormatText("\nfile %s  стр %08u;  %s+%.05f;   %.5f / %.5f; dТсинхр %.5f", fileName_.c_str(), pageNumber,
                 recorder::DateTimeText(whole).c_str(), static_cast<double>(fraction), main.Latitude,
                 main.Longitude, static_cast<double>(correction)));
  fill_ = 0;
  written_ = 0;
  return true;
}

bool DownloadWriter::CloseDataFile(uint32_t endPage) {
  if (file_ == nullptr) return true;
  if (fill_ != 0 && !WriteSamples(samples_.data(), fill_)) return FailWrite();
  if (std::fflush(file_) != 0) return FailWrite();
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!closed) return FailWrite();
  const uint32_t clock = std::max<uint32_t>(1, settings_.SampleClock);
  Log(FormatText("\nконец файла в бл. %u;  %s,%05u;   \n", endPage, TicksText(prevPageTime_, clock).c_str(),
                 (100000 / clock) * (prevPosition_ + ticksPerPage_ - decimation_)));
  fill_ = 0;
  written_ = 0;
  return true;
}

PageResult DownloadWriter::StoreRangePage(uint32_t p, const uint8_t* page) {
  const uint32_t clock = std::max<uint32_t>(1, settings_.SampleClock);
  // 1. Parameters (the value count too: a page of another length is another recording).
  if (FileOpen() &&
      Differs(page, savedHeader_, {kChannelsByte, kValuesByte, kDecimationA, kDecimationB, kMaskByte})) {
    if (!CloseDataFile(p - 1)) return PageResult::Failed;
    Log(";   Сменились параметры записи!");
  }
  if (!FileOpen()) TakePageParameters(page);

  // 2. Time order: an older page is what is left of an earlier use of the card.
  const int64_t pageTime = PageTimeOf(page);
  if (pageTime < prevPageTime_) {
    Log(FormatText("\nв бл. %u конец последней записи; дальше время %s", p - 1,
                   TicksText(pageTime, clock).c_str()));
    if (FileOpen() && !CloseDataFile(p - 1)) return PageResult::Failed;
    return PageResult::Finish;
  }
  // 3. Continuity.
  if (!FileOpen()) {
    prevPageTime_ = pageTime;
    prevPosition_ = PositionTicks(page);
  } else {
    const int64_t gap = pageTime - prevPageTime_ - ticksPerPage_;
    if (gap != 0) {
      if (!CloseDataFile(p - 1)) return PageResult::Failed;
      Log(FormatText("   разрыв с новым блоком %.5f сек", static_cast<double>(gap) / clock));
    }
  }
  // 4. A new file.
  if (!FileOpen()) {
    const unsigned k = page[kFileNumberByte] == 0 ? 0 : page[kFileNumberByte] - 1u;
    const recorder::FileEntry& row = settings_.FatFiles[k];
    FileSetup.Latitude = row.Latitude;
    FileSetup.Longitude = row.Longitude;
    if (settings_.ShowSyncLines)
      Log(FormatText("    ...file %u; dtcинх(%u)    %.6f", page[kFileNumberByte], k,
                     static_cast<double>(row.Correction)));
    if (!OpenDataFile(p, row.Correction, page)) return PageResult::Failed;
    if (shown_) shown_(fileName_);
    TakeAmounts(page);
    Log(FormatText("    ...%04u Гц;  буфер %u bt    file: %uKbt - %uмин", clock / decimation_, flushAmount_,
                   FileKb(), FileLengthMinutes()));
  }
  // 5, 6. Samples, buffer and file length.
  if (!AppendSamples(page, false)) return PageResult::Failed;
  if (written_ >= fileAmount_) {
    written_ -= fileAmount_;
    if (written_ != 0) Log("\n\n\n\n                                  error: длина файла.  ");
    if (!CloseDataFile(p - 1)) return PageResult::Failed;
  }
  // 7.
  prevPageTime_ = pageTime;
  prevPosition_ = PositionTicks(page);
  return PageResult::Accepted;
}

PageResult DownloadWriter::StoreFatPage(uint32_t p, const uint8_t* page, bool firstDataPage,
                                        const recorder::FileEntry& entry) {
  const uint32_t clock = std::max<uint32_t>(1, settings_.SampleClock);
  // 1. The file's first data page sets its parameters.
  if (firstDataPage || !haveParameters_) {
    const uint32_t d = DecimationOf(page);
    FileSetup.ChannelCode = page[kChannelsByte];
    FileSetup.SampleRate = static_cast<uint16_t>(clock / d);
    FileSetup.ChannelMask = page[kMaskByte];
    TakePageParameters(page);
    TakeAmounts(page);
    Log(FormatText("    ...%04u Гц  %u k;  буфер %u bt    file: %uKbt - %uмин", clock / d, pageChannels_,
                   flushAmount_, FileKb(), FileLengthMinutes()));
    if (settings_.HighPassIndex != 0) DesignFilter();
    fileCounter_ = 0;
    prevPageTime_ = PageTimeOf(page) - ticksPerPage_;
    const int64_t position = int64_t{PositionTicks(page)} - ticksPerPage_;
    prevPosition_ = static_cast<uint32_t>(position > 0 ? position : int64_t{clock} - ticksPerPage_);
    if (FileOpen()) Log("\n\n                                     ФАЙЛ ОТКРЫТ!!!!!!!!!\n\n");
  }
  const uint32_t rate = std::max<uint32_t>(1, clock / decimation_);
  // 2. A new file of the entry.
  if (!FileOpen()) {
    const uint32_t n = static_cast<uint32_t>(uint64_t{fileCounter_} * fileAmount_ / pageChannels_ / rate);
    if (entry.StartTime + n != SecondOf(page)) {
      Log(FormatText("\n Open_File error: %u = %u * %llu / %u / %u", n, fileCounter_,
                     static_cast<unsigned long long>(fileAmount_), pageChannels_, rate));
      Log(FormatText("\n Open_File error: %u + %u - %u = %u", entry.StartTime, n, SecondOf(page),
                     entry.StartTime + n - SecondOf(page)));
    }
    ++fileCounter_;
    if (!OpenDataFile(p, entry.Correction, page)) return PageResult::Failed;
    if (shown_) shown_(fileName_);
  }
  // 3.
  Sequence.PrevCode = Sequence.Code;
  Sequence.PrevSerial = Sequence.Serial;
  // 4. Parameters of a FAT file never change within it.
  if (Differs(page, savedHeader_,
              {kChannelsByte, kFileNumberByte, kValuesByte, kDecimationA, kDecimationB})) {
    if (!CloseDataFile(p - 1)) return PageResult::Failed;
    Log("       Сменились параметры записи; ");
    return PageResult::Finish;
  }
  // 5. Continuity.
  const int64_t pageTime = PageTimeOf(page);
  const int64_t gap = pageTime - prevPageTime_ - ticksPerPage_;
  if (gap != 0) {
    if (!CloseDataFile(p - 1)) return PageResult::Failed;
    Log(FormatText("     разрыв с новым блоком %.5f сек", static_cast<double>(gap) / clock));
    return PageResult::Finish;
  }
  // 6. Samples.
  if (!AppendSamples(page, filterOn_ && settings_.HighPassIndex != 0)) return PageResult::Failed;
  prevPageTime_ = pageTime;
  prevPosition_ = PositionTicks(page);
  // 7. File length.
  if (written_ >= fileAmount_) {
    if (written_ != fileAmount_)
      Log(FormatText("\n       бл. %u;   !!!!!!!!!!!!!  me/dl_buf_zap = %u/%u  mecto/dl_file %llu/%llu ",
                     p + 1, fill_, flushAmount_, static_cast<unsigned long long>(written_),
                     static_cast<unsigned long long>(fileAmount_)));
    if (!CloseDataFile(p)) return PageResult::Failed;
  }
  return PageResult::Accepted;
}

}  // namespace acquisition
