#include "recorder/work_log.h"

#include <cstdio>
#include <utility>

#include "platform/output_file.h"

namespace recorder {

void WorkLog::SetFileName(const std::string& path) {
  std::lock_guard lock(mutex_);
  fileName_ = path;
  refusal_.clear();
}

void WorkLog::SetRefusedFolder(const std::string& why) {
  std::lock_guard lock(mutex_);
  fileName_.clear();
  refusal_ = why;
  refusalTold_ = false;
}

std::string WorkLog::Refusal() const {
  std::lock_guard lock(mutex_);
  return refusal_;
}

std::string WorkLog::FileName() const {
  std::lock_guard lock(mutex_);
  return fileName_;
}

void WorkLog::SetFailureNotice(FailureNotice notice) {
  std::lock_guard lock(mutex_);
  notice_ = std::move(notice);
}

std::string WorkLog::OpenFailureText(const std::string& path) {
  return " не открылся лог-file  < " + path + " > !";
}

std::string WorkLog::WriteFailureText(const std::string& path) {
  return " не записался лог-file  < " + path + " > !";
}

WorkLog::Outcome WorkLog::AppendLocked(const std::string& text) {
  if (fileName_.empty()) return Outcome::NotOpened;
  // Never through a link planted at the log's name.
  std::FILE* f = platform::OpenForAppend(fileName_);
  if (f == nullptr) return Outcome::NotOpened;
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  // A full disk may only show when the buffered line is flushed at the close.
  const bool closed = std::fclose(f) == 0;
  return written && closed ? Outcome::Written : Outcome::NotWritten;
}

bool WorkLog::Append(const std::string& text) {
  std::lock_guard lock(mutex_);
  return AppendLocked(text) == Outcome::Written;
}

bool WorkLog::Write(const std::string& text) {
  FailureNotice notice;
  std::string message;
  {
    std::lock_guard lock(mutex_);
    const Outcome outcome = AppendLocked(text + "\n");
    if (outcome == Outcome::Written) return true;
    // A refused folder is told once; a file that fails is told at every line.
    if (!refusal_.empty() && std::exchange(refusalTold_, true)) return false;
    notice = notice_;
    if (!refusal_.empty()) {
      message = refusal_;
    } else {
      message = outcome == Outcome::NotOpened ? OpenFailureText(fileName_) : WriteFailureText(fileName_);
    }
  }
  // Outside the lock: the notice may wait for the GUI thread, which may itself be writing a line.
  if (notice) notice(message);
  return false;
}

WorkLog& TheWorkLog() {
  static WorkLog log;
  return log;
}

bool WriteLog(const std::string& text) { return TheWorkLog().Write(text); }

}  // namespace recorder
