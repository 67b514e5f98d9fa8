#include "toolkit/ui/merge_form.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QFileDialog>
#include <QInputDialog>
#include <QListWidget>
#include <filesystem>
#include <fstream>

#include "platform/ui/grab.h"
#include "support/qt/ui_test_script.h"
#include "support/temp_dir.h"
#include "toolkit/sample_recording.h"

namespace toolkit {
namespace {

namespace fs = std::filesystem;
using platform::ui::MsgAnswer;
using support::Ui;

constexpr int64_t kTps = 256'000'000;
constexpr int64_t kStart = int64_t{1'000'000'000} * kTps;

class MergeFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(dir.File("second"));
    Write(dir.File("11.rec"), 3, 100, kStart);
    SetFieldText(setup->DataDir, dir.path());
    SetFieldText(setup->FileName, "11.rec");
  }
  static void Write(const std::string& path, uint16_t channels, uint16_t rate, int64_t start) {
    SampleRecordingPlan plan;
    plan.channels = channels;
    plan.rate = rate;
    plan.frames = 500;
    plan.startTicks = start;
    ASSERT_TRUE(WriteSampleRecording(path, plan));
  }
  // The file dialog picks `path` (empty: cancelled).
  static void ScriptSecondFile(const std::string& path) {
    Ui().ExpectModal(
        [path](QDialog& d) {
          auto& f = static_cast<QFileDialog&>(d);
          EXPECT_EQ(f.windowTitle().toStdString(), "Выбор второго файла");
          if (path.empty()) return f.reject();
          f.selectFile(QString::fromStdString(path));
          QMetaObject::invokeMethod(&f, "accept", Qt::DirectConnection);
        },
        "QFileDialog");
  }
  // The name question: offered name expected, answer given (empty: Cancel).
  static void ScriptName(const std::string& offered, const std::string& answer) {
    Ui().ExpectModal(
        [offered, answer](QDialog& d) {
          auto& box = static_cast<QInputDialog&>(d);
          EXPECT_EQ(box.textValue().toStdString(), offered);
          if (answer.empty()) return box.reject();
          box.setTextValue(QString::fromStdString(answer));
          box.accept();
        },
        "QInputDialog");
  }
  static std::vector<std::string> Lines(const QListWidget& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.count(); ++i) out.push_back(list.item(i)->text().toStdString());
    return out;
  }

  support::TempDir dir;
  std::unique_ptr<SetupRecord> setup = std::make_unique<SetupRecord>();
};

TEST_F(MergeFormTest, MergesIntoTheSecondFilesDirectoryAfterTheNameQuestion) {
  Write(dir.File("second/21.rec"), 2, 100, kStart + 10 * kTps);
  ScriptSecondFile(dir.File("second/21.rec"));
  TForm4 form(*setup);
  EXPECT_EQ(form.windowTitle().toStdString(), "Объединение двух файлов");
  EXPECT_EQ(Lines(*form.ListBox1).at(0), "11.rec");
  EXPECT_EQ(Lines(*form.ListBox2).at(0), "21.rec");
  EXPECT_EQ(Lines(*form.ListBox2).back(), "разрыв: 5.000 сек /500 т");
  ASSERT_TRUE(form.N_po_BPEM->isEnabled());
  ASSERT_TRUE(form.N_po_begin->isEnabled());
  form.show();
  EXPECT_TRUE(platform::ui::GrabToPng(form, "merge_form.png"));

  // An existing name is refused and asked again; then a new one is written.
  std::ofstream(dir.File("second/taken")) << "x";
  ScriptName("11.rec", "taken");
  Ui().ExpectMessage(MsgAnswer::Ok, "Файл с таким именем существует");
  ScriptName("taken", "merged.rec");
  Ui().ExpectMessage(MsgAnswer::Ok, "создан  файл  < merged.rec > ");
  form.N_po_BPEM->trigger();
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_EQ(fs::file_size(dir.File("second/merged.rec")), HeadersSize(5) + 1500u * 5 * 4);
  EXPECT_TRUE(fs::exists(dir.File("second/2.txt")));
}

TEST_F(MergeFormTest, CancellingTheNameWritesNothing) {
  Write(dir.File("second/21.rec"), 2, 100, kStart);
  Write(dir.File("second/11.rec"), 2, 100, kStart);
  ScriptSecondFile(dir.File("second/21.rec"));
  TForm4 form(*setup);
  ScriptName("31.rec", "");  // 11.rec and 21.rec exist there
  form.N_po_begin->trigger();
  EXPECT_FALSE(fs::exists(dir.File("second/31.rec")));
  EXPECT_FALSE(fs::exists(dir.File("second/2.txt")));
}

TEST_F(MergeFormTest, SecondFileOfAnotherRateKeepsTheMergeCommandsDisabled) {
  Write(dir.File("second/21.rec"), 2, 200, kStart);
  ScriptSecondFile(dir.File("second/21.rec"));
  TForm4 form(*setup);
  EXPECT_EQ(Lines(*form.ListBox2).back(), "error:    не совпадает частота");
  EXPECT_FALSE(form.N_po_BPEM->isEnabled());
  EXPECT_FALSE(form.N_po_begin->isEnabled());
  EXPECT_EQ(form.ListBox2->palette().color(QPalette::Text), QColor(Qt::red));
  // Choosing again with a good file enables them.
  Write(dir.File("second/22.rec"), 2, 100, kStart);
  ScriptSecondFile(dir.File("second/22.rec"));
  form.N_name2->trigger();
  EXPECT_TRUE(form.N_po_BPEM->isEnabled());
}

TEST_F(MergeFormTest, UnreadableFirstFileShowsErrorAndAsksForNoSecond) {
  SetFieldText(setup->FileName, "missing.rec");
  Ui().ExpectMessage(MsgAnswer::Ok, "error");
  TForm4 form(*setup);
  EXPECT_EQ(Lines(*form.ListBox1), std::vector<std::string>{"Error open file missing.rec"});
  EXPECT_FALSE(form.N_po_BPEM->isEnabled());
}

}  // namespace
}  // namespace toolkit
