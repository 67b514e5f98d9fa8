// The plot drawn into the paint box's image: envelope strokes in the channel colours on either
// background, the strip texts, and the services' messages and program ends.
#include "viewer/ui/channel_plot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>

#include "platform/ui/colors.h"
#include "platform/ui/terminator.h"
#include "support/qt/ui_test_script.h"
#include "viewer/channel_colors.h"
#include "viewer/plot_layout.h"
#include "viewer/ui/processing_services.h"

namespace {

using toolkit::SetupRecord;

class ChannelPlotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    s_ = std::make_unique<SetupRecord>();
    toolkit::SetSetupDefaults(*s_, "/");
    pb1_.resize(700, 400);
    pb3_.resize(700, 54);
    view_.PB1 = &pb1_;
    view_.PB3 = &pb3_;
    view_.ScrollBoxHeight = 410;  // plot height 400
    view_.PlotWidth = 600;
    view_.ChannelMarkBitmap = viewer::MakeChannelMarkBitmap();
    // Channel 0 a sine, channel 1 flat.
    s_->ChannelCount = 2;
    s_->ShownEnd = 2;
    s_->Samples = 6000;
    s_->Header.Rate = 100;
    toolkit::SetFieldText(s_->MemChannels[0].Name, "00_sine");
    toolkit::SetFieldText(s_->MemChannels[1].Name, "01_flat");
    for (int c = 0; c < 2; ++c) ASSERT_TRUE(samples_.Allocate(c, 6000 + 90));
    for (int n = 0; n < 6090; ++n) {
      samples_[0][n] = static_cast<float>(1000.0 * std::sin(n * 0.01));
      samples_[1][n] = 42.0f;
    }
    s_->Nn = 0;
    s_->Nk = 5999;
    viewer::ForCursAndReport(*s_, samples_, envelope_, view_.PlotWidth);
  }
  QRgb ChannelRgb(int ch) const {
    return platform::ui::ColorFromBgr(viewer::ChannelColors[viewer::ChannelColourIndex(ch)]).rgb();
  }
  int CountInColumn(int x, QRgb rgb, int fromY, int toY) {
    int n = 0;
    for (int y = fromY; y < toY; ++y) n += pb1_.Image().pixel(x, y) == rgb;
    return n;
  }

  std::unique_ptr<SetupRecord> s_;
  viewer::ChannelSamples samples_;
  viewer::ViewEnvelope envelope_;
  platform::ui::PaintBox pb1_, pb3_;
  viewer::ChannelPlotView view_;
  toolkit::TFunk funk_;
};

