#include "recorder/ui/page_reader.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/clock.h"
#include "platform/ui/message_box.h"
#include "platform/ui/push_buttons.h"
#include "recorder/fat_link.h"
#include "recorder/status_block.h"
#include "recorder/unit_commands.h"
#include "recorder/unit_link.h"
#include "toolkit/format_text.h"
#include "toolkit/parse_number.h"

namespace recorder {

using platform::ui::MessageBox;
using platform::ui::MsgAnswer;
using platform::ui::MsgButtons;
using platform::ui::MsgIcon;
using platform::ui::ShowMessage;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QPushButton* Button(QWidget* parent, const QString& text, int x, int y, int w, int h = 25) {
  auto* b = new QPushButton(text, parent);
  b->setGeometry(x, y, w, h);
  return b;
}

QLineEdit* Edit(QWidget* parent, const QString& text, int x, int y, int w, int h = 22) {
  auto* e = new QLineEdit(text, parent);
  e->setGeometry(x, y, w, h);
  return e;
}

// A typed page number: the edit's number truncated, within 0..2^32-1.
uint32_t TypedPage(const QLineEdit& edit) {
  const double v = toolkit::ParseNumber(edit.text().toStdString());
  if (!(v > 0)) return 0;
  return v >= 4294967295.0 ? 4294967295u : static_cast<uint32_t>(v);
}

}  // namespace

TForm2::TForm2(UnitLink& link, const StatusBlock& status, PageReaderContext context, QWidget* parent)
    : QDialog(parent), link_(link), status_(status), context_(std::move(context)), random_(std::random_device{}()) {
  BuildForm();
  platform::ui::NoDefaultButtons(*this);
  connect(B_read_pageFat, &QPushButton::clicked, this, [this] { B_read_pageClick(true); });
  connect(B_read_page, &QPushButton::clicked, this, [this] { B_read_pageClick(false); });
  connect(B_read_B_file, &QPushButton::clicked, this, &TForm2::B_read_B_fileClick);
  connect(B_r_flex, &QPushButton::clicked, this, &TForm2::B_r_flexClick);
  connect(B_w_flex, &QPushButton::clicked, this, &TForm2::B_w_flexClick);
  for (QPushButton* b : {B_Rand, B_FF, B_pattern})
    connect(b, &QPushButton::clicked, this, [this, b] { B_RandClick(b); });
  connect(B_KS, &QPushButton::clicked, this, &TForm2::B_KSClick);
  connect(RG_10_items, &QButtonGroup::idClicked, this, [this](int) { RG_10Click(); });
  connect(E_ctr, &QLineEdit::textChanged, this, &TForm2::E_ctrChange);
  connect(E_fat, &QLineEdit::textChanged, this, &TForm2::E_ctrChange);
  connect(B_Close, &QPushButton::clicked, this, &TForm2::B_CloseClick);
  // The two increment buttons are one group in which both may be up.
  connect(SB_inkP, &QToolButton::toggled, this, [this](bool down) {
    if (down) SB_inkM->setChecked(false);
  });
  connect(SB_inkM, &QToolButton::toggled, this, [this](bool down) {
    if (down) SB_inkP->setChecked(false);
  });
  E_ctrChange();
  RG_10Click();
}

