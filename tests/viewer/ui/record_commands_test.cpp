// The station reads, the overview strip, the response correction and the directory variance reached
// from the main window's menus.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <cmath>
#include <fstream>
#include <numbers>

#include "platform/ui/colors.h"
#include "viewer/channel_colors.h"
#include "viewer/channel_samples.h"
#include "viewer/directory_variance.h"
#include "viewer/ui/main_window.h"
#include "viewer/ui/main_window_fixture.h"
#include "viewer/ui/overview_window.h"

namespace viewer {
namespace {

using platform::ui::MsgAnswer;
using support::Ui;
toolkit::SetupRecord& S() { return *toolkit::Setup; }
float* K(int c) { return GlobalChannelSamples()[static_cast<size_t>(c)]; }

class RecordCommandsTest : public viewer_test::MainWindowFixture {
 protected:
  void Open() {
    toolkit::SampleRecordingPlan plan;
    OpenForm(plan, 3);
    ASSERT_EQ(form->Loaded, 1);
  }
  std::string Title() const { return form->windowTitle().toStdString(); }
};

// "всех файлов станции" lays the sample into an hour from 1980-01-01 00:00:00 and Right pages the
// interval by three quarters of an hour; "всех станций " reads the stations the chooser found.
TEST_F(RecordCommandsTest, StationReadsFromTheMenuAndPagesWithTheKeys) {
  Open();
  S().StationStart = 2'524'694'400u;
  S().StationHours = 1;
  const int32_t first = toolkit::SampleValue({}, 1, 10);
  form->read_buf->trigger();
  EXPECT_EQ(Title(), "Jul 28 2010 ;  файлов - 1;    длина записи: 60 мин;");
  EXPECT_EQ(S().Samples, 360000u);
  EXPECT_EQ(S().StationMode, 1);
  EXPECT_EQ(K(1)[10], static_cast<float>(first * S().MemCoef[1]));
  EXPECT_EQ(K(1)[6000], 0.0f);
  EXPECT_FALSE(form->LB_inf->isHidden());
  EXPECT_EQ(form->LB_inf->item(form->LB_inf->count() - 1)->text().toStdString(), "DEMO :  файлов:  1   *  *  *");
  EXPECT_FALSE(form->iz_file_B_txt->isEnabled());

  Key(Qt::Key_Right);  // the whole interval is shown: the next interval is read
  EXPECT_EQ(S().StationStart, 2'524'694'400u + 2700u);
  EXPECT_EQ(Title(), "файлов нет;    длина записи: 60 мин;");
  EXPECT_EQ(K(1)[10], 0.0f);

  S().StationStart = 2'524'694'400u;
  ASSERT_GE(S().StationCount, 1);
  form->N_Bce_st->trigger();
  EXPECT_EQ(S().SeveralStations, 1);
  EXPECT_EQ(Title(), "Jul 28 2010 ;  файлов - 1;    длина записи: 60 мин;");
  EXPECT_EQ(std::string(S().MemChannels[0].Name).substr(0, 3), "00_");
}

TEST_F(RecordCommandsTest, StationReadRefusedByTheMemoryRuleKeepsTheRecord) {
  Open();
  S().Header.Rate = 10000;
  S().LoadChannels = 64;
  Ui().ExpectMessage(MsgAnswer::Ok, "нельзя показать и одного часа");
  form->read_buf->trigger();
  EXPECT_EQ(S().Samples, 6000u);
  EXPECT_EQ(form->Loaded, 1);
}

// The strip against an independent reading of the snapshot: the first channel's column x covers the
// pixels between its minimum and maximum; zooming moves the yellow and red lines.
TEST_F(RecordCommandsTest, OverviewStripShowsTheSnapshotAndFollowsTheView) {
  Open();
  form->N_obzor->trigger();
  ASSERT_NE(form->OB3OP, nullptr);
  ASSERT_TRUE(form->OB3OP->isVisible());
  EXPECT_EQ(form->OverviewOn, 1);
  EXPECT_EQ(form->N_obzor->text().toStdString(), "Внести в обзор");
  EXPECT_EQ(form->y(), 100);
  const QImage strip = form->OB3OP->PB_BCE->Image().copy();
  const int H = strip.height();
  const int row = (H - 2) / 3;
  const QColor colour = platform::ui::ColorFromBgr(ChannelColors[10]);
  const float scale = S().OverviewScale[0];
  const float offset = 2 * row + 1 - scale * S().OverviewReference[0];
  int checked = 0;
  for (int x = 5; x < form->Overview.Columns[0] - 1; x += 37) {
    const float lo = (*form->OverviewEnvelope)[0][x], hi = (*form->OverviewEnvelope)[0][x + kEnvelopeMaxOffset];
    const int yMid = static_cast<int>(H - 1 - ((lo + hi) / 2 * scale + offset));
    if (yMid < 16 || yMid >= H) continue;  // under the frame lines or outside the strip
    EXPECT_EQ(strip.pixelColor(x, yMid), colour) << x << " " << yMid;
    ++checked;
  }
  EXPECT_GT(checked, 5);
  EXPECT_EQ(strip.pixelColor(0, 3), platform::ui::ColorFromBgr(0x00FFFF));  // Nn at column 0

  const int x2Before = (S().Nk - S().OverviewStart) / S().OverviewSamplesPerColumn;
  Key(Qt::Key_Equal);  // zoom in: both lines move inside the snapshot
  const int x1 = (S().Nn - S().OverviewStart) / S().OverviewSamplesPerColumn;
  const int x2 = (S().Nk - S().OverviewStart) / S().OverviewSamplesPerColumn;
  ASSERT_NE(x2, x2Before);
  const QImage zoomed = form->OB3OP->PB_BCE->Image();
  EXPECT_EQ(zoomed.pixelColor(x1, 2), platform::ui::ColorFromBgr(0x00FFFF));
  EXPECT_EQ(zoomed.pixelColor(x2, 2), platform::ui::ColorFromBgr(0x0000FF));

  form->OB3OP->PB_BCEDblClick();
  EXPECT_EQ(form->OverviewOn, 0);
  form->OB3OP->close();
  EXPECT_EQ(form->N_obzor->text().toStdString(), "обзор ВКЛ");
}

// A snapshot retaken after the main window grew fills the wider plot, and the lines reach its columns.
TEST_F(RecordCommandsTest, OverviewStripFollowsAResizedMainWindow) {
  Open();
  form->show();
  QApplication::processEvents();
  form->resize(1000, 560);
  QApplication::processEvents();
  const int narrowPlot = form->Plot.PlotWidth;
  form->N_obzor->trigger();
  ASSERT_EQ(form->OB3OP->PB_BCE->width(), narrowPlot + 42);
  form->resize(1400, 560);
  QApplication::processEvents();
  const int widePlot = form->Plot.PlotWidth;
  ASSERT_GT(widePlot, narrowPlot + 100);
  form->N_obzor->trigger();  // "Внести в обзор"
  EXPECT_EQ(form->OB3OP->PB_BCE->width(), widePlot + 42);
  const int x2 = (S().Nk - S().OverviewStart) / S().OverviewSamplesPerColumn;
  ASSERT_GT(x2, narrowPlot);
  EXPECT_EQ(form->OB3OP->PB_BCE->Image().pixelColor(x2, 2), platform::ui::ColorFromBgr(0x0000FF));
  form->OB3OP->close();
}

TEST_F(RecordCommandsTest, OverviewRefusesAStretchedPlot) {
  Open();
  S().PixelsPerSample = 2;
  Ui().ExpectMessage(MsgAnswer::Ok, "Не люблю растянутых рисунков!!!");
  form->N_obzor->trigger();
  EXPECT_EQ(form->OverviewOn, 0);
  EXPECT_TRUE(form->OB3OP == nullptr || !form->OB3OP->isVisible());
}

// A unit response over the whole band leaves the processed channel; a missing table is reported and
// the program goes on.
TEST_F(RecordCommandsTest, ResponseCorrectionFromTheMenu) {
  Open();
  S().Channel = 1;
  const std::vector<float> before(K(1), K(1) + S().Samples);
  Ui().ExpectMessage(MsgAnswer::Ok, "Только для одной станции!");
  Ui().ExpectMessage(MsgAnswer::Ok, "Open error!");
  form->N_ACH->trigger();
  EXPECT_EQ(K(1)[100], before[100]);

  {
    std::ofstream book(dir.File("book.DEM"));
    for (double f : {0.0, 5.0, 20.0, 60.0}) book << f << " 1 0 1 0 1 0 1 0 1 0 1 0\n";
    book << "\n";
  }
  Ui().ExpectMessage(MsgAnswer::Ok, "пользуемся файлом  " + dir.File("book.DEM"));
  form->N_ACH->trigger();
  double mean = 0;
  for (float v : before) mean += v;
  mean /= before.size();
  // The mean goes (bin 0 is outside every band); the rest stays but for the band edges.
  for (uint32_t n = 1000; n < 5000; n += 250) EXPECT_NEAR(K(1)[n], before[n] - mean, 25.0) << n;

  S().Channel = S().ChannelCount;
  for (int c = 0; c < 3; ++c) Ui().ExpectMessage(MsgAnswer::Ok, "Только для одной станции!");
  form->N_ACH->trigger();
}

TEST_F(RecordCommandsTest, DirectoryVarianceWritesItsFileFromTheMenu) {
  Open();
  S().HistogramRmsMinutes = 1;  // the 60 s sample is one window
  form->N_disp_dir->trigger();
  std::ifstream in(dir.File(kDirectoryVarianceFile));
  ASSERT_TRUE(in.good());
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first, "файлов 1");
  EXPECT_FALSE(form->P_PB->isVisible());
}

}  // namespace
}  // namespace viewer
