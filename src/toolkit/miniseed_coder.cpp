#include "toolkit/miniseed_coder.h"

#include <libmseed.h>

#include <cstdlib>
#include <cstring>

#include "toolkit/civil_date.h"
#include "toolkit/format_text.h"
#include "toolkit/recording_file.h"
#include "toolkit/seed_codes.h"

namespace toolkit {

namespace {

// What the record handler writes to, and whether a write fell short.
struct RecordSink {
  std::FILE* file = nullptr;
  bool failed = false;
};

void WriteRecord(char* record, int length, void* data) {
  auto* sink = static_cast<RecordSink*>(data);
  if (sink->failed) return;
  if (length <= 0 || std::fwrite(record, static_cast<size_t>(length), 1, sink->file) != 1) sink->failed = true;
}

void CopyCode(char (&field)[11], const std::string& code) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, code.data(), std::min(code.size(), sizeof field - 1));
}

}  // namespace

MiniSEEDCoder::MiniSEEDCoder() = default;

MiniSEEDCoder::~MiniSEEDCoder() {
  // Files left open were never filled (their samples are written by Close): nothing of them is kept.
  for (Output& out : outputs_) {
    if (out.file != nullptr) {
      std::fclose(out.file);
      std::remove(out.path.c_str());
    }
    if (out.trace != nullptr) mst_free(&out.trace);
  }
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
  Fail(what + (made_.empty() ? std::string() : "; записанные файлы удалены"));
  for (Output& out : outputs_) {
    if (out.file != nullptr) std::fclose(out.file);
    out.file = nullptr;
    out.buffer = {};
  }
  for (const std::string& path : made_) std::remove(path.c_str());
  made_.clear();
  open_ = pending_ = false;
  return false;
}

bool MiniSEEDCoder::Open() {
  if (failed_) return false;
  if (channels_ < 1) return Abort("miniseed: число каналов не задано");
  if (rate_ == 0) return Abort("miniseed: частота 0");
  if (open_) Close();
  if (failed_) return false;
  buffered_ = 0;
  fileSeconds_ = seconds_;
  fileIndex_ = index_;
  // A period lasts period x rate samples: reserve them, up to the size of one day at 1 kHz.
  const uint64_t expected = std::min<uint64_t>(uint64_t(period_) * rate_, 86'400'000);
  for (int c = 0; c < channels_; ++c) {
    Output& out = outputs_[static_cast<size_t>(c)];
    out.path = MakeFileName(c);
    out.file = std::fopen(out.path.c_str(), "wb");
    if (out.file == nullptr) return Abort("miniseed: не удалось создать файл " + out.path);
    made_.push_back(out.path);
    out.buffer.clear();
    out.buffer.reserve(expected);
  }
  open_ = true;
  pending_ = false;
  return true;
}

bool MiniSEEDCoder::AddSample(const int32_t* values) {
  if (failed_) return false;
  if (pending_ && !Open()) return false;
  if (!open_) return Abort("miniseed: отсчёт до открытия файлов");
  for (int c = 0; c < channels_; ++c) {
    const int32_t v = values[c];
    if (v <= -kSampleLimit || v >= kSampleLimit)
      return Abort(FormatText("miniseed: отсчёт %d канала %d вне пределов +-2^30", v, c));
    outputs_[static_cast<size_t>(c)].buffer.push_back(v);
  }
  if (++index_ >= rate_) {
    ++seconds_;
    index_ = 0;
  }
  ++buffered_;
  if (uint64_t(period_) * rate_ <= buffered_) {
    if (!Close()) return false;
    pending_ = true;  // the next sample starts the next period's files
  }
  return true;
}

bool MiniSEEDCoder::Close() {
  if (failed_) return false;
  if (!open_) return true;
  return Flush();
}

