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
// A frame garbled at the end of a request leaves the line quiet: after this long the rest of the request
// is taken as lost on the line, well before the time-out that ends a download.
constexpr uint32_t kLostTailMs = 500;
// After a download ended by time-out the recorder has sent nothing for seconds: its stop echo is awaited
// only while the line still brings something, and given up after this long of silence.
constexpr uint32_t kSilentStopQuietMs = 2000;
// The bytes of one page reply frame: header, 512-byte body, check byte.
constexpr uint32_t kPageFrameBytes = 6 + 512 + 1;
// The back ends fail a queue-status request only when the device has gone; a few in a row make sure.
constexpr unsigned kGoneAfterFailures = 3;

// A reception that took nothing from the line: nothing pending, or less than a header stuck in the queue.
bool NothingNew(uint16_t count, uint16_t error, uint16_t dropped) {
  return count == 0 && dropped == 0 && (error == recorder::kReceiveOk || error == recorder::kNoHeader);
}

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
  lastHeardTick_ = platform::GetTickCount();
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
  writer_.ResetFileCounter();
  const uint32_t next = index + 1;
  link_.DrainMessages();
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

void TrdBce::SetupPageLost(uint32_t p) {
  Log(FormatText("\n на стр SETUPa %u: кадр не принят.    Пользуемся Setup'ом UNITa", p));
  writer_.FileSetup = settings_.Setup;
  ++progress_.PagesInPortion;
}

