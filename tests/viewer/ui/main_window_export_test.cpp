// The main window's "объединить" and "сохранить" -> "miniseed" on a loaded recording.
#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QListWidget>
#include <QMenu>
#include <filesystem>

#include "support/mseed_reading.h"
#include "toolkit/ui/merge_form.h"
#include "viewer/channel_samples.h"
#include "viewer/miniseed_export.h"
#include "viewer/ui/main_window.h"
#include "viewer/ui/main_window_fixture.h"

namespace viewer {
namespace {

namespace fs = std::filesystem;
using platform::ui::MsgAnswer;
using support::Ui;

class ExportWindowTest : public viewer_test::MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    OpenForm({});
    ASSERT_EQ(form->Loaded, 1);
  }
};

TEST_F(ExportWindowTest, MiniseedItemIsEnabledAndWritesOneFilePerChannel) {
  ASSERT_TRUE(form->N_save->isEnabled());
  ASSERT_TRUE(form->N_miniseed1->isEnabled());
  GlobalChannelSamples()[1][7] = -2.5f;
  form->N_miniseed1->trigger();
  const std::string folder = dir.File("Seed_files");
  for (int c = 0; c < 3; ++c) {
    const support::SeedTrace t =
        support::ReadWithLibmseed(folder + "/1980-1-1-0-0-0-" + std::to_string(c) + ".mseed");
    ASSERT_TRUE(t.ok) << t.error;
    EXPECT_EQ(t.station, "DEMO");
    EXPECT_EQ(t.channel, "C0" + std::to_string(c));  // "канал 1" ... have no SEED code of their own
    ASSERT_EQ(t.samples.size(), 6000u);
    for (size_t n = 0; n < t.samples.size(); ++n)
      ASSERT_EQ(t.samples[n], SeedCount(GlobalChannelSamples()[static_cast<size_t>(c)][n])) << c << ":" << n;
  }
  EXPECT_EQ(support::ReadWithLibmseed(folder + "/1980-1-1-0-0-0-1.mseed").samples[7], -3);
}

TEST_F(ExportWindowTest, MiniseedFailureIsShown) {
  GlobalChannelSamples()[2][100] = NAN;
  Ui().ExpectMessage(MsgAnswer::Ok, "канал 2");
  form->N_miniseed1->trigger();
  EXPECT_FALSE(fs::exists(dir.File("Seed_files/1980-1-1-0-0-0-0.mseed")));
}

TEST_F(ExportWindowTest, MergeItemOpensTheMergeWindowOnTheCurrentFile) {
  ASSERT_TRUE(form->N_read->isEnabled());
  ASSERT_TRUE(form->N_OB_edin_->isEnabled());
  Ui().ExpectModal([](QDialog& d) { d.reject(); }, "QFileDialog");
  Ui().ExpectModal(
      [](QDialog& d) {
        auto& merge = static_cast<toolkit::TForm4&>(d);
        EXPECT_EQ(merge.ListBox1->item(0)->text().toStdString(), "sample.rec");
        EXPECT_FALSE(merge.N_po_BPEM->isEnabled());
        merge.N7Click();
      },
      "TForm4");
  form->N_OB_edin_->trigger();
}

TEST_F(ExportWindowTest, MergeIsRefusedAfterAStationRead) {
  toolkit::Setup->StationMode = 1;
  Ui().ExpectMessage(MsgAnswer::Ok, "нет  файла");
  form->N_OB_edin_->trigger();
}

}  // namespace
}  // namespace viewer