TEST_F(ChannelPlotTest, FlatChannelIsOnePixelAColumnAndTheSineFillsItsRow) {
  viewer::DrawChannels(view_, *s_, envelope_, funk_, 0);
  ASSERT_EQ(view_.PlotHeight, 400);
  EXPECT_EQ(view_.RowHeight, 195);
  const QImage& img = pb1_.Image();
  ASSERT_EQ(img.height(), 400);
  // Channel 1 takes the bottom row; its flat line is one pixel high in every filled column, on its baseline.
  const int flatY = 400 - static_cast<int>(s_->Baseline[1]);
  for (int x = 0; x < s_->ColumnCount[1]; x += 37) {
    EXPECT_EQ(CountInColumn(x, ChannelRgb(1), 0, 400), 1) << x;
    EXPECT_EQ(img.pixel(x, flatY), ChannelRgb(1)) << x;
  }
  // Channel 0's strokes span its row, top to bottom, and stay inside it.
  int top = 400, bottom = 0;
  for (int x = 0; x < s_->ColumnCount[0]; ++x)
    for (int y = 0; y < 400; ++y)
      if (img.pixel(x, y) == ChannelRgb(0)) {
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  EXPECT_LE(top, 400 - static_cast<int>(s_->Baseline[0]) - 190);
  EXPECT_GE(bottom, 400 - static_cast<int>(s_->Baseline[0]) - 1);
  EXPECT_LT(bottom, 400 - static_cast<int>(s_->Baseline[1]) - 150);
  // Background elsewhere, labels in the margin, the key help in the status text.
  EXPECT_EQ(img.pixel(s_->ColumnCount[0] + 2, 5), qRgb(0, 0, 0));
  EXPECT_GT(CountInColumn(view_.PlotWidth + 3, ChannelRgb(0), 0, 400), 100);  // the row bar
  int labelPixels = 0;
  for (int x = img.width() - 68; x < img.width() - 20; ++x)
    for (int y = view_.LabelY[1]; y < view_.LabelY[1] + 14; ++y)
      labelPixels += img.pixel(x, y) != qRgb(0, 0, 0);
  EXPECT_GT(labelPixels, 10);
  EXPECT_EQ(view_.StatusText.toStdString(), viewer::kPlotKeyHelp);
}

TEST_F(ChannelPlotTest, WhiteBackgroundAndTheProcessedChannelMark) {
  s_->WhiteBackground = 1;
  s_->Channel = 1;
  viewer::DrawChannels(view_, *s_, envelope_, funk_, 0);
  const QImage& img = pb1_.Image();
  EXPECT_EQ(view_.PlotBackground, QColor(Qt::white));
  EXPECT_EQ(img.pixel(s_->ColumnCount[0] + 2, 5), qRgb(255, 255, 255));
  EXPECT_EQ(pb3_.Image().pixel(pb3_.width() - 1, 53), qRgb(255, 255, 255));
  // The mark is XORed beside channel 1's label: white ^ aqua fill = red.
  const int markX = img.width() - 15 - 2;
  EXPECT_EQ(img.pixel(markX + 3, view_.LabelY[1] + 2 + 2), qRgb(255, 0, 0));
  // The strip shows the start line in aqua.
  int aqua = 0;
  for (int x = 0; x < 300; ++x)
    for (int y = 0; y < 20; ++y) aqua += pb3_.Image().pixel(x, y) == qRgb(0, 255, 255);
  EXPECT_GT(aqua, 50);
}

TEST(ProcessingServices, FailuresShowTheirMessagesAndEndTheProgram) {
  namespace fs = std::filesystem;
  const fs::path workDir = fs::current_path();  // the load makes the data directory current
  auto s = std::make_unique<SetupRecord>();
  const fs::path dir = fs::temp_directory_path() / ("services_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  toolkit::SetSetupDefaults(*s, dir.string() + "/");
  viewer::ChannelSamples samples;
  toolkit::TFunk funk;

  // A header the check refuses: its text is shown and the program goes on.
  std::vector<char> bad(400, 0);
  bad[0] = 70;  // 70 channels
  std::FILE* f = std::fopen((dir / "bad.dat").c_str(), "wb");
  std::fwrite(bad.data(), 1, bad.size(), f);
  std::fclose(f);
  toolkit::SetFieldText(s->FileName, "bad.dat");
  support::Ui().ExpectMessage(platform::ui::MsgAnswer::Ok, "каналов 70");
  EXPECT_FALSE(viewer::ReloadRecording(*s, samples, funk).loaded);

  // A file that cannot be opened ends the program.
  toolkit::SetFieldText(s->FileName, "missing.dat");
  support::Ui().ExpectExit(1);
  EXPECT_THROW(viewer::ReloadRecording(*s, samples, funk), platform::ui::ProgramTerminated);

  // A setup file that cannot be saved.
  toolkit::Setup = s.get();
  toolkit::ProgramDir = (dir / "absent").string() + "/";
  support::Ui().ExpectMessage(platform::ui::MsgAnswer::Ok, "Can't open <qvd.0>");
  support::Ui().ExpectExit(1);
  EXPECT_THROW(viewer::ReadWriteSetupOrExit(funk, 1), platform::ui::ProgramTerminated);
  toolkit::Setup = nullptr;
  toolkit::ProgramDir.clear();

  // An empty range shows its span and goes on.
  viewer::ViewEnvelope envelope;
  s->Samples = 0;
  s->Nn = 0;
  s->Nk = -1;
  support::Ui().ExpectMessage(platform::ui::MsgAnswer::Ok, "-1");
  viewer::ForCursAndReport(*s, samples, envelope, 600);
  fs::current_path(workDir);
  fs::remove_all(dir);
}

}  // namespace
