#include "acquisition/live_reception.h"

#include <algorithm>
#include <cstring>

#include "acquisition/download_writer.h"
#include "platform/clock.h"
#include "recorder/card_sum.h"
#include "recorder/frames.h"
#include "recorder/recorder_time.h"
#include "recorder/unit_commands.h"
#include "recorder/work_log.h"
#include "toolkit/format_text.h"

namespace acquisition {

using toolkit::FormatText;

namespace {

constexpr uint32_t kEndPauseMs = 100;
// A serial that far or farther ahead lies behind: the block came again.
constexpr uint16_t kMostNamedGap = 0x8000;

std::string UnitDateTime(uint32_t unitSeconds) {
  return recorder::DateTimeText(int64_t{unitSeconds} + recorder::kUnitEpochFrom1899);
}

}  // namespace

std::vector<std::string> DumpLines(const uint8_t* page, unsigned values, unsigned channels, bool decimal) {
  std::vector<std::string> lines;
  if (channels == 0) return lines;
  const unsigned rows = values / channels;
  for (unsigned row = 0; row < rows; ++row) {
    std::string line = FormatText("%03u:  ", row);
    for (unsigned c = 0; c < channels; ++c) {
      const unsigned k = row * channels + c;
      const uint8_t* b = page + recorder::kCardPageHeaderSize + 3 * k;
      line += decimal ? FormatText("%07d  ", PageSample(page, k))
                      : FormatText("%02x %02x %02x  ", b[0], b[1], b[2]);
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

std::string HeaderBytesText(const uint8_t* bytes, unsigned count) {
  std::string text;
  for (unsigned i = 0; i < count; ++i) {
    if (i) text += ' ';
    text += FormatText("%02x", bytes[i]);
  }
  return text;
}

th_work::th_work(recorder::UnitLink& link, LiveShared& shared, LiveCounters& counters,
                 LiveReceptionSetup setup, LiveView view)
    : link_(link), shared_(shared), counters_(counters), setup_(std::move(setup)), view_(std::move(view)) {
  // The thread and its file writer log to the program's work log unless told otherwise.
  if (!setup_.Writer.Log) setup_.Writer.Log = [](const std::string& text) { recorder::WriteLog(text); };
  channels_ = std::max<unsigned>(1, setup_.Writer.Channels.Count);
  columnValues_ = static_cast<int32_t>(channels_ * 2);
  extremes_.assign(channels_, Extreme{});
  smoothed_.assign(channels_, 0.0);
  blockSamples_.assign(recorder::kMaxPageValues, 0);
}

th_work::~th_work() {
  thread_.request_stop();
  if (thread_.joinable()) thread_.join();
}

void th_work::Start(std::function<void()> onTerminate) {
  thread_ = std::jthread([this, onTerminate = std::move(onTerminate)](std::stop_token token) {
    Execute(token);
    if (onTerminate) onTerminate();
  });
}

void th_work::Terminate() { thread_.request_stop(); }

void th_work::Log(const std::string& text) const {
  if (setup_.Writer.Log) setup_.Writer.Log(text);
}

void th_work::SetSmoothing(int32_t points) {
  smoothPoints_ = std::max<int32_t>(1, points);
  smoothGain_ = 1.0 / smoothPoints_;
  smoothKeep_ = 1.0 - smoothGain_;
}

void th_work::Execute(std::stop_token token) {
  const recorder::YSTANOV& s = setup_.Writer.Setup;
  SetSmoothing(s.SmoothPoints);
  for (Extreme& e : extremes_) e = Extreme{};
  std::fill(smoothed_.begin(), smoothed_.end(), 0.0);
  shared_.ResetAutoScale();
  shared_.ResetIndex();
  ringPos_ = 0;
  lastColumn_ = 0;
  std::string why;
  writer_ = OpenLiveWriter(setup_.Writer, counters_, &why);
  if (!writer_) Log("трансляция: " + why);

  counters_.FirstBlock = 1;
  columnCount_ = 0;
  if (view_.SetWidth) view_.SetWidth(kLiveWindowWidth);
  const uint16_t columnSamples = std::max<uint16_t>(1, shared_.ColumnSamples.load());
  shared_.ColumnsPerSecond = std::max<int32_t>(1, s.SampleRate / columnSamples);
  stopCode_ = 0;
  lastDataTick_ = lastPollTick_ = platform::GetTickCount();
  // The stream begins after the command that started it: the start of a frame the link still holds is
  // of an older exchange.
  link_.DropHeld();
  counters_.SerialMisses = 0;
  failures_ = FailureRun{};
  const recorder::StatusBlock status = shared_.Status();
  sysRG_ = status.sysRG;
  capTime_ = status.Cap_Time;

  while (writer_ && !token.stop_requested()) {
    link_.Log.clear();
    const uint32_t now = platform::GetTickCount();
    if (platform::TicksSince(lastDataTick_, now) > kLiveSilenceMs ||
        link_.WriteErrors > kLiveMostWriteErrors) {
      stopCode_ = kLiveStopCode;
      break;
    }
    if (platform::TicksSince(lastPollTick_, now) > kLivePollMs) {
      recorder::SendStatusRequest(link_);
      lastPollTick_ = now;
    }
    const int32_t points = shared_.SmoothPoints.load();
    if (points != 0 && points != smoothPoints_) SetSmoothing(points);

    link_.Log.clear();
    uint16_t error = 0;
    uint8_t type = 0, code = 0;
    const uint16_t count = link_.ReceiveMessage(error, link_.Dropped, type, code, receive_);
    // A frame the line pauses in stays in the link and is completed later: no error within the loop's
    // own silence limit.
    const bool pause = error == recorder::kBodyIncomplete;
    // Bytes skipped before a whole, checked frame are logged; the frame is kept.
    if (link_.Dropped != 0 || (error != recorder::kReceiveOk && !pause))
      NoteFailure(pause ? uint16_t{recorder::kReceiveOk} : error, link_.Dropped);
    if (error != recorder::kReceiveOk) continue;
    EndFailureRun();
    if (count == 0) continue;
    if (type == 2 && count == recorder::kStatusReplySize) {
      OnStatus(receive_);
    } else if ((type & 0x60) != 0 && count == kLiveBlockCount) {
      OnBlock(receive_);
    }
  }

  // A frame the line stopped in and never finished is a block lost at the end: said, not passed over.
  if (link_.HeldBytes() != 0) NoteFailure(recorder::kBodyIncomplete, 0);
  EndFailureRun();
  shared_.Stop();
  DeleteLiveWriter(writer_);
  if (stopCode_ != 0)
    Log(FormatText("\nпрочитано %u cтраниц; данные с прибора не поступают %u сек", blocks_,
                   (stopCode_ + 5) / 1000));
  else
    Log(FormatText("\nпрочитано %u cтраниц", blocks_));
  platform::Sleep(kEndPauseMs);
}

void th_work::NoteFailure(uint16_t error, uint16_t dropped) {
  if (failures_.Count++ == 0) {
    failures_.Block = blocks_;
    failures_.Error = error;
    failures_.Dropped = dropped;
  }
}

void th_work::EndFailureRun() {
  if (failures_.Count == 0) return;
  std::string line = FormatText("\n work( бл_%u ): err = %04x;  пропуск %u;", failures_.Block,
                                failures_.Error, failures_.Dropped);
  if (failures_.Count > 1) line += FormatText("  подряд %u раз", failures_.Count);
  Log(line);
  failures_ = FailureRun{};
}

void th_work::OnStatus(const uint8_t* body) {
  recorder::StatusBlock st{};
  recorder::DecodeStatus(body, recorder::kStatusReplySize, st);
  shared_.SetStatus(st);
  if ((st.sysRG ^ sysRG_) & recorder::kRgSynchronised) {
    if (st.sysRG & recorder::kRgSynchronised) {
      const double diff = static_cast<double>(int64_t{st.Cap_GPS_o} - int64_t{st.Cap_Time_o}) -
                          static_cast<double>(st.Cap_Tik_o) / (st.TikInSek + 1.0) / 65536.0;
      Log(FormatText("Tсинxp(%s)-TUnit(%s) = %.6f; sysRG: %02x -> %02x", UnitDateTime(st.Cap_GPS_o).c_str(),
                     UnitDateTime(st.Cap_Time_o).c_str(), diff, sysRG_, st.sysRG));
    } else {
      Log("     а   г д е   с и н х р о н и з а ц и я  ? ");
    }
  }
  sysRG_ = st.sysRG;
  if (st.Cap_Time != capTime_) {
    const double dt = 1e6 * (static_cast<double>(int64_t{st.Cap_Time} - int64_t{st.Time}) +
                             static_cast<double>(st.Cap_Tik) / 65536.0 / (st.TikInSek + 1.0));
    Log(FormatText("dT(%s) = %.0fмкс; ", UnitDateTime(st.Cap_Time).c_str(), dt));
    capTime_ = st.Cap_Time;
  }
}

void th_work::OnBlock(const uint8_t* page) {
  ++blocks_;
  counters_.Blocks = blocks_;
  const uint8_t blockSum = recorder::CardSum({page, recorder::kCardPageSize});
  const uint8_t headerSum = recorder::CardSum({page, recorder::kCardPageHeaderSize});
  if (blockSum != 0 || headerSum != 0) {
    link_.RefuseLastFrame();
    // A setup copy in the stream is no data.
    if (page[0] == recorder::kSetupCopyMark) return;
    Log(FormatText("\n work: ks( бл_%u ) = %02x/%02x   %02x", blocks_, blockSum, headerSum, page[0]));
    // A block whose sums fail holds bytes that are not the recorder's, also when its frame check held (a
    // lost byte equal to the next frame's first one leaves that sum whole): which samples they are, or
    // how many and when, cannot be told. It is neither drawn nor written; the next block's serial names
    // it lost.
    return;
  }
  if (page[0] == recorder::kSetupCopyMark) return;
  recorder::CardPageHeader h{};
  std::memcpy(&h, page, sizeof h);
  const bool first = counters_.FirstBlock.load() != 0;
  if (first) {
    serialReference_ = static_cast<uint16_t>(h.Serial - 1);
    if (writer_) writer_->Prime(h);
  }
  lastDataTick_ = platform::GetTickCount();

  if (h.Serial != static_cast<uint16_t>(serialReference_ + 1)) {
    const uint32_t misses = ++counters_.SerialMisses;
    if (misses < 5)
      Log(FormatText("\n work: er_SN ( бл_%u )   %04x -> %04x", blocks_, serialReference_, h.Serial));
    // The blocks between were lost (a block sent again, whose serial lies behind, is left to the time test).
    const uint16_t missing = static_cast<uint16_t>(h.Serial - serialReference_ - 1);
    if (missing == 1)
      Log(FormatText("\n work: бл. SN %04x не принят", static_cast<uint16_t>(serialReference_ + 1)));
    else if (missing != 0 && missing < kMostNamedGap)
      Log(FormatText("\n work: бл. SN %04x..%04x не приняты (%u)",
                     static_cast<uint16_t>(serialReference_ + 1), static_cast<uint16_t>(h.Serial - 1),
                     missing));
  }
  serialReference_ = h.Serial;

  // Whole rows only, and never more than the page holds: what is decoded is what is written.
  const unsigned values = std::min<unsigned>(h.ValueCount, recorder::kMaxPageValues) / channels_ * channels_;
  const bool smoothedView = shared_.ShowSmoothed.load() != 0;
  const uint32_t columnSamples = std::max<uint16_t>(1, shared_.ColumnSamples.load());
  const int32_t ringSize = shared_.RingSize();
  for (unsigned k = 0; k < values; ++k) {
    const int32_t x = PageSample(page, k);
    blockSamples_[k] = x;
    const unsigned c = k % channels_;
    smoothed_[c] = x * smoothGain_ + smoothed_[c] * smoothKeep_;
    const int32_t v = smoothedView ? static_cast<int32_t>(smoothed_[c]) : x;
    if (v > extremes_[c].Max) extremes_[c].Max = v;
    if (v < extremes_[c].Min) extremes_[c].Min = v;
    if (++columnCount_ >= columnSamples * channels_) {
      if (shared_.ScaleColumns.load() < shared_.ColumnsPerSecond.load()) {
        ++shared_.ScaleColumns;
        shared_.TakeAutoScale(extremes_.data());
      }
      for (unsigned ch = 0; ch < channels_; ++ch) {
        shared_.StoreRing(ringPos_ + 2 * static_cast<int32_t>(ch), extremes_[ch].Max);
        shared_.StoreRing(ringPos_ + 2 * static_cast<int32_t>(ch) + 1, extremes_[ch].Min);
        extremes_[ch] = Extreme{};
      }
      columnCount_ = 0;
      lastColumn_ = ringPos_;
      ringPos_ += columnValues_;
      if (ringPos_ >= ringSize) ringPos_ = 0;
    }
  }

  if (view_.DumpRequested && view_.ShowDump && view_.DumpRequested())
    view_.ShowDump(DumpLines(page, values, channels_, setup_.DecimalDump));
  if (view_.HeaderShown && view_.ShowHeader && view_.HeaderShown())
    view_.ShowHeader(HeaderBytesText(page, 8), HeaderBytesText(page + 8, 8));

  shared_.Publish(lastColumn_);
  if (first) {
    // The auto-scale collection starts before the window learns of the first block: once the exit is
    // enabled, an idle counter means the collection has been applied.
    shared_.ScaleColumns = 0;
    counters_.FirstBlock = 0;
    if (view_.EnableExit) view_.EnableExit();
  }

  if (!writer_) return;
  if (writer_->CheckLiveTime(h)) {
    writer_->CloseLiveFile();
    Log(FormatText("Время Unita в момент закрытия файла %s:  %s;", writer_->FileName().c_str(),
                   recorder::DateTimeText(counters_.BlockSeconds.load()).c_str()));
  }
  const std::span<const int32_t> samples(blockSamples_.data(), values);
  writer_->CheckEvent(samples);
  writer_->WriteLiveBlock(samples);
}

}  // namespace acquisition
