#include "toolkit/miniseed_coder.h"

#include <libmseed.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/output_file.h"
#include "toolkit/civil_date.h"
#include "toolkit/format_text.h"
#include "toolkit/recording_file.h"
#include "toolkit/seed_codes.h"

namespace toolkit {

namespace {

// Samples gathered per channel before whole records are packed of them.
constexpr int64_t kChunk = 1 << 16;

// What the record handler writes to, and whether a write fell short.
struct RecordSink {
  std::FILE* file = nullptr;
  bool failed = false;
};

void WriteRecord(char* record, int length, void* data) {
  auto* sink = static_cast<RecordSink*>(data);
  if (sink->failed) return;
  if (length <= 0 || std::fwrite(record, static_cast<size_t>(length), 1, sink->file) != 1)
    sink->failed = true;
}

void CopyCode(char (&field)[11], const std::string& code) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, code.data(), std::min(code.size(), sizeof field - 1));
}

}  // namespace

MiniSEEDCoder::MiniSEEDCoder() = default;

MiniSEEDCoder::~MiniSEEDCoder() {
  // Files still open were never finished by Close: nothing of them is kept.
  for (Output& out : outputs_) {
    out.file.reset();
    Release(out);
  }
}

void MiniSEEDCoder::Release(Output& out) {
  if (out.trace != nullptr) mst_free(&out.trace);  // frees the samples with it
  if (out.layout != nullptr) msr_free(&out.layout);
  out.capacity = 0;
}

bool MiniSEEDCoder::SetChannelCount(int n) {
  if (failed_) return false;
  if (n < 1 || n > kMaxChannels || open_) {
    failed_ = true;
    Fail(FormatText("miniseed: число каналов %d (допустимо от 1 до %d)", n, kMaxChannels));
    return false;
  }
  channels_ = n;
  names_.resize(static_cast<size_t>(n));
  outputs_.resize(static_cast<size_t>(n));
  return true;
}

void MiniSEEDCoder::SetChannelName(int c, const std::string& code) {
  if (c >= 0 && c < channels_) names_[static_cast<size_t>(c)] = code;
}

std::string MiniSEEDCoder::GetChannelName(int c) const {
  return c >= 0 && c < channels_ ? names_[static_cast<size_t>(c)] : std::string();
}

void MiniSEEDCoder::SetSampleRate(uint32_t rate) {
  rate_ = rate;
  if (!failed_ && rate > kMaxRate) Abort(FormatText("miniseed: частоту %u Гц запись не передаст точно", rate));
}

void MiniSEEDCoder::SetTimeMark(int64_t seconds, uint32_t index, int64_t markTicks) {
  offset_ = 0;
  if (rate_ > 0) {
    if (markTicks >= 0) offset_ = markTicks * int64_t{rate_} - int64_t{index} * kTicksPerSecond;
    seconds += index / rate_;
    index %= rate_;
  }
  seconds_ = markSeconds_ = seconds;
  index_ = markIndex_ = index;
  markBuffered_ = buffered_;
}

std::string MiniSEEDCoder::MakeFileName(int c) const {
  const CivilDateTime t = CivilFromSeconds(seconds_, kDayUnixEpoch);
  const std::string name = FormatText("%d-%u-%u-%u-%u-%u-%d.mseed", t.Date.Year, t.Date.Month, t.Date.Day,
                                      t.Time.Hour, t.Time.Minute, t.Time.Second, c);
  return outputDir_.empty() ? name : outputDir_ + "/" + name;
}

bool MiniSEEDCoder::Abort(const std::string& what) {
  failed_ = true;
  const bool begun =
      std::any_of(outputs_.begin(), outputs_.end(), [](const Output& o) { return o.file != nullptr; });
  Fail(what + (made_.empty() && !begun ? std::string() : "; записанные файлы удалены"));
  for (Output& out : outputs_) {
    out.file.reset();  // its temporary goes with it
    Release(out);
  }
  for (const std::string& path : made_) std::remove(path.c_str());
  made_.clear();
  open_ = pending_ = false;
  return false;
}

