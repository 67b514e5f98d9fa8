#include "platform/ui/message_box.h"

#include <gmock/gmock.h>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>
#include <thread>

#include "platform/ui/synchronize.h"
#include "support/qt/ui_test_script.h"

namespace platform::ui {
namespace {

using support::Ui;
using ::testing::HasSubstr;

TEST(MessageBoxTest, ScriptedAnswersAreGivenInOrderAndLogged) {
  Ui().ExpectMessage(MsgAnswer::Yes, "возможно включена передача");
  Ui().ExpectMessage(MsgAnswer::Ok);
  EXPECT_EQ(MessageBox("лог\n\nвозможно включена передача", "остановить?", MsgButtons::YesNo),
            MsgAnswer::Yes);
  EXPECT_EQ(MessageBox(QString("e r r o r "), QString(), MsgButtons::Ok, MsgIcon::Error), MsgAnswer::Ok);

  const auto shown = Ui().Messages();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].caption, "остановить?");
  EXPECT_EQ(shown[0].buttons, MsgButtons::YesNo);
  EXPECT_EQ(shown[0].answer, MsgAnswer::Yes);
  EXPECT_TRUE(shown[0].scripted);
  EXPECT_EQ(shown[1].text, "e r r o r ");
  EXPECT_EQ(shown[1].icon, MsgIcon::Error);
  EXPECT_TRUE(Ui().Failures().empty());
}

TEST(MessageBoxTest, UnscriptedOrMismatchedBoxFailsAndAnswersSafelyAtOnce) {
  EXPECT_EQ(MessageBox("удалить?", "?", MsgButtons::YesNo), MsgAnswer::No);
  EXPECT_EQ(MessageBox("дальше?", "?", MsgButtons::YesNoCancel), MsgAnswer::Cancel);
  auto failures = Ui().TakeFailures();
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_THAT(failures[0], HasSubstr("unscripted message box \"удалить?\""));
  EXPECT_FALSE(Ui().Messages()[0].scripted);

  // A box whose text the script does not expect is a failure; the step waits for its own box.
  Ui().ExpectMessage(MsgAnswer::Ok, "адрес изменять");
  EXPECT_EQ(MessageBox("другой текст", "продолжать?", MsgButtons::OkCancel), MsgAnswer::Cancel);
  failures = Ui().TakeFailures();
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_THAT(failures[0], HasSubstr("\"адрес изменять\""));
  EXPECT_EQ(
      MessageBox("адрес изменять только при испорченных секторах карты", "продолжать?", MsgButtons::OkCancel),
      MsgAnswer::Ok);
  EXPECT_TRUE(Ui().Failures().empty());
}

void ShowUnscriptedAndReport() {
  MessageBox("нет связи", "Error", MsgButtons::Ok, MsgIcon::Error);
  support::ReportUiScript();
}

void LeaveStepAndReport() {
  Ui().ExpectMessage(MsgAnswer::Yes, "остановить");
  support::ReportUiScript();
}

TEST(MessageBoxTest, TestSupportTurnsScriptFailuresIntoTestFailures) {
  EXPECT_NONFATAL_FAILURE(ShowUnscriptedAndReport(), "unscripted message box \"нет связи\"");
  EXPECT_NONFATAL_FAILURE(
      LeaveStepAndReport(),
      "scripted step left unused: message box answered Yes with text containing \"остановить\"");
  EXPECT_TRUE(Ui().Messages().empty());  // reported and emptied
}

// Without a script the real box is shown; a timer presses its button as a user would.
TEST(MessageBoxTest, RealBoxReturnsThePressedButton) {
  InstallScript(nullptr);
  QString seenText, seenTitle;
  QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    seenText = box->text();
    seenTitle = box->windowTitle();
    seenIcon = box->icon();
    box->button(QMessageBox::No)->click();
  });
  const MsgAnswer answer = MessageBox("Сохранить?", "Вопрос", MsgButtons::YesNoCancel, MsgIcon::Question);
  InstallScript(&Ui());
  EXPECT_EQ(answer, MsgAnswer::No);
  EXPECT_EQ(seenText, "Сохранить?");
  EXPECT_EQ(seenTitle, "Вопрос");
  EXPECT_EQ(seenIcon, QMessageBox::Question);
}

