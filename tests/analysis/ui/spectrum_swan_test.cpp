// "CBAH;" in the spectrum window: the rendered map's cells against the level formula, the source trace,
// the step display's pauses, the "cwan" file and the refusals.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <cmath>
#include <filesystem>
#include <set>

#include "../scoped_work_dir.h"
#include "analysis/spectral_time_analysis.h"
#include "analysis/spectrum_colors.h"
#include "platform/ui/colors.h"
#include "platform/ui/grab.h"
#include "spectrum_window_fixture.h"
#include "viewer/channel_samples.h"

namespace {

using analysis_test::SpectrumWindowFixture;
using platform::ui::MsgAnswer;

class SpectrumSwanTest : public SpectrumWindowFixture {
 protected:
  // A burst at row 50's centre frequency in the middle of a weak sine at row 20's.
  void FillBurst() {
    const double f50 = 0.2 * std::exp(0.5 * std::log(40.0));
    const double f20 = 0.2 * std::exp(0.2 * std::log(40.0));
    Fill(
        6000,
        [=](int i) {
          const double t = i * 0.01;
          const double burst = i > 1500 && i < 2600 ? 500.0 * std::sin(2 * M_PI * f50 * t) : 0.0;
          return static_cast<float>(burst + 100.0 * std::sin(2 * M_PI * f20 * t));
        },
        0, 6000);
    S().FftLength = 4096;
  }

  // Every 5th cell of the rendered map has the colour of its level.
  void ExpectCellsFollowTheLevels() {
    std::string error;
    const analysis::SwanSettings s = analysis::SwanSettingsOf(S(), error);
    const analysis::SwanMap map =
        analysis::ComputeSwanMap(viewer::GlobalChannelSamples()[0], S().Samples, S().Nn, S().Dt, s);
    const analysis::SwanScale scale = analysis::SwanScaleOf(map.maxValue, S().SpectrumScale != 0,
                                                            form->CB_am_sp->isChecked(), form->Manual.ManualMax,
                                                            form->Manual.ManualMin);
    const analysis::SwanPlacement g = analysis::SwanPlacementOf(Image().width(), Image().height());
    std::set<int> levels;
    int wrong = 0;
    for (int r = 0; r < analysis::kSwanRows; r += 5)
      for (int c = 0; c < analysis::kSwanColumns; c += 5) {
        const int level = analysis::SwanLevel(scale, map.at(r, c));
        levels.insert(level);
        const QColor want = platform::ui::ColorFromBgr(analysis::SpectrumColors[level]);
        const QColor got = Image().pixelColor(g.left + c * g.cellW + g.cellW / 2, g.RowY(r) + g.cellH / 2);
        if (got.rgb() != want.rgb()) ++wrong;
      }
    EXPECT_EQ(wrong, 0);
    EXPECT_GE(levels.size(), 6u);  // the picture is not one flat colour
    // The burst is the map's maximum: row 50, inside the burst's columns.
    EXPECT_NEAR(map.maxRow, 50, 2);
    EXPECT_GT(map.maxColumn * map.M, 1500);
    EXPECT_LT(map.maxColumn * map.M, 2600);
  }
};

TEST_F(SpectrumSwanTest, MapRendersWithLabelsTraceAndFile) {
  const std::filesystem::path out = std::filesystem::current_path();
  analysis_test::ScopedWorkDir dir;
  FillBurst();
  Open();
  for (uint16_t scaleKind : {0, 1}) {
    SCOPED_TRACE(scaleKind);
    S().SpectrumScale = scaleKind;
    std::filesystem::remove("cwan");
    ASSERT_TRUE(form->CBAH1->isEnabled());
    form->CBAH1->trigger();
    ExpectCellsFollowTheLevels();
    EXPECT_TRUE(std::filesystem::exists("cwan"));
    // The source trace in blue above the map.
    const analysis::SwanPlacement g = analysis::SwanPlacementOf(Image().width(), Image().height());
    int blue = 0;
    for (int y = 15; y < g.top; ++y)
      for (int x = g.left; x < g.Right(); ++x)
        blue += Image().pixelColor(x, y).rgb() == platform::ui::ColorFromBgr(0xFF0000).rgb();
    EXPECT_GT(blue, 400);
    EXPECT_TRUE(platform::ui::GrabToPng(*form, QString::fromStdString((out / (scaleKind == 0 ? "swan_linear.png" : "swan_log.png")).string())));
  }
}

TEST_F(SpectrumSwanTest, TypedLinearLevelsAreUsedAndWrittenBack) {
  analysis_test::ScopedWorkDir dir;
  FillBurst();
  Open();
  S().SpectrumScale = 0;
  form->CB_am_sp->setChecked(false);
  form->E_mi->setText("10");
  form->E_ma->setText("40");
  form->CBAH1->trigger();
  ExpectCellsFollowTheLevels();
  EXPECT_EQ(form->E_ma->text().toDouble(), 40.0);
  EXPECT_EQ(form->E_mi->text().toDouble(), 10.0);
}

TEST_F(SpectrumSwanTest, StepDisplayPausesEveryTenRows) {
  analysis_test::ScopedWorkDir dir;
  FillBurst();
  S().SwanDetailed = 1;
  S().DrawDelay = 0;
  Open();
  for (int i = 0; i < 10; ++i) support::Ui().ExpectMessage(MsgAnswer::Ok, "Нажми любую клавишу");
  form->CBAH1->trigger();
  ExpectCellsFollowTheLevels();
}

TEST_F(SpectrumSwanTest, Refusals) {
  analysis_test::ScopedWorkDir dir;
  FillBurst();
  Open();
  S().FftLength = 1000;
  support::Ui().ExpectMessage(MsgAnswer::Ok, "длина преобразования");
  form->CBAH1->trigger();
  // An unwritable "cwan": the map is still drawn and the message names the file.
  S().FftLength = 4096;
  std::filesystem::create_directory("cwan");
  support::Ui().ExpectMessage(MsgAnswer::Ok, "cwan");
  form->CBAH1->trigger();
  ExpectCellsFollowTheLevels();
}

}  // namespace
