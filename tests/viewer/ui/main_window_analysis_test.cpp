// The analysis items of the main window's menus on a loaded recording: enabled, dispatched by sender,
// the search curve drawn over the channel's row, the histogram list and the export files.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>

#include "analysis/channel_histogram.h"
#include "analysis/event_search.h"
#include "analysis/selection_export.h"
#include "platform/ui/colors.h"
#include "toolkit/format_text.h"
#include "platform/ui/grab.h"
#include "viewer/channel_colors.h"
#include "viewer/channel_samples.h"
#include "viewer/ui/main_window.h"
#include "viewer/ui/main_window_fixture.h"

namespace viewer {
namespace {

toolkit::SetupRecord& S() { return *toolkit::Setup; }
float* K(int c) { return GlobalChannelSamples()[static_cast<size_t>(c)]; }
constexpr double kPi = std::numbers::pi;

class AnalysisWindowTest : public viewer_test::MainWindowFixture {
 protected:
  void Open() {
    toolkit::SampleRecordingPlan plan;
    OpenForm(plan, 3);
    ASSERT_EQ(form->Loaded, 1);
    ASSERT_EQ(S().Samples, 6000u);
  }
};

TEST_F(AnalysisWindowTest, ItemsAreEnabled) {
  Open();
  for (QAction* a : {form->iz_file, form->c_ekrana, form->iz_file_B_txt, form->c_ekrana_B_txt,
                     form->iz_file_B_txt_16, form->N_kazan, form->N9, form->N15, form->N28, form->N22, form->Gist_c})
    EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
  for (QAction* a : {form->N_korrel, form->N26}) EXPECT_FALSE(a->isEnabled());
}

// STA/LTA over channel 1 with an arrival at 30 s: the curve runs through the points the search computes,
// in colour 14, and the result stands in the status bar.
TEST_F(AnalysisWindowTest, SearchDrawsItsCurveOverTheChannelRow) {
  Open();
  for (uint32_t n = 0; n < S().Samples; ++n)
    K(1)[n] = static_cast<float>(std::sin(0.37 * n) + (n >= 3000 ? 20 * std::sin(2 * kPi * 5.0 * n / 100) : 0.0));
  RedrawView(form->Host(), false);
  S().Channel = 1;
  S().SearchMethod = 0;
  S().LtaWindow = 10;
  S().StaWindow = 1;
  S().StaLtaScale = 10;
  S().SearchBandLow = 2;
  S().SearchBandHigh = 8;
  toolkit::TFunk funk;
  const analysis::SearchDrawing d =
      analysis::SearchSpectralChange(S(), K(1), 1, form->Plot.PlotWidth, form->Plot.PlotHeight, funk);
  ASSERT_EQ(d.error, "");
  form->N22->trigger();
  EXPECT_TRUE(platform::ui::GrabToPng(*form, QString::fromStdString((workDir_ / "search_sta_lta.png").string())));
  const QImage& img = form->PB1->Image();
  const QRgb yellow = platform::ui::ColorFromBgr(ChannelColors[14]).rgb();
  int hits = 0;
  for (const analysis::SearchPoint& p : d.curve) hits += img.pixel(p.x, p.y) == yellow;
  EXPECT_EQ(hits, static_cast<int>(d.curve.size()));
  EXPECT_EQ(form->MainStatus0->text().toStdString(), d.resultText);
  EXPECT_NEAR(d.maxAt, 3000, 200);
}

TEST_F(AnalysisWindowTest, CorrelationAndDerivativeRedrawTheChannel) {
  Open();
  S().Channel = 0;
  form->N15->trigger();
  EXPECT_NEAR(K(0)[0], 1.0f, 1e-5);
  EXPECT_EQ(K(0)[5500], 0.0f);
  EXPECT_TRUE(form->P_PB->isHidden());
  S().Channel = 2;  // the last channel has no next one: nothing changes
  const std::vector<float> k2(K(2), K(2) + 6000);
  form->N28->trigger();
  EXPECT_EQ(std::vector<float>(K(2), K(2) + 6000), k2);

  // Channel 1 holds 2000 sin(2 pi t) counts (x 1e-3) plus a ramp: the derivative is near 4 pi cos(2 pi t).
  S().Channel = 1;
  S().DerivativePotterPoints = 50;
  S().DerivativeCutoff = 10;
  const float ramp = K(1)[5999] - K(1)[0];
  form->N9->trigger();
  for (int n : {1000, 2025, 3070})
    EXPECT_NEAR(K(1)[n], 4 * kPi * std::cos(2 * kPi * n / 100.0) + ramp / 60.0, 0.05 * 4 * kPi) << n;
}

TEST_F(AnalysisWindowTest, HistogramFillsTheListAndWritesItsFile) {
  Open();
  form->show();  // the list is sized to the laid-out client area
  form->Gist_c->trigger();
  EXPECT_FALSE(form->LB_inf->isHidden());
  ASSERT_GT(form->LB_inf->count(), 10);
  EXPECT_EQ(form->LB_inf->item(0)->text().toStdString(), "убрать - двойной Щелчок по тексту");
  EXPECT_TRUE(std::filesystem::exists(analysis::HistogramFileName(S().Header)));
  EXPECT_TRUE(platform::ui::GrabToPng(*form, QString::fromStdString((workDir_ / "histogram_list.png").string())));
}

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The data line of frame 0 of a text export (after 5 header lines, the count and 3 or 4 lines a channel).
std::string FirstDataLine(const std::string& path, int perChannel) {
  std::ifstream in(path);
  std::string line;
  for (int i = 0; i < 7 + 3 * perChannel && std::getline(in, line);) ++i;
  return line;
}

// Each "сохранить" item writes its own kind of file; a sample changed in memory tells "с экрана" from
// "из файла".
TEST_F(AnalysisWindowTest, ExportItemsDispatchBySender) {
  Open();
  toolkit::MAIN_HEADER h = S().Header;
  std::string text;
  ASSERT_EQ(toolkit::CheckMainHeader(h, text), 0);
  toolkit::TFunk funk;
  const std::string binary = analysis::ExportFileName(S(), h, 0, funk);
  const std::string texts = analysis::ExportFileName(S(), h, 2, funk);
  K(0)[0] = 12.345f;  // 12345 counts at the coefficient 1e-3
  const size_t frame0 = 120 + 72 * 3;
  auto first = [&] {
    int32_t v = 0;
    std::memcpy(&v, Bytes(binary).data() + frame0, 4);
    return v;
  };
  form->iz_file->trigger();
  EXPECT_EQ(first(), toolkit::SampleValue(toolkit::SampleRecordingPlan{}, 0, 0));
  // The name is taken now: "с экрана" says so, naming the file, and leaves it as it is.
  support::Ui().ExpectMessage(platform::ui::MsgAnswer::Ok, binary + " уже есть и не заменяется");
  form->c_ekrana->trigger();
  EXPECT_EQ(first(), toolkit::SampleValue(toolkit::SampleRecordingPlan{}, 0, 0));
  std::filesystem::remove(binary);
  form->c_ekrana->trigger();
  EXPECT_EQ(first(), 12345);
  form->iz_file_B_txt->trigger();
  EXPECT_EQ(FirstDataLine(texts, 4), toolkit::FormatText("%+9d  %+9d  %+9d      // %7d", 0, 0, 0, 0));
  std::filesystem::remove(texts);
  form->c_ekrana_B_txt->trigger();
  EXPECT_EQ(FirstDataLine(texts, 3).rfind("+1.23450e+01   ", 0), 0u) << FirstDataLine(texts, 3);
  std::filesystem::remove(texts);
  form->iz_file_B_txt_16->trigger();
  EXPECT_EQ(FirstDataLine(texts, 4).rfind("00000000  00000000  00000000", 0), 0u) << FirstDataLine(texts, 4);
  form->N_kazan->trigger();
  EXPECT_TRUE(std::filesystem::exists(dir.File("sample.dat")));
}

}  // namespace
}  // namespace viewer