void TForm2::BuildForm() {
  setObjectName("Form2");
  setWindowTitle("чтение памяти");
  move(5, 5);
  setFixedSize(880, 600);

  SGr0 = new QTableWidget(kGridByteRows + 1, 17, this);
  SGr0->setObjectName("SGr0");
  SGr0->setGeometry(4, 4, 17 * 30 + 4, (kGridByteRows + 1) * 17 + 4);
  SGr0->horizontalHeader()->hide();
  SGr0->verticalHeader()->hide();
  SGr0->horizontalHeader()->setMinimumSectionSize(10);
  SGr0->verticalHeader()->setMinimumSectionSize(10);
  for (int c = 0; c < 17; ++c) SGr0->setColumnWidth(c, 30);
  for (int r = 0; r <= kGridByteRows; ++r) SGr0->setRowHeight(r, 17);
  SGr0->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  SGr0->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QFont small = SGr0->font();
  small.setPointSize(8);
  SGr0->setFont(small);
  for (int c = 0; c <= 16; ++c) {
    for (int r = 0; r <= kGridByteRows; ++r) {
      auto* item = new QTableWidgetItem;
      item->setTextAlignment(Qt::AlignCenter);
      if (r == 0 || c == 0) {
        item->setFlags(Qt::ItemIsEnabled);
        item->setBackground(palette().button());
      }
      SGr0->setItem(r, c, item);
    }
  }
  for (int c = 1; c <= 16; ++c) SGr0->item(0, c)->setText(Q(GridColumnTitle(c - 1)));
  for (int r = 1; r <= kGridByteRows; ++r) SGr0->item(r, 0)->setText(Q(GridRowTitle(r - 1)));

  PBp = new QProgressBar(this);
  PBp->setOrientation(Qt::Vertical);
  PBp->setRange(0, 1000);
  PBp->setGeometry(522, 4, 14, (kGridByteRows + 1) * 17 + 4);
  PBp->setTextVisible(false);
  PBp->hide();

  const int x0 = 542;
  P_rd_wr = new QFrame(this);
  P_rd_wr->setFrameShape(QFrame::StyledPanel);
  P_rd_wr->setGeometry(x0, 4, 334, 120);
  E_fat = Edit(P_rd_wr, "4096", 6, 6, 90);
  B_read_pageFat = Button(P_rd_wr, "", 102, 5, 226);
  E_ctr = Edit(P_rd_wr, "16384", 6, 34, 90);
  B_read_page = Button(P_rd_wr, "", 102, 33, 226);
  new QLabel("страниц:", P_rd_wr);
  P_rd_wr->findChildren<QLabel*>().back()->setGeometry(6, 64, 60, 20);
  E_Chip = Edit(P_rd_wr, "1", 70, 62, 60);
  B_read_B_file = Button(P_rd_wr, "в файлы", 136, 61, 90);
  SB_inkP = new QToolButton(P_rd_wr);
  SB_inkP->setText("инкримент +");
  SB_inkP->setCheckable(true);
  SB_inkP->setChecked(true);
  SB_inkP->setGeometry(6, 90, 150, 24);
  SB_inkM = new QToolButton(P_rd_wr);
  SB_inkM->setText("инкримент -");
  SB_inkM->setCheckable(true);
  SB_inkM->setGeometry(162, 90, 150, 24);

  P_Flash = new QFrame(this);
  P_Flash->setFrameShape(QFrame::StyledPanel);
  P_Flash->setGeometry(x0, 130, 334, 40);
  new QLabel("DataFlash стр.", P_Flash);
  P_Flash->findChildren<QLabel*>().back()->setGeometry(6, 9, 90, 20);
  E_flex = Edit(P_Flash, "1", 100, 8, 50);
  B_r_flex = Button(P_Flash, "read", 160, 7, 80);
  B_w_flex = Button(P_Flash, "write", 246, 7, 80);

  P_zapol = new QGroupBox("заполнение", this);
  P_zapol->setGeometry(x0, 176, 334, 84);
  B_Rand = Button(P_zapol, "Rand", 6, 22, 70);
  E_clr = Edit(P_zapol, "0xFF", 82, 23, 60);
  B_FF = Button(P_zapol, E_clr->text(), 148, 22, 70);
  B_pattern = Button(P_zapol, "00..FF", 224, 22, 100);
  B_KS = Button(P_zapol, "делаем KC", 6, 52, 120);

  RG_10 = new QGroupBox("  вид таблицы ", this);
  RG_10->setGeometry(x0, 266, 334, 48);
  RG_10_items = new QButtonGroup(this);
  const char* views[] = {"10", "16", "txt"};
  for (int i = 0; i < 3; ++i) {
    auto* r = new QRadioButton(views[i], RG_10);
    r->setGeometry(12 + i * 80, 20, 70, 22);
    RG_10_items->addButton(r, i);
  }
  RG_10_items->button(1)->setChecked(true);

  LB = new QListWidget(this);
  LB->setGeometry(x0, 320, 334, 236);
  B_Close = Button(this, "Close", x0 + 244, 564, 90);
}