// Enter and Escape on a real box, pressed where a user's key lands: the widget that has the focus.
TEST(MessageBoxTest, RealBoxAnswersEnterWithItsNamedDefaultAndEscapeSafely) {
  struct Case {
    const char* name;
    MsgButtons buttons;
    MsgDefault named;
    Qt::Key key;
    MsgAnswer answer;
  };
  const Case cases[] = {
      {"Enter, Cancel named", MsgButtons::YesNoCancel, MsgAnswer::Cancel, Qt::Key_Return, MsgAnswer::Cancel},
      {"Enter, No named", MsgButtons::YesNoCancel, MsgAnswer::No, Qt::Key_Return, MsgAnswer::No},
      {"Enter, No named of two", MsgButtons::YesNo, MsgAnswer::No, Qt::Key_Enter, MsgAnswer::No},
      // Without a named default Enter presses the platform's pick, which EnterAnswer foretells.
      {"Enter, none named", MsgButtons::YesNoCancel, std::nullopt, Qt::Key_Return,
       EnterAnswer(MsgButtons::YesNoCancel, std::nullopt)},
      {"Enter, none named of two", MsgButtons::YesNo, std::nullopt, Qt::Key_Return,
       EnterAnswer(MsgButtons::YesNo, std::nullopt)},
      {"Escape, Yes named", MsgButtons::YesNoCancel, MsgAnswer::Yes, Qt::Key_Escape, MsgAnswer::Cancel},
      {"Escape of two", MsgButtons::YesNo, std::nullopt, Qt::Key_Escape, MsgAnswer::No},
  };
  EXPECT_EQ(EnterAnswer(MsgButtons::YesNoCancel, std::nullopt), MsgAnswer::Yes);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InstallScript(nullptr);
    bool pressed = false;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      QWidget* target = box->focusWidget() ? box->focusWidget() : box;
      QKeyEvent press(QEvent::KeyPress, c.key, Qt::NoModifier);
      QKeyEvent release(QEvent::KeyRelease, c.key, Qt::NoModifier);
      QApplication::sendEvent(target, &press);
      QApplication::sendEvent(target, &release);
      pressed = true;
      // A key that closed nothing must not leave the test blocked (the answer then shows it).
      if (box->isVisible()) box->done(QMessageBox::Ok);
    });
    const MsgAnswer answer = MessageBox("Запись?", "вопрос", c.buttons, MsgIcon::Question, c.named);
    InstallScript(&Ui());
    EXPECT_TRUE(pressed);
    EXPECT_EQ(answer, c.answer) << ToString(answer);
  }
}

TEST(MessageBoxTest, ScriptedEnterGivesTheNamedDefaultAndRulesCheckIt) {
  Ui().ExpectEnter("регистрации");
  Ui().ExpectEnter("опасно");
  EXPECT_EQ(MessageBox("режим регистрации?", "", MsgButtons::YesNoCancel, MsgIcon::Question, MsgAnswer::Cancel),
            MsgAnswer::Cancel);
  EXPECT_EQ(MessageBox("опасно", "", MsgButtons::YesNoCancel), MsgAnswer::Yes);
  EXPECT_EQ(Ui().Messages()[0].defaultButton, MsgAnswer::Cancel);
  EXPECT_EQ(Ui().Messages()[1].defaultButton, std::nullopt);

  // A standing rule holds for every box with its text, scripted or not, and outlives Reset.
  Ui().RequireDefault("FLASH", MsgAnswer::No);
  Ui().Reset();
  Ui().ExpectMessage(MsgAnswer::Yes);
  Ui().ExpectMessage(MsgAnswer::Yes);
  Ui().ExpectMessage(MsgAnswer::Yes);
  MessageBox("Запись FLASH", "", MsgButtons::YesNoCancel, MsgIcon::Question, MsgAnswer::No);
  MessageBox("Запись FLASH", "", MsgButtons::YesNoCancel, MsgIcon::Question);
  MessageBox("Запись карты", "", MsgButtons::YesNoCancel, MsgIcon::Question);
  const auto failures = Ui().TakeFailures();
  Ui().ClearDefaultRules();
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_THAT(failures[0], HasSubstr("names no button as its default; Enter must give No"));
}

TEST(MessageBoxTest, RealBoxAskedByAWorkerIsShownOnTheGuiThread) {
  InstallScript(nullptr);
  bool shownOnGui = false;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    shownOnGui = box->thread() == QApplication::instance()->thread();
    box->button(QMessageBox::Yes)->click();
  });
  MsgAnswer answer = MsgAnswer::Cancel;
  std::jthread worker([&] { answer = MessageBox("остановить?", "", MsgButtons::YesNo); });
  JoinServing(worker);
  InstallScript(&Ui());
  EXPECT_EQ(answer, MsgAnswer::Yes);
  EXPECT_TRUE(shownOnGui);
}

}  // namespace
}  // namespace platform::ui
