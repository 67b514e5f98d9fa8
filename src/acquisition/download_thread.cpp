#include "acquisition/download_thread.h"

#include <cstring>

#include "platform/clock.h"
#include "recorder/card_sum.h"
#include "recorder/frames.h"
#include "recorder/unit_commands.h"
#include "toolkit/format_text.h"

namespace acquisition {

using recorder::kCardPageHeaderSize;
using recorder::kCardPageSize;
using toolkit::FormatText;

namespace {
constexpr uint32_t kPageTimeoutMs = 3000;
constexpr uint32_t kMostLoggedErrors = 200;
}  // namespace

TrdBce::TrdBce(recorder::UnitLink& link, DownloadSettings settings, recorder::DownloadProgress& progress,
               std::atomic<double>& readTotal, DownloadHooks hooks)
    : link_(link),
      settings_(std::move(settings)),
      progress_(progress),
      readTotal_(readTotal),
      hooks_(std::move(hooks)),
      writer_(settings_, hooks_.Log, hooks_.ShowFileName) {}

TrdBce::~TrdBce() {
  if (thread_.joinable()) {
    thread_.request_stop();
    thread_.join();
  }
}

bool TrdBce::Start() {
  if (started_) return false;
  started_ = true;
  thread_ = std::jthread([this](std::stop_token stop) { Execute(stop); });
  return true;
}

void TrdBce::Terminate() { thread_.request_stop(); }

void TrdBce::Log(const std::string& text) {
  if (hooks_.Log) hooks_.Log(text);
}

std::string TrdBce::FaultText(recorder::HeaderFault fault) const {
  return "заголовок: " +
         recorder::HeaderFaultText(fault, {page_, kCardPageHeaderSize}, settings_.SampleClock);
}

TrdBce::State TrdBce::EndWith(DownloadEnd end) {
  end_ = end;
  return kFinish;
}

TrdBce::State TrdBce::RequestPortion() {
  const recorder::FileEntry& entry = settings_.SelFiles[settings_.FatMode ? progress_.FileIndex.load() : 0];
  if (settings_.FatMode) progress_.PagesInPortion = 0;
  const uint32_t span = entry.EndPage - begin_;
  portion_ = span < settings_.ReadPortion ? static_cast<uint16_t>(span + 1) : settings_.ReadPortion;
  codeKnown_ = false;
  if (recorder::RequestPages(link_, begin_, portion_)) {
    Log(FormatText("\nerror уст. cтp %u;", begin_));
    return EndWith(DownloadEnd::RequestFailed);
  }
  return kReceive;
}

TrdBce::State TrdBce::EndOfPortion() {
  begin_ += portion_;
  progress_.PagesDone += portion_;
  progress_.PagesInPortion = 0;
  const uint32_t index = settings_.FatMode ? progress_.FileIndex.load() : 0;
  const recorder::FileEntry& entry = settings_.SelFiles[index];
  // The last page of the entry too, also when the span before it was a whole number of portions.
  if (begin_ <= entry.EndPage) return kRequest;
  if (!settings_.FatMode) {
    if (writer_.FileOpen() && !writer_.CloseDataFile(begin_)) return EndWith(DownloadEnd::WriteFailed);
    Log("\n    прочитано все ");
    return EndWith(DownloadEnd::Completed);
  }
  if (writer_.FileOpen() && !writer_.CloseDataFile(begin_ - 1)) return EndWith(DownloadEnd::WriteFailed);
  writer_.ResetFileCounter();
  const uint32_t next = index + 1;
  link_.DrainMessages();
  // Entries whose end lies before their begin hold nothing to read.
  uint32_t n = next;
  while (n < settings_.SelFiles.size() && settings_.SelFiles[n].EndPage < settings_.SelFiles[n].BeginPage)
    ++n;
  progress_.FileIndex = n;
  if (n < settings_.SelFiles.size()) {
    begin_ = settings_.SelFiles[n].BeginPage;
    return kRequest;
  }
  return EndWith(DownloadEnd::Completed);
}

TrdBce::State TrdBce::OnFatPage(uint32_t p, uint16_t error, uint16_t dropped) {
  const recorder::FileEntry& entry = settings_.SelFiles[progress_.FileIndex];
  const uint8_t ksBlock = recorder::CardSum({page_, kCardPageSize});
  const uint8_t ksHeader = recorder::CardSum({page_, kCardPageHeaderSize});
  PageSequence& seq = writer_.Sequence;
  const uint32_t inPortion = progress_.PagesInPortion;
  if (inPortion == 0 && begin_ == entry.BeginPage) {
    // The file's first page: its setup copy.
    seq.PrevCode = seq.Code;
    if (ksBlock == 0 && page_[0] == recorder::kSetupCopyMark) {
      Log(FormatText("\n стр %u - SETUP:", p));
      std::memcpy(&writer_.FileSetup, page_, kCardPageSize);
      writer_.FileSetup.Latitude = entry.Latitude;
      writer_.FileSetup.Longitude = entry.Longitude;
    } else {
      Log(FormatText("\n на стр SETUPa %u: ks %02x;  id %02x.    Пользуемся Setup'ом UNITa", p, ksBlock,
                     page_[0]));
      writer_.FileSetup = settings_.Setup;
    }
    ++progress_.PagesInPortion;
    return kReceive;
  }
  const recorder::HeaderFault fault = DataHeaderFault(page_, settings_.SampleClock);
  const bool inSequence = seq.Code == static_cast<uint8_t>(seq.PrevCode + 1);
  if (error != 0 || dropped != 0 || ksBlock != 0 || !inSequence || fault != recorder::HeaderFault::None) {
    const char* label = "_____";
    if (error != 0) label = "error";
    if (dropped != 0) label = "пр-ск";
    if (!inSequence) label = "SNанг";
    if (seq.Serial != static_cast<uint16_t>(seq.PrevSerial + 1)) label = "SN_к_";
    if (ksBlock != 0) label = "ks__к";
    // A header whose sum holds but whose values the writer cannot take says which value it is.
    if (fault != recorder::HeaderFault::None) label = ksHeader != 0 ? "ksZag" : "Zag_x";
    std::string line = FormatText(
        "\n%s:  err 0x%04x;  проп %04u; bl %07u  SN %03d=%02x->%02x карта: ks 0x%02x; SN "
        "%02d=%02x->%02x;  ks_zag 0x%02x;",
        label, error, dropped, p, seq.Code - seq.PrevCode, seq.PrevCode, seq.Code, ksBlock,
        seq.Serial - seq.PrevSerial, seq.PrevSerial, seq.Serial, ksHeader);
    if (ksHeader == 0 && fault != recorder::HeaderFault::None) line += "  " + FaultText(fault);
    Log(line);
    if (writer_.FileOpen() && !writer_.CloseDataFile(p - 1)) return EndWith(DownloadEnd::WriteFailed);
    return EndWith(DownloadEnd::Stopped);
  }
  const bool firstDataPage = inPortion == 1 && begin_ == entry.BeginPage;
  ++progress_.PagesInPortion;
  switch (writer_.StoreFatPage(p, page_, firstDataPage, entry)) {
    case PageResult::Accepted:
      lastPageTick_ = platform::GetTickCount();
      return kReceive;
    case PageResult::Finish:
      return EndWith(DownloadEnd::Stopped);
    case PageResult::Failed:
      break;
  }
  return EndWith(DownloadEnd::WriteFailed);
}

TrdBce::State TrdBce::OnRangePage(uint32_t p, uint16_t error, uint16_t dropped) {
  const uint8_t ksBlock = recorder::CardSum({page_, kCardPageSize});
  const uint8_t ksHeader = recorder::CardSum({page_, kCardPageHeaderSize});
  ++progress_.PagesInPortion;
  if (page_[0] == recorder::kSetupCopyMark && ksBlock == 0) {
    std::memcpy(&writer_.FileSetup, page_, kCardPageSize);
    return kReceive;
  }
  const recorder::HeaderFault fault = DataHeaderFault(page_, settings_.SampleClock);
  if (ksBlock == 0 && fault == recorder::HeaderFault::None) {
    switch (writer_.StoreRangePage(p, page_)) {
      case PageResult::Accepted:
        lastPageTick_ = platform::GetTickCount();
        return kReceive;
      case PageResult::Finish:
        return EndWith(DownloadEnd::Completed);
      case PageResult::Failed:
        return EndWith(DownloadEnd::WriteFailed);
    }
  }
  bool erased = true;
  for (size_t i = 1; i < kCardPageSize && erased; ++i) erased = page_[i] == page_[0];
  if (erased) {
    Log(FormatText("\nв бл. %u конец последней записи; дальше страница из одних 0x%02x", p - 1, page_[0]));
    return EndWith(DownloadEnd::Completed);
  }
  const uint32_t errors = ++progress_.ErrorPages;
  if (errors < kMostLoggedErrors) {
    std::string line = FormatText("\n%07u: error 0x%04x;  пропуск %04ubt;  ks_блока 0x%02x  ks_заг %02x", p,
                                  error, dropped, ksBlock, ksHeader);
    if (ksHeader == 0 && fault != recorder::HeaderFault::None) line += "  " + FaultText(fault);
    Log(line);
  }
  if (writer_.FileOpen() && !writer_.CloseDataFile(p)) return EndWith(DownloadEnd::WriteFailed);
  return kReceive;
}

TrdBce::State TrdBce::OnLostFrames(uint8_t code, uint16_t dropped) {
  // The recorder numbers the pages of a stream; frames whose header never came are counted by the gap,
  // as error pages of their own numbers, so that the pages after them keep theirs.
  const uint8_t lost = static_cast<uint8_t>(code - lastCode_ - 1);
  const bool known = codeKnown_;
  codeKnown_ = true;
  lastCode_ = code;
  if (!known || lost == 0 || lost >= portion_ - progress_.PagesInPortion) return kReceive;
  for (uint8_t i = 0; i < lost; ++i) {
    const uint32_t p = begin_ + progress_.PagesInPortion;
    ++progress_.PagesInPortion;
    const uint32_t errors = ++progress_.ErrorPages;
    if (errors < kMostLoggedErrors)
      Log(FormatText("\n%07u: error 0x%04x;  пропуск %04ubt;  кадр не принят", p, recorder::kNoHeader,
                     dropped));
    if (writer_.FileOpen() && !writer_.CloseDataFile(p)) return EndWith(DownloadEnd::WriteFailed);
  }
  return kReceive;
}

void TrdBce::Execute(std::stop_token stop) {
  page_ = link_.Buffer;
  // The log is the one place a download reports to: without it nothing is read.
  if (!hooks_.Log || !hooks_.Log(std::string())) {
    end_ = DownloadEnd::LogFailed;
    if (hooks_.Message) hooks_.Message("error open txt.file", "Error");
    if (hooks_.Done) hooks_.Done();
    return;
  }
  double total = 1.0;
  for (const recorder::FileEntry& e : settings_.SelFiles)
    total += static_cast<double>(e.EndPage) - e.BeginPage;
  readTotal_ = total;
  progress_.FileIndex = 0;
  progress_.PagesDone = 0;
  progress_.PagesInPortion = 0;
  startTick_ = lastPageTick_ = platform::GetTickCount();
  link_.TotalWait = 0;
  end_ = DownloadEnd::Running;

  State state = kRequest;
  if (!SampleClockUsable(settings_.SampleClock)) {
    // The clock sizes the buffers and divides every time: one no recorder reports is refused.
    const std::string text =
        FormatText("Частота прибора %u Гц вне допустимых 1..%u Гц (статус искажён?): чтение не начато.",
                   settings_.SampleClock, kMostSampleClock);
    Log("\n" + text);
    if (hooks_.Message) hooks_.Message(text, "Error");
    state = EndWith(DownloadEnd::Refused);
  } else if (settings_.SelFiles.empty()) {
    state = EndWith(DownloadEnd::Completed);
  } else {
    begin_ = settings_.SelFiles[0].BeginPage;
  }
  while (state != kFinish) {
    if (state == kRequest) {
      state = RequestPortion();
    } else {
      uint16_t error = 0, dropped = 0;
      uint8_t type = 0xFF, code = 0;
      const uint16_t count = link_.ReceiveMessage(error, dropped, type, code, link_.Buffer);
      if ((type & 0xF0) == 0x20 && count == recorder::kPageCount) {
        writer_.Sequence.Code = code;
        writer_.Sequence.Serial = static_cast<uint16_t>(page_[8] | page_[9] << 8);
        if (!settings_.FatMode) state = OnLostFrames(code, dropped);
        if (state != kFinish) {
          const uint32_t p = begin_ + progress_.PagesInPortion;
          state = settings_.FatMode ? OnFatPage(p, error, dropped) : OnRangePage(p, error, dropped);
        }
        if (state != kFinish && progress_.PagesInPortion == portion_) state = EndOfPortion();
      }
    }
    if (state == kFinish) break;
    if (stop.stop_requested()) {
      Log("\n   T e r m i n a t e d !");
      state = EndWith(DownloadEnd::Cancelled);
    } else if (platform::TicksSince(lastPageTick_, platform::GetTickCount()) > kPageTimeoutMs) {
      Log("\nвыход по времени ");
      state = EndWith(DownloadEnd::TimedOut);
    }
  }
  Finish();
}

void TrdBce::Finish() {
  if (!settings_.FatMode && progress_.ErrorPages != 0)
    Log(FormatText("\n%04d ошибок ", static_cast<int>(progress_.ErrorPages.load())));
  readTotal_ = static_cast<double>(progress_.PagesDone) + progress_.PagesInPortion;
  if (hooks_.ShowButton) hooks_.ShowButton("x x x");
  // The file is closed before the summary, so that a failed last write is never followed by one.
  if (writer_.FileOpen() && !writer_.CloseDataFile(begin_ + progress_.PagesInPortion - 1))
    end_ = DownloadEnd::WriteFailed;
  const uint32_t elapsed = platform::TicksSince(startTick_, platform::GetTickCount());
  const double total = readTotal_;
  if (end_ == DownloadEnd::Refused) {
    if (hooks_.ShowSummary) hooks_.ShowSummary("чтение не начато");
  } else if (end_ == DownloadEnd::WriteFailed) {
    Log("\n\n   ошибка записи данных: чтение прервано.");
    if (hooks_.ShowSummary) hooks_.ShowSummary("ошибка записи!");
    if (hooks_.Message) hooks_.Message(writer_.Failure(), "Error");
  } else {
    const std::string summary =
        FormatText(" %.0f Kb за %.1f cek ( %.0fkb/cek )     / %.2fcек", total * 0.5, elapsed * 0.001,
                   total * 512 / (elapsed + 1.0), link_.TotalWait * 0.001);
    if (hooks_.ShowSummary) hooks_.ShowSummary(summary);
    Log("\n" + summary);
  }
  link_.DrainMessages();
  platform::Sleep(1000);
  if (hooks_.Done) hooks_.Done();
}

}  // namespace acquisition
