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

#include "acquisition/download_settings.h"
#include "acquisition/download_writer.h"
#include "recorder/download_progress.h"
#include "recorder/unit_link.h"

namespace acquisition {

struct DownloadHooks {
  LogSink Log;
  // Caption changes: the new data file's name (L_dt), "x x x" on the button (B_read), the summary (L_N).
  std::function<void(const std::string&)> ShowFileName;
  std::function<void(const std::string&)> ShowButton;
  std::function<void(const std::string&)> ShowSummary;
  // A message box (text, caption) the window shows.
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
};

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

 private:
  enum State { kFinish = 3, kRequest = 7, kReceive = 8 };
  void Log(const std::string& text);
  State RequestPortion();
  State OnFatPage(uint32_t p, uint16_t error, uint16_t dropped);
  State OnRangePage(uint32_t p, uint16_t error, uint16_t dropped);
  // A range page whose reply code skips some: the skipped ones are error pages.
  State OnLostFrames(uint8_t code, uint16_t dropped);
  State EndOfPortion();
  State EndWith(DownloadEnd end);
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
  bool codeKnown_ = false;  // a page of the current request came: lastCode_ holds its reply code
  uint8_t lastCode_ = 0;
  uint32_t startTick_ = 0;
  uint32_t lastPageTick_ = 0;
};

}  // namespace acquisition
