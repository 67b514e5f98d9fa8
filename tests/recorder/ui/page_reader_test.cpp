// The raw page reader and writer behind "чт-е/зап. карты", against an emulated recorder whose card holds
// two recordings: card pages compared with the card image, the decode lines, the dump, DataFlash pages
// written into the emulated DataFlash and read back, the fills and the bad cells.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QButtonGroup>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "emulator/card_image.h"
#include "emulator/command_set.h"
#include "emulator/default_device.h"
#include "emulator/emulated_driver.h"
#include "platform/clock.h"
#include "platform/ftdi/backend.h"
#include "platform/ui/grab.h"
#include "recorder/ui/main_window.h"
#include "recorder/ui/page_reader.h"
#include "support/qt/ui_test_script.h"

namespace recorder {
namespace {

namespace fs = std::filesystem;
using platform::ui::MsgAnswer;
using support::Ui;

constexpr uint32_t kT0 = 1'394'541'000;

class PageReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::path(::testing::TempDir()) / ("page_reader_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    builder.PowerOn(kT0 - 5);
    emulator::CardRecording a;
    a.StartTime = kT0;
    a.DataPages = 10;
    builder.Recording(a);
    emulator::CardRecording b;
    b.StartTime = kT0 + 100;
    b.DataPages = 6;
    builder.Recording(b);
  }
  void TearDown() override { fs::remove_all(dir); }

  void Start(uint8_t sysRG = 0x21) {
    emulator::DeviceInfo info;
    info.serial = "UNIT0007";
    info.description = "T-9XV Unit";
    device = &driver.Attach(info);
    emulator::SetUpDefaultDevice(device->recorder.State());
    device->recorder.State().card = builder.Build();
    builder.ApplyToStatus(device->recorder.State().status);
    device->recorder.State().status[2] = sysRG;
    device->recorder.Line().SetRate(2'000'000);
    set = emulator::CommandSet::Install(device->recorder);
    w = std::make_unique<Trecorder>(nullptr, dir.string());
    w->show();
    QCoreApplication::processEvents();
    ASSERT_TRUE(w->BB_rw->isEnabled());
  }

  // Opens the reader from the main window's button and lets `act` work in it.
  void InReader(const std::function<void(TForm2&)>& act) {
    Ui().ExpectModal(
        [&](QDialog& d) {
          auto& f = dynamic_cast<TForm2&>(d);
          act(f);
          f.B_Close->click();
        },
        "TForm2");
    w->BB_rw->click();
  }

