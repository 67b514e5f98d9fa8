#pragma once
// The work log of the attached recorder: one text file in its data directory, appended to line by line.
// Every line opens the file, appends and closes it again, so that the log survives any crash. The main
// window and every worker thread write through the one logger; a lock keeps their lines whole.
#include <functional>
#include <mutex>
#include <string>

namespace recorder {

class WorkLog {
 public:
  // Told about a line that could not be written, with the text to show the user (OpenFailureText or
  // WriteFailureText). Called without the logger's lock held, so it may show a message box from
  // any thread.
  using FailureNotice = std::function<void(const std::string& message)>;

  // The file the lines go to; empty: none yet (every line fails).
  void SetFileName(const std::string& path);
  // No file, because the folder it belongs in was refused for `why`: every line is lost, and only the
  // first tells the failure notice, with `why`. A later SetFileName ends this.
  void SetRefusedFolder(const std::string& why);
  // Why the folder was refused; empty when it was not.
  std::string Refusal() const;
  std::string FileName() const;
  void SetFailureNotice(FailureNotice notice);

  // Appends `text` and a newline. False when the file did not open or took fewer bytes than given;
  // the failure notice has then been told.
  bool Write(const std::string& text);
  // Appends `text` as it stands, without the newline and without telling the failure notice: for
  // callers that report a failed log themselves.
  bool Append(const std::string& text);

  // The texts shown when the file at `path` did not open, or took fewer bytes than given.
  static std::string OpenFailureText(const std::string& path);
  static std::string WriteFailureText(const std::string& path);

 private:
  enum class Outcome { Written, NotOpened, NotWritten };
  Outcome AppendLocked(const std::string& text);

  mutable std::mutex mutex_;
  std::string fileName_;
  std::string refusal_;  // why there is no file; empty when none was refused
  bool refusalTold_ = false;
  FailureNotice notice_;
};

// The program's work log.
WorkLog& TheWorkLog();

// Appends `text` and a newline to the program's work log; a failure is shown to the user and the line
// is lost. Any thread.
bool WriteLog(const std::string& text);

}  // namespace recorder
