#pragma once
// The main window opened on a sample recording the test writes: the program directory is a fresh
// temporary directory, the screen 1920 x 1080, and the start-up dialog and the file chooser are scripted.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSpinBox>
#include <QTableWidget>
#include <filesystem>
#include <memory>
#include <string>

#include "support/fixture_file.h"
#include "support/qt/ui_test_script.h"
#include "support/temp_dir.h"
#include "toolkit/sample_recording.h"
#include "toolkit/setup_file.h"
#include "toolkit/ui/file_chooser_form.h"
#include "viewer/ui/main_window.h"
#include "viewer/ui/settings_dialog.h"

namespace viewer_test {

class MainWindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = toolkit::ProgramDir;
    workDir_ = std::filesystem::current_path();
    toolkit::ProgramDir = dir.path() + "/";
    support::Ui().SetScreenSize(QSize(1920, 1080));
  }
  // The load makes the data directory current; the test's own directory comes back afterwards.
  void TearDown() override {
    if (form) form->close();
    form.reset();
    toolkit::ProgramDir = saved_;
    std::filesystem::current_path(workDir_);
  }

  // Without its sample the test stops here (the chooser would otherwise wait for a file forever).
  void WriteSample(const toolkit::SampleRecordingPlan& plan) {
    support::RequireFixture(toolkit::WriteSampleRecording(dir.File("sample.rec"), plan), dir.File("sample.rec"));
  }

  // The settings dialog at start: the chooser picks the sample or leaves the program; `channels`, when
  // not 0, is the number of channels to hold in memory.
  static void ScriptStart(bool leave, int channels = 0) {
    support::Ui().ExpectModal(
        [channels](QDialog& d) {
          auto& settings = static_cast<viewer::TMainForm&>(d);
          if (channels != 0) settings.UD_nn->setValue(channels);
          settings.BitBtnOkClick();
        },
        "TMainForm");
    support::Ui().ExpectModal(
        [leave](QDialog& d) {
          auto& c = static_cast<toolkit::TForm3&>(d);
          if (leave) {
            c.N_exit_fileClick(c.N_exit_program);
            return;
          }
          PickFirstFile(d);
        },
        "TForm3");
  }

  // The file chooser's part: the first file listed is clicked and chosen.
  static void PickFirstFile(QDialog& d) {
    auto& c = static_cast<toolkit::TForm3&>(d);
    c.SG_fil_nameMouseDown(Qt::LeftButton, 5, c.SG_fil_name->rowViewportPosition(1) + 2);
    c.SG_fil_nameDblClick();
  }

  // Writes the sample of `plan`, opens the window on it with `channels` channels in memory (0: as the
  // setup file has it) and keeps it in `form`.
  void OpenForm(const toolkit::SampleRecordingPlan& plan, int channels = 0) {
    WriteSample(plan);
    ScriptStart(false, channels);
    form = std::make_unique<viewer::TForm1>();
  }

  // A key pressed on `to` (the plot when null); `scanCode` is the key's native scan code.
  void Key(int qtKey, Qt::KeyboardModifiers mods = Qt::NoModifier, QObject* to = nullptr, quint32 scanCode = 0) {
    QKeyEvent e(QEvent::KeyPress, qtKey, mods, scanCode, 0, 0);
    QApplication::sendEvent(to != nullptr ? to : form->PB1, &e);
  }
  // A mouse event on the plot at (x, y).
  void Mouse(QEvent::Type type, Qt::MouseButton button, int x, int y) {
    const QPointF at(x, y);
    QMouseEvent e(type, at, form->PB1->mapToGlobal(at), button,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QApplication::sendEvent(form->PB1, &e);
  }

  std::unique_ptr<viewer::TForm1> form;
  support::TempDir dir;
  std::string saved_;
  std::filesystem::path workDir_;
};

}  // namespace viewer_test