int64_t MiniSEEDCoder::SampleTime(int64_t j) const {
  // (index + j) periods plus the offset from the grid: ((index + j) x 256e6 + offset) / (rate x 256) us,
  // to the nearest microsecond.
  const int64_t den = int64_t{rate_} * 256;
  const int64_t num = (int64_t{fileIndex_} + j) * kTicksPerSecond + offset_;
  return fileStartUs_ + FloorDiv(2 * num + den, 2 * den);
}

bool MiniSEEDCoder::Open() {
  if (failed_) return false;
  if (channels_ < 1) return Abort("miniseed: число каналов не задано");
  if (rate_ == 0) return Abort("miniseed: частота 0");
  if (rate_ > kMaxRate) return Abort(FormatText("miniseed: частоту %u Гц запись не передаст точно", rate_));
  if (!outputDirRefusal_.empty()) return Abort("miniseed: " + outputDirRefusal_);
  if (open_ && !Close()) return false;
  buffered_ = 0;
  fileSeconds_ = seconds_;
  fileIndex_ = index_;
  const CivilDateTime t = CivilFromSeconds(fileSeconds_, kDayUnixEpoch);
  const int dayOfYear = static_cast<int>(DaysFromCivil(t.Date) - DaysFromCivil({t.Date.Year, 1, 1}) + 1);
  fileStartUs_ = ms_time2hptime(t.Date.Year, dayOfYear, static_cast<int>(t.Time.Hour),
                                static_cast<int>(t.Time.Minute), static_cast<int>(t.Time.Second), 0);
  // libmseed's readers take records of the years 1900 ... 2100 only; ms_time2hptime fails before 1800.
  if (!MS_ISVALIDYEARDAY(t.Date.Year, dayOfYear) || fileStartUs_ == HPTERROR) {
    return Abort(FormatText("miniseed: время %d-%u-%u %02u:%02u:%02u в записи не передать", t.Date.Year,
                            t.Date.Month, t.Date.Day, t.Time.Hour, t.Time.Minute, t.Time.Second));
  }
  const std::vector<std::string> codes = SeedChannelCodes(names_);
  const std::string station = SeedStationCode(station_);
  for (int c = 0; c < channels_; ++c) {
    Output& out = outputs_[static_cast<size_t>(c)];
    Release(out);
    out.trace = mst_init(nullptr);
    out.layout = msr_init(nullptr);
    auto* samples = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * kChunk));
    // Blockette 1001 carries the microseconds the fixed header's 1/10000 s cannot.
    blkt_1001_s b1001{};
    if (out.trace == nullptr || out.layout == nullptr || samples == nullptr ||
        msr_addblockette(out.layout, reinterpret_cast<char*>(&b1001), sizeof b1001, 1001, 0) == nullptr) {
      std::free(samples);
      return Abort("miniseed: нет памяти для отсчётов");
    }
    out.trace->datasamples = samples;
    out.trace->sampletype = 'i';
    out.trace->samprate = rate_;
    out.capacity = kChunk;
    out.packed = 0;
    // libmseed takes the codes of the records from the layout record.
    CopyCode(out.layout->network, "SD");
    CopyCode(out.layout->station, station);
    CopyCode(out.layout->channel, codes[static_cast<size_t>(c)]);
    out.layout->dataquality = 'D';
    std::memcpy(out.trace->network, out.layout->network, sizeof out.trace->network);
    std::memcpy(out.trace->station, out.layout->station, sizeof out.trace->station);
    std::memcpy(out.trace->channel, out.layout->channel, sizeof out.trace->channel);
    out.path = MakeFileName(c);
    // An export never replaces a file (two stations with the same start share names) nor writes
    // through a link: a name already taken refuses the export, naming the file.
    platform::OutputError why;
    out.file = std::make_unique<platform::NewWholeFile>();
    if (!out.file->Open(out.path, &why)) {
      out.file.reset();
      return Abort("miniseed: не удалось создать файл. " + why.text);
    }
  }
  open_ = true;
  pending_ = false;
  return true;
}

