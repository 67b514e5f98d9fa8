// The main window's FAT reading, its file grid with the download marks, and the page boxes with their
// check, against an emulated recorder whose card holds three recordings.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "emulator/card_image.h"
#include "emulator/command_set.h"
#include "emulator/default_device.h"
#include "emulator/emulated_driver.h"
#include "platform/clock.h"
#include "platform/ftdi/backend.h"
#include "platform/ui/grab.h"
#include "recorder/program_link.h"
#include "recorder/session_texts.h"
#include "recorder/ui/main_window.h"
#include "support/qt/ui_test_script.h"
#include "toolkit/format_text.h"

namespace recorder {
namespace {

namespace fs = std::filesystem;
using platform::ui::MsgAnswer;
using support::Ui;

constexpr uint32_t kT0 = 1'394'541'000;  // 15.03.24 12:30:00 recorder time
constexpr double kDegree = 3.14159265358979323846 / 180.0;
constexpr uint32_t kFatPage = 256;  // FT_PG 1

class FatWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::path(::testing::TempDir()) / ("fat_window_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    // Three recordings after the power-on and a position: the first takes the synchronisation that
    // follows it, the second does not take corrections ("c"), the third was never closed ("?").
    builder.PowerOn(kT0 - 5);
    builder.Position(150.0f, static_cast<float>(30.0 * kDegree), static_cast<float>(60.0 * kDegree), 3);
    emulator::CardRecording a;
    a.StartTime = kT0;
    a.DataPages = 10;
    builder.Recording(a);
    // 1 s + 1/4 s of ticks (1024 ticks a second of 65536 parts) behind GPS.
    builder.Sync(1024u * 65536u / 4u, kT0 + 50, kT0 + 52);
    emulator::CardRecording b;
    b.StartTime = kT0 + 100;
    b.DataPages = 11;
    b.KindBits = 1;
    builder.Recording(b);
    emulator::CardRecording c;
    c.StartTime = kT0 + 200;
    c.DataPages = 12;
    c.Closed = false;
    builder.Recording(c);
    builder.Button(kT0 + 400);
  }
  void TearDown() override { fs::remove_all(dir); }

  // Attaches the recorder with the card of `card` and starts the window against it.
  void Start() {
    emulator::DeviceInfo info;
    info.serial = "UNIT0005";
    info.description = "T-9XV Unit";
    device = &driver.Attach(info);
    emulator::SetUpDefaultDevice(device->recorder.State());
    device->recorder.State().card = builder.Build();
    builder.ApplyToStatus(device->recorder.State().status);
    device->recorder.State().status[2] = 0x21;  // synchronised, card present, idle
    // Fast enough that the rest of a batch is gone within the drains after the FAT.
    device->recorder.Line().SetRate(2'000'000);
    set = emulator::CommandSet::Install(device->recorder);
    w = std::make_unique<Trecorder>(nullptr, dir.string());
    w->show();
    QCoreApplication::processEvents();  // the start-up runs from the event loop
    ASSERT_TRUE(w->Tmer2->isActive());
  }