void TForm2::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

GridView TForm2::View() const { return static_cast<GridView>(std::clamp(RG_10_items->checkedId(), 0, 2)); }

void TForm2::RefreshGrid() {
  const GridView view = View();
  for (size_t i = 0; i < kGridBytes; ++i)
    SGr0->item(static_cast<int>(i / 16) + 1, static_cast<int>(i % 16) + 1)->setText(Q(GridCellText(Buffer[i], view)));
}

void TForm2::FormShow() {
  const bool card = (status_.sysRG & kRgCardPresent) != 0;
  P_rd_wr->setEnabled(card);
  if (!context_.BegPageText.empty()) E_ctr->setText(Q(context_.BegPageText));
  Buffer.fill(0);
  RefreshGrid();
  setWindowTitle(Q(toolkit::FormatText("R e a d / W r i t e  памяти  Unit'a  0x%02x в %u Mb", unsigned{status_.Id},
                                       unsigned{status_.FCmax} * 2u)));
  if (!card) MessageBox("ERROR:  В Unite нет карты;", "куда лезешь?", MsgButtons::Ok, MsgIcon::Error);
}

void TForm2::E_ctrChange() {
  B_read_pageFat->setText("чтение от " + E_fat->text());
  B_read_page->setText("чтение от " + E_ctr->text());
}

void TForm2::RG_10Click() {
  B_KS->setEnabled(View() == GridView::Hex);
  B_w_flex->setEnabled(View() != GridView::Text);
  RefreshGrid();
}

uint32_t TForm2::PageCount() {
  const double typed = toolkit::ParseNumber(E_Chip->text().toStdString());
  uint32_t count = typed >= 1 ? static_cast<uint32_t>(std::min(typed, 4294967295.0)) : 1u;
  if (count > context_.ReadPortion) {
    count = context_.ReadPortion;
    E_Chip->setText(QString::number(count));
  }
  return std::max<uint32_t>(count, 1);
}

void TForm2::B_read_pageClick(bool fromFat) {
  PBp->setValue(0);
  PBp->show();
  link_.DrainMessages();
  const uint32_t start = TypedPage(fromFat ? *E_fat : *E_ctr);
  const uint32_t count = fromFat ? 1u : PageCount();
  if (const std::string refusal = PageRunRefusal(start, count, status_.FCmax); !refusal.empty()) {
    PBp->hide();
    return ShowMessage(refusal);
  }
  UnitLinkFatOps ops(link_);
  PageRunCallbacks callbacks;
  callbacks.OnPage = [&](uint32_t n, std::span<const uint8_t> page) {
    if (count > 1) PBp->setValue(static_cast<int>(uint64_t{n} * 1000 / count));
    std::memcpy(Buffer.data(), page.data(), kCardPageSize);
    RefreshGrid();
    if (CardPageSumGood(page)) return true;
    LB->clear();
    LB->addItem(Q(toolkit::FormatText("page -  %u", start + n)));
    checkError_ = toolkit::FormatText("error ks на стр. %u", start + n);
    return MessageBox(checkError_, "продолжать?", MsgButtons::YesNo, MsgIcon::Question) == MsgAnswer::Yes;
  };
  const auto received = ReceivePageRun(ops, start, count, callbacks);
  if (!received) {
    PBp->hide();
    return ShowMessage("Yct_uPG_for_reading_nPg_Card :  error ");
  }
  const uint32_t n = *received;
  if (n < count) ShowMessage(toolkit::FormatText("reading: %u", n));
  LB->clear();
  if (n > 0) {
    PageDecodeInput in;
    in.Page = start + n - 1;
    in.StPg = status_.ST_PG;
    in.StatusChannels = status_.Channels;
    in.SampleClock = context_.SampleClock;
    for (const std::string& line : DecodePageLines(std::span<const uint8_t>(Buffer.data(), kCardPageSize), in))
      LB->addItem(Q(line));
  }
  PBp->hide();
  const uint32_t next = NextStartPage(start, count, n, SB_inkP->isChecked(), SB_inkM->isChecked());
  (fromFat ? E_fat : E_ctr)->setText(QString::number(next));
}

