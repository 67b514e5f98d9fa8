// Reading files from the main window when things go wrong: a file that fails to read keeps the record in
// memory, a file of headers only, leaving the start-up dialog, the information list after a read; and
// the routing of keys and presses that the plot does not act on.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QListWidget>
#include <QMenu>
#include <QScrollArea>
#include <filesystem>
#include <vector>

#include "platform/ui/terminator.h"
#include "toolkit/settings_state.h"
#include "viewer/channel_samples.h"
#include "viewer/recording_loader.h"
#include "viewer/ui/main_window.h"
#include "viewer/ui/main_window_fixture.h"

namespace viewer {
namespace {

using platform::ui::MsgAnswer;
using support::Ui;
toolkit::SetupRecord& S() { return *toolkit::Setup; }
float* K(int c) { return GlobalChannelSamples()[static_cast<size_t>(c)]; }

class ReloadWindowTest : public viewer_test::MainWindowFixture {
 protected:
  // The settings dialog, not in open mode: `edit` changes its copy of the settings, then OK.
  static void ScriptSettings(std::function<void(viewer::TMainForm&)> edit) {
    Ui().ExpectModal(
        [edit](QDialog& d) {
          auto& settings = static_cast<viewer::TMainForm&>(d);
          edit(settings);
          settings.BitBtnOkClick();
        },
        "TMainForm");
  }
};

TEST_F(ReloadWindowTest, AFileThatFailsToReadIsShownAndTheRecordStays) {
  OpenForm({});
  ASSERT_EQ(form->Loaded, 1);
  const float* kept = K(2);
  const std::vector<float> values(K(2), K(2) + 6000);
  const QString caption = form->windowTitle();

  // "чтение" → "файла" on a file cut inside its main header.
  std::filesystem::resize_file(dir.File("sample.rec"), 100);
  Ui().ExpectMessage(MsgAnswer::Ok, "короче заголовка MAIN_HEADER");
  form->read_1_fil->trigger();
  EXPECT_EQ(form->Loaded, 1);
  EXPECT_EQ(S().Samples, 6000u);
  EXPECT_EQ(K(2), kept);
  EXPECT_EQ(std::vector<float>(K(2), K(2) + 6000), values);
  EXPECT_EQ(form->windowTitle(), caption);

  // The settings dialog names a file that is not there: the record and its description stay.
  WriteSample({});
  ScriptSettings([](viewer::TMainForm& d) {
    toolkit::SetFieldText(d.Copy().FileName, "gone.rec");
    d.Copy().LoadChannels = 2;
  });
  Ui().ExpectMessage(MsgAnswer::Ok, "Не могу открыть файл");
  form->YCTAHOBKA->trigger();
  EXPECT_EQ(toolkit::FieldText(S().FileName), "sample.rec");
  EXPECT_EQ(S().LoadChannels, 3);
  EXPECT_EQ(S().ChannelCount, 3);
  EXPECT_EQ(K(2), kept);
  EXPECT_EQ(form->windowTitle(), caption);

  // The program goes on, and reads the file again once it is whole.
  form->read_1_fil->trigger();
  EXPECT_EQ(S().Samples, 6000u);
}

TEST_F(ReloadWindowTest, AFileOfHeadersOnlySaysSoOnceAndCommandsChangeNothing) {
  toolkit::SampleRecordingPlan plan;
  plan.frames = 0;
  WriteSample(plan);
  ScriptStart(false);
  Ui().ExpectMessage(MsgAnswer::Ok, kNoSamplesText);
  form = std::make_unique<viewer::TForm1>();
  ASSERT_EQ(form->Loaded, 1);
  EXPECT_EQ(S().Samples, 0u);
  // An empty plot: the rows are laid out, no envelope is drawn.
  EXPECT_EQ(S().ColumnCount[0], 0);
  EXPECT_GT(form->Plot.RowHeight, 0);
  // Keys redraw without a word; a command says that there is nothing to work on.
  Key(Qt::Key_Equal);
  Key(Qt::Key_Space);
  Ui().ExpectMessage(MsgAnswer::Ok, kCommandNeedsSamplesText);
  form->N_abs->trigger();
  Ui().ExpectMessage(MsgAnswer::Ok, kCommandNeedsSamplesText);
  form->N38->trigger();
  EXPECT_TRUE(form->P_oper_c_kan->isHidden());
  EXPECT_EQ(Ui().Messages().size(), 3u);
}

TEST_F(ReloadWindowTest, ALoadClearsTheInformationListAndNamesTheFile) {
  OpenForm({});
  ASSERT_EQ(form->LB_inf->count(), 1);
  EXPECT_EQ(form->LB_inf->item(0)->text(), "sample.rec");
  form->LB_inf->addItem("старое");
  form->read_1_fil->trigger();
  ASSERT_EQ(form->LB_inf->count(), 1);
  EXPECT_EQ(form->LB_inf->item(0)->text(), "sample.rec");
}

TEST_F(ReloadWindowTest, EscapeOrClosingTheDialogInOpenModeLeavesTheProgram) {
  WriteSample({});
  for (const bool escape : {true, false}) {
    SCOPED_TRACE(escape ? "Escape" : "close button");
    std::filesystem::remove(dir.File("qvd.0"));
    Ui().ExpectModal(
        [escape](QDialog& d) {
          if (escape) {
            QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(&d, &key);
          } else {
            d.close();
          }
        },
        "TMainForm");
    Ui().ExpectModal(PickFirstFile, "TForm3");
    Ui().ExpectExit(1);
    EXPECT_THROW(TForm1 never, platform::ui::ProgramTerminated);
    EXPECT_EQ(toolkit::SettingsResult, toolkit::kSettingsLeaveProgram);
    // Only the defaults written when the setup file was missing at start: nothing saved afterwards.
    EXPECT_TRUE(std::filesystem::exists(dir.File("qvd.0")));
    delete toolkit::Setup;
    toolkit::Setup = nullptr;
    support::ReportUiScript();
  }
}

TEST_F(ReloadWindowTest, InCursorModeEveryKeyCountsSoASingleInsertFollowsAnotherKey) {
  OpenForm({});
  Key(Qt::Key_Return);
  ASSERT_EQ(S().CursorMode, 1);
  Key(Qt::Key_Insert);  // first press: the other set
  EXPECT_EQ(S().CursorSet, 1);
  Key(Qt::Key_Insert);  // second press: the next marker channel
  EXPECT_EQ(S().MarkerChannel, 1);
  EXPECT_EQ(S().CursorSet, 1);
  Key(Qt::Key_Q);       // a key the plot does not act on
  Key(Qt::Key_Insert);  // a first press again: the set changes, the marker channel stays
  EXPECT_EQ(S().MarkerChannel, 1);
  EXPECT_EQ(S().CursorSet, 0);
}

TEST_F(ReloadWindowTest, PressesBesideThePlotAndBeforeALoadAreRouted) {
  OpenForm({});
  ASSERT_EQ(S().Channel, 0);
  // A right click on the scroll box right of the plot, beside row 1, selects channel 1.
  QWidget* viewport = form->ScrollBox1->viewport();
  const QPoint at(form->PB1->width() + 2, form->Plot.LabelY[1]);
  ASSERT_LT(at.x(), viewport->width());
  QMouseEvent press(QEvent::MouseButtonPress, at, viewport->mapToGlobal(at), Qt::RightButton, Qt::RightButton,
                    Qt::NoModifier);
  QApplication::sendEvent(viewport, &press);
  EXPECT_EQ(S().Channel, 1);
  form->close();
  form.reset();

  // The file disappears between the choice and the read: the window opens without a record, and a
  // right click in the plot still opens the pop-up menu.
  const std::filesystem::path gone = dir.File("sample.rec");
  Ui().ExpectModal(
      [gone](QDialog& d) {
        std::filesystem::remove(gone);
        static_cast<viewer::TMainForm&>(d).BitBtnOkClick();
      },
      "TMainForm");
  Ui().ExpectModal(PickFirstFile, "TForm3");
  Ui().ExpectMessage(MsgAnswer::Ok, "Не могу открыть файл");
  form = std::make_unique<viewer::TForm1>();
  EXPECT_EQ(form->Loaded, 0);
  form->show();
  Mouse(QEvent::MouseButtonPress, Qt::RightButton, 100, 100);
  EXPECT_TRUE(form->PopupMenu1->isVisible());
  form->PopupMenu1->hide();
}

}  // namespace
}  // namespace viewer
