#include "viewer/ui/main_window.h"

#include <gtest/gtest.h>

#include <QTableWidget>
#include <filesystem>

#include "platform/ui/grab.h"
#include "platform/ui/terminator.h"
#include "toolkit/settings_state.h"
#include "viewer/ui/main_window_fixture.h"

namespace viewer {
namespace {

using support::Ui;

class MainWindowTest : public viewer_test::MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    WriteSample({});
  }
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
