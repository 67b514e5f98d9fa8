#include "acquisition/download_thread.h"

#include <cstring>

#include "platform/clock.h"
#include "recorder/card_sum.h"
#include "recorder/frames.h"
#include "recorder/recorder_time.h"
#include "recorder/unit_commands.h"
#include "toolkit/format_text.h"

namespace acquisition {

using recorder::kCardPageHeaderSize;
using recorder::kCardPageSize;
using toolkit::FormatText;

namespace {
constexpr uint32_t kPageTimeoutMs = 3000;
constexpr uint32_t kMostLoggedErrors = 200;
// Bytes lost at the end of a request leave the line quiet: after this long the rest of the request is
// taken as lost on the line, well before the time-out that ends a download. A pause with nothing lost
// waits for the time-out.
constexpr uint32_t kLostTailMs = 500;
// After a download ended by time-out the recorder has sent nothing for seconds: its stop echo is awaited
// only while the line still brings something, and given up after this long of silence.
constexpr uint32_t kSilentStopQuietMs = 2000;
// The back ends fail a queue-status request only when the device has gone; a few in a row make sure.
constexpr unsigned kGoneAfterFailures = 3;
// Pages named lost in a row, each asked for twice, before the download gives up on the line.
constexpr unsigned kMostLostInRow = 8;
// Bytes that keep coming inside an unfinished frame hold off the time-out, but never for longer than this.
constexpr uint32_t kMostFrameWaitMs = 2 * kPageTimeoutMs;

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

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
  if (recorder::RequestPages(link_, begin_, portion_)) {
    Log(FormatText("\nerror уст. cтp %u;", begin_));
    if (LinkGone()) return DeviceGone();
    return EndWith(DownloadEnd::RequestFailed);
  }
  requestOpen_ = true;
  garbled_ = false;
  skipped_ = 0;
  staleLogged_ = false;
  // The recorder's silence is measured from the request: a stop and a new request take time of their own.
  lastHeardTick_ = lastPageTick_ = platform::GetTickCount();
  return kReceive;
}

bool TrdBce::LinkGone() {
  if (!link_.Settings) return false;
  uint32_t rx = 0, tx = 0, events = 0;
  return link_.Driver().GetStatus(link_.Settings->Handle, rx, tx, events) != platform::ftdi::FT_OK;
}

TrdBce::State TrdBce::DeviceGone() {
  Log("\nсвязь с Unit'ом потеряна: устройство отключено!");
  return EndWith(DownloadEnd::DeviceGone);
}

void TrdBce::MarkLastFileCut(const std::string& reason) {
  const size_t n = writer_.FilesWritten().size();
  if (n == 0) return;
  cuts_.resize(n);
  if (cuts_[n - 1].empty()) cuts_[n - 1] = reason;
}

bool TrdBce::CloseCut(uint32_t endPage, const std::string& reason) {
  if (!writer_.FileOpen()) return true;
  MarkLastFileCut(reason);
  return writer_.CloseDataFile(endPage);
}

TrdBce::State TrdBce::EndOfPortion() {
  requestOpen_ = false;
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
  MarkEntryFiles();
  writer_.ResetFileCounter();
  const uint32_t next = index + 1;
  // The recorder numbers its pages on from one request to the next. When the line brought nothing after
  // the entry's last page, the next entry's first frame is known by its code, so a setup page lost whole
  // costs that page only; otherwise the next stream is numbered from its own first frame.
  const bool quiet = link_.HeldBytes() == 0;
  const uint64_t heard = link_.BytesRead;
  link_.DrainMessages();
  if (!quiet || link_.BytesRead != heard) codeKnown_ = false;
  anchor_ = PageIdentity{};
  // Entries whose end lies before their begin hold nothing to read.
  uint32_t n = next;
  while (n < settings_.SelFiles.size() && settings_.SelFiles[n].EndPage < settings_.SelFiles[n].BeginPage)
    ++n;
  progress_.FileIndex = n;
  entryFirstFile_ = writer_.FilesWritten().size();
  if (n < settings_.SelFiles.size()) {
    begin_ = settings_.SelFiles[n].BeginPage;
    return kRequest;
  }
  return EndWith(DownloadEnd::Completed);
}

void TrdBce::UseUnitSetup() {
  writer_.FileSetup = settings_.Setup;
  entryUnitSetup_ = true;
}

void TrdBce::MarkEntryFiles() {
  const size_t n = writer_.FilesWritten().size();
  unitSetup_.resize(n);
  if (entryUnitSetup_)
    for (size_t i = entryFirstFile_; i < n; ++i) unitSetup_[i] = true;
  entryUnitSetup_ = false;
}

void TrdBce::NoteLost(uint32_t p) {
  if (report_.Lost.empty() || report_.Lost.back() != p) report_.Lost.push_back(p);
  // A range file begun after a lost page lacks it, or its setup, unless a setup page came between.
  if (!settings_.FatMode) lostBeforeFile_ = p + 1;
}

TrdBce::State TrdBce::OnFatPage(uint32_t p, uint16_t error, uint16_t dropped, uint8_t ksBlock) {
  const recorder::FileEntry& entry = settings_.SelFiles[progress_.FileIndex];
  const uint8_t ksHeader = recorder::CardSum({page_, kCardPageHeaderSize});
  PageSequence& seq = writer_.Sequence;
  if (p == entry.BeginPage) {
    // The file's first page: its setup copy.
    seq.PrevCode = seq.Code;
    ++progress_.PagesInPortion;
    // Its own wait for the file's first data page begins here.
    lastPageTick_ = platform::GetTickCount();
    if (error == 0 && ksBlock == 0 && page_[0] == recorder::kSetupCopyMark) {
      Log(FormatText("\n стр %u - SETUP:", p));
      std::memcpy(&writer_.FileSetup, page_, kCardPageSize);
      writer_.FileSetup.Latitude = entry.Latitude;
      writer_.FileSetup.Longitude = entry.Longitude;
      return kReceive;
    }
    Log(FormatText("\n на стр SETUPa %u: ks %02x;  id %02x.    Пользуемся Setup'ом UNITa", p, ksBlock,
                   page_[0]));
    if (error != 0) Log(FormatText("  кадр: err 0x%04x", error));
    if (error != 0) NoteLost(p);
    UseUnitSetup();
    return kReceive;
  }
  const recorder::HeaderFault fault = DataHeaderFault(page_, settings_.SampleClock);
  const bool inSequence = seq.Code == static_cast<uint8_t>(seq.PrevCode + 1);
  if (error != 0 || ksBlock != 0 || fault != recorder::HeaderFault::None) {
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
    NoteLost(p);
    if (!CloseCut(p - 1, FormatText("стр. %u не принята", p))) return EndWith(DownloadEnd::WriteFailed);
    return EndWith(DownloadEnd::Stopped);
  }
  const bool firstDataPage = p == entry.BeginPage + 1;
  ++progress_.PagesInPortion;
  switch (writer_.StoreFatPage(p, page_, firstDataPage, entry)) {
    case PageResult::Accepted:
      lastPageTick_ = platform::GetTickCount();
      return kReceive;
    case PageResult::Finish:
      // A break in time or a change of parameters within a FAT file: the file ends there.
      MarkLastFileCut(FormatText("разрыв или смена параметров на стр. %u", p));
      return EndWith(DownloadEnd::Stopped);
    case PageResult::Failed:
      break;
  }
  MarkLastFileCut("ошибка записи");
  return EndWith(DownloadEnd::WriteFailed);
}

TrdBce::State TrdBce::OnRangePage(uint32_t p, uint16_t error, uint16_t dropped, uint8_t ksBlock) {
  const uint8_t ksHeader = recorder::CardSum({page_, kCardPageHeaderSize});
  ++progress_.PagesInPortion;
  const recorder::HeaderFault fault = DataHeaderFault(page_, settings_.SampleClock);
  // Only a page whose frame and card checks hold is taken.
  if (error == 0 && ksBlock == 0) {
    if (page_[0] == recorder::kSetupCopyMark) {
      std::memcpy(&writer_.FileSetup, page_, kCardPageSize);
      lostBeforeFile_ = 0;
      lastPageTick_ = platform::GetTickCount();
      return kReceive;
    }
    if (fault == recorder::HeaderFault::None) {
      switch (writer_.StoreRangePage(p, page_)) {
        case PageResult::Accepted:
          lastPageTick_ = platform::GetTickCount();
          if (lostBeforeFile_ != 0) MarkLastFileCut(FormatText("стр. %u не принята", lostBeforeFile_ - 1));
          lostBeforeFile_ = 0;
          return kReceive;
        case PageResult::Finish:
          return EndWith(DownloadEnd::Completed);
        case PageResult::Failed:
          MarkLastFileCut("ошибка записи");
          return EndWith(DownloadEnd::WriteFailed);
      }
    }
  }
  bool erased = error == 0;
  for (size_t i = 1; i < kCardPageSize && erased; ++i) erased = page_[i] == page_[0];
  if (erased) {
    Log(FormatText("\nв бл. %u конец последней записи; дальше страница из одних 0x%02x", p - 1, page_[0]));
    return EndWith(DownloadEnd::Completed);
  }
  const uint32_t errors = ++progress_.ErrorPages;
  NoteLost(p);
  if (errors < kMostLoggedErrors) {
    std::string line = FormatText("\n%07u: error 0x%04x;  пропуск %04ubt;  ks_блока 0x%02x  ks_заг %02x", p,
                                  error, dropped, ksBlock, ksHeader);
    if (ksHeader == 0 && fault != recorder::HeaderFault::None) line += "  " + FaultText(fault);
    Log(line);
  }
  if (!CloseCut(p, FormatText("стр. %u не принята", p))) return EndWith(DownloadEnd::WriteFailed);
  return kReceive;
}

TrdBce::State TrdBce::SettleLost(uint32_t p, uint16_t dropped) {
  if (settings_.FatMode) {
    const recorder::FileEntry& entry = settings_.SelFiles[progress_.FileIndex];
    if (p == entry.BeginPage) {
      Log(FormatText("\n на стр SETUPa %u: кадр не принят.    Пользуемся Setup'ом UNITa", p));
      ++progress_.PagesInPortion;
      NoteLost(p);
      UseUnitSetup();
      return kReceive;
    }
    // In a FAT file a page that did not arrive ends the download, as a bad page does.
    Log(FormatText("\nпр-ск:  err 0x%04x;  проп %04u; bl %07u  кадр не принят;", recorder::kNoHeader, dropped,
                   p));
    NoteLost(p);
    if (!CloseCut(p - 1, FormatText("стр. %u не принята", p))) return EndWith(DownloadEnd::WriteFailed);
    return EndWith(DownloadEnd::Stopped);
  }
  ++progress_.PagesInPortion;
  const uint32_t errors = ++progress_.ErrorPages;
  NoteLost(p);
  if (errors < kMostLoggedErrors)
    Log(FormatText("\n%07u: error 0x%04x;  пропуск %04ubt;  кадр не принят", p, recorder::kNoHeader,
                   dropped));
  if (!CloseCut(p, FormatText("стр. %u не принята", p))) return EndWith(DownloadEnd::WriteFailed);
  return kReceive;
}

void TrdBce::StopAndDrain() {
  requestOpen_ = false;
  // Until the old stream has ended, any frame of it could be taken for one of the next request: the echo
  // of the stop follows the last page the recorder sends, and a recorder that does not answer has ended
  // its stream once the line stays quiet past its own time-out.
  if (recorder::SetTransmission(link_, recorder::kModeStop, kPageTimeoutMs + 100) != recorder::kDone)
    Log("\nостановка передачи страниц: нет ответа Unit'a");
  link_.DrainMessages();
  codeKnown_ = false;
  skipped_ = 0;
  garbled_ = false;
}

bool TrdBce::FailedBefore(uint32_t p) {
  if (failedOnce_ && failedPage_ == p) {
    failedOnce_ = false;
    return true;
  }
  failedOnce_ = true;
  failedPage_ = p;
  return false;
}

TrdBce::State TrdBce::RestartHere() {
  // The request ends at the first page not yet filed; the next one asks from there.
  portion_ = static_cast<uint16_t>(progress_.PagesInPortion);
  StopAndDrain();
  return EndOfPortion();
}

uint16_t TrdBce::DroppedSoFar() const {
  return static_cast<uint16_t>(skipped_ > UINT16_MAX ? UINT16_MAX : skipped_);
}

TrdBce::State TrdBce::TakeSecondTime(uint32_t p, uint8_t code, uint8_t ksBlock, bool data,
                                     const std::string& why) {
  if (FailedBefore(p)) return Settle(p, code, ksBlock, data);
  Log(FormatText("\n%07u: %s: запрос повторён", p, why.c_str()));
  return RestartHere();
}

TrdBce::State TrdBce::PageFailed(uint32_t p, const char* why) {
  const uint16_t dropped = DroppedSoFar();
  if (FailedBefore(p)) {
    Log(FormatText("\n%07u: %s, снова", p, why));
    // A line that brings no page at all, request after request, ends the download.
    if (++lostInRow_ > kMostLostInRow) {
      Log(FormatText("\n%07u: линия не даёт страниц: чтение прервано", p));
      NoteLost(p);
      return EndWith(DownloadEnd::Stopped);
    }
    const State state = SettleLost(p, dropped);
    if (state == kFinish) return state;
  } else {
    Log(FormatText("\n%07u: %s: запрос повторён", p, why));
  }
  return RestartHere();
}

TrdBce::State TrdBce::OnLostTail() {
  return PageFailed(begin_ + progress_.PagesInPortion, "страница не пришла");
}

TrdBce::State TrdBce::DropStale(uint32_t p, int64_t page) {
  if (!staleLogged_)
    Log(FormatText("\n%07u: кадр стр. %lld не из этого запроса: пропущен", p, static_cast<long long>(page)));
  staleLogged_ = true;
  garbled_ = true;
  return kReceive;
}

bool TrdBce::SetupPageExpected(uint32_t p) const {
  if (settings_.FatMode) return p == settings_.SelFiles[progress_.FileIndex].BeginPage;
  return SetupPageOfRows(settings_.FatFiles, p);
}

bool TrdBce::DataPagePlausible(uint32_t p) const {
  if (settings_.FatMode) {
    const recorder::FileEntry& entry = settings_.SelFiles[progress_.FileIndex];
    return p > entry.BeginPage && p <= entry.EndPage;
  }
  return DataPageFitsRows(settings_.FatFiles, p, page_);
}

TrdBce::State TrdBce::Settle(uint32_t p, uint8_t code, uint8_t ksBlock, bool data) {
  const uint16_t dropped = DroppedSoFar();
  // Bytes skipped before a whole frame that cost no page are only logged.
  if (dropped != 0) Log(FormatText("\n%07u: перед кадром пропуск %04ubt", p, dropped));
  skipped_ = 0;
  garbled_ = false;
  staleLogged_ = false;
  codeKnown_ = true;
  nextCode_ = static_cast<uint8_t>(code + 1);
  if (failedOnce_ && p >= failedPage_) failedOnce_ = false;
  lostInRow_ = 0;
  PageSequence& seq = writer_.Sequence;
  seq.Code = code;
  seq.Serial = static_cast<uint16_t>(page_[8] | page_[9] << 8);
  if (data)
    anchor_ = IdentityOf(page_, p, settings_.SampleClock);
  else if (ksBlock == 0 && page_[0] == recorder::kSetupCopyMark)
    anchor_ = PageIdentity{};  // the next recording's serials and times are its own
  State state = settings_.FatMode ? OnFatPage(p, 0, 0, ksBlock) : OnRangePage(p, 0, 0, ksBlock);
  if (state != kFinish && progress_.PagesInPortion == portion_) state = EndOfPortion();
  return state;
}

TrdBce::State TrdBce::OnPageFrame(uint8_t code, uint16_t error) {
  const uint32_t p = begin_ + progress_.PagesInPortion;
  const uint32_t last = begin_ + portion_ - 1;
  if (error != 0) {
    // The frame check failed: bytes were lost or garbled on the line, and which page it was cannot be told.
    garbled_ = true;
    return kReceive;
  }
  const uint8_t ksBlock = recorder::CardSum({page_, kCardPageSize});
  // A page whose card sum fails although its frame check held may have taken in the next frame's start.
  if (ksBlock != 0) link_.RefuseLastFrame();
  // The stream is at page p when nothing was lost since the last page filed (or since the request) and
  // the recorder's code follows on; bytes dropped before a whole frame are forgiven when the code says
  // no frame went with them.
  const bool codeFollows = codeKnown_ && code == nextCode_;
  const bool inStep = !garbled_ && (!codeKnown_ || codeFollows) && (skipped_ == 0 || codeFollows);
  if (ksBlock != 0) {
    if (!inStep) {
      garbled_ = true;
      return kReceive;
    }
    bool erased = true;
    for (size_t i = 1; i < kCardPageSize && erased; ++i) erased = page_[i] == page_[0];
    // An erased page is the end of what was recorded, and a page that fails twice is bad on the card.
    if (erased) return Settle(p, code, ksBlock, false);
    return TakeSecondTime(p, code, ksBlock, false, FormatText("ks_блока 0x%02x", ksBlock));
  }
  if (page_[0] == recorder::kSetupCopyMark) {
    const bool expected = SetupPageExpected(p) || (!settings_.FatMode && !RowKnown(settings_.FatFiles[0]));
    // A FAT file's one setup page is its first: only a lost frame before it leaves its place unsure.
    if (expected && (inStep || (settings_.FatMode && !garbled_))) return Settle(p, code, ksBlock, false);
    if (!inStep) return PageFailed(p, "кадр Setup не на месте");
    return TakeSecondTime(p, code, ksBlock, false, "стр. Setup не на месте");
  }
  if (DataHeaderFault(page_, settings_.SampleClock) != recorder::HeaderFault::None) {
    // Sums good, values unusable: a fact of the card when it comes in its place.
    if (inStep) return Settle(p, code, ksBlock, false);
    garbled_ = true;
    return kReceive;
  }
  const std::optional<int64_t> byHeader = PageByHeader(anchor_, page_, settings_.SampleClock);
  if (byHeader) {
    if (*byHeader == p) return Settle(p, code, ksBlock, true);
    if (*byHeader < p || *byHeader > last) return DropStale(p, *byHeader);
    if (!inStep) {
      // Pages p .. before it were lost on the line.
      if (!FailedBefore(p)) {
        Log(FormatText("\n%07u: пришла стр. %lld: запрос повторён", p, static_cast<long long>(*byHeader)));
        return RestartHere();
      }
      const uint16_t dropped = DroppedSoFar();
      for (uint32_t q = p; q < *byHeader; ++q) {
        const State state = SettleLost(q, dropped);
        if (state == kFinish) return state;
      }
      return Settle(static_cast<uint32_t>(*byHeader), code, ksBlock, true);
    }
    return TakeSecondTime(p, code, ksBlock, true,
                          FormatText("заголовок говорит стр. %lld", static_cast<long long>(*byHeader)));
  }
  const bool plausible = DataPagePlausible(p);
  if (inStep && plausible) return Settle(p, code, ksBlock, true);
  // A data page where the FAT has a setup page, or outside its file: the frame before was lost whole.
  if (inStep) return TakeSecondTime(p, code, ksBlock, true, "страница данных не на месте");
  return PageFailed(p, "перед кадром сбой линии");
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
  startTick_ = lastPageTick_ = lastHeardTick_ = platform::GetTickCount();
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
      const uint64_t before = link_.BytesRead;
      const uint16_t count = link_.ReceiveMessage(error, dropped, type, code, link_.Buffer);
      const uint32_t now = platform::GetTickCount();
      if (count != 0) lastHeardTick_ = now;
      if (error == recorder::kQueueStatus) {
        // The driver cannot tell what is waiting: the device has gone. Nothing more will come.
        if (++statusFailures_ >= kGoneAfterFailures) state = DeviceGone();
      } else {
        statusFailures_ = 0;
        if (link_.BytesRead != before) lastHeardTick_ = link_.LastReadTick;
        skipped_ += dropped;
        // Only bytes lost count as garbling: a pause, in a header or a body, is not.
        if (dropped != 0 || (count == 0 && error != 0 && error != recorder::kBodyIncomplete)) garbled_ = true;
      }
      if (state == kFinish) {
      } else if ((type & 0xF0) == 0x20 && count == recorder::kPageCount &&
                 (error == 0 || error == recorder::kBadBodyCheck)) {
        state = OnPageFrame(code, error);
      } else if (count != 0 && error != 0) {
        garbled_ = true;
      } else if (count == 0 && garbled_ && requestOpen_ && progress_.PagesInPortion < portion_ &&
                 platform::TicksSince(lastHeardTick_, now) >= kLostTailMs) {
        state = OnLostTail();
      }
    }
    if (state == kFinish) break;
    if (stop.stop_requested()) {
      Log("\n   T e r m i n a t e d !");
      state = EndWith(DownloadEnd::Cancelled);
    } else if (state == kReceive && TimedOut()) {
      if (requestOpen_ && (link_.HeldBytes() != 0 || progress_.PagesInPortion != 0) &&
          progress_.PagesInPortion < portion_) {
        // The stream stopped after some of it came, or inside a frame, for the whole time-out: the rest
        // of the request was lost on the line, and the next is asked for; only a request that brings
        // nothing ends the download. A pause shorter than the time-out costs nothing.
        state = OnLostTail();
      } else {
        Log("\nвыход по времени ");
        state = EndWith(DownloadEnd::TimedOut);
      }
    }
  }
  Finish();
}

