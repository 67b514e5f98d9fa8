// The form of the main window: its components, captions, hints and places.
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

#include "recorder/fat_grid.h"
#include "recorder/ui/main_window.h"

namespace recorder {
namespace {

QFrame* Panel(QWidget* parent, int x, int y, int w, int h) {
  auto* p = new QFrame(parent);
  p->setFrameShape(QFrame::StyledPanel);
  p->setFrameShadow(QFrame::Raised);
  p->setGeometry(x, y, w, h);
  return p;
}

QLabel* Label(QWidget* parent, const QString& text, int x, int y, int w, int h = 17) {
  auto* l = new QLabel(text, parent);
  l->setGeometry(x, y, w, h);
  return l;
}

QPushButton* Button(QWidget* parent, const QString& text, int x, int y, int w, int h = 25) {
  auto* b = new QPushButton(text, parent);
  b->setGeometry(x, y, w, h);
  b->setFocusPolicy(Qt::TabFocus);
  return b;
}

// A speed button: keeps its state down or up.
QToolButton* SpeedButton(QWidget* parent, const QString& text, int x, int y, int w, int h = 25) {
  auto* b = new QToolButton(parent);
  b->setText(text);
  b->setCheckable(true);
  b->setGeometry(x, y, w, h);
  return b;
}

void Hint(QWidget* w, const QString& hint) { w->setStatusTip(hint); }

}  // namespace

void Trecorder::BuildForm() {
  setObjectName("recorder");
  auto* area = new QWidget(this);
  setCentralWidget(area);
  StatusB = new QStatusBar(this);
  StatusB->setObjectName("StatusB");
  setStatusBar(StatusB);
  Tmer2 = new QTimer(this);
  Tmer2->setInterval(1000);

  BuildStatusPanel(area);
  BuildCommandPanels(area);
  BuildExtraPanel(area);

  // The texts that are filled by the status and the download.
  for (QLabel* l : {L_SIN, L_cap, L_rd, L_dt}) l->setText("* *");
  PB->setMaximum(100);
  PB->hide();
  P_rd->hide();
  P_dop->hide();
  P_Wuz->hide();
  SB->hide();

  // Every component carries its name, so tests and the status bar's hints can find it.
  const std::pair<QWidget*, const char*> names[] = {
      {SB_id, "SB_id"},
      {BB_status, "BB_status"},
      {L_stat, "L_stat"},
      {L_Fr, "L_Fr"},
      {L_yc, "L_yc"},
      {L_kapt, "L_kapt"},
      {L_t_BK, "L_t_BK"},
      {L_SIN, "L_SIN"},
      {L_cap, "L_cap"},
      {L_time, "L_time"},
      {P_knopok, "P_knopok"},
      {B_set, "B_set"},
      {B_fat, "B_fat"},
      {B_run, "B_run"},
      {B_stop, "B_stop"},
      {B_transl, "B_transl"},
      {P_cmd, "P_cmd"},
      {B_yct_time_PK, "B_yct_time_PK"},
      {SB_dop, "SB_dop"},
      {P_par_Rd_FL, "P_par_Rd_FL"},
      {B_dl_read, "B_dl_read"},
      {CB_HF_U, "CB_HF_U"},
      {P_dl, "P_dl"},
      {UD_dl, "UD_dl"},
      {SB_korr, "SB_korr"},
      {P_car, "P_car"},
      {CB_fat, "CB_fat"},
      {B_read, "B_read"},
      {BB_close, "BB_close"},
      {P_rd, "P_rd"},
      {L_rd, "L_rd"},
      {L_dt, "L_dt"},
      {L_N, "L_N"},
      {PB, "PB"},
      {SG_f, "SG_f"},
      {SB, "SB"},
      {LB, "LB"},
      {Button1, "Button1"},
      {P_dop, "P_dop"},
      {L_dl_fat, "L_dl_fat"},
      {E_Beg_adr, "E_Beg_adr"},
      {E_Kon_adr, "E_Kon_adr"},
      {SB_podrobno, "SB_podrobno"},
      {SB_5_6, "SB_5_6"},
      {SB_Set_Unita, "SB_Set_Unita"},
      {SB_format, "SB_format"},
      {BB_rw, "BB_rw"},
      {BitBtn1, "BitBtn1"},
      {P_Wuz, "P_Wuz"},
  };
  for (const auto& [w, name] : names) w->setObjectName(name);

  // The commands of the FAT, the download, the setup, the live view and the card tools get their
  // handlers with those windows; until a handler is connected the command stays disabled.
  for (QWidget* w : std::initializer_list<QWidget*>{
           B_set,  B_fat,        B_run,     B_stop, B_transl, B_yct_time_PK, B_dl_read, CB_HF_U,
           UD_dl,  SB_korr,      CB_fat,    B_read, L_dl_fat, E_Beg_adr,     E_Kon_adr, SB_podrobno,
           SB_5_6, SB_Set_Unita, SB_format, BB_rw,  BitBtn1,  Button1}) {
    w->setEnabled(false);
  }

  setGeometry(15, 15, 762, 480);
  resize(630, 480);
}

void Trecorder::BuildStatusPanel(QWidget* area) {
  SB_id = SpeedButton(area, "* * *", 6, 6, 96, 26);
  QFont idFont = SB_id->font();
  idFont.setPointSize(10);
  SB_id->setFont(idFont);
  QPalette idColors = SB_id->palette();
  idColors.setColor(QPalette::ButtonText, Qt::blue);
  SB_id->setPalette(idColors);

  BB_status = Button(area, "status", 106, 6, 200, 26);
  BB_close = Button(area, "close", 310, 6, 58, 26);
  L_stat = Label(area, "", 8, 38, 170);
  L_time = Label(area, "", 182, 38, 186);
  L_Fr = Label(area, "", 8, 56, 170);
  L_yc = Label(area, "", 182, 56, 186);
  L_kapt = Label(area, "", 8, 74, 360);
  L_t_BK = Label(area, "", 8, 92, 360);
  L_SIN = Label(area, "", 8, 110, 360);
  L_cap = Label(area, "", 8, 128, 360);

  // The download panel lies over the status lines while a download runs.
  P_rd = Panel(area, 6, 148, 362, 40);
  L_rd = Label(P_rd, "", 4, 2, 180);
  L_dt = Label(P_rd, "", 186, 2, 172);
  L_N = Label(P_rd, "", 4, 20, 354);
  PB = new QProgressBar(area);
  PB->setGeometry(6, 190, 362, 12);
  PB->setTextVisible(false);

  SG_f = new QTableWidget(area);
  SG_f->setGeometry(6, 206, 616, 222);
  SG_f->setColumnCount(2);
  SG_f->setRowCount(kFatGridMinRows);
  SG_f->setColumnWidth(0, 100);
  SG_f->horizontalHeader()->setStretchLastSection(true);
  SG_f->horizontalHeader()->hide();
  SG_f->verticalHeader()->hide();
  SG_f->verticalHeader()->setDefaultSectionSize(18);
  SG_f->setEditTriggers(QAbstractItemView::NoEditTriggers);

  // The FAT report, shown over the grid after a FAT reading with the extra panel open.
  SB = new QScrollArea(area);
  SB->setGeometry(6, 206, 616, 222);
  auto* report = new QWidget;
  report->resize(596, 400);
  Button1 = Button(report, "убрать панель - DblClick", 0, 0, 596, 22);
  LB = new QListWidget(report);
  LB->setGeometry(0, 22, 596, 378);
  QFont fixed("Monospace");
  fixed.setStyleHint(QFont::TypeWriter);
  LB->setFont(fixed);
  SB->setWidget(report);
}

void Trecorder::BuildCommandPanels(QWidget* area) {
  P_knopok = Panel(area, 374, 4, 250, 62);
  B_set = Button(P_knopok, "установки", 4, 4, 118);
  Hint(B_set, "Просмотр и изменение установок Unit'a ");
  B_fat = Button(P_knopok, "FAT", 126, 4, 118);
  Hint(B_fat, "Чтение FAT'a Unit'a ");
  B_run = Button(P_knopok, "пуск", 4, 32, 118);
  Hint(B_run, "Включение режима работы по расписанию");
  QPalette red = B_run->palette();
  red.setColor(QPalette::Active, QPalette::ButtonText, Qt::red);
  red.setColor(QPalette::Inactive, QPalette::ButtonText, Qt::red);
  B_run->setPalette(red);
  B_stop = Button(P_knopok, "стоп", 4, 32, 118);
  Hint(B_stop, "Unit в режиме регистрации. Остановить?");
  B_stop->hide();
  B_transl = Button(P_knopok, "регистрация", 126, 32, 118);

  P_cmd = Panel(area, 374, 70, 250, 34);
  B_yct_time_PK = Button(P_cmd, "уст. врем. ПК", 4, 4, 118);
  SB_dop = SpeedButton(P_cmd, "настройки", 126, 4, 118);

  P_par_Rd_FL = Panel(area, 374, 108, 250, 62);
  B_dl_read = Button(P_par_Rd_FL, "", 4, 4, 118);
  CB_HF_U = new QComboBox(P_par_Rd_FL);
  CB_HF_U->setGeometry(126, 4, 118, 25);
  P_dl = Label(P_par_Rd_FL, "", 4, 33, 96, 25);
  P_dl->setFrameShape(QFrame::Panel);
  P_dl->setFrameShadow(QFrame::Sunken);
  UD_dl = new QSpinBox(P_par_Rd_FL);
  UD_dl->setGeometry(102, 33, 20, 25);
  UD_dl->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
  UD_dl->setRange(0, 240);  // minutes a file, in steps of 2
  UD_dl->setSingleStep(2);
  SB_korr = SpeedButton(P_par_Rd_FL, "коррекция времени", 126, 33, 118);

  P_car = Panel(area, 374, 174, 120, 28);
  CB_fat = new QCheckBox("адреса из FAT", P_car);
  CB_fat->setGeometry(6, 4, 110, 20);
  CB_fat->setChecked(true);
  B_read = Button(area, kReadCaption, 498, 174, 126, 28);
}

void Trecorder::BuildExtraPanel(QWidget* area) {
  P_dop = Panel(area, 630, 4, 126, 240);
  L_dl_fat = Label(P_dop, "начало/конец", 6, 4, 114);
  L_dl_fat->setAlignment(Qt::AlignCenter);
  E_Beg_adr = new QLineEdit(P_dop);
  E_Beg_adr->setGeometry(6, 22, 114, 22);
  E_Beg_adr->setInputMask("00000000");
  E_Kon_adr = new QLineEdit(P_dop);
  E_Kon_adr->setGeometry(6, 46, 114, 22);
  E_Kon_adr->setInputMask("00000000");
  SB_podrobno = SpeedButton(P_dop, "FAT подробно", 6, 72, 114, 22);
  SB_5_6 = SpeedButton(P_dop, "с поправками", 6, 96, 114, 22);
  SB_Set_Unita = SpeedButton(P_dop, "SETUP карты", 6, 120, 114, 22);
  SB_format = SpeedButton(P_dop, "формат xxx", 6, 144, 114, 22);
  BB_rw = Button(P_dop, "чт-е/зап. карты", 6, 170, 114, 24);
  BitBtn1 = Button(P_dop, "read RAM", 6, 198, 114, 24);

  P_Wuz = Panel(area, 630, 248, 126, 180);
  P_Wuz->setFrameShadow(QFrame::Sunken);
}

}  // namespace recorder
