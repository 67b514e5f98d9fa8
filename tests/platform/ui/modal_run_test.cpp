#include "platform/ui/modal_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "platform/ui/message_box.h"
#include "support/qt/ui_test_script.h"

namespace platform::ui {
namespace {

using support::Ui;
using ::testing::HasSubstr;

// A chooser that fills its edit when shown and asks before it lets a nested dialog run.
class TChooser : public QDialog {
  Q_OBJECT

 public:
  TChooser() {
    E_name = new QLineEdit(this);
    B_more = new QPushButton(this);
    connect(B_more, &QPushButton::clicked, this, &TChooser::B_moreClick);
  }
  QLineEdit* E_name;
  QPushButton* B_more;
  int nestedResult = -100;

 protected:
  void showEvent(QShowEvent* event) override {
    E_name->setText("из FormShow");
    QDialog::showEvent(event);
  }

 private:
  void B_moreClick();
};

class TNested : public QDialog {
  Q_OBJECT
};

void TChooser::B_moreClick() {
  if (MessageBox("открыть ещё?", "?", MsgButtons::YesNo) != MsgAnswer::Yes) return;
  TNested nested;
  nestedResult = RunModal(nested);
}

TEST(ModalRunTest, HandlerActsOnTheShownDialogAndGivesItsResult) {
  TChooser chooser;
  QString seenOnShow;
  Ui().ExpectModal(
      [&](QDialog& dialog) {
        auto& form = static_cast<TChooser&>(dialog);
        EXPECT_TRUE(form.isVisible());
        seenOnShow = form.E_name->text();
        form.E_name->setText("qvd.0");
        form.accept();
      },
      "TChooser");
  EXPECT_EQ(RunModal(chooser), QDialog::Accepted);
  EXPECT_EQ(seenOnShow, "из FormShow");
  EXPECT_EQ(chooser.E_name->text(), "qvd.0");
  EXPECT_FALSE(chooser.isVisible());

  Ui().ExpectModal([](QDialog& dialog) { dialog.done(222); });
  EXPECT_EQ(RunModal(chooser), 222);
}

TEST(ModalRunTest, NestedBoxesAndRunsTakeTheirStepsInOrder) {
  TChooser chooser;
  Ui().ExpectModal([](QDialog& dialog) {
    static_cast<TChooser&>(dialog).B_more->click();
    dialog.reject();
  });
  Ui().ExpectMessage(MsgAnswer::Yes, "открыть ещё?");
  Ui().ExpectModal([](QDialog& dialog) { dialog.done(7); }, "TNested");
  EXPECT_EQ(RunModal(chooser), QDialog::Rejected);
  EXPECT_EQ(chooser.nestedResult, 7);
  EXPECT_TRUE(Ui().UnusedSteps().empty());
}

TEST(ModalRunTest, UnscriptedWrongOrUnfinishedRunsFail) {
  TChooser chooser;
  EXPECT_EQ(RunModal(chooser), QDialog::Rejected);
  Ui().ExpectModal([](QDialog& dialog) { dialog.accept(); }, "TNested");
  EXPECT_EQ(RunModal(chooser), QDialog::Rejected);
  auto failures = Ui().TakeFailures();
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_THAT(failures[0], HasSubstr("unscripted modal run of platform::ui::TChooser"));
  EXPECT_THAT(failures[1], HasSubstr("the script expects TNested"));
  Ui().Reset();

  // A handler that forgets to close the dialog.
  Ui().ExpectModal([](QDialog&) {});
  EXPECT_EQ(RunModal(chooser), QDialog::Rejected);
  EXPECT_FALSE(chooser.isVisible());
  failures = Ui().TakeFailures();
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_THAT(failures[0], HasSubstr("left the modal platform::ui::TChooser open"));
}

TEST(ModalRunTest, RealRunReturnsTheValueTheDialogEndsWith) {
  InstallScript(nullptr);
  TChooser chooser;
  QTimer::singleShot(0, &chooser, [&] { chooser.done(5); });
  const int result = RunModal(chooser);
  InstallScript(&Ui());
  EXPECT_EQ(result, 5);
}

}  // namespace
}  // namespace platform::ui

#include "modal_run_test.moc"
