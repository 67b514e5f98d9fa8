#include "viewer/ui/settings_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimeEdit>
#include <fstream>
#include <iterator>

#include "platform/ui/modal_run.h"
#include "platform/ui/terminator.h"
#include "support/qt/ui_test_script.h"
#include "support/temp_dir.h"
#include "toolkit/sample_recording.h"
#include "toolkit/settings_state.h"
#include "toolkit/start_ticks.h"
#include "toolkit/ui/file_chooser_form.h"
#include "viewer/settings_logic.h"
#include "viewer/ui/settings_page_header.h"

namespace viewer {
namespace {

using platform::ui::MsgAnswer;
using support::Ui;
using toolkit::SettingsResult;
using toolkit::SetupRecord;
using toolkit::TForm3;

class SettingsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(&live, 0, sizeof live);
    toolkit::SetFieldText(live.DataDir, dir.path());
    live.LoadChannels = 3;
    for (int i = 0; i < 64; ++i) live.ChannelMap[i] = static_cast<uint16_t>(i);
    live.ChooserSort = 1;
    SettingsResult = toolkit::kSettingsUnchanged;
  }

  void Recording(const std::string& name, uint16_t channels = 3) {
    toolkit::SampleRecordingPlan plan;
    plan.channels = channels;
    plan.frames = 50;
    ASSERT_TRUE(toolkit::WriteSampleRecording(dir.File(name), plan));
  }