bool TrdBce::TimedOut() const {
  const uint32_t now = platform::GetTickCount();
  const uint32_t sincePage = platform::TicksSince(lastPageTick_, now);
  if (sincePage <= kPageTimeoutMs) return false;
  // A pause is not a loss: while a frame is on its way the wait counts from its last byte.
  return link_.HeldBytes() == 0 || sincePage > kMostFrameWaitMs ||
         platform::TicksSince(lastHeardTick_, now) > kPageTimeoutMs;
}

void TrdBce::StopStream() {
  // A download that ends before the pages it asked for would leave the recorder streaming them, and
  // the next command would take those pages for its own replies. The stop command ends the stream; its
  // echo follows the last page sent, and the drain of the finish takes what is left.
  if (!requestOpen_ || end_ == DownloadEnd::DeviceGone) return;
  requestOpen_ = false;
  const uint32_t quiet = end_ == DownloadEnd::TimedOut ? kSilentStopQuietMs : 0;
  if (recorder::SetTransmission(link_, recorder::kModeStop, quiet) != recorder::kDone)
    Log("\nостановка передачи страниц: нет ответа Unit'a");
}

void TrdBce::BuildReport() {
  report_.Files.clear();
  const std::vector<std::string>& files = writer_.FilesWritten();
  cuts_.resize(files.size());
  if (settings_.FatMode) MarkEntryFiles();
  unitSetup_.resize(files.size());
  for (size_t i = 0; i < files.size(); ++i)
    report_.Files.push_back({FileNameOf(files[i]), cuts_[i], unitSetup_[i]});
  report_.NotRead.clear();
  const bool early = end_ != DownloadEnd::Completed;
  if (settings_.FatMode) {
    if (!early) return;
    // The entry being read when the download ended, when none of its files was begun, else the pages of
    // it not read; and all entries after it.
    size_t first = progress_.FileIndex;
    if (writer_.FilesWritten().size() > entryFirstFile_ && first < settings_.SelFiles.size()) {
      uint32_t next = begin_ + progress_.PagesInPortion;
      if (!report_.Lost.empty() && report_.Lost.back() >= next) next = report_.Lost.back() + 1;
      const uint32_t last = settings_.SelFiles[first].EndPage;
      if (next <= last) report_.NotRead.push_back(FormatText("стр. %u..%u", next, last));
      ++first;
    }
    for (size_t i = first; i < settings_.SelFiles.size(); ++i) {
      const recorder::FileEntry& e = settings_.SelFiles[i];
      report_.NotRead.push_back(FormatText(
          "файл от %s, стр. %u..%u", recorder::UnitTimeText(e.StartTime).c_str(), e.BeginPage, e.EndPage));
    }
  } else if (early && !settings_.SelFiles.empty()) {
    const uint32_t next = begin_ + progress_.PagesInPortion;
    const uint32_t last = settings_.SelFiles[0].EndPage;
    if (next <= last) report_.NotRead.push_back(FormatText("стр. %u..%u", next, last));
  }
}

