#pragma once
// TrdBce: the worker thread that reads chosen recordings from the recorder's flash card into
// recording data files. It asks for the pages in portions, checks every page and its header and the
// running reply codes, hands the accepted data pages to the DownloadWriter, keeps the counters the
// main window's timer shows and logs a summary with the transfer rate.
//
// It reads only its DownloadSettings, filled before it starts, and tells the main window through
// DownloadHooks, which the window implements with Synchronize / PostToGui; it never touches a widget.
#include <atomic>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <thread>

#include "acquisition/download_report.h"
#include "acquisition/download_settings.h"
#include "acquisition/download_writer.h"
#include "acquisition/page_identity.h"
#include "recorder/download_progress.h"
#include "recorder/unit_link.h"

namespace acquisition {

struct DownloadHooks {
  LogSink Log;
  // Caption changes: the new data file's name (L_dt), "x x x" on the button (B_read), the summary (L_N).
  std::function<void(const std::string&)> ShowFileName;
  std::function<void(const std::string&)> ShowButton;
  std::function<void(const std::string&)> ShowSummary;
  // A message box (text, caption) the window shows: also the report of a download that did not read
  // everything it was asked for.
  std::function<void(const std::string&, const std::string&)> Message;
  // The end handshake (DownloadDone), the last thing the thread does.
  std::function<void()> Done;
};

// How a download ended.
enum class DownloadEnd {
  Running,
  Completed,  // everything asked for was read (or the recorded area ended)
  Stopped,    // a bad page, a parameter change or a time gap ended it, as logged
  Cancelled,  // Terminate
  TimedOut,   // no accepted page for more than 3 s
  RequestFailed,
  LogFailed,    // the work log does not open: nothing was read
  WriteFailed,  // a data file could not be created or written: reported, never a success
  Refused,      // the recorder's sample clock is not one a recorder reports: nothing was read
  DeviceGone,   // the recorder's USB device went away (a pulled cable)
};

// The caption of the box that reports an incomplete download.
inline constexpr const char* kIncompleteCaption = "Прочитано не всё";

class TrdBce {
 public:
  TrdBce(recorder::UnitLink& link, DownloadSettings settings, recorder::DownloadProgress& progress,
         std::atomic<double>& readTotal, DownloadHooks hooks);
  ~TrdBce();  // asks the thread to end and joins it
  TrdBce(const TrdBce&) = delete;
  TrdBce& operator=(const TrdBce&) = delete;

  // Starts the thread; false when it was started before (one download per object).
  bool Start();
  // Asks the running download to end; it closes its file with what it has received.
  void Terminate();
  // Joins the thread (call on the GUI thread through platform::ui::JoinServing instead).
  std::jthread& Thread() { return thread_; }

  // The body of the thread; tests run it on their own thread.
  void Execute(std::stop_token stop);

  DownloadEnd End() const { return end_.load(); }
  const DownloadWriter& Writer() const { return writer_; }
  // Which files are complete and what was not read; filled when the download has ended.
  const DownloadReport& Report() const { return report_; }

