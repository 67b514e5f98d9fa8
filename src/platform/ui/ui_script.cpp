#include "platform/ui/ui_script.h"

#include <QDialog>
#include <QMetaObject>
#include <atomic>

namespace platform::ui {
namespace {

std::atomic<UiScript*> g_script{nullptr};

// Hides the dialog when the handler leaves, also by an exception.
class ShownDialog {
 public:
  explicit ShownDialog(QDialog& dialog) : dialog_(dialog) {
    dialog_.setResult(QDialog::Rejected);
    dialog_.show();
  }
  ~ShownDialog() {
    if (dialog_.isVisible()) dialog_.hide();
  }
  ShownDialog(const ShownDialog&) = delete;
  ShownDialog& operator=(const ShownDialog&) = delete;

 private:
  QDialog& dialog_;
};

// A script names a dialog class with or without its namespaces.
bool ClassMatches(const std::string& wanted, const std::string& className) {
  if (wanted.empty() || wanted == className) return true;
  const std::size_t colons = className.rfind("::");
  return colons != std::string::npos && className.compare(colons + 2, std::string::npos, wanted) == 0;
}

}  // namespace

UiScript* ActiveScript() { return g_script.load(); }
void InstallScript(UiScript* script) { g_script.store(script); }

void UiScript::ExpectMessage(MsgAnswer answer, std::string textContains) {
  std::lock_guard lock(mutex_);
  messageSteps_.push_back({answer, std::move(textContains)});
}

void UiScript::ExpectEnter(std::string textContains) {
  std::lock_guard lock(mutex_);
  messageSteps_.push_back({MsgAnswer::Ok, std::move(textContains), true});
}

void UiScript::RequireDefault(std::string textContains, MsgAnswer defaultButton) {
  std::lock_guard lock(mutex_);
  defaultRules_.push_back({std::move(textContains), defaultButton});
}

void UiScript::ClearDefaultRules() {
  std::lock_guard lock(mutex_);
  defaultRules_.clear();
}

void UiScript::ExpectModal(ModalHandler handler, std::string dialogClass) {
  std::lock_guard lock(mutex_);
  modalSteps_.push_back({std::move(handler), std::move(dialogClass)});
}

void UiScript::ExpectExit(int status) {
  std::lock_guard lock(mutex_);
  exitSteps_.push_back(status);
}

void UiScript::SetSoundFailure(std::string why) {
  std::lock_guard lock(mutex_);
  soundFailure_ = std::move(why);
}

std::vector<std::string> UiScript::Sounds() const {
  std::lock_guard lock(mutex_);
  return sounds_;
}

std::string UiScript::PlaySound(const std::string& path) {
  std::lock_guard lock(mutex_);
  sounds_.push_back(path);
  return soundFailure_;
}

void UiScript::SetScreenSize(QSize size) {
  std::lock_guard lock(mutex_);
  screenSize_ = size;
}

void UiScript::SetAvailableArea(QRect area) {
  std::lock_guard lock(mutex_);
  availableArea_ = area;
}

std::vector<ShownMessage> UiScript::Messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

std::vector<int> UiScript::Exits() const {
  std::lock_guard lock(mutex_);
  return exits_;
}

std::vector<std::string> UiScript::Failures() const {
  std::lock_guard lock(mutex_);
  return failures_;
}

std::vector<std::string> UiScript::TakeFailures() {
  std::lock_guard lock(mutex_);
  std::vector<std::string> taken;
  taken.swap(failures_);
  return taken;
}

std::vector<std::string> UiScript::UnusedSteps() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> unused;
  for (const MessageStep& s : messageSteps_) {
    unused.push_back(std::string("message box answered ") + (s.enter ? "with Enter" : ToString(s.answer)) +
                     (s.textContains.empty() ? "" : " with text containing \"" + s.textContains + "\""));
  }
  for (const ModalStep& s : modalSteps_) {
    unused.push_back("modal run" + (s.dialogClass.empty() ? std::string() : " of " + s.dialogClass));
  }
  for (int status : exitSteps_) unused.push_back("program end with status " + std::to_string(status));
  return unused;
}

void UiScript::RecordFailure(std::string what) {
  std::lock_guard lock(mutex_);
  failures_.push_back(std::move(what));
}

void UiScript::Reset() {
  std::lock_guard lock(mutex_);
  messageSteps_.clear();
  modalSteps_.clear();
  exitSteps_.clear();
  messages_.clear();
  exits_.clear();
  sounds_.clear();
  soundFailure_.clear();
  failures_.clear();
  screenSize_.reset();
  availableArea_.reset();
}

MsgAnswer UiScript::AnswerMessage(const std::string& text, const std::string& caption, MsgButtons buttons,
                                  MsgIcon icon, MsgDefault defaultButton) {
  std::lock_guard lock(mutex_);
  ShownMessage shown{text, caption, buttons, icon, DefaultAnswer(buttons), defaultButton, false};
  const std::string box = "message box \"" + text + "\" / \"" + caption + "\" (" + ToString(buttons) + ")";
  for (const DefaultRule& rule : defaultRules_) {
    if (text.find(rule.textContains) == std::string::npos || defaultButton == rule.defaultButton) continue;
    failures_.push_back(box + " names " + (defaultButton ? ToString(*defaultButton) : "no button") +
                        " as its default; Enter must give " + ToString(rule.defaultButton));
  }
  if (messageSteps_.empty()) {
    failures_.push_back("unscripted " + box);
  } else if (const MessageStep& step = messageSteps_.front();
             !step.textContains.empty() && text.find(step.textContains) == std::string::npos) {
    failures_.push_back("unexpected " + box + ": the script expects a text containing \"" +
                        step.textContains + "\"");
  } else {
    shown.answer = step.enter ? EnterAnswer(buttons, defaultButton) : step.answer;
    shown.scripted = true;
    messageSteps_.pop_front();
  }
  messages_.push_back(shown);
  return shown.answer;
}

int UiScript::RunModal(QDialog& dialog) {
  const std::string className = dialog.metaObject()->className();
  ModalHandler handler;
  {
    std::lock_guard lock(mutex_);
    if (modalSteps_.empty()) {
      failures_.push_back("unscripted modal run of " + className);
      return QDialog::Rejected;
    }
    if (!ClassMatches(modalSteps_.front().dialogClass, className)) {
      failures_.push_back("unexpected modal run of " + className + ": the script expects " +
                          modalSteps_.front().dialogClass);
      return QDialog::Rejected;
    }
    handler = std::move(modalSteps_.front().handler);
    modalSteps_.pop_front();
  }
  // The handler runs without the lock: it may show message boxes and nested modal runs.
  {
    ShownDialog shown(dialog);
    if (handler) handler(dialog);
    if (dialog.isVisible()) {
      RecordFailure("the script left the modal " + className + " open");
      dialog.done(QDialog::Rejected);
    }
  }
  return dialog.result();
}

void UiScript::RecordExit(int status) {
  std::lock_guard lock(mutex_);
  exits_.push_back(status);
  if (!exitSteps_.empty() && exitSteps_.front() == status) {
    exitSteps_.pop_front();
  } else {
    failures_.push_back("unexpected program end with exit status " + std::to_string(status));
  }
}

std::optional<QSize> UiScript::ScreenSize() const {
  std::lock_guard lock(mutex_);
  return screenSize_;
}

std::optional<QRect> UiScript::AvailableArea() const {
  std::lock_guard lock(mutex_);
  if (availableArea_) return availableArea_;
  if (screenSize_) return QRect(QPoint(0, 0), *screenSize_);
  return std::nullopt;
}

}  // namespace platform::ui