  std::vector<uint8_t> CardPage(uint32_t page) const {
    const auto& card = device->recorder.State().card;
    return {card.begin() + page * 512, card.begin() + (page + 1) * 512};
  }
  static std::vector<uint8_t> Shown(const TForm2& f) { return {f.Buffer.begin(), f.Buffer.begin() + 512}; }
  static std::vector<std::string> Lines(const TForm2& f) {
    std::vector<std::string> out;
    for (int i = 0; i < f.LB->count(); ++i) out.push_back(f.LB->item(i)->text().toStdString());
    return out;
  }
  static void View(TForm2& f, int id) { f.RG_10_items->button(id)->click(); }

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

TEST_F(PageReaderTest, ReadsFatAndDataPagesStepsTheStartAndDecodes) {
  Start();
  const emulator::CardFile first = builder.Files()[0];
  InReader([&](TForm2& f) {
    EXPECT_TRUE(f.P_rd_wr->isEnabled());
    EXPECT_EQ(f.windowTitle().toStdString().rfind("R e a d / W r i t e  памяти  Unit'a  0x", 0), 0u);
    // FAT page 256, then one on, one on.
    // FAT pages keep sums per record, erased pages none: the page rule fails and the reader asks.
    f.E_fat->setText("256");
    EXPECT_EQ(f.B_read_pageFat->text().toStdString(), "чтение от 256");
    Ui().ExpectMessage(MsgAnswer::Yes, "error ks на стр. 256");
    f.B_read_pageFat->click();
    EXPECT_EQ(Shown(f), CardPage(256));
    const auto fat = Lines(f);
    ASSERT_EQ(fat.size(), 2u);
    EXPECT_EQ(fat[0], "page -  256");
    EXPECT_EQ(fat[1].rfind("стр 256: Fl_N", 0), 0u) << fat[1];
    EXPECT_EQ(f.E_fat->text(), "257");
    // Back by one, and never below page 0.
    f.SB_inkM->click();
    EXPECT_FALSE(f.SB_inkP->isChecked());
    f.E_fat->setText("0");
    Ui().ExpectMessage(MsgAnswer::Yes, "error ks на стр. 0");
    f.B_read_pageFat->click();
    EXPECT_EQ(f.E_fat->text(), "0");
    // Neither down: stays.
    f.SB_inkM->click();
    f.E_ctr->setText(QString::number(first.SetupPage));
    f.B_read_page->click();
    EXPECT_EQ(f.E_ctr->text().toUInt(), first.SetupPage);
    EXPECT_EQ(Lines(f).at(1).rfind(std::string("Setup на стр. ") + std::to_string(first.SetupPage) + ":", 0), 0u);

    // Three data pages: the last one shown and decoded under its own number, the start moved by three.
    f.E_ctr->setText(QString::number(first.FirstDataPage));
    f.E_Chip->setText("3");
    f.B_read_page->click();
    const uint32_t last = first.FirstDataPage + 2;
    EXPECT_EQ(Shown(f), CardPage(last));
    const auto data = Lines(f);
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(data[0], "page -  " + std::to_string(last));
    EXPECT_EQ(data[1].rfind("файл " + std::to_string(first.Number) + ": 1000Гц; каналов 3;", 0), 0u) << data[1];
    EXPECT_EQ(f.E_ctr->text().toUInt(), first.FirstDataPage + 3);
    if (const char* keep = std::getenv("SUITE_GRAB_DIR")) {
      EXPECT_TRUE(platform::ui::GrabToPng(f, QString(keep) + "/page_reader_data.png"));
    }

    // A count of 0 asks for one page.
    f.E_Chip->setText("0");
    f.B_read_page->click();
    EXPECT_EQ(Shown(f), CardPage(first.FirstDataPage + 3));
  });
}

TEST_F(PageReaderTest, BadPageSumAsksAndBadHeaderIsNamed) {
  Start();
  const uint32_t page = builder.Files()[0].FirstDataPage + 1;
  device->recorder.State().card[size_t{page} * 512 + 5] += 1;  // page and header sums broken
  InReader([&](TForm2& f) {
    f.E_ctr->setText(QString::number(page - 1));
    f.E_Chip->setText("3");
    Ui().ExpectMessage(MsgAnswer::No, "error ks на стр. " + std::to_string(page));
    Ui().ExpectMessage(MsgAnswer::Ok, "reading: 2");
    f.B_read_page->click();
    const auto lines = Lines(f);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "page -  " + std::to_string(page));
    EXPECT_EQ(lines[1].rfind(" нет правильного заголовка на странице !! ; ks = ", 0), 0u) << lines[1];
  });
}

TEST_F(PageReaderTest, PagesBeyondTheCardAreRefused) {
  Start();
  InReader([&](TForm2& f) {
    f.E_ctr->setText("3999");
    f.E_Chip->setText("2");
    Ui().ExpectMessage(MsgAnswer::Ok, "Max 4000");
    f.B_read_page->click();
  });
}

TEST_F(PageReaderTest, NoCardDisablesReading) {
  Start(0x01);
  Ui().ExpectMessage(MsgAnswer::Ok, "ERROR:  В Unite нет карты;");
  InReader([&](TForm2& f) { EXPECT_FALSE(f.P_rd_wr->isEnabled()); });
  EXPECT_EQ(Ui().Messages().at(0).text, "ERROR:  В Unite нет карты;");
}

TEST_F(PageReaderTest, DumpWritesTheCardPagesIntoTheDataDirectory) {
  Start();
  const uint32_t from = builder.Files()[0].SetupPage;
  InReader([&](TForm2& f) {
    f.E_ctr->setText(QString::number(from));
    f.E_Chip->setText("7");
    Ui().ExpectMessage(MsgAnswer::Ok, "/000000512.0007");
    f.B_read_B_file->click();
  });
  const fs::path file = fs::path(w->DataDir) / ("000000" + std::to_string(from) + ".0007");
  ASSERT_EQ(from, 512u);  // the name above holds 9 digits
  std::ifstream in(file, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  const auto& card = device->recorder.State().card;
  EXPECT_EQ(bytes, std::vector<uint8_t>(card.begin() + from * 512, card.begin() + (from + 7) * 512));
}

TEST_F(PageReaderTest, DataFlashWriteLandsInTheRecorderAndReadsBack) {
  Start();
  auto& flash = device->recorder.State().dataFlash;
  InReader([&](TForm2& f) {
    f.E_flex->setText("7");
    f.B_pattern->click();
    const std::vector<uint8_t> written = Shown(f);
    // The question refused, or left with Enter (its default is No): nothing written.
    Ui().ExpectMessage(MsgAnswer::No, "А Вам это надо");
    f.B_w_flex->click();
    Ui().ExpectEnter("А Вам это надо");
    f.B_w_flex->click();
    EXPECT_EQ(Ui().Messages().back().answer, MsgAnswer::No);
    EXPECT_LT(flash.size(), 8u * 512);
    Ui().ExpectMessage(MsgAnswer::Yes, "Запись страниц FLASH");
    f.B_w_flex->click();
    ASSERT_GE(flash.size(), 8u * 512);
    EXPECT_EQ(std::vector<uint8_t>(flash.begin() + 7 * 512, flash.begin() + 8 * 512), written);
    f.B_Rand->click();
    f.B_r_flex->click();
    EXPECT_EQ(Shown(f), written);

    // A bad cell refuses the write, naming it; the DataFlash keeps what it had.
    View(f, 0);
    f.SGr0->item(2, 3)->setText("300");
    Ui().ExpectMessage(MsgAnswer::Yes, "А Вам это надо");
    Ui().ExpectMessage(MsgAnswer::Ok, "\"300\" в байте 18");
    f.B_w_flex->click();
    EXPECT_EQ(std::vector<uint8_t>(flash.begin() + 7 * 512, flash.begin() + 8 * 512), written);
    // In view "txt" nothing can be written.
    View(f, 2);
    EXPECT_FALSE(f.B_w_flex->isEnabled());
    EXPECT_FALSE(f.B_KS->isEnabled());
    if (const char* keep = std::getenv("SUITE_GRAB_DIR")) {
      EXPECT_TRUE(platform::ui::GrabToPng(f, QString(keep) + "/page_reader.png"));
    }
  });
}

// No button is the form's default: Enter in any edit reads, dumps or writes nothing and keeps the
// window open (the page boxes' handlers only follow the text).
TEST_F(PageReaderTest, EnterInAnEditPressesNoButton) {
  Start();
  InReader([&](TForm2& f) {
    for (QLineEdit* edit : {f.E_fat, f.E_ctr, f.E_Chip, f.E_flex, f.E_clr}) {
      SCOPED_TRACE(edit->text().toStdString());
      device->recorder.ClearReceived();
      f.Buffer.fill(0x5A);
      edit->setFocus();
      for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(edit, &press);
      }
      QCoreApplication::processEvents();
      EXPECT_TRUE(device->recorder.Received().empty());
      EXPECT_EQ(f.Buffer[0], 0x5A);
      EXPECT_TRUE(f.isVisible());
    }
    for (QPushButton* b : f.findChildren<QPushButton*>()) EXPECT_FALSE(b->autoDefault() || b->isDefault());
  });
}

TEST_F(PageReaderTest, FillsAndCheckByte) {
  Start();
  InReader([&](TForm2& f) {
    struct Case {
      const char* clr;
      int value;  // -1: refused
    } cases[] = {{"0xFF", 255}, {"255", 255}, {"0x1FF", -1}, {"12", 12}, {"abc", -1}};
    for (const Case& c : cases) {
      SCOPED_TRACE(c.clr);
      f.Buffer.fill(0x33);
      f.E_clr->setText(c.clr);
      if (c.value < 0) Ui().ExpectMessage(MsgAnswer::Ok, "0..255");
      f.B_FF->click();
      EXPECT_EQ(f.B_FF->text().toStdString(), c.clr);
      const int expect = c.value < 0 ? 0x33 : c.value;
      EXPECT_EQ(f.Buffer[0], expect);
      EXPECT_EQ(f.Buffer[510], expect);
      if (c.value >= 0) {
        EXPECT_EQ((c.value * 511 + f.Buffer[511]) % 256, 0);
      }
    }
    // "делаем KC" over hex cells; a cell that is no hex byte is refused.
    View(f, 1);
    f.SGr0->item(1, 1)->setText("a0");
    Ui().ExpectMessage(MsgAnswer::Ok, "");
    f.B_KS->click();
    unsigned sum = 0;
    for (int i = 0; i < 512; ++i) sum += f.Buffer[static_cast<size_t>(i)];
    EXPECT_EQ(f.Buffer[0], 0xA0);
    EXPECT_EQ(sum % 256, 0u);
    f.SGr0->item(1, 2)->setText("1FF");
    Ui().ExpectMessage(MsgAnswer::Ok, "\"1FF\" в байте 1");
    f.B_KS->click();
  });
}

}  // namespace
}  // namespace recorder
