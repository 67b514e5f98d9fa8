#include "acquisition/live_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <numbers>

#include "acquisition/channel_header.h"
#include "platform/cp1251.h"
#include "platform/output_file.h"
#include "recorder/recorder_time.h"
#include "recorder/session_texts.h"
#include "toolkit/civil_date.h"
#include "toolkit/format_text.h"

namespace acquisition {

namespace fs = std::filesystem;
using toolkit::FloorDiv;
using toolkit::FloorMod;
using toolkit::FormatText;

unsigned ValuesPerChannel(const recorder::CardPageHeader& h) {
  return h.ValueCount / (h.ChannelsMinus1 + 1u);
}

int64_t BlockStartSamples(const recorder::CardPageHeader& h, uint64_t rate) {
  return (int64_t{h.Second} + recorder::kUnitEpochFrom1899) * static_cast<int64_t>(rate) + h.Position;
}

int64_t StartTicksOfSamples(int64_t samples, uint64_t rate) {
  const int64_t r = static_cast<int64_t>(rate);
  const int64_t since1980 = samples - toolkit::kSecondsFrom1899To1980 * r;
  return FloorDiv(since1980, r) * toolkit::kTicksPerSecond +
         FloorMod(since1980, r) * toolkit::kTicksPerSecond / r;
}

LiveWriter::LiveWriter(LiveWriterSetup setup, LiveCounters& counters)
    : setup_(std::move(setup)), counters_(counters) {
  const recorder::YSTANOV& s = setup_.Setup;
  n_ = setup_.Channels.Count;
  rate_ = s.SampleRate;
  fileSamples_ = s.FileMinutes == 0 ? static_cast<uint32_t>(rate_ * 3600)
                                    : static_cast<uint32_t>(rate_ * s.FileMinutes * 60);
  const unsigned points = s.SmoothPoints == 0 ? 1u : s.SmoothPoints;
  smoothGain_ = 1.0 / points;
  smoothKeep_ = 1.0 - smoothGain_;

  header_.Channels = static_cast<uint16_t>(n_);
  header_.Format = toolkit::kCurrentFormat;
  header_.Reserved12 = 12;
  header_.Bits = 24;
  header_.Rate = s.SampleRate;
  header_.Mark1 = 0x5566;
  header_.Mark2 = 0x7788;
  header_.SyncDt = 0.0;
  toolkit::SetFieldText(header_.Station, recorder::StationName(s));

  channelHeaders_.resize(n_);
  for (unsigned i = 0; i < n_; ++i) {
    const uint8_t c = setup_.Channels.Numbers[i] & 7;
    channelHeaders_[i] = RecorderChannelHeader(s, c, c);
  }
  level_.assign(n_, 0.0);
  hits_.assign(n_, 0);
  windowPeak_.assign(n_, 0.0);
  filePeak_.assign(n_, 0.0);
  counters_.SetLiveFileName(kNoLiveFile);
  counters_.SetLastEventFile(kNoLiveFile);
  counters_.EventCount = 0;
  counters_.EventFileCount = 0;
  counters_.FileSeconds = 0.0;
}

LiveWriter::~LiveWriter() { CloseLiveFile(); }

void LiveWriter::Log(const std::string& text) const {
  if (setup_.Log) setup_.Log(text);
}

void LiveWriter::Tell(const std::string& text) {
  if (failureTold_) return;
  failureTold_ = true;
  if (setup_.Tell) setup_.Tell(text);
}

int64_t LiveWriter::BlockSeconds() const { return FloorDiv(blockSamples_, static_cast<int64_t>(rate_)); }

void LiveWriter::Prime(const recorder::CardPageHeader& first) {
  prevPerChannel_ = ValuesPerChannel(first);
  blockSamples_ = BlockStartSamples(first, rate_) - prevPerChannel_;
  primed_ = false;
}

bool LiveWriter::CheckLiveTime(const recorder::CardPageHeader& h) {
  prevBlockSamples_ = blockSamples_;
  blockSamples_ = BlockStartSamples(h, rate_);
  const int64_t r = static_cast<int64_t>(rate_);
  counters_.BlockSeconds = BlockSeconds();
  counters_.BlockDateTime = static_cast<double>(blockSamples_) / static_cast<double>(r * 86400);
  const int64_t gap = blockSamples_ - prevBlockSamples_ - prevPerChannel_;
  prevPerChannel_ = ValuesPerChannel(h);
  bool close = false;
  if (gap != 0 && primed_) {
    close = true;
    Log(FormatText("время! %s,%05d;  Tcт: %s,%05d;   dt=%.5f c.",
                   recorder::DateTimeText(BlockSeconds()).c_str(),
                   static_cast<int>(FloorMod(blockSamples_, r) * 100000 / r),
                   recorder::DateTimeText(FloorDiv(prevBlockSamples_, r)).c_str(),
                   static_cast<int>(FloorMod(prevBlockSamples_, r) * 100000 / r),
                   static_cast<double>(gap) / static_cast<double>(r)));
  }
  primed_ = true;
  counters_.CloseFlag = close;
  return close;
}

void LiveWriter::CheckEvent(std::span<const int32_t> samples) {
  if (n_ == 0) return;
  const size_t rows = samples.size() / n_;
  for (size_t row = 0; row < rows; ++row) {
    for (unsigned i = 0; i < n_; ++i) {
      const uint8_t c = setup_.Channels.Numbers[i] & 7;
      level_[i] = smoothGain_ * samples[row * n_ + i] + smoothKeep_ * level_[i];
      const double a = std::fabs(level_[i]);
      if (a > setup_.Setup.Thresholds[c]) {
        ++hits_[i];
        if (a > windowPeak_[i]) windowPeak_[i] = a;
      }
    }
    if (++windowRows_ >= setup_.Setup.EventWindow) {
      windowRows_ = 0;
      unsigned k = 0;
      for (unsigned i = 0; i < n_; ++i) {
        if (hits_[i] != 0) ++k;
        hits_[i] = 0;
        if (windowPeak_[i] > filePeak_[i]) filePeak_[i] = windowPeak_[i];
        windowPeak_[i] = 0.0;
      }
      if (k >= setup_.Setup.EventChannels) ++events_;
    }
  }
  counters_.EventCount = static_cast<uint32_t>(events_);
}

void LiveWriter::OpenFile() {
  const int64_t seconds = BlockSeconds();
  const toolkit::CivilDateTime t = toolkit::CivilFromSeconds(seconds);
  header_.Day = static_cast<uint16_t>(t.Date.Day);
  header_.Month = static_cast<uint16_t>(t.Date.Month);
  header_.Year = static_cast<uint16_t>(t.Date.Year);
  if (t.Date.Day != lastDay_) {
    lastDay_ = static_cast<uint16_t>(t.Date.Day);
    dirName_ = (fs::path(setup_.DataDir) / FormatText("_%02u_%02u", t.Date.Month, t.Date.Day)).string();
    Log(dirName_ + "         * * *");
  }
  // The day directory is made when missing; a link planted at its name, a plain file there or another
  // user's directory is refused and never written through. Each next block tries again.
  if (const std::string refusal = recorder::PrepareDataDirectory(dirName_); !refusal.empty()) {
    Log(refusal);
    Tell(refusal);
    return;
  }
  const std::string base =
      FormatText("%02u%02u%02u.%u", t.Date.Day, t.Time.Hour, t.Time.Minute, t.Time.Second / 10);
  // A file of the same ten seconds (after a gap) or left from an earlier run keeps its samples.
  fileName_ = platform::FreeName((fs::path(dirName_) / base).string());
  shortName_ = fs::path(fileName_).filename().string();
  counters_.SetLiveFileName(shortName_);
  Log("      *" + fileName_);

  const int64_t r = static_cast<int64_t>(rate_);
  header_.Format = setup_.OldFormat ? 1 : toolkit::kCurrentFormat;
  header_.dt = 1.0 / static_cast<double>(rate_);
  header_.to = static_cast<double>(FloorMod(blockSamples_, r * 86400)) / static_cast<double>(r);
  float lat = 0, lon = 0;
  if (setup_.Position) setup_.Position(lat, lon);
  header_.Latitude = lat * 180.0 / std::numbers::pi;
  header_.Longitude = lon * 180.0 / std::numbers::pi;
  header_.StartTicks = StartTicksOfSamples(blockSamples_, rate_);

  samplesInFile_ = 0;
  const int fd = platform::CreateNewFd(fileName_);
  if (fd < 0) {
    Log("err open " + fileName_);
    Tell(kLiveCreateFailed + fileName_);
    return;
  }
  fd_ = fd;
  const size_t headers = toolkit::HeadersSize(static_cast<uint16_t>(n_));
  std::vector<char> bytes(headers);
  std::memcpy(bytes.data(), &header_, sizeof header_);
  std::memcpy(bytes.data() + sizeof header_, channelHeaders_.data(), n_ * sizeof(toolkit::CHANNEL_HEADER));
  const size_t written = WriteAll(bytes.data(), bytes.size());
  if (written != headers) {
    AbandonFile(written);
    return;
  }
  for (double& p : windowPeak_) p = 0.0;
}

size_t LiveWriter::WriteAll(const void* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const char* from = static_cast<const char*>(data) + done;
    const long got = setup_.WriteBytes ? setup_.WriteBytes(fd_, from, size - done)
                                       : static_cast<long>(::write(fd_, from, size - done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

void LiveWriter::AbandonFile(uint64_t bytesInFile) {
  Log("err wri");
  // Only whole frames the disk took stay in the file: never a sample that was not written.
  const uint64_t headers = toolkit::HeadersSize(static_cast<uint16_t>(n_));
  const uint64_t frame = uint64_t{n_} * sizeof(int32_t);
  const uint64_t frames = bytesInFile > headers ? (bytesInFile - headers) / frame : 0;
  const bool truncated = ::ftruncate(fd_, static_cast<off_t>(headers + frames * frame)) == 0;
  ::close(fd_);
  fd_ = -1;
  samplesInFile_ = static_cast<uint32_t>(frames);
  Tell(kLiveWriteFailed + fileName_);
  if (frames == 0 || !truncated) {
    // A file without samples (or that could not be cut to them) is neither kept, renamed nor counted.
    ::unlink(fileName_.c_str());
    FinishFile(false);
    return;
  }
  counters_.FileSeconds = static_cast<double>(samplesInFile_) / static_cast<double>(rate_);
  // What was written is kept, under its event name when it held events.
  FinishFile(true);
}

bool LiveWriter::WriteLiveBlock(std::span<const int32_t> samples) {
  if (n_ == 0) return false;
  const size_t count = samples.size() / n_ * n_;
  if (fd_ < 0) OpenFile();
  if (fd_ < 0) return false;
  const uint64_t before =
      toolkit::HeadersSize(static_cast<uint16_t>(n_)) + uint64_t{samplesInFile_} * n_ * sizeof(int32_t);
  const size_t bytes = count * sizeof(int32_t);
  const size_t written = WriteAll(samples.data(), bytes);
  if (written != bytes) {
    samplesInFile_ = 0;
    AbandonFile(before + written);
    return false;
  }
  samplesInFile_ += static_cast<uint32_t>(count / n_);
  counters_.FileSeconds = static_cast<double>(samplesInFile_) / static_cast<double>(rate_);
  failureTold_ = false;
  if (samplesInFile_ >= fileSamples_) CloseLiveFile();
  return true;
}

void LiveWriter::CloseLiveFile() {
  const bool open = fd_ >= 0;
  if (open) {
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!closed) {
      Log("err wri");
      Tell(kLiveWriteFailed + fileName_);
    }
  }
  FinishFile(open);
}

void LiveWriter::FinishFile(bool hadFile) {
  {
    if (hadFile && events_ != 0) {
      const std::string target = platform::RenameToFreeName(fileName_, fileName_ + "!");
      if (target.empty()) {
        Log("err rename " + fileName_);
      } else {
        fileName_ = target;
        shortName_ = fs::path(target).filename().string();
      }
      counters_.SetLastEventFile(shortName_);
      ++eventFiles_;
      double best = -1.0;
      unsigned bestChannel = 0;
      for (unsigned i = 0; i < n_; ++i) {
        const uint8_t c = setup_.Channels.Numbers[i] & 7;
        if (setup_.Setup.Thresholds[c] == 0) setup_.Setup.Thresholds[c] = 1;
        const double ratio = filePeak_[i] / setup_.Setup.Thresholds[c];
        if (ratio > best) {
          best = ratio;
          bestChannel = c;
        }
      }
      Log(FormatText("%04d / %s: мах превышениe %.1f раза в канале %s", eventFiles_, shortName_.c_str(), best,
                     platform::FieldToTextLine(setup_.Setup.ChannelNames[bestChannel]).c_str()));
    }
  }
  // The peak of the next file starts afresh.
  for (double& p : filePeak_) p = 0.0;
  samplesInFile_ = 0;
  counters_.EventFileCount = eventFiles_;
  events_ = 0;
}

std::unique_ptr<LiveWriter> OpenLiveWriter(LiveWriterSetup setup, LiveCounters& counters, std::string* why) {
  const char* reason = nullptr;
  if (setup.Channels.Count == 0 || setup.Channels.Count > 8) reason = "нет каналов для записи";
  if (setup.Setup.SampleRate == 0) reason = "частота дискретизации 0";
  if (reason != nullptr) {
    if (why) *why = reason;
    return nullptr;
  }
  return std::make_unique<LiveWriter>(std::move(setup), counters);
}

void DeleteLiveWriter(std::unique_ptr<LiveWriter>& writer) {
  if (writer) writer->CloseLiveFile();
  writer.reset();
}

}  // namespace acquisition