 private:
  enum State { kFinish = 3, kRequest = 7, kReceive = 8 };
  void Log(const std::string& text);
  State RequestPortion();
  // A page frame with reply code `code`: filed under the page its own header names, checked against the
  // page the stream is at and the code; a frame that cannot be placed makes the request be asked again.
  State OnPageFrame(uint8_t code, uint16_t error);
  // Files the frame in the buffer as card page `p` (the next page not yet filed) by the mode's rules;
  // `data`: a data page with a usable header, which the next pages are placed after.
  State Settle(uint32_t p, uint8_t code, uint8_t ksBlock, bool data);
  // In step, yet the frame disagrees with where the stream is (`why`): the pages from `p` are asked for
  // again; the second time the same is seen the card holds it there, and it is filed.
  State TakeSecondTime(uint32_t p, uint8_t code, uint8_t ksBlock, bool data, const std::string& why);
  // Bytes dropped since the last page filed, as the log lines count them.
  uint16_t DroppedSoFar() const;
  // `ksBlock`: the card sum of the page.
  State OnFatPage(uint32_t p, uint16_t error, uint16_t dropped, uint8_t ksBlock);
  State OnRangePage(uint32_t p, uint16_t error, uint16_t dropped, uint8_t ksBlock);
  // Page `p` (the next not yet filed) did not arrive whole, twice: it is named lost by the mode's rules.
  State SettleLost(uint32_t p, uint16_t dropped);
  // Page `p` did not arrive, or what came cannot be placed: the stream is ended and the pages from `p`
  // asked for again; the second time a page fails it is named lost instead and reading goes on after it.
  State PageFailed(uint32_t p, const char* why);
  // True when page `p` failed before (this is its second failure); notes the failure.
  bool FailedBefore(uint32_t p);
  // Ends the current request at the first page not yet filed and asks on from there.
  State RestartHere();
  // A frame that is no page of this request (an old stream's, a repeated one): dropped.
  State DropStale(uint32_t p, int64_t page);
  // The line fell quiet after bytes were lost: the pages not yet filed are asked for again.
  State OnLostTail();
  // Card page `p` may hold the data page in the buffer, by the FAT rows.
  bool DataPagePlausible(uint32_t p) const;
  bool SetupPageExpected(uint32_t p) const;
  // Ends the recorder's stream and empties the line: the stop's echo is awaited, or the line's silence
  // past the recorder's own time-out; the next stream's codes are learnt anew.
  void StopAndDrain();
  // The setup page of a FAT file did not arrive good: the recorder's own setup heads the file.
  void UseUnitSetup();
  void NoteLost(uint32_t p);
  State EndOfPortion();
  State EndWith(DownloadEnd end);
  State DeviceGone();
  bool LinkGone();
  // Closes the open file at `endPage`; it is reported as cut for `reason`. False when the close failed.
  bool CloseCut(uint32_t endPage, const std::string& reason);
  void MarkLastFileCut(const std::string& reason);
  // FAT mode: the files of the current entry are headed with the recorder's setup when its own was lost.
  void MarkEntryFiles();
  void StopStream();
  // No page for the time-out, and no byte of a frame on its way either.
  bool TimedOut() const;
  void BuildReport();
  // "заголовок: " and the reason a page header was refused.
  std::string FaultText(recorder::HeaderFault fault) const;
  void Finish();

  recorder::UnitLink& link_;
  DownloadSettings settings_;
  recorder::DownloadProgress& progress_;
  std::atomic<double>& readTotal_;
  DownloadHooks hooks_;
  DownloadWriter writer_;
  std::jthread thread_;
  bool started_ = false;
  std::atomic<DownloadEnd> end_{DownloadEnd::Running};

  const uint8_t* page_ = nullptr;
  uint32_t begin_ = 0;
  uint16_t portion_ = 0;
  // The recorder numbers the page frames of its streams with a running reply code, across requests.
  bool codeKnown_ = false;  // nextCode_ is the code of page begin_ + PagesInPortion
  uint8_t nextCode_ = 0;
  uint32_t skipped_ = 0;      // bytes dropped on the line since the last page filed
  bool garbled_ = false;      // since the last page filed the line lost a frame or bytes of one
  bool requestOpen_ = false;  // pages of the current request may still be streaming
  bool staleLogged_ = false;  // a frame of an old stream was logged for this request
  PageIdentity anchor_;       // the last data page filed in the current recording
  uint32_t failedPage_ = 0;   // the page that failed last, asked for again
  bool failedOnce_ = false;
  unsigned lostInRow_ = 0;       // pages named lost since the last page filed
  bool entryUnitSetup_ = false;  // FAT mode: the current entry is headed with the recorder's setup
  uint32_t lostBeforeFile_ = 0;  // range mode: the page lost before the next file + 1 (0: none)
  unsigned statusFailures_ = 0;
  uint32_t startTick_ = 0;
  uint32_t lastPageTick_ = 0;
  uint32_t lastHeardTick_ = 0;     // the last reception that brought anything
  size_t entryFirstFile_ = 0;      // FAT mode: files written before the current entry
  std::vector<std::string> cuts_;  // by file written: why it is incomplete, empty when it is not
  std::vector<bool> unitSetup_;    // by file written: headed with the recorder's setup
  DownloadReport report_;
};

}  // namespace acquisition