  std::string Log() {
    std::ifstream in(w->LogFileName);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string Cell(int row, int column) const {
    const QTableWidgetItem* item = w->SG_f->item(row, column);
    return item ? item->text().toStdString() : std::string();
  }
  std::vector<std::string> ListLines() const {
    std::vector<std::string> lines;
    for (int i = 0; i < w->LB->count(); ++i) lines.push_back(w->LB->item(i)->text().toStdString());
    return lines;
  }
  bool Listed(const std::string& part) const {
    for (const std::string& line : ListLines()) {
      if (line.find(part) != std::string::npos) return true;
    }
    return false;
  }
  std::string StatusBar() const { return w->StatusB->currentMessage().toStdString(); }

  void PressCell(int row, int column, Qt::MouseButton button = Qt::RightButton, int dy = 0) {
    const QPoint at = w->SG_f->visualRect(w->SG_f->model()->index(row, column)).center() + QPoint(0, dy);
    QMouseEvent press(QEvent::MouseButtonPress, at, w->SG_f->viewport()->mapToGlobal(at), button, button,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(w->SG_f->viewport(), &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w->SG_f->viewport()->mapToGlobal(at), button,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w->SG_f->viewport(), &release);
  }
  void MoveOver(int row, int column) {
    const QPoint at = w->SG_f->visualRect(w->SG_f->model()->index(row, column)).center();
    QMouseEvent move(QEvent::MouseMove, at, w->SG_f->viewport()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(w->SG_f->viewport(), &move);
  }
  void ClickPageCheck() {
    const QPoint at = w->L_dl_fat->rect().center();
    QMouseEvent release(QEvent::MouseButtonRelease, at, w->L_dl_fat->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w->L_dl_fat, &release);
  }
  void Key(QWidget* target, int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(target, &press);
  }
  // Page boxes editable: the page range instead of the FAT's files.
  void UsePageRange() {
    if (!w->SB_dop->isChecked()) w->SB_dop->click();
    w->CB_fat->click();
    ASSERT_FALSE(w->CB_fat->isChecked());
  }
  // Moves the second of a page's header forward by 256 s, keeping its header and page sums.
  void ShiftPageTime(uint32_t page) {
    uint8_t* p = device->recorder.State().card.data() + size_t{page} * 512;
    ASSERT_LT(p[5], 0xFF);
    p[5] += 1;
    p[15] -= 1;
  }

  platform::TestClock clock{1000, {1'700'000'000, 0}};
  platform::ScopedClock useClock{clock};
  emulator::EmulatedDriver driver;
  platform::ftdi::ScopedDriver useDriver{driver};
  emulator::CardImageBuilder builder{1, 1, 2, 1000};
  emulator::EmulatedDevice* device = nullptr;
  std::shared_ptr<emulator::CommandSet> set;
  std::unique_ptr<Trecorder> w;
  fs::path dir;
};

TEST_F(FatWindowTest, FatFillsTheGridTheListAndTheLog) {
  Start();
  w->MarkCommandReady(w->B_read);  // as the download does once its handler is connected
  ASSERT_TRUE(w->B_fat->isEnabled());
  EXPECT_FALSE(w->B_read->isEnabled());
  EXPECT_EQ(w->SG_f->columnCount(), 2) << "the status grid before the FAT";
  const std::string before = Log();
  w->B_fat->click();

  ASSERT_EQ(w->Fat.FatCount, 3);
  const auto& files = builder.Files();
  ASSERT_EQ(files.size(), 3u);
  ASSERT_EQ(w->SG_f->columnCount(), 9);
  EXPECT_EQ(w->SG_f->rowCount(), 20);
  const std::vector<std::string> titles{"N", "Время начала", "Длина", "", "", "", "долгота", "широта", "dT"};
  for (int c = 0; c < 9; ++c) EXPECT_EQ(Cell(0, c), titles[static_cast<size_t>(c)]) << c;
  const int widths[] = {25, 115, 60, 12, 12, 12};
  for (int c = 0; c < 6; ++c) EXPECT_EQ(w->SG_f->columnWidth(c), widths[c]) << c;
  EXPECT_EQ(w->SG_f->columnWidth(6) + 27, w->SG_f->columnWidth(8));

  const char* starts[] = {"15.03.24 12:30:00", "15.03.24 12:31:40", "15.03.24 12:33:20"};
  for (int r = 1; r <= 3; ++r) {
    SCOPED_TRACE(r);
    const emulator::CardFile& f = files[static_cast<size_t>(r - 1)];
    EXPECT_EQ(Cell(r, 0), std::to_string(r - 1));
    EXPECT_EQ(Cell(r, 1), starts[r - 1]);
    const uint32_t last = r == 3 ? w->Fat.FatFiles[2].EndPage : f.LastPage;
    EXPECT_EQ(Cell(r, 2), std::to_string(last - f.SetupPage + 1));
    EXPECT_EQ(Cell(r, 3), "");
    EXPECT_EQ(Cell(r, 4), r == 2 ? "c" : "");
    EXPECT_EQ(Cell(r, 5), r == 3 ? "?" : "");
  }
  EXPECT_EQ(Cell(1, 2), "11") << "the setup copy and ten data pages";
  EXPECT_EQ(Cell(2, 2), "12");
  EXPECT_EQ(Cell(1, 6), "30.00000");
  EXPECT_EQ(Cell(1, 7), "60.00000");
  EXPECT_EQ(Cell(1, 8), "1.75000");
  EXPECT_EQ(Cell(2, 6), "30.00000");
  EXPECT_EQ(Cell(2, 8), "0.00000") << "a file with kind bits takes no correction";
  // The unclosed file ends at the page the last button record saw, after its own pages.
  EXPECT_GE(w->Fat.FatFiles[2].EndPage, files[2].SetupPage);
  EXPECT_EQ(Cell(4, 0), "3");
  EXPECT_EQ(Cell(4, 1), "");
  EXPECT_EQ(Cell(19, 0), "18");

  const std::vector<std::string> lines = ListLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "   ");
  EXPECT_TRUE(Listed("Файл_01: начало в 15.03.24 12:30:00; 3k; 1000Гц; стр "));
  EXPECT_TRUE(Listed("_синхр: "));
  EXPECT_EQ(lines.back(), "Конец fat'a на стр. 257");
  EXPECT_FALSE(w->SB->isVisible()) << "the report stays hidden while the extra panel is";

  const std::string log = Log().substr(before.size());
  EXPECT_EQ(log.rfind("\nчтение FATа: \n", 0), 0u) << log;
  const size_t fat = log.find("\n           F A T:\n");
  ASSERT_NE(fat, std::string::npos) << log;
  EXPECT_NE(log.find("Файл_02: начало в 15.03.24 12:31:40"), std::string::npos);
  EXPECT_NE(log.find("N_00: от     15.03.24 12:30:00 до ", fat), std::string::npos) << log;
  EXPECT_NE(log.find("N_02: от     15.03.24 12:33:20", fat), std::string::npos) << log;
  EXPECT_NE(log.find("dt=1.75000\n", fat), std::string::npos) << log;
  EXPECT_TRUE(w->B_read->isEnabled());
  EXPECT_TRUE(w->B_fat->isEnabled());

  PressCell(1, 1);
  EXPECT_EQ(Cell(1, 3), "x");
  const fs::path picture = dir / "main_window_fat.png";
  ASSERT_TRUE(platform::ui::GrabToPng(*w, QString::fromStdString(picture.string())));
  // Kept in the test's working directory for a person to look at.
  fs::copy_file(picture, fs::current_path() / "recorder_main_window_fat.png",
                fs::copy_options::overwrite_existing);

  // The status takes the grid back.
  w->BB_statusClick();
  EXPECT_EQ(w->SG_f->columnCount(), 2);
  EXPECT_EQ(Cell(0, 1), "1A_005");
  const QString begin = w->E_Beg_adr->text();
  PressCell(2, 1);
  EXPECT_EQ(Cell(2, 3), "") << "no marks on the status grid";
  EXPECT_EQ(w->E_Beg_adr->text(), begin);
}

TEST_F(FatWindowTest, WithTheExtraPanelTheReportShowsOverTheGridUntilItIsPutAway) {
  Start();
  w->SB_dop->click();
  w->SB_podrobno->click();
  w->SB_5_6->click();
  ASSERT_TRUE(w->SB_podrobno->isChecked());
  w->B_fat->click();
  EXPECT_TRUE(w->SB->isVisible());
  EXPECT_EQ(ListLines().at(1), "         время GPS  минус время UNIT'a !");
  EXPECT_TRUE(Listed("      стр: 256"));
  EXPECT_TRUE(Listed("00:    30.00000 /   60.00000 /  150.00000;   корр. ген. 3;"))
      << "the detailed position";
  w->Button1->click();
  EXPECT_FALSE(w->SB->isVisible());

  w->B_fat->click();
  EXPECT_TRUE(w->SB->isVisible());
  w->LBDblClick();
  EXPECT_FALSE(w->SB->isVisible());
}

TEST_F(FatWindowTest, RefusalsLeaveTheGridAndTheDownloadAsTheyWere) {
  Start();
  w->MarkCommandReady(w->B_read);
  const std::string before = Log();
  auto& status = device->recorder.State().status;

  status[2] = 0x23;  // the converter was switched on since the last status
  Ui().ExpectMessage(MsgAnswer::Ok, "В Unite включено АЦП");
  w->B_fatClick();
  status[2] = 0x25;  // waiting for its start
  Ui().ExpectMessage(MsgAnswer::Ok, "В Unite включено АЦП");
  w->B_fatClick();
  status[2] = 0x01;  // the card taken out
  Ui().ExpectMessage(MsgAnswer::Ok, "В Unite нет карты;");
  w->B_fatClick();
  // A work log that does not open: the message, no program end, and the window stays in use.
  status[2] = 0x21;  // idle with its card again
  const std::string logFile = w->LogFileName;
  w->LogFileName = logFile + ".missing/log.txt";
  Ui().ExpectMessage(MsgAnswer::Ok, "не открылся лог-file!");
  w->B_fatClick();
  // A refused data folder, which has no log: named with its reason.
  w->LogFileName.clear();
  w->DataDirRefusal = "Папка данных " + w->DataDir + " — символическая ссылка";
  Ui().ExpectMessage(MsgAnswer::Ok, w->DataDirRefusal);
  w->B_fatClick();
  w->DataDirRefusal.clear();
  w->LogFileName = logFile;

  const auto messages = Ui().Messages();
  ASSERT_EQ(messages.size(), 5u);
  EXPECT_EQ(messages[0].caption, "н е л ь з я !");
  EXPECT_EQ(messages[1].caption, "н е л ь з я !");
  EXPECT_EQ(messages[2].caption, "Error");
  EXPECT_EQ(messages[3].caption, "Error");
  EXPECT_TRUE(Ui().Exits().empty());
  EXPECT_TRUE(w->B_fat->isEnabled());
  EXPECT_EQ(w->SG_f->columnCount(), 2);
  EXPECT_EQ(w->Fat.FatCount, 0);
  EXPECT_FALSE(w->B_read->isEnabled());
  EXPECT_EQ(Log(), before) << "nothing logged";
  for (const auto& c : device->recorder.Received()) EXPECT_NE(c.type, 4) << "no page requested";
}

TEST_F(FatWindowTest, AFirstFatPageThatFailsItsTestLeavesTwentyEmptyNumberedRows) {
  Start();
  // A previous reading left files in the table.
  w->B_fat->click();
  ASSERT_EQ(w->Fat.FatCount, 3);
  device->recorder.State().card[size_t{kFatPage} * 512] = 0x62;
  w->B_fat->click();
  EXPECT_EQ(w->Fat.FatCount, 0);
  ASSERT_EQ(w->SG_f->rowCount(), 20);
  ASSERT_EQ(w->SG_f->columnCount(), 9);
  for (int r = 1; r < 20; ++r) {
    EXPECT_EQ(Cell(r, 0), std::to_string(r - 1));
    for (int c = 1; c < 9; ++c) EXPECT_EQ(Cell(r, c), "") << r << "," << c;
  }
  EXPECT_EQ(ListLines().back(), "Конец fat'a на стр. 256");
}

TEST_F(FatWindowTest, ARecordThatFailsItsCheckAsksAndNoEndsTheFat) {
  Start();
  // Slot 6 of the first FAT page holds the second file's start (after the pointer, the power-on, the
  // position, the first file's start and end and the synchronisation): spoil its check.
  device->recorder.State().card[size_t{kFatPage} * 512 + 6 * 16 + 3] ^= 0x40;
  Ui().ExpectMessage(MsgAnswer::No, "error ks: стр. 256 / запись 6;");
  w->B_fat->click();
  const auto messages = Ui().Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "продолжать чтение fat'a?");
  EXPECT_EQ(messages[0].buttons, platform::ui::MsgButtons::YesNo);
  EXPECT_EQ(w->Fat.FatCount, 1) << "only the file before the spoilt record";
  EXPECT_EQ(Cell(1, 1), "15.03.24 12:30:00");
  EXPECT_EQ(Cell(2, 1), "");
  EXPECT_EQ(Cell(1, 8), "1.75000");
}

TEST_F(FatWindowTest, MarksAreToggledOnFileRowsAndMarkAllSkipsShortFiles) {
  // A fourth file of a setup copy and one data page: two pages, never worth a download.
  emulator::CardRecording shortFile;
  shortFile.StartTime = kT0 + 500;
  shortFile.DataPages = 1;
  builder.Recording(shortFile);
  Start();
  w->B_fat->click();
  ASSERT_EQ(w->Fat.FatCount, 4);
  ASSERT_EQ(w->Fat.FatFiles[3].EndPage - w->Fat.FatFiles[3].BeginPage, 1u);

  PressCell(2, 1, Qt::LeftButton);
  EXPECT_EQ(Cell(2, 3), "") << "the left button only selects";
  PressCell(2, 1);
  EXPECT_EQ(Cell(2, 3), "x");
  EXPECT_EQ(w->E_Beg_adr->text().toStdString(), toolkit::FormatText("%08u", builder.Files()[1].SetupPage));
  EXPECT_EQ(w->E_Kon_adr->text().toStdString(), toolkit::FormatText("%08u", builder.Files()[1].LastPage));
  PressCell(2, 7);
  EXPECT_EQ(Cell(2, 3), "");
  PressCell(4, 3);
  EXPECT_EQ(Cell(4, 3), "x") << "a short file can still be marked by hand";
  PressCell(4, 3);
  PressCell(6, 2);
  EXPECT_EQ(Cell(6, 3), "") << "below the last file row";
  // Rows are 18 pixels: presses count down to 5 x 18 - 5 = 85, which lies inside file row 4.
  PressCell(4, 2, Qt::RightButton, 8);
  EXPECT_EQ(Cell(4, 3), "");

  PressCell(0, 4);  // the title row: mark all
  EXPECT_EQ(Cell(1, 3), "x");
  EXPECT_EQ(Cell(2, 3), "x");
  EXPECT_EQ(Cell(3, 3), "x");
  EXPECT_EQ(Cell(4, 3), "") << "two pages are not marked";
  PressCell(3, 0);  // the number column: all are marked, so all are cleared
  EXPECT_EQ(Cell(1, 3), " ");
  EXPECT_EQ(Cell(2, 3), " ");
  EXPECT_EQ(Cell(3, 3), " ");
  EXPECT_EQ(Cell(4, 3), "");
  PressCell(1, 2);
  EXPECT_EQ(Cell(1, 3), "x") << "a cleared cell toggles to a mark";

  MoveOver(0, 5);
  EXPECT_EQ(StatusBar(), "отметить все?");
  EXPECT_EQ(w->SG_f->viewport()->cursor().shape(), Qt::DragCopyCursor);
  MoveOver(2, 2);
  EXPECT_EQ(StatusBar(), "...");
  EXPECT_EQ(w->SG_f->viewport()->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(FatWindowTest, PageCheckTellsWhatTheTypedPagesHold) {
  Start();
  const emulator::CardFile& a = builder.Files()[0];
  EXPECT_FALSE(w->L_dl_fat->isEnabled());
  EXPECT_FALSE(w->E_Beg_adr->isEnabled());
  UsePageRange();
  EXPECT_TRUE(w->L_dl_fat->isEnabled());
  EXPECT_TRUE(w->E_Beg_adr->isEnabled());
  EXPECT_TRUE(w->E_Kon_adr->isEnabled());

  // Contiguous pages of one file.
  w->E_Beg_adr->setText(QString::fromStdString(toolkit::FormatText("%u", a.FirstDataPage)));
  w->E_Kon_adr->setText(QString::fromStdString(toolkit::FormatText("%u", a.LastPage)));
  EXPECT_EQ(w->E_Beg_adr->text().toStdString(), toolkit::FormatText("%08u", a.FirstDataPage));
  ClickPageCheck();
  EXPECT_EQ(w->BegPage, a.FirstDataPage);
  EXPECT_EQ(w->EndPage, a.LastPage);
  const std::string whole = StatusBar();
  EXPECT_EQ(whole.rfind("ф 1: 1000Гц; к 3; 15.03.24 12:30:00,00000;  ", 0), 0u) << whole;
  EXPECT_NE(whole.find(toolkit::FormatText("сек на 10стр.;  %u", a.LastPage)), std::string::npos) << whole;

  // The same pages with a gap in time before the last.
  ShiftPageTime(a.LastPage);
  ClickPageCheck();
  EXPECT_NE(StatusBar().find("Не сходится время! "), std::string::npos) << StatusBar();

  // A begin page on the setup copy: every data page is "другой".
  w->E_Beg_adr->setText(QString::fromStdString(toolkit::FormatText("%u", a.SetupPage)));
  ClickPageCheck();
  EXPECT_EQ(StatusBar().rfind(toolkit::FormatText("Setup на стр. %u:  1000 Гц; к 3; ", a.SetupPage), 0), 0u)
      << StatusBar();
  EXPECT_NE(StatusBar().find(" // другой! ф 1"), std::string::npos);

  // A begin page beyond the card is refused; what was stored stays.
  const std::string shown = StatusBar();
  w->E_Beg_adr->setText("4001");
  Ui().ExpectMessage(MsgAnswer::Ok, "Max сектор карты 4000 ");
  ClickPageCheck();
  ASSERT_EQ(Ui().Messages().size(), 1u);
  EXPECT_EQ(Ui().Messages()[0].caption, "Error");
  EXPECT_EQ(w->BegPage, a.SetupPage);
  EXPECT_EQ(StatusBar(), shown);

  // An end page beyond the card is cut to the last page.
  w->E_Beg_adr->setText(QString::fromStdString(toolkit::FormatText("%u", a.FirstDataPage)));
  w->E_Kon_adr->setText("12345678");
  ClickPageCheck();
  EXPECT_EQ(w->EndPage, 3999u);
  EXPECT_NE(StatusBar().find(";  Нет заголовка на стр. 3999"), std::string::npos) << StatusBar();

  // A page that does not come.
  device->recorder.SetAnswering(false);
  w->E_Kon_adr->setText(QString::fromStdString(toolkit::FormatText("%u", a.LastPage)));
  ClickPageCheck();
  EXPECT_NE(StatusBar().find(toolkit::FormatText("стр. %u: нет ответа; ", a.FirstDataPage)),
            std::string::npos)
      << StatusBar();

  // Ticked again, the boxes and the check are locked.
  w->CB_fat->click();
  EXPECT_FALSE(w->L_dl_fat->isEnabled());
  EXPECT_FALSE(w->E_Kon_adr->isEnabled());
  const uint32_t stored = w->BegPage;
  w->E_Beg_adr->setText("5");
  ClickPageCheck();
  EXPECT_EQ(w->BegPage, stored);
}

TEST_F(FatWindowTest, PageBoxesRewriteTheirTextAndTheKeysStepThemWithTheCheck) {
  Start();
  const emulator::CardFile& a = builder.Files()[0];
  UsePageRange();

  w->E_Beg_adr->setText("0");
  EXPECT_EQ(w->E_Beg_adr->text(), "00000001");
  w->E_Beg_adr->setText("13");
  EXPECT_EQ(w->E_Beg_adr->text(), "00000013");
  w->E_Kon_adr->setText("");
  EXPECT_EQ(w->E_Kon_adr->text(), "00000000") << "the end box takes 0";
  w->E_Kon_adr->setText("99999999");
  EXPECT_EQ(w->E_Kon_adr->text(), "99999999") << "a change keeps any page";
  w->E_Kon_adrExit();
  EXPECT_EQ(w->E_Kon_adr->text(), "00003999");
  w->E_Beg_adrExit();
  EXPECT_EQ(w->E_Beg_adr->text(), "00000013");

  // "=" steps the begin page by one and checks the pages.
  w->E_Beg_adr->setText(QString::fromStdString(toolkit::FormatText("%u", a.FirstDataPage - 1)));
  w->E_Kon_adr->setText(QString::fromStdString(toolkit::FormatText("%u", a.LastPage)));
  Key(w->E_Beg_adr, Qt::Key_Equal, Qt::NoModifier, "=");
  EXPECT_EQ(w->E_Beg_adr->text().toStdString(), toolkit::FormatText("%08u", a.FirstDataPage));
  EXPECT_EQ(w->BegPage, a.FirstDataPage);
  EXPECT_NE(StatusBar().find("сек на 10стр."), std::string::npos) << StatusBar();
  // Keypad "-" with Ctrl steps the end page down by 100, from any control of the window.
  Key(w->B_fat, Qt::Key_Minus, Qt::KeypadModifier | Qt::ControlModifier, "-");
  EXPECT_EQ(w->E_Kon_adr->text().toStdString(), toolkit::FormatText("%08u", a.LastPage - 100));
  EXPECT_EQ(w->EndPage, a.LastPage - 100);
  // Keypad "+" with Alt and Ctrl: Alt's 10000.
  Key(w->E_Kon_adr, Qt::Key_Plus, Qt::KeypadModifier | Qt::ControlModifier | Qt::AltModifier, "+");
  EXPECT_EQ(w->E_Kon_adr->text().toStdString(), toolkit::FormatText("%08u", a.LastPage + 9900));
  // "-" below the first page stops at 0, which the begin box makes 1; that page lies before the FAT,
  // erased, and fails its sum.
  w->E_Beg_adr->setText("50");
  Ui().ExpectMessage(MsgAnswer::Ok, "ks!");
  Key(w->E_Beg_adr, Qt::Key_Minus, Qt::AltModifier, "-");
  EXPECT_EQ(w->E_Beg_adr->text(), "00000001");
  EXPECT_EQ(w->BegPage, 1u);

  // With the files from the FAT, or during the status watch, the keys leave the boxes alone.
  w->CB_fat->click();
  Key(w->E_Beg_adr, Qt::Key_Equal, Qt::NoModifier, "=");
  EXPECT_EQ(w->E_Beg_adr->text(), "00000001");
  w->CB_fat->click();
  w->SB_id->click();
  Key(w->E_Beg_adr, Qt::Key_Equal, Qt::NoModifier, "=");
  EXPECT_EQ(w->E_Beg_adr->text(), "00000001");
  w->SB_id->click();
  Ui().ExpectMessage(MsgAnswer::Ok, "ks!");
  Key(w->E_Beg_adr, Qt::Key_Equal, Qt::NoModifier, "=");
  EXPECT_EQ(w->E_Beg_adr->text(), "00000002");
}

// Z, Z, Z puts the picture panel of the extra panel away on the wide window, whatever the page boxes
// take: keys of either case, from any control, each press counted once however far it travels.
TEST_F(FatWindowTest, ThreeZsInARowHideThePicturePanel) {
  Start();
  struct Case {
    const char* name;
    std::vector<int> keys;
    bool filesFromFat;
    bool statusWatch;
    int width;
    bool hidden;
  };
  const int Z = Qt::Key_Z, X = Qt::Key_X;
  const Case cases[] = {
      {"files from the FAT", {Z, Z, Z}, true, false, 762, true},
      {"page range", {Z, Z, Z}, false, false, 762, true},
      {"broken by another key", {Z, Z, X, Z, Z}, true, false, 762, false},
      {"another key, then three", {Z, X, Z, Z, Z}, true, false, 762, true},
      {"two only", {Z, Z}, true, false, 762, false},
      {"narrow window", {Z, Z, Z}, true, false, 700, false},
      {"status watch", {Z, Z, Z}, true, true, 762, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!w->SB_dop->isChecked()) w->SB_dop->click();
    ASSERT_TRUE(w->P_Wuz->isVisible());
    w->CB_fat->setChecked(c.filesFromFat);
    w->CB_fatMouseUp();
    w->resize(c.width, w->height());
    if (c.statusWatch) w->SB_id->click();
    Key(w->E_Beg_adr, Qt::Key_Escape, Qt::NoModifier, "");  // a fresh count
    for (size_t i = 0; i < c.keys.size(); ++i) {
      // Lower and upper case; from a button, whose key travels up to the window unused.
      QWidget* target = i % 2 == 0 ? static_cast<QWidget*>(w->E_Beg_adr) : w->BB_status;
      Key(target, c.keys[i], i % 2 == 0 ? Qt::NoModifier : Qt::ShiftModifier, i % 2 == 0 ? "z" : "Z");
    }
    EXPECT_EQ(w->P_Wuz->isVisible(), !c.hidden);
    if (c.statusWatch) w->SB_id->click();
    w->SB_dop->click();  // up: both panels away, then down again for the next case
  }
}

}  // namespace
}  // namespace recorder
