#pragma once
// The test side of the GUI services. While a UiScript is installed, message boxes, modal runs, program
// ends and the screen size are served from it instead of the user and the system:
//   - a message box takes the next scripted answer (checked against its text when the script names
//     one); without one it records a failure and returns its default answer at once, never blocking;
//     a box whose text a standing rule names must name the rule's default button (the one Enter
//     presses), else a failure is recorded;
//   - a modal run hands the dialog to the next scripted handler, which acts on it (fills controls,
//     presses buttons, accepts) while it is shown without an event loop; without one it records a
//     failure and returns QDialog::Rejected;
//   - ExitProgram records the status (a failure unless expected) and throws ProgramTerminated;
//   - a sound is not played: its file is recorded, and it fails as the script says.
// The failures are collected here, independent of any test framework; the test support turns them
// into test failures at the end of each test, with any scripted step left unused.
// All members are thread-safe.
#include <QRect>
#include <QSize>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/message_box.h"

class QDialog;

namespace platform::ui {

// One message box as it was shown, with the answer it got.
struct ShownMessage {
  std::string text;
  std::string caption;
  MsgButtons buttons = MsgButtons::Ok;
  MsgIcon icon = MsgIcon::None;
  MsgAnswer answer = MsgAnswer::Ok;
  MsgDefault defaultButton;  // the button the box names as its default (Enter), if any
  bool scripted = false;     // false: nobody expected it (a failure was recorded)
};

class UiScript {
 public:
  using ModalHandler = std::function<void(QDialog&)>;

  // The next message box gets `answer`. When `textContains` is not empty, the box's text must contain
  // it; a box that does not match is a failure (and gets its default answer; the step stays queued).
  void ExpectMessage(MsgAnswer answer, std::string textContains = {});
  // The next message box is left with Enter: it gets the button it names as its default, or, when it
  // names none, the platform's usual pick (EnterAnswer). Text as for ExpectMessage.
  void ExpectEnter(std::string textContains = {});
  // A standing rule: every message box whose text contains `textContains` names `defaultButton` as its
  // default; one that does not is a failure. Rules stay through Reset until ClearDefaultRules.
  void RequireDefault(std::string textContains, MsgAnswer defaultButton);
  void ClearDefaultRules();
  // The next modal run calls `handler` with the dialog. When `dialogClass` is not empty, the dialog's
  // class name (its QMetaObject class name, with or without namespaces, e.g. "TForm3") must equal it.
  void ExpectModal(ModalHandler handler, std::string dialogClass = {});
  // The next ExitProgram is expected with `status`.
  void ExpectExit(int status);
  // Every sound from now on fails with `why` (empty: the sounds play).
  void SetSoundFailure(std::string why);
  // Fixes the size ScreenSize() reports.
  void SetScreenSize(QSize size);
  // Fixes the area AvailableScreenArea() reports (without it: the whole scripted screen).
  void SetAvailableArea(QRect area);

  std::vector<ShownMessage> Messages() const;
  std::vector<int> Exits() const;
  // The files of the sounds asked for, in order.
  std::vector<std::string> Sounds() const;
  // Failures recorded so far; Take empties the list.
  std::vector<std::string> Failures() const;
  std::vector<std::string> TakeFailures();
  // Descriptions of scripted steps nobody used.
  std::vector<std::string> UnusedSteps() const;
  void RecordFailure(std::string what);
  // Forgets steps, logs, failures, the sound failure and the screen size (not the standing default
  // rules).
  void Reset();

  // Called by the services.
  MsgAnswer AnswerMessage(const std::string& text, const std::string& caption, MsgButtons buttons,
                          MsgIcon icon, MsgDefault defaultButton = std::nullopt);
  int RunModal(QDialog& dialog);
  void RecordExit(int status);
  // Records a sound; returns why it fails (empty: it plays).
  std::string PlaySound(const std::string& path);
  std::optional<QSize> ScreenSize() const;
  std::optional<QRect> AvailableArea() const;

 private:
  struct MessageStep {
    MsgAnswer answer;
    std::string textContains;
    bool enter = false;  // answered as Enter would: the box's default
  };
  struct DefaultRule {
    std::string textContains;
    MsgAnswer defaultButton;
  };
  struct ModalStep {
    ModalHandler handler;
    std::string dialogClass;
  };

  mutable std::mutex mutex_;
  std::deque<MessageStep> messageSteps_;
  std::deque<ModalStep> modalSteps_;
  std::deque<int> exitSteps_;
  std::vector<DefaultRule> defaultRules_;
  std::vector<ShownMessage> messages_;
  std::vector<int> exits_;
  std::vector<std::string> sounds_;
  std::string soundFailure_;
  std::vector<std::string> failures_;
  std::optional<QSize> screenSize_;
  std::optional<QRect> availableArea_;
};

// The installed script, or nullptr in the program.
UiScript* ActiveScript();
// Installs `script` (nullptr: back to the real services). The caller keeps it alive while installed.
void InstallScript(UiScript* script);

}  // namespace platform::ui