void TrdBce::Finish() {
  if (!settings_.FatMode && progress_.ErrorPages != 0)
    Log(FormatText("\n%04d ошибок ", static_cast<int>(progress_.ErrorPages.load())));
  readTotal_ = static_cast<double>(progress_.PagesDone) + progress_.PagesInPortion;
  if (hooks_.ShowButton) hooks_.ShowButton("x x x");
  StopStream();
  // Why the download ended early; the file being written then is cut there.
  switch (end_.load()) {
    case DownloadEnd::TimedOut:
      report_.EndReason = "от Unit'a нет страниц 3 сек (выход по времени)";
      break;
    case DownloadEnd::Cancelled:
      report_.EndReason = "прервано пользователем";
      break;
    case DownloadEnd::DeviceGone:
      report_.EndReason = "связь с Unit'ом потеряна (устройство отключено)";
      break;
    case DownloadEnd::Stopped:
      report_.EndReason = "страница с ошибкой, разрыв или смена параметров записи (подробно в логе)";
      break;
    case DownloadEnd::RequestFailed:
      report_.EndReason = "запрос страниц не записан";
      break;
    case DownloadEnd::WriteFailed:
      report_.EndReason = writer_.Failure();
      break;
    default:
      break;
  }
  // The file is closed before the summary, so that a failed last write is never followed by one.
  const uint32_t last = begin_ + progress_.PagesInPortion - 1;
  if (writer_.FileOpen() &&
      !CloseCut(last, report_.EndReason.empty() ? std::string() : FormatText("до стр. %u", last))) {
    end_ = DownloadEnd::WriteFailed;
    report_.EndReason = writer_.Failure();
  }
  BuildReport();
  const uint32_t elapsed = platform::TicksSince(startTick_, platform::GetTickCount());
  const double total = readTotal_;
  const bool incomplete = end_ != DownloadEnd::Refused && !report_.Complete();
  if (end_ == DownloadEnd::Refused) {
    if (hooks_.ShowSummary) hooks_.ShowSummary("чтение не начато");
  } else if (end_ == DownloadEnd::WriteFailed) {
    Log("\n\n   ошибка записи данных: чтение прервано.");
    if (hooks_.ShowSummary) hooks_.ShowSummary("ошибка записи!");
  } else {
    const std::string summary =
        FormatText(" %.0f Kb за %.1f cek ( %.0fkb/cek )     / %.2fcек", total * 0.5, elapsed * 0.001,
                   total * 512 / (elapsed + 1.0), link_.TotalWait * 0.001);
    // The rate of an incomplete download never reads like the summary of a complete one.
    if (hooks_.ShowSummary) hooks_.ShowSummary(incomplete ? "прочитано не всё!" + summary : summary);
    Log("\n" + summary);
  }
  if (incomplete) {
    const std::string text = DownloadReportText(report_);
    Log("\n\n" + text + "\n");
    if (hooks_.Message) hooks_.Message(text, kIncompleteCaption);
  }
  // A device that has gone has nothing to drain: every call would fail for the drain's two seconds.
  if (end_ != DownloadEnd::DeviceGone) link_.DrainMessages();
  platform::Sleep(1000);
  if (hooks_.Done) hooks_.Done();
}

}  // namespace acquisition
