#include "toolkit/ui/file_chooser_form.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QTableWidget>
#include <filesystem>

#include "platform/ui/grab.h"
#include "platform/ui/modal_run.h"
#include "support/fixture_file.h"
#include "support/qt/ui_test_script.h"
#include "support/temp_dir.h"
#include "toolkit/sample_recording.h"
#include "toolkit/settings_state.h"
#include "toolkit/setup_file.h"

namespace toolkit {
namespace {

using platform::ui::MsgAnswer;
using support::Ui;

constexpr int64_t kTps = 256'000'000;

class ChooserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(&setup, 0, sizeof setup);
    SetFieldText(setup.DataDir, dir.path());
    setup.ChooserSort = 1;
    SettingsResult = kSettingsOpenMode;
  }

  void Recording(const std::string& name, const std::string& station = "ST", uint32_t frames = 100) {
    SampleRecordingPlan plan;
    plan.station = station;
    plan.frames = frames;
    plan.startTicks = int64_t{1'000'000'000} * kTps;
    support::RequireFixture(WriteSampleRecording(dir.File(name), plan), dir.File(name));
  }

  // Presses row `row` of the file grid (row 0 is the header row).
  static void Press(TForm3& form, int row, Qt::MouseButton button = Qt::LeftButton) {
    form.SG_fil_nameMouseDown(button, 5, form.SG_fil_name->rowViewportPosition(row) + 2);
  }

  static std::string Cell(TForm3& form, int row, int column) {
    const QTableWidgetItem* item = form.SG_fil_name->item(row, column);
    return item ? item->text().toStdString() : std::string();
  }

  support::TempDir dir;
  SetupRecord setup;
};

TEST_F(ChooserTest, GridListsRecordingsWithMarksOfTheChosenFiles) {
  Recording("b.rec", "ONE");
  Recording("a.rec", "TWO");
  Recording("c.rec", "ONE");
  std::FILE* f = std::fopen(dir.File("small").c_str(), "wb");
  ASSERT_NE(f, nullptr) << support::FixtureProblem(dir.File("small"));
  const bool written = std::fwrite(std::string(335, 'x').data(), 1, 335, f) == 335;
  ASSERT_TRUE((std::fclose(f) == 0) & written) << support::FixtureProblem(dir.File("small"));
  SetFieldText(setup.SelectedFiles[3], "c.rec");

  TForm3 form(setup);
  EXPECT_EQ(form.SG_fil_name->rowCount(), 14);
  EXPECT_EQ(Cell(form, 1, 0), "a.rec");
  EXPECT_EQ(Cell(form, 2, 0), "b.rec");
  EXPECT_EQ(Cell(form, 3, 0), "c.rec");
  EXPECT_EQ(Cell(form, 3, 1), "x");
  EXPECT_EQ(Cell(form, 1, 1), "");
  EXPECT_EQ(Cell(form, 4, 0), "");
  EXPECT_EQ(form.ckoko_file->text().toStdString(), dir.path() + ":   найдено файлов  -  3;    станций 2;");
  EXPECT_EQ(form.windowTitle().toStdString(), dir.path());
  EXPECT_EQ(form.L_flm_0->text(), "*  *  *");

  // "Все" lists the small file's neighbours but never the 335-byte file.
  form.N_TimeClick(form.N_all);
  EXPECT_EQ(setup.ChooserFilter, 1);
  EXPECT_EQ(form.Files().size(), 3u);
}

TEST_F(ChooserTest, ShowSelectsTheCurrentFileAndReadsItsHeader) {
  Recording("a.rec");
  Recording("b.rec");
  SetFieldText(setup.FileName, "b.rec");
  TForm3 form(setup);
  form.show();
  EXPECT_EQ(form.SG_fil_name->currentRow(), 2);
  EXPECT_EQ(SettingsResult, 0);
  ASSERT_GT(form.ListBox2->count(), 1);
  EXPECT_EQ(form.ListBox2->item(0)->text(), "b.rec");
  EXPECT_EQ(setup.FileSamples, 100u);
}

TEST_F(ChooserTest, RightClicksMarkGoodFilesAndOpenStoresThem) {
  Recording("a.rec");
  Recording("b.rec");
  Recording("c.rec");
  Recording("d.rec");
  TForm3 form(setup);
  form.show();
  Press(form, 1, Qt::RightButton);
  Press(form, 2, Qt::RightButton);
  Press(form, 4, Qt::RightButton);
  Press(form, 2, Qt::RightButton);  // unmarks
  Press(form, 3, Qt::RightButton);
  Press(form, 3);  // a left click chooses without marking
  EXPECT_EQ(FieldText(setup.FileName), "c.rec");
  EXPECT_EQ(Cell(form, 3, 1), "x");
  EXPECT_EQ(form.L_flm_0->text(), "a.rec:");
  EXPECT_TRUE(form.L_flm_1->text().startsWith("от "));
  EXPECT_TRUE(form.L_flm_2->text().startsWith("до "));
  EXPECT_NE(form.L_flm_1->text().mid(3), form.L_flm_2->text().mid(3));

  form.N_openClick();
  EXPECT_EQ(setup.ChosenCount, 3);
  EXPECT_EQ(FieldText(setup.SelectedFiles[0]), "a.rec");
  EXPECT_EQ(FieldText(setup.SelectedFiles[1]), "c.rec");
  EXPECT_EQ(FieldText(setup.SelectedFiles[2]), "d.rec");
  EXPECT_EQ(FieldText(setup.SelectedFiles[3]), "");
  EXPECT_FALSE(form.isVisible());
}

TEST_F(ChooserTest, BadHeaderIsNeverMarkedAndUnmarkingClearsTheSummary) {
  Recording("a.rec");
  Recording("b.rec");
  {
    std::FILE* f = std::fopen(dir.File("b.rec").c_str(), "r+b");
    ASSERT_NE(f, nullptr) << dir.File("b.rec");
    const uint16_t rate = 3;
    std::fseek(f, 22, SEEK_SET);
    std::fwrite(&rate, 2, 1, f);
    std::fclose(f);
  }
  setup.ChooserFilter = 1;
  TForm3 form(setup);
  Press(form, 2, Qt::RightButton);
  EXPECT_EQ(SettingsResult, 1);
  EXPECT_EQ(Cell(form, 2, 1), "");
  Press(form, 1, Qt::RightButton);
  EXPECT_FALSE(form.L_flm_1->text().isEmpty());
  Press(form, 1, Qt::RightButton);
  EXPECT_TRUE(form.L_flm_1->text().isEmpty());
  EXPECT_TRUE(form.L_flm_2->text().isEmpty());
}

TEST_F(ChooserTest, DoubleClickChoosesOneFile) {
  Recording("a.rec");
  Recording("b.rec");
  setup.ChosenCount = 5;
  TForm3 form(setup);
  Ui().ExpectModal(
      [](QDialog& d) {
        auto& f = static_cast<TForm3&>(d);
        Press(f, 2);
        f.SG_fil_nameDblClick();
      },
      "TForm3");
  EXPECT_EQ(platform::ui::RunModal(form), QDialog::Accepted);
  EXPECT_EQ(form.ChosenName(), "b.rec");
  EXPECT_EQ(FieldText(setup.FileName), "b.rec");
  EXPECT_EQ(setup.ChosenCount, 0);
  EXPECT_EQ(SettingsResult, 0);
}

TEST_F(ChooserTest, ExitItemsSetTheResult) {
  Recording("a.rec");
  {
    TForm3 form(setup);
    form.N_exit_fileClick(form.N_exit_program);
    EXPECT_EQ(SettingsResult, kSettingsLeaveProgram);
  }
  TForm3 form(setup);
  form.N_exit_fileClick(form.N_exit_file);
  EXPECT_EQ(SettingsResult, kSettingsUnchanged);
}

TEST_F(ChooserTest, NamesTooLongForTheSetupFieldAreRefused) {
  const std::string longName = std::string(60, 'n') + ".rec";  // 64 bytes
  Recording(longName);
  Recording("short.rec");
  SetFieldText(setup.FileName, "short.rec");
  TForm3 form(setup);
  ASSERT_EQ(Cell(form, 1, 0), longName);
  Ui().ExpectMessage(MsgAnswer::Ok, "длиннее 63");
  Press(form, 1, Qt::RightButton);
  EXPECT_EQ(FieldText(setup.FileName), "short.rec");
  EXPECT_EQ(Cell(form, 1, 1), "");
  form.SG_fil_name->setCurrentCell(1, 0);
  form.SG_fil_nameDblClick();
  EXPECT_EQ(form.ChosenName(), "");
}

TEST_F(ChooserTest, SortItemsAndDirectoryChange) {
  Recording("a.rec");
  Recording("b.rec");
  const auto now = std::filesystem::file_time_type::clock::now();
  std::filesystem::last_write_time(dir.File("a.rec"), now);
  std::filesystem::last_write_time(dir.File("b.rec"), now - std::chrono::hours(1));
  std::filesystem::create_directory(dir.File("sub"));
  TForm3 form(setup);
  form.N_TimeClick(form.N_sort_time);
  EXPECT_EQ(setup.ChooserSort, 0);
  EXPECT_EQ(Cell(form, 1, 0), "a.rec");
  std::filesystem::last_write_time(dir.File("b.rec"), now + std::chrono::hours(1));
  form.N_TimeClick(form.N_XXz);  // rescans; any item but "Сорт. по времени" sorts by name
  EXPECT_EQ(setup.ChooserSort, 1);
  EXPECT_EQ(Cell(form, 1, 0), "a.rec");
  form.N_TimeClick(form.N_sort_time);
  EXPECT_EQ(Cell(form, 1, 0), "b.rec");

  form.SetDirectory(QString::fromStdString(dir.File("sub")));
  EXPECT_EQ(FieldText(setup.DataDir), dir.File("sub"));
  EXPECT_TRUE(form.Files().empty());
  EXPECT_EQ(Cell(form, 1, 0), "");
  EXPECT_EQ(form.DirectoryListBox1->item(0)->text(), "..");
  form.SetDirectory(QString::fromStdString(dir.File("sub/..")));
  EXPECT_EQ(form.Files().size(), 2u);
  EXPECT_TRUE(platform::ui::GrabToPng(form, "file_chooser.png"));
}

TEST_F(ChooserTest, MissingDataDirectoryFallsBackToTheProgramDirectory) {
  const std::string saved = ProgramDir;
  ProgramDir = dir.path();
  Recording("a.rec");
  SetFieldText(setup.DataDir, dir.File("no/such/dir"));
  TForm3 form(setup);
  EXPECT_EQ(FieldText(setup.DataDir), dir.path());
  EXPECT_EQ(form.Files().size(), 1u);
  ProgramDir = saved;
}

}  // namespace
}  // namespace toolkit
