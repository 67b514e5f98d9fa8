#include "viewer/ui/main_window.h"

#include <gtest/gtest.h>

#include <QTableWidget>
#include <filesystem>

#include "platform/ui/grab.h"
#include "platform/ui/terminator.h"
#include "support/qt/ui_test_script.h"
#include "support/temp_dir.h"
#include "toolkit/sample_recording.h"
#include "toolkit/settings_state.h"
#include "toolkit/setup_file.h"
#include "toolkit/ui/file_chooser_form.h"
#include "viewer/ui/settings_dialog.h"

namespace viewer {
namespace {

using support::Ui;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = toolkit::ProgramDir;
    workDir_ = std::filesystem::current_path();
    toolkit::ProgramDir = dir.path() + "/";
    Ui().SetScreenSize(QSize(1920, 1080));
    toolkit::SampleRecordingPlan plan;
    ASSERT_TRUE(toolkit::WriteSampleRecording(dir.File("sample.rec"), plan));
  }
  // The load makes the data directory current; the test's own directory comes back afterwards.
  void TearDown() override {
    toolkit::ProgramDir = saved_;
    std::filesystem::current_path(workDir_);
  }

  // The settings dialog at start: the chooser picks the sample or leaves the program.
  static void ScriptStart(bool leave) {
    Ui().ExpectModal([](QDialog& d) { static_cast<TMainForm&>(d).BitBtnOkClick(); }, "TMainForm");
    Ui().ExpectModal(
        [leave](QDialog& d) {
          auto& c = static_cast<toolkit::TForm3&>(d);
          if (leave) {
            c.N_exit_fileClick(c.N_exit_program);
            return;
          }
          c.SG_fil_nameMouseDown(Qt::LeftButton, 5, c.SG_fil_name->rowViewportPosition(1) + 2);
          c.SG_fil_nameDblClick();
        },
        "TForm3");
  }

  support::TempDir dir;
  std::string saved_;
  std::filesystem::path workDir_;
};

TEST_F(MainWindowTest, StartsSizedToTheScreenLoadsAndDrawsTheSample) {
  ScriptStart(false);
  TForm1 form;
  EXPECT_EQ(form.width(), 1400);
  EXPECT_EQ(form.Plot.PlotWidth, 1296);
  ASSERT_EQ(form.Loaded, 1);
  EXPECT_EQ(toolkit::Setup->ChannelCount, 3);
  EXPECT_EQ(toolkit::Setup->Samples, 6000u);
  // Channel pixels differ from the background in the plot.
  const QImage& image = form.PB1->Image();
  int drawn = 0;
  for (int y = 0; y < image.height(); y += 2)
    for (int x = 0; x < form.Plot.PlotWidth; x += 2)
      drawn += image.pixel(x, y) != form.Plot.PlotBackground.rgb();
  EXPECT_GT(drawn, 200);
  form.show();
  EXPECT_TRUE(platform::ui::GrabToPng(form, QString::fromStdString((workDir_ / "main_window_loaded.png").string())));
  form.close();
  EXPECT_TRUE(std::filesystem::exists(dir.File("qvd.0")));
}

TEST_F(MainWindowTest, LeavingFromTheChooserEndsWithStatus1AndWritesNoSetupAfterStart) {
  ScriptStart(true);
  Ui().ExpectExit(1);
  std::filesystem::remove(dir.File("qvd.0"));
  EXPECT_THROW(TForm1 form, platform::ui::ProgramTerminated);
  // The load at creation writes the defaults; nothing is saved after the exit was chosen.
  const auto size = std::filesystem::file_size(dir.File("qvd.0"));
  EXPECT_EQ(size, toolkit::kSetupRecordSize);
  EXPECT_EQ(toolkit::SettingsResult, toolkit::kSettingsLeaveProgram);
  delete toolkit::Setup;
  toolkit::Setup = nullptr;
}

}  // namespace
}  // namespace viewer
