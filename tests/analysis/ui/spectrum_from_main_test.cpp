// The main window's "спектр" opens the spectrum window modally over the loaded recording.
#include <gtest/gtest.h>

#include <QAction>

#include "analysis/ui/spectrum_form.h"
#include "viewer/ui/main_window_fixture.h"

namespace {

class SpectrumFromMainTest : public viewer_test::MainWindowFixture {};

TEST_F(SpectrumFromMainTest, SpectrumItemIsEnabledAfterALoadAndOpensTheWindow) {
  toolkit::SampleRecordingPlan plan;
  plan.frames = 20000;
  OpenForm(plan);
  ASSERT_TRUE(form->Loaded);
  EXPECT_TRUE(form->N20->isEnabled());
  analysis::TForm_spek spectrum;
  form->ShowSpectrumWindow = [&spectrum] { spectrum.ShowModalFromMain(); };
  int32_t intervals = 0;
  support::Ui().ExpectModal(
      [&](QDialog& d) {
        auto& f = static_cast<analysis::TForm_spek&>(d);
        EXPECT_TRUE(f.spektr->isEnabled());
        f.spektr->trigger();
        intervals = f.Buffers.IntervalCount;
        d.accept();
      },
      "TForm_spek");
  form->N20->trigger();
  EXPECT_EQ(intervals, (toolkit::Setup->Nk - toolkit::Setup->Nn - 4096) / 256 + 1);
  EXPECT_GT(toolkit::Setup->SpectrumMax, 0.0f);

  // Cursor mode of the main plot takes the data menus away, "спектр" with them.
  form->EnableDataMenus(0);
  EXPECT_FALSE(form->N20->isEnabled());
  // Without a recording there is nothing to analyse.
  form->Loaded = 0;
  form->EnableDataMenus(1);
  EXPECT_FALSE(form->N20->isEnabled());
}

}  // namespace