bool MiniSEEDCoder::Pack(Output& out, bool all) {
  MSTrace* trace = out.trace;
  const int64_t n = trace->numsamples;
  if (n == 0) return true;
  trace->samplecnt = n;
  trace->starttime = SampleTime(out.packed);
  RecordSink sink{out.file->get(), false};
  int64_t packed = 0;
  const int records =
      mst_pack(trace, WriteRecord, &sink, kRecordLength, DE_STEIM1, 1, &packed, all ? 1 : 0, 0, out.layout);
  if (sink.failed) return Abort("miniseed: ошибка записи файла " + out.path);
  if (records < 0 || packed < 0 || packed > n || (all && packed != n))
    return Abort(FormatText("miniseed: упаковано %lld из %lld отсчётов, файл %s",
                            static_cast<long long>(packed), static_cast<long long>(n), out.path.c_str()));
  out.packed += packed;
  // libmseed moves the samples left over to the start of an array cut to their size (or frees it when
  // none are left): room for a chunk again.
  if (all) return true;
  void* grown = std::realloc(trace->datasamples, sizeof(int32_t) * kChunk);
  if (grown == nullptr) return Abort("miniseed: нет памяти для отсчётов");
  trace->datasamples = grown;
  out.capacity = kChunk;
  return true;
}

bool MiniSEEDCoder::AddSamples(const int32_t* frames, size_t count) {
  const int32_t* starts[kMaxChannels];
  for (int c = 0; c < channels_; ++c) starts[c] = frames + c;
  return Append(starts, static_cast<size_t>(channels_), count);
}

bool MiniSEEDCoder::AddColumns(const int32_t* const* columns, size_t count) {
  const int32_t* starts[kMaxChannels];
  std::copy(columns, columns + channels_, starts);
  return Append(starts, 1, count);
}

bool MiniSEEDCoder::Append(const int32_t* const* columns, size_t stride, size_t count) {
  const uint64_t period = uint64_t(period_) * rate_;
  const size_t n = static_cast<size_t>(channels_);
  const int32_t* starts[kMaxChannels];
  std::copy(columns, columns + n, starts);
  while (count > 0) {
    if (failed_) return false;
    if (pending_ && !Open()) return false;
    if (!open_) return Abort("miniseed: отсчёт до открытия файлов");
    const size_t k = static_cast<size_t>(std::min<uint64_t>(count, period - buffered_));
    for (size_t c = 0; c < n; ++c) {
      Output& out = outputs_[c];
      const int32_t* from = starts[c];
      for (size_t done = 0; done < k;) {
        if (out.trace->numsamples == out.capacity && !Pack(out, false)) return false;
        auto* to = static_cast<int32_t*>(out.trace->datasamples) + out.trace->numsamples;
        const size_t step =
            std::min<size_t>(k - done, static_cast<size_t>(out.capacity - out.trace->numsamples));
        for (size_t i = 0; i < step; ++i) {
          const int32_t v = from[(done + i) * stride];
          if (v <= -kSampleLimit || v >= kSampleLimit)
            return Abort(FormatText("miniseed: отсчёт %d канала %zu вне пределов +-2^30", v, c));
          to[i] = v;
        }
        out.trace->numsamples += static_cast<int64_t>(step);
        done += step;
      }
    }
    for (size_t c = 0; c < n; ++c) starts[c] += k * stride;
    count -= k;
    const uint64_t index = uint64_t{index_} + k;
    seconds_ += static_cast<int64_t>(index / rate_);
    index_ = static_cast<uint32_t>(index % rate_);
    buffered_ += k;
    if (period <= buffered_) {
      if (!Close()) return false;
      pending_ = true;  // the next sample starts the next period's files
    }
  }
  return !failed_;
}

bool MiniSEEDCoder::CloseFile(Output& out) {
  if (out.packed + out.trace->numsamples == 0) {  // no samples: no file
    out.file.reset();
    return true;
  }
  if (!Pack(out, true)) return false;
  platform::OutputError why;
  const bool whole = out.file->Commit(&why);
  if (whole || out.file->InPlace()) made_.push_back(out.path);
  out.file.reset();
  if (!whole)
    return Abort("miniseed: ошибка записи файла " + out.path + " (" + std::strerror(why.code) + ")");
  return true;
}

bool MiniSEEDCoder::Close() {
  if (failed_) return false;
  if (!open_) return true;
  for (Output& out : outputs_)
    if (!CloseFile(out)) return false;
  open_ = false;
  return true;
}

}  // namespace toolkit