  std::string Bytes(const std::string& name) {
    std::ifstream in(dir.File(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // Gives channel `c` of a recording another name and coefficient.
  void PatchChannel(const std::string& name, int c, const std::string& channelName, double coef) {
    std::fstream f(dir.File(name), std::ios::binary | std::ios::in | std::ios::out);
    toolkit::CHANNEL_HEADER h{};
    f.seekg(120 + 72 * c);
    f.read(reinterpret_cast<char*>(&h), sizeof h);
    toolkit::SetFieldText(h.Name, channelName);
    h.Coef = coef;
    f.seekp(120 + 72 * c);
    f.write(reinterpret_cast<const char*>(&h), sizeof h);
    ASSERT_TRUE(f.good());
  }

  // `live` as the loader leaves it after reading `name`: its headers, names cut to 22 characters.
  void Loaded(const std::string& name) {
    const std::string bytes = Bytes(name);
    toolkit::SetFieldText(live.FileName, name);
    std::memcpy(&live.Header, bytes.data(), sizeof live.Header);
    std::memcpy(live.FileChannels, bytes.data() + 120, 72 * live.Header.Channels);
    for (auto& c : live.FileChannels) c.Name[22] = 0;
  }

  // The header page's "Сохранить" with nothing touched, then the dialog's OK.
  static void SaveHeaderUntouched(TMainForm& f) {
    f.PageControl1->setCurrentIndex(kPageHeader);
    static_cast<TSh_ZagPage&>(*f.TSh_header).BB_zagClick();
    EXPECT_EQ(f.HeaderChanged, 1);
    f.BitBtnOkClick();
  }

  // The current file of `live` is a good 3-channel recording.
  void WithCurrentFile() {
    Recording("cur.rec");
    Loaded("cur.rec");
  }

  // The chooser double-clicks the row of `name`.
  static void ExpectChooserPicks(const std::string& name) {
    Ui().ExpectModal(
        [name](QDialog& d) {
          auto& chooser = static_cast<TForm3&>(d);
          for (int row = 1; row < chooser.SG_fil_name->rowCount(); ++row) {
            const QTableWidgetItem* item = chooser.SG_fil_name->item(row, 0);
            if (item == nullptr || item->text().toStdString() != name) continue;
            chooser.SG_fil_nameMouseDown(Qt::LeftButton, 5,
                                         chooser.SG_fil_name->rowViewportPosition(row) + 2);
            chooser.SG_fil_nameDblClick();
            return;
          }
          ADD_FAILURE() << name << " is not listed";
        },
        "TForm3");
  }

  // Runs the dialog with `act` as its user; `nested` scripts the dialogs it opens in turn.
  int Run(TMainForm& form, const std::function<void(TMainForm&)>& act,
          const std::function<void()>& nested = {}) {
    Ui().ExpectModal([act](QDialog& d) { act(static_cast<TMainForm&>(d)); }, "TMainForm");
    if (nested) nested();
    return platform::ui::RunModal(form);
  }

  support::TempDir dir;
  SetupRecord live;
};

TEST_F(SettingsDialogTest, OpenModeChoosesAFileAndAlwaysGives101) {
  Recording("new.rec");
  SettingsResult = toolkit::kSettingsOpenMode;
  live.SettingsPage = 0xFFFF;
  TMainForm form(live);
  EXPECT_EQ(form.BitBtnOk->text(), "Открыть");
  EXPECT_FALSE(form.BitBtnCancel->isEnabled());
  EXPECT_EQ(form.PageControl1->currentIndex(), kPageFile);
  Run(
      form,
      [](TMainForm& f) {
        EXPECT_EQ(SettingsResult, 0);
        EXPECT_EQ(f.LB_fileinfo->item(0)->text(), "new.rec");
        EXPECT_EQ(f.SG_chan->rowCount(), 4);
        f.BitBtnOkClick();
        EXPECT_EQ(f.BitBtnOk->text(), "Сохранить");
        EXPECT_TRUE(f.BitBtnCancel->isEnabled());
      },
      [] { ExpectChooserPicks("new.rec"); });
  EXPECT_EQ(SettingsResult, toolkit::kSettingsChanged);
  EXPECT_EQ(toolkit::FieldText(live.FileName), "new.rec");
  EXPECT_EQ(live.FileSamples, 50u);
  EXPECT_EQ(live.Header.Channels, 3);
}

TEST_F(SettingsDialogTest, OpenModeReopensTheChooserUntilTheHeaderIsGood) {
  Recording("good.rec");
  {
    std::ofstream bad(dir.File("bad.rec"), std::ios::binary);
    bad << std::string(400, '\x07');
  }
  live.ChooserFilter = 1;  // the bad file is listed too
  SettingsResult = toolkit::kSettingsOpenMode;
  TMainForm form(live);
  Run(
      form, [](TMainForm& f) { f.BitBtnOkClick(); },
      [] {
        ExpectChooserPicks("bad.rec");
        ExpectChooserPicks("good.rec");
      });
  EXPECT_EQ(toolkit::FieldText(live.FileName), "good.rec");
}

TEST_F(SettingsDialogTest, NothingChangedGives100AndCancelKeepsTheOldSetup) {
  WithCurrentFile();
  live.FilterType = 2;
  {
    TMainForm form(live);
    Run(form, [](TMainForm& f) { f.BitBtnOkClick(); });
    EXPECT_EQ(SettingsResult, toolkit::kSettingsUnchanged);
  }
  const SetupRecord before = live;
  {
    TMainForm form(live);
    Run(form, [](TMainForm& f) {
      f.CB_coef->setChecked(true);
      f.SG_chan->item(1, 1)->setText("2");
      f.Copy().FilterType = 0;
      f.BitBtnCancelClick();
    });
    EXPECT_EQ(SettingsResult, toolkit::kSettingsUnchanged);
  }
  EXPECT_EQ(std::memcmp(&before, &live, sizeof live), 0);
  EXPECT_EQ(toolkit::SetupCopy, nullptr);
}

TEST_F(SettingsDialogTest, RereadChangesGive101OtherSettingsOnlyReachTheSetup) {
  WithCurrentFile();
  {
    TMainForm form(live);
    Run(form, [](TMainForm& f) {
      f.Copy().StationHours = 7;
      f.BitBtnOkClick();
    });
    EXPECT_EQ(SettingsResult, toolkit::kSettingsUnchanged);
    EXPECT_EQ(live.StationHours, 7);
  }
  {
    TMainForm form(live);
    Run(form, [](TMainForm& f) {
      f.SG_chan->item(1, 1)->setText("2");
      f.SG_chan->item(3, 1)->setText("0");
      f.BitBtnOkClick();
    });
    EXPECT_EQ(SettingsResult, toolkit::kSettingsChanged);
    EXPECT_EQ(live.ChannelMap[0], 2);
    EXPECT_EQ(live.ChannelMap[1], 1);
    EXPECT_EQ(live.ChannelMap[2], 0);
  }
  {
    TMainForm form(live);
    Run(form, [](TMainForm& f) {
      f.CB_coef->setChecked(true);
      f.BitBtnOkClick();
    });
    EXPECT_EQ(SettingsResult, toolkit::kSettingsChanged);
    EXPECT_EQ(live.UseCoefficients, 1);
  }
}

// Enter in any edit of any page presses no button: the dialog stays open, no page is saved or left.
TEST_F(SettingsDialogTest, EnterInAnEditOfAnyPagePressesNoButton) {
  toolkit::SetSetupDefaults(live, dir.path());  // every page's values valid: the pages can be left
  WithCurrentFile();
  TMainForm form(live);
  std::vector<std::string> pressed;
  for (QPushButton* b : form.findChildren<QPushButton*>())
    QObject::connect(b, &QPushButton::clicked, [&pressed, b] { pressed.push_back(b->text().toStdString()); });
  form.show();
  int edits = 0;
  for (int page = 0; page < form.PageControl1->count(); ++page) {
    form.PageControl1->setCurrentIndex(page);
    ASSERT_EQ(form.PageControl1->currentIndex(), page);
    for (QLineEdit* e : form.PageControl1->widget(page)->findChildren<QLineEdit*>()) {
      if (!e->isVisible() || !e->isEnabled()) continue;
      ++edits;
      e->setFocus();
      QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
      QApplication::sendEvent(e, &press);
      EXPECT_TRUE(pressed.empty()) << "page " << page << " pressed " << (pressed.empty() ? "" : pressed[0]);
      EXPECT_TRUE(form.isVisible()) << "page " << page;
      pressed.clear();
    }
  }
  EXPECT_GT(edits, 20);
  form.BitBtnCancelClick();
}

TEST_F(SettingsDialogTest, ChannelNumberAboveTheLastIsHeldThereWithAMessage) {
  WithCurrentFile();
  TMainForm form(live);
  Ui().ExpectMessage(MsgAnswer::Ok, "номер канала не более 2");
  Run(form, [](TMainForm& f) {
    f.SG_chan->item(2, 1)->setText("7");
    f.SG_chan->item(3, 1)->setText("-4");
    f.TSh_SelchanExit();
    EXPECT_EQ(f.Copy().ChannelMap[1], 2);
    EXPECT_EQ(f.Copy().ChannelMap[2], 0);
    f.BitBtnCancelClick();
  });
  ASSERT_EQ(Ui().Messages().size(), 1u);
  EXPECT_EQ(Ui().Messages()[0].caption, "Недопустимое значение номера канала");
}

TEST_F(SettingsDialogTest, PlotChannelCountRebuildsTheGridAndOrderButtonNumbersRows) {
  WithCurrentFile();
  live.ChannelMap[0] = 2;
  TMainForm form(live);
  Run(form, [](TMainForm& f) {
    f.UD_nn->setValue(5);
    EXPECT_EQ(f.Copy().LoadChannels, 5);
    EXPECT_EQ(f.SG_chan->rowCount(), 6);
    EXPECT_EQ(f.SG_chan->item(0, 0)->text(), "Ном. граф.");
    EXPECT_EQ(f.SG_chan->item(5, 1)->text(), "2");  // entry 4 held at the last channel
    EXPECT_EQ(f.SG_chan->item(1, 1)->text(), "2");
    f.Button1Click();
    EXPECT_EQ(f.SG_chan->item(1, 1)->text(), "0");
    EXPECT_EQ(f.SG_chan->item(5, 1)->text(), "4");
    EXPECT_EQ(f.Copy().ChannelMap[40], 40);
    // Rows 3 and 4 ask for channels the file does not have: each gives the message.
    Ui().ExpectMessage(MsgAnswer::Ok, "не более 2");
    Ui().ExpectMessage(MsgAnswer::Ok, "не более 2");
    f.BitBtnOkClick();
  });
  EXPECT_EQ(live.LoadChannels, 5);
  EXPECT_EQ(live.ChannelMap[0], 0);
  EXPECT_EQ(live.ChannelMap[3], 2);
  EXPECT_EQ(live.ChannelMap[4], 2);
}

TEST_F(SettingsDialogTest, ChooserLeftWithoutAChoiceKeepsTheOldFile) {
  WithCurrentFile();
  Recording("other.rec");
  TMainForm form(live);
  Run(
      form,
      [](TMainForm& f) {
        f.BitBtnOpenClick();
        EXPECT_EQ(SettingsResult, toolkit::kSettingsUnchanged);
        EXPECT_EQ(toolkit::FieldText(f.Copy().FileName), "cur.rec");
        EXPECT_EQ(f.LB_fileinfo->item(0)->text(), "cur.rec");
        f.BitBtnOkClick();
      },
      [] {
        Ui().ExpectModal(
            [](QDialog& d) {
              auto& chooser = static_cast<TForm3&>(d);
              // "other.rec" is picked, then the chooser is left without a choice.
              chooser.SG_fil_nameMouseDown(Qt::LeftButton, 5,
                                           chooser.SG_fil_name->rowViewportPosition(2) + 2);
              chooser.N_exit_fileClick(chooser.N_exit_file);
            },
            "TForm3");
      });
  EXPECT_EQ(SettingsResult, toolkit::kSettingsUnchanged);
}

TEST_F(SettingsDialogTest, LeavingTheProgramFromTheChooserEndsWithStatus1) {
  WithCurrentFile();
  SettingsResult = toolkit::kSettingsOpenMode;
  TMainForm form(live);
  Ui().ExpectModal(
      [](QDialog& d) {
        auto& chooser = static_cast<TForm3&>(d);
        chooser.N_exit_fileClick(chooser.N_exit_program);
      },
      "TForm3");
  Ui().ExpectExit(1);
  EXPECT_THROW(form.BitBtnOpenClick(), platform::ui::ProgramTerminated);
  EXPECT_EQ(SettingsResult, toolkit::kSettingsLeaveProgram);
}

TEST_F(SettingsDialogTest, StartPageAndClosingTheWindowActsAsCancel) {
  WithCurrentFile();
  live.SettingsPage = 4;
  TMainForm form(live);
  EXPECT_EQ(form.PageControl1->tabText(form.PageControl1->currentIndex()), "с/станция");
  Run(form, [](TMainForm& f) {
    f.Copy().UseCoefficients = 1;
    f.close();
  });
  EXPECT_EQ(SettingsResult, toolkit::kSettingsUnchanged);
  EXPECT_EQ(live.UseCoefficients, 0);
}

TEST_F(SettingsDialogTest, ChangedHeaderIsRewrittenOnOkOnly) {
  WithCurrentFile();
  auto fileBytes = [this] { return Bytes("cur.rec"); };
  const std::string original = fileBytes();
  {
    TMainForm form(live);
    Run(form, [](TMainForm& f) {
      toolkit::SetFieldText(f.Headers().main.Station, "EDIT");
      f.HeaderChanged = 1;
      f.BitBtnCancelClick();
    });
  }
  EXPECT_EQ(fileBytes(), original);
  TMainForm form(live);
  Run(form, [](TMainForm& f) {
    toolkit::SetFieldText(f.Headers().main.Station, "EDIT");
    f.HeaderChanged = 1;
    f.BitBtnOkClick();
  });
  EXPECT_EQ(SettingsResult, toolkit::kSettingsChanged);
  const std::string rewritten = fileBytes();
  ASSERT_EQ(rewritten.size(), original.size());
  EXPECT_EQ(rewritten.substr(32, 5), std::string("EDIT\0", 5));
  EXPECT_EQ(rewritten.substr(120), original.substr(120));
}

TEST_F(SettingsDialogTest, HeaderOfAVanishedFileIsReportedAndTheDialogStaysOpen) {
  WithCurrentFile();
  const SetupRecord before = live;
  TMainForm form(live);
  std::remove(dir.File("cur.rec").c_str());
  Ui().ExpectMessage(MsgAnswer::Ok, "Нет файла cur.rec");
  Run(form, [](TMainForm& f) {
    SaveHeaderUntouched(f);
    EXPECT_TRUE(f.isVisible());
    f.BitBtnCancelClick();
  });
  EXPECT_EQ(SettingsResult, toolkit::kSettingsUnchanged);
  EXPECT_EQ(std::memcmp(&before, &live, sizeof live), 0);
}

TEST_F(SettingsDialogTest, UntouchedHeaderSaveLeavesTheFileByteIdenticalOnEveryPath) {
  struct Case {
    const char* what;
    bool openMode;
    const char* loaded;  // the record in memory; nullptr: the defaults of a first start
    const char* pick;    // chosen through "Сменить файл"; nullptr: none
    const char* saved;   // the file the header page edits
  };
  for (const Case c : {Case{"A loaded, B chosen", false, "a.rec", "b.rec", "b.rec"},
                       Case{"first start, B chosen", true, nullptr, "b.rec", "b.rec"},
                       Case{"open mode over A, A chosen", true, "a.rec", "a.rec", "a.rec"},
                       Case{"A loaded, names cut by the loader", false, "a.rec", nullptr, "a.rec"}}) {
    SCOPED_TRACE(c.what);
    Recording("a.rec", 4);
    PatchChannel("a.rec", 0, "первый канал A", 0.5);
    PatchChannel("a.rec", 1, std::string(23, 'L'), 0.25);  // the loader keeps 22 of its characters
    toolkit::SampleRecordingPlan plan;
    plan.frames = 50;
    // A start after 2099, below a microsecond: shown as it is and kept to the tick.
    ASSERT_TRUE(toolkit::StartTicksFromSeconds(toolkit::SecondsSince1980({{2150, 6, 1}, {1, 2, 3}}),
                                               toolkit::kDay1980, 77, plan.startTicks));
    ASSERT_TRUE(toolkit::WriteSampleRecording(dir.File("b.rec"), plan));
    const std::string a = Bytes("a.rec");
    const std::string b = Bytes("b.rec");
    SetUp();
    if (c.loaded != nullptr) Loaded(c.loaded);
    if (c.openMode) SettingsResult = toolkit::kSettingsOpenMode;
    TMainForm form(live);
    const char* pick = c.pick;
    Run(
        form,
        [pick](TMainForm& f) {
          // In open mode the chooser has already run when the dialog was shown.
          if (pick != nullptr && f.BitBtnCancel->isEnabled()) f.BitBtnOpenClick();
          SaveHeaderUntouched(f);
        },
        [pick] {
          if (pick != nullptr) ExpectChooserPicks(pick);
        });
    EXPECT_EQ(SettingsResult, toolkit::kSettingsChanged);
    EXPECT_EQ(Bytes("a.rec"), a);
    EXPECT_EQ(Bytes("b.rec"), b);
    EXPECT_EQ(toolkit::FieldText(live.FileName), c.saved);
    // The record now describes the file's own channels.
    EXPECT_EQ(std::memcmp(live.FileChannels, Bytes(c.saved).data() + 120, 72 * live.Header.Channels), 0);
  }
}

TEST_F(SettingsDialogTest, HeaderEditsGoIntoTheirOwnFileOnly) {
  Recording("a.rec", 4);
  PatchChannel("a.rec", 0, "A0", 0.5);
  Recording("b.rec");
  const std::string a = Bytes("a.rec");
  const std::string b = Bytes("b.rec");
  Loaded("a.rec");
  {
    // An edit saved for A is dropped when B is opened: neither file changes.
    TMainForm form(live);
    Run(
        form,
        [](TMainForm& f) {
          f.PageControl1->setCurrentIndex(kPageHeader);
          auto& page = static_cast<TSh_ZagPage&>(*f.TSh_header);
          EXPECT_EQ(page.SG1->item(1, 1)->text(), "A0");
          page.Ed_stat->setText("EDIT");
          page.BB_zagClick();
          EXPECT_EQ(f.HeaderChanged, 1);
          f.PageControl1->setCurrentIndex(kPageFile);
          f.BitBtnOpenClick();
          EXPECT_EQ(f.HeaderChanged, 0);
          f.PageControl1->setCurrentIndex(kPageHeader);
          EXPECT_EQ(page.SG1->item(1, 1)->text(), "к1 Z");
          EXPECT_EQ(page.Ed_stat->text(), "DEMO");
          f.BitBtnOkClick();
        },
        [] { ExpectChooserPicks("b.rec"); });
  }
  EXPECT_EQ(Bytes("a.rec"), a);
  EXPECT_EQ(Bytes("b.rec"), b);
  // A changed name reaches B alone, and B's other channels keep their bytes.
  TMainForm form(live);
  Run(form, [](TMainForm& f) {
    f.PageControl1->setCurrentIndex(kPageHeader);
    auto& page = static_cast<TSh_ZagPage&>(*f.TSh_header);
    page.SG1->item(2, 1)->setText("Восток");
    page.BB_zagClick();
    f.BitBtnOkClick();
  });
  const std::string after = Bytes("b.rec");
  ASSERT_EQ(after.size(), b.size());
  EXPECT_EQ(after.substr(0, 120 + 72), b.substr(0, 120 + 72));
  EXPECT_EQ(after.substr(120 + 72 + 8, 7), std::string("\xC2\xEE\xF1\xF2\xEE\xEA\0", 7));
  EXPECT_EQ(after.substr(120 + 2 * 72), b.substr(120 + 2 * 72));
  EXPECT_EQ(Bytes("a.rec"), a);
}

TEST_F(SettingsDialogTest, UnreadableHeadersRefuseTheHeaderSaveWithAMessage) {
  {
    std::ofstream cut(dir.File("cut.rec"), std::ios::binary);
    toolkit::MAIN_HEADER h{};
    h.Channels = 3;
    h.Rate = 100;
    h.Format = 60;
    cut.write(reinterpret_cast<const char*>(&h), sizeof h);
  }
  toolkit::SetFieldText(live.FileName, "cut.rec");
  live.Header.Channels = 3;
  live.Header.Rate = 100;
  const std::string before = Bytes("cut.rec");
  TMainForm form(live);
  Ui().ExpectMessage(MsgAnswer::Ok, "Заголовки файла cut.rec не прочитаны");
  Run(form, [](TMainForm& f) {
    f.PageControl1->setCurrentIndex(kPageHeader);
    static_cast<TSh_ZagPage&>(*f.TSh_header).BB_zagClick();
    EXPECT_EQ(f.HeaderChanged, 0);
    f.BitBtnOkClick();
  });
  EXPECT_EQ(SettingsResult, toolkit::kSettingsUnchanged);
  EXPECT_EQ(Bytes("cut.rec"), before);
}

TEST_F(SettingsDialogTest, StationRecordKeepsItsStartUnlessAnotherFileIsOpened) {
  constexpr int64_t kHour = int64_t{3600} * toolkit::kTicksPerSecond;
  struct Case {
    const char* what;
    std::function<void()> chooser;  // what the user does in the chooser; empty: "Сменить файл" not pressed
    bool keeps;
  };
  const std::function<void()> leave = [] {
    Ui().ExpectModal(
        [](QDialog& d) {
          auto& chooser = static_cast<TForm3&>(d);
          chooser.SG_fil_nameMouseDown(Qt::LeftButton, 5, chooser.SG_fil_name->rowViewportPosition(2) + 2);
          chooser.N_exit_fileClick(chooser.N_exit_file);
        },
        "TForm3");
  };
  for (const Case& c : {Case{"OK alone", {}, true}, Case{"chooser left without a choice", leave, true},
                        Case{"the same file chosen", [] { ExpectChooserPicks("a.rec"); }, true},
                        Case{"another file chosen", [] { ExpectChooserPicks("b.rec"); }, false}}) {
    SCOPED_TRACE(c.what);
    SetUp();
    toolkit::SampleRecordingPlan plan;
    plan.frames = 50;
    plan.startTicks = 100 * kHour;
    ASSERT_TRUE(toolkit::WriteSampleRecording(dir.File("a.rec"), plan));
    plan.startTicks = 200 * kHour;
    ASSERT_TRUE(toolkit::WriteSampleRecording(dir.File("b.rec"), plan));
    Loaded("a.rec");
    live.Header.StartTicks = 99 * kHour;  // "всех файлов станции": the interval starts before the file
    live.StationMode = 1;
    TMainForm form(live);
    const bool press = static_cast<bool>(c.chooser);
    Run(
        form,
        [press](TMainForm& f) {
          f.PageControl1->setCurrentIndex(kPageHeader);  // shows the file's own start
          EXPECT_EQ(static_cast<TSh_ZagPage&>(*f.TSh_header).DaTmP_t->time().hour(), 4);
          f.PageControl1->setCurrentIndex(kPageFile);
          if (press) f.BitBtnOpenClick();
          f.BitBtnOkClick();
        },
        c.chooser);
    EXPECT_EQ(live.Header.StartTicks, c.keeps ? 99 * kHour : 200 * kHour);
    EXPECT_EQ(SettingsResult, c.keeps ? toolkit::kSettingsUnchanged : toolkit::kSettingsChanged);
  }
}

}  // namespace
}  // namespace viewer