void TForm2::B_read_B_fileClick() {
  link_.DrainMessages();
  const uint32_t start = TypedPage(*E_ctr);
  const uint32_t count = PageCount();
  if (const std::string refusal = PageRunRefusal(start, count, status_.FCmax); !refusal.empty())
    return ShowMessage(refusal);
  ShowMessage(DumpFileName(context_.DataDir, start, count));
  PBp->setValue(0);
  PBp->show();
  UnitLinkFatOps ops(link_);
  const DumpResult r = DumpPages(ops, context_.DataDir, start, count, [&](uint32_t written) {
    PBp->setValue(static_cast<int>(uint64_t{written} * 1000 / count));
  });
  PBp->hide();
  for (const std::string& m : r.Messages) ShowMessage(m);
}

void TForm2::B_r_flexClick() {
  const double typed = toolkit::ParseNumber(E_flex->text().toStdString());
  if (!(typed >= 0 && typed < 256)) return ShowMessage("нет такой страницы DataFlash: " + E_flex->text().toStdString());
  const auto page = static_cast<uint8_t>(typed);
  std::array<uint8_t, kDfBufferBytes> df{};
  if (ReadWriteDfPage(link_, 0, page, df.data()) != kDone)
    return ShowMessage(toolkit::FormatText("ERROR  Read  %u", unsigned{page}));
  std::memcpy(Buffer.data(), df.data(), kCardPageSize);
  RefreshGrid();
}

bool TForm2::ParseGrid(size_t count) {
  std::vector<std::string> cells(count);
  for (size_t i = 0; i < count; ++i)
    cells[i] = SGr0->item(static_cast<int>(i / 16) + 1, static_cast<int>(i % 16) + 1)->text().toStdString();
  const auto bad = ParseGridCells(cells, View(), Buffer.data());
  if (!bad) return true;
  ShowMessage(BadCellText(*bad, cells[*bad]));
  return false;
}

void TForm2::B_w_flexClick() {
  const double typed = toolkit::ParseNumber(E_flex->text().toStdString());
  std::string question = "Запись страниц FLASH. А Вам это надо?!...";
  if (typed >= 0 && typed < 5)
    question += "\nстраницы 0..4 - блок установок: его контрольные суммы проверяются при чтении установок";
  if (MessageBox(question, " о п а с н о !", MsgButtons::YesNoCancel, MsgIcon::Question, MsgAnswer::No) !=
      MsgAnswer::Yes)
    return;
  if (View() == GridView::Text) return ShowMessage("cделай   <10> ! ");
  if (!(typed >= 0 && typed < 256)) return ShowMessage("нет такой страницы DataFlash: " + E_flex->text().toStdString());
  if (!ParseGrid(kCardPageSize)) return;
  const auto page = static_cast<uint8_t>(typed);
  std::array<uint8_t, kDfBufferBytes> df{};
  std::memcpy(df.data(), Buffer.data(), kCardPageSize);
  if (ReadWriteDfPage(link_, 1, page, df.data()) != kDone)
    ShowMessage(toolkit::FormatText("ERROR  Write  %u", unsigned{page}));
  RefreshGrid();
}

void TForm2::B_RandClick(QPushButton* which) {
  if (which == B_FF) {
    B_FF->setText(E_clr->text());
    const auto value = ParseFillByte(E_clr->text().toStdString());
    if (!value)
      return ShowMessage("заполнение: \"" + E_clr->text().toStdString() + "\" - нужно число 0..255 (0x.. - hex)");
    FillConstant(Page(), *value);
  } else if (which == B_Rand) {
    random_.seed(std::random_device{}());
    FillRandom(Page(), random_);
  } else {
    FillPattern(Page());
  }
  RefreshGrid();
}

void TForm2::B_KSClick() {
  if (View() != GridView::Hex || !ParseGrid(511)) return;
  ShowMessage(toolkit::FormatText("%u", unsigned{SetZeroSum(Page())}));
  RefreshGrid();
}

void TForm2::B_CloseClick() { accept(); }

}  // namespace recorder