TrdBce::State TrdBce::OnFatPage(uint32_t p, uint16_t error, uint16_t dropped, uint32_t lost) {
  const recorder::FileEntry& entry = settings_.SelFiles[progress_.FileIndex];
  const uint8_t ksBlock = recorder::CardSum({page_, kCardPageSize});
  const uint8_t ksHeader = recorder::CardSum({page_, kCardPageHeaderSize});
  PageSequence& seq = writer_.Sequence;
  if (progress_.PagesInPortion == 0 && begin_ == entry.BeginPage) {
    // The file's first page: its setup copy.
    seq.PrevCode = seq.Code;
    const bool setupCopy = ksBlock == 0 && page_[0] == recorder::kSetupCopyMark;
    if (lost == 0 || setupCopy) {
      if (setupCopy) {
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
    // The setup page's frame was lost on the line, and this page came after it: the file goes on with
    // the recorder's setup, and the frames lost after the setup page show as a break in the codes.
    SetupPageLost(p);
    ++p;
    seq.PrevCode = static_cast<uint8_t>(seq.Code - lost);
    dropped = 0;  // the bytes dropped were those of the lost frame; this page came whole
  }
  const uint32_t inPortion = progress_.PagesInPortion;
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
    ++report_.LostPages;
    if (!CloseCut(p - 1, FormatText("стр. %u не принята", p))) return EndWith(DownloadEnd::WriteFailed);
    return EndWith(DownloadEnd::Stopped);
  }
  const bool firstDataPage = inPortion == 1 && begin_ == entry.BeginPage;
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
        MarkLastFileCut("ошибка записи");
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
  ++report_.LostPages;
  if (errors < kMostLoggedErrors) {
    std::string line = FormatText("\n%07u: error 0x%04x;  пропуск %04ubt;  ks_блока 0x%02x  ks_заг %02x", p,
                                  error, dropped, ksBlock, ksHeader);
    if (ksHeader == 0 && fault != recorder::HeaderFault::None) line += "  " + FaultText(fault);
    Log(line);
  }
  if (!CloseCut(p, FormatText("стр. %u не принята", p))) return EndWith(DownloadEnd::WriteFailed);
  return kReceive;
}

uint32_t TrdBce::LostBefore(uint8_t code) {
  uint32_t lost = 0;
  if (codeKnown_) {
    lost = static_cast<uint8_t>(code - lastCode_ - 1);
  } else {
    // The first page frame of the download: the frames lost before it left their bytes on the line.
    lost = (garbage_ + kPageFrameBytes / 2) / kPageFrameBytes;
  }
  codeKnown_ = true;
  lastCode_ = code;
  garbage_ = 0;
  garbled_ = false;
  // More than the request still holds (this page included): not frames of this request.
  if (lost >= uint32_t{portion_} - progress_.PagesInPortion) lost = 0;
  return lost;
}

TrdBce::State TrdBce::OnLostFrames(uint32_t lost, uint16_t dropped) {
  // The recorder numbers the pages of a stream; frames whose header never came are counted by the gap,
  // as error pages of their own numbers, so that the pages after them keep theirs.
  for (uint32_t i = 0; i < lost; ++i) {
    const uint32_t p = begin_ + progress_.PagesInPortion;
    ++progress_.PagesInPortion;
    const uint32_t errors = ++progress_.ErrorPages;
    ++report_.LostPages;
    if (errors < kMostLoggedErrors)
      Log(FormatText("\n%07u: error 0x%04x;  пропуск %04ubt;  кадр не принят", p, recorder::kNoHeader,
                     dropped));
    if (!CloseCut(p, FormatText("стр. %u не принята", p))) return EndWith(DownloadEnd::WriteFailed);
  }
  return kReceive;
}

TrdBce::State TrdBce::OnLostTail() {
  uint32_t lost = uint32_t{portion_} - progress_.PagesInPortion;
  // The recorder sent them: the next request's first code follows theirs.
  if (codeKnown_) lastCode_ = static_cast<uint8_t>(lastCode_ + lost);
  garbage_ = 0;
  garbled_ = false;
  if (!settings_.FatMode) return OnLostFrames(lost, 0);
  const recorder::FileEntry& entry = settings_.SelFiles[progress_.FileIndex];
  uint32_t p = begin_ + progress_.PagesInPortion;
  if (progress_.PagesInPortion == 0 && begin_ == entry.BeginPage) {
    SetupPageLost(p);
    ++p;
    if (--lost == 0) return kReceive;
  }
  // In a FAT file a page that did not arrive ends the download, as a bad page does.
  Log(FormatText("\nпр-ск:  err 0x%04x;  bl %07u  кадр не принят;", recorder::kNoHeader, p));
  ++report_.LostPages;
  if (!CloseCut(p - 1, FormatText("стр. %u не принята", p))) return EndWith(DownloadEnd::WriteFailed);
  return EndWith(DownloadEnd::Stopped);
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
      const uint16_t count = link_.ReceiveMessage(error, dropped, type, code, link_.Buffer);
      const uint32_t now = platform::GetTickCount();
      if (error == recorder::kQueueStatus) {
        // The driver cannot tell what is waiting: the device has gone. Nothing more will come.
        if (++statusFailures_ >= kGoneAfterFailures) state = DeviceGone();
      } else {
        statusFailures_ = 0;
        if (error != 0 || dropped != 0) {
          garbled_ = true;
          garbage_ += dropped;
        }
        // A remnant of a garbled frame, too short for a header, may stay in the queue: it brings nothing.
        if (!NothingNew(count, error, dropped)) lastHeardTick_ = now;
      }
      if (state == kFinish) {
      } else if ((type & 0xF0) == 0x20 && count == recorder::kPageCount) {
        writer_.Sequence.Code = code;
        writer_.Sequence.Serial = static_cast<uint16_t>(page_[8] | page_[9] << 8);
        const uint32_t lost = LostBefore(code);
        if (!settings_.FatMode) state = OnLostFrames(lost, dropped);
        if (state != kFinish) {
          const uint32_t p = begin_ + progress_.PagesInPortion;
          state = settings_.FatMode ? OnFatPage(p, error, dropped, lost) : OnRangePage(p, error, dropped);
        }
        if (state != kFinish && progress_.PagesInPortion == portion_) state = EndOfPortion();
      } else if (NothingNew(count, error, dropped) && garbled_ && requestOpen_ &&
                 progress_.PagesInPortion < portion_ &&
                 platform::TicksSince(lastHeardTick_, now) >= kLostTailMs) {
        state = OnLostTail();
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
  for (size_t i = 0; i < files.size(); ++i) report_.Files.push_back({FileNameOf(files[i]), cuts_[i]});
  report_.NotRead.clear();
  const bool early = end_ != DownloadEnd::Completed;
  if (settings_.FatMode) {
    if (!early) return;
    // The entry being read when the download ended, when none of its files was begun, and all after it.
    size_t first = progress_.FileIndex;
    if (writer_.FilesWritten().size() > entryFirstFile_) ++first;
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