int64_t MiniSEEDCoder::StartMicroseconds() const {
  // Sample fileIndex_ of second fileSeconds_, shifted by the offset, to the nearest microsecond:
  // (index x 256e6 + offset) / (rate x 256) us.
  const int64_t den = int64_t{rate_} * 256;
  const int64_t num = int64_t{fileIndex_} * kTicksPerSecond + offset_;
  return FloorDiv(2 * num + den, 2 * den);
}

bool MiniSEEDCoder::Flush() {
  for (Output& out : outputs_)
    if (!PackChannel(out)) return false;
  open_ = false;
  return true;
}

bool MiniSEEDCoder::PackChannel(Output& out) {
  const int64_t n = static_cast<int64_t>(out.buffer.size());
  if (n == 0) {  // no samples: no file
    std::fclose(out.file);
    out.file = nullptr;
    std::remove(out.path.c_str());
    std::erase(made_, out.path);
    return true;
  }
  const size_t c = static_cast<size_t>(&out - outputs_.data());
  if (out.trace != nullptr) mst_free(&out.trace);
  out.trace = mst_init(nullptr);
  if (out.trace == nullptr) return Abort("miniseed: нет памяти для трассы");
  const std::vector<std::string> codes = SeedChannelCodes(names_);
  CopyCode(out.trace->network, "SD");
  CopyCode(out.trace->station, SeedStationCode(station_));
  CopyCode(out.trace->channel, codes[c]);
  auto* data = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * static_cast<size_t>(n)));
  if (data == nullptr) return Abort("miniseed: нет памяти для отсчётов");
  std::memcpy(data, out.buffer.data(), sizeof(int32_t) * static_cast<size_t>(n));
  out.buffer = {};
  out.trace->datasamples = data;  // libmseed frees it once every sample is packed
  out.trace->numsamples = n;
  out.trace->samplecnt = n;
  out.trace->sampletype = 'i';
  out.trace->samprate = rate_;
  const CivilDateTime t = CivilFromSeconds(fileSeconds_, kDayUnixEpoch);
  const int dayOfYear = static_cast<int>(DaysFromCivil(t.Date) - DaysFromCivil({t.Date.Year, 1, 1}) + 1);
  out.trace->starttime = ms_time2hptime(t.Date.Year, dayOfYear, static_cast<int>(t.Time.Hour),
                                        static_cast<int>(t.Time.Minute), static_cast<int>(t.Time.Second), 0) +
                         StartMicroseconds();
  // Blockette 1001 carries the microseconds the fixed header's 1/10000 s cannot.
  MSRecord* layout = msr_init(nullptr);
  blkt_1001_s b1001{};
  if (layout == nullptr ||
      msr_addblockette(layout, reinterpret_cast<char*>(&b1001), sizeof b1001, 1001, 0) == nullptr) {
    msr_free(&layout);
    return Abort("miniseed: нет памяти для записи");
  }
  // With a layout record given, libmseed takes the codes from it.
  std::memcpy(layout->network, out.trace->network, sizeof layout->network);
  std::memcpy(layout->station, out.trace->station, sizeof layout->station);
  std::memcpy(layout->location, out.trace->location, sizeof layout->location);
  std::memcpy(layout->channel, out.trace->channel, sizeof layout->channel);
  layout->dataquality = 'D';
  RecordSink sink{out.file, false};
  int64_t packed = 0;
  const int records =
      mst_pack(out.trace, WriteRecord, &sink, kRecordLength, DE_STEIM1, 1, &packed, 1, 0, layout);
  msr_free(&layout);
  if (sink.failed) return Abort("miniseed: ошибка записи файла " + out.path);
  if (records < 0 || packed != n)
    return Abort(FormatText("miniseed: упаковано %lld из %lld отсчётов, файл %s", static_cast<long long>(packed),
                            static_cast<long long>(n), out.path.c_str()));
  std::FILE* f = out.file;
  out.file = nullptr;
  if (std::fclose(f) != 0) return Abort("miniseed: ошибка записи файла " + out.path);
  return true;
}

}  // namespace toolkit
