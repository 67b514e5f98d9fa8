// The form of the setup editor: its pages, components, captions, hints and places.
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>

#include "platform/ui/paint_box.h"
#include "recorder/ui/setup_editor.h"

namespace recorder {
namespace {

constexpr int kWidth = 600;
constexpr int kPageHeight = 330;

QFrame* Panel(QWidget* parent, int x, int y, int w, int h) {
  auto* p = new QFrame(parent);
  p->setFrameShape(QFrame::StyledPanel);
  p->setGeometry(x, y, w, h);
  return p;
}

QLabel* Label(QWidget* parent, const QString& text, int x, int y, int w, int h = 20) {
  auto* l = new QLabel(text, parent);
  l->setGeometry(x, y, w, h);
  return l;
}

QPushButton* Button(QWidget* parent, const QString& text, int x, int y, int w, int h = 27) {
  auto* b = new QPushButton(text, parent);
  b->setGeometry(x, y, w, h);
  b->setAutoDefault(false);
  return b;
}

QSpinBox* UpDown(QWidget* parent, int x, int y, int min, int max, int step = 1) {
  auto* u = new QSpinBox(parent);
  u->setGeometry(x, y, 64, 24);
  u->setRange(min, max);
  u->setSingleStep(step);
  return u;
}

QComboBox* Combo(QWidget* parent, std::initializer_list<const char*> items, int x, int y, int w) {
  auto* c = new QComboBox(parent);
  for (const char* item : items) c->addItem(QString::fromUtf8(item));
  c->setGeometry(x, y, w, 24);
  return c;
}

QGroupBox* RadioGroup(QWidget* parent, const QString& caption, int x, int y, QRadioButton*& yes,
                      QRadioButton*& no) {
  auto* g = new QGroupBox(caption, parent);
  g->setGeometry(x, y, 170, 48);
  yes = new QRadioButton("да", g);
  yes->setGeometry(12, 20, 60, 22);
  no = new QRadioButton("нет", g);
  no->setGeometry(90, 20, 60, 22);
  return g;
}

void Hint(QWidget* w, const QString& hint) { w->setStatusTip(hint); }

}  // namespace

void TForm1::BuildForm() {
  setObjectName("Form1");
  resize(kWidth, 440);
  PageControl1 = new QTabWidget(this);
  PageControl1->setGeometry(4, 4, kWidth - 8, kPageHeight + 30);
  TSh_param = new QWidget;
  TabSh_Event = new QWidget;
  TSGenral = new QWidget;
  TS_calen = new QWidget;
  TS_acp = new QWidget;
  TS_filtr = new QWidget;
  PageControl1->addTab(TSh_param, "&Параметры ");
  PageControl1->addTab(TabSh_Event, "&Трансляция");
  PageControl1->addTab(TSGenral, "&Главная");
  PageControl1->addTab(TS_calen, "&Календарь");
  PageControl1->addTab(TS_acp, "&АЦП");
  PageControl1->addTab(TS_filtr, "&Фильтр");

  P_com = Panel(this, 4, kPageHeight + 38, kWidth - 8, 40);
  BitBtnOK = Button(P_com, "Сохранить", 8, 6, 120);
  Hint(BitBtnOK, "записать установки в Unit и закрыть");
  BitBtnCancel = Button(P_com, "Выход", 136, 6, 100);
  Hint(BitBtnCancel, "закрыть без записи в Unit (изменения пропадут при следующем чтении установок)");
  BB_w_file = Button(P_com, "В  file", 300, 6, 100);
  Hint(BB_w_file, "записать установки в файл unit_setup");
  BitBtn1 = Button(P_com, "Default", 408, 6, 100);
  Hint(BitBtn1, "установки по умолчанию");
  P_Bar = new QProgressBar(this);
  P_Bar->setGeometry(4, kPageHeight + 80, kWidth - 8, 10);
  P_Bar->setTextVisible(false);
  StatusBar1 = new QStatusBar(this);
  StatusBar1->setGeometry(0, 440 - 22, kWidth, 22);
  StatusBar1->setSizeGripEnabled(false);
  Timer1 = new QTimer(this);
  Timer1->setInterval(1800);

  BuildParamPage();
  BuildEventPage();
  BuildGeneralPage();
  BuildCalendarPage();
  BuildAcpPage();
  BuildFilterPage();

  const std::pair<QObject*, const char*> names[] = {
      {PageControl1, "PageControl1"}, {TSh_param, "TSh_param"}, {TabSh_Event, "TabSh_Event"},
      {TSGenral, "TSGenral"}, {TS_calen, "TS_calen"}, {TS_acp, "TS_acp"}, {TS_filtr, "TS_filtr"},
      {P_com, "P_com"}, {BitBtnOK, "BitBtnOK"}, {BitBtnCancel, "BitBtnCancel"}, {BB_w_file, "BB_w_file"},
      {BitBtn1, "BitBtn1"}, {StatusBar1, "StatusBar1"}, {P_Bar, "P_Bar"}, {Timer1, "Timer1"}, {SG1, "SG1"},
      {E_name, "E_name"}, {LB, "LB"}, {P_filter, "P_filter"}, {UD_filter_kr, "UD_filter_kr"},
      {P_X_MAC, "P_X_MAC"}, {UD_X_MAC, "UD_X_MAC"}, {UD_ckkan, "UD_ckkan"}, {L_ckkan, "L_ckkan"},
      {UD_Ok_kr, "UD_Ok_kr"}, {L_Ok_kr, "L_Ok_kr"}, {CB_Ru, "CB_Ru"}, {CB_tip_gps, "CB_tip_gps"},
      {CB_gps, "CB_gps"}, {ComB_TEST, "ComB_TEST"}, {CB_HF, "CB_HF"}, {CB_dec, "CB_dec"},
      {ComB_Low__FilterWrite, "ComB_Low__FilterWrite"}, {CB_kan, "CB_kan"}, {P_dl, "P_dl"}, {UD_dl, "UD_dl"},
      {B_adr, "B_adr"}, {P_adr, "P_adr"}, {P_fat, "P_fat"}, {UD_fat, "UD_fat"}, {P_dat, "P_dat"},
      {UD_dat, "UD_dat"}, {P_Gps, "P_Gps"}, {UD_GPS, "UD_GPS"}, {CB_gener, "CB_gener"}, {RG_Name, "RG_Name"},
      {RG_ACP_OFF, "RG_ACP_OFF"}, {B_set_setup, "B_set_setup"}, {B_kal_setup, "B_kal_setup"},
      {SG_kal, "SG_kal"}, {P_time, "P_time"}, {DateTimePd, "DateTimePd"}, {DateTimePt, "DateTimePt"},
      {B_oK_Time, "B_oK_Time"}, {B_prow, "B_prow"}, {B_kal, "B_kal"}, {L_3AH, "L_3AH"},
      {L_pg_flash, "L_pg_flash"}, {L_mem, "L_mem"}, {SB_Ka, "SB_Ka"}, {BB_Cbpoc, "BB_Cbpoc"},
      {LB_read, "LB_read"}, {E_Lat, "E_Lat"}, {E_Lon, "E_Lon"}, {BB_Savekoor, "BB_Savekoor"},
      {L_Latt, "L_Latt"}, {L_Long, "L_Long"}, {Label2, "Label2"}, {PB, "PB"}, {Label3, "Label3"}};
  for (const auto& [object, name] : names) object->setObjectName(name);
}

void TForm1::BuildParamPage() {
  SG1 = new QTableWidget(TSh_param);
  SG1->setGeometry(6, 6, 576, 200);
  SG1->setColumnCount(6);
  SG1->setHorizontalHeaderLabels({"N", "Название", "Коэфф-т", "Крит. ср.", "K(yc)", ""});
  SG1->verticalHeader()->hide();
  SG1->verticalHeader()->setDefaultSectionSize(22);
  const int widths[6] = {30, 130, 130, 120, 80, 40};
  for (int c = 0; c < 6; ++c) SG1->setColumnWidth(c, widths[c]);
  SG1->setMouseTracking(true);
  SG1->viewport()->setMouseTracking(true);
  Label(TSh_param, "Станция:", 6, 220, 70);
  E_name = new QLineEdit(TSh_param);
  E_name->setGeometry(80, 218, 100, 24);
  E_name->setMaxLength(6);
  Hint(E_name, " ввод названия станции (до 6 знаков, Enter - запомнить)");
  LB = new QListWidget(TSh_param);
  LB->setGeometry(420, 40, 80, 120);
  LB->hide();
}

void TForm1::BuildEventPage() {
  P_filter = Label(TabSh_Event, "", 10, 14, 300, 24);
  P_filter->setFrameShape(QFrame::StyledPanel);
  UD_filter_kr = UpDown(TabSh_Event, 320, 14, 2, 255);
  P_X_MAC = Label(TabSh_Event, "", 10, 54, 300, 24);
  P_X_MAC->setFrameShape(QFrame::StyledPanel);
  UD_X_MAC = UpDown(TabSh_Event, 320, 54, 1, 255);
  Hint(UD_X_MAC, " сжатие графика при трансляции");
  Label(TabSh_Event, "Событие: превышение критерия", 10, 100, 300);
  UD_ckkan = UpDown(TabSh_Event, 10, 126, 1, 9);
  Hint(UD_ckkan, " число каналов с одновременным превышением");
  L_ckkan = Label(TabSh_Event, "", 84, 128, 220);
  UD_Ok_kr = UpDown(TabSh_Event, 10, 160, 1, 255);
  Hint(UD_Ok_kr, " окно одновременного превышения (точек)");
  L_Ok_kr = Label(TabSh_Event, "", 84, 162, 300);
}

void TForm1::BuildGeneralPage() {
  QWidget* p = TSGenral;
  CB_Ru = Combo(p, {"Русский", "English"}, 8, 8, 130);
  CB_Ru->setEnabled(false);
  CB_tip_gps = Combo(p, {"GPS внутренний", "GPS внешний"}, 8, 38, 150);
  CB_gps = Combo(p, {"только при синх.", "GPS вкл.пост."}, 166, 38, 150);
  ComB_TEST = Combo(p, {"запись выкл", "запись вкл"}, 8, 68, 150);
  Hint(ComB_TEST, " запись на карту во время трансляции");
  CB_HF = Combo(p, {}, 166, 68, 150);
  Hint(CB_HF, " фильтр высоких частот при чтении");
  CB_dec = Combo(p, {}, 8, 98, 150);
  Hint(CB_dec, " частота дискретизации, Гц");
  ComB_Low__FilterWrite = Combo(p, {"ФНЧ"}, 166, 98, 150);
  ComB_Low__FilterWrite->setEnabled(false);
  CB_kan = Combo(p, {}, 324, 98, 150);
  CB_kan->setEnabled(false);
  P_dl = Label(p, "", 8, 130, 230, 24);
  P_dl->setFrameShape(QFrame::StyledPanel);
  UD_dl = UpDown(p, 244, 130, 0, 240, 2);
  Hint(UD_dl, " длина файлов при чтении (минут)");
  P_Gps = Label(p, "", 8, 160, 230, 24);
  P_Gps->setFrameShape(QFrame::StyledPanel);
  UD_GPS = UpDown(p, 244, 160, 0, 3);
  Hint(UD_GPS, " интервал включения GPS");
  CB_gener = new QCheckBox("Отказ от автоподстройки", p);
  CB_gener->setGeometry(8, 192, 220, 22);
  RG_Name = RadioGroup(p, "   полные   имена   ", 324, 130, RG_Name_yes, RG_Name_no);
  RG_ACP_OFF = RadioGroup(p, "  выключение АЦП  ", 324, 182, RG_ACP_OFF_yes, RG_ACP_OFF_no);
  B_adr = Button(p, "адреса", 324, 8, 100);
  B_adr->setEnabled(false);
  P_adr = Panel(p, 324, 36, 250, 60);
  P_fat = Label(P_adr, "", 4, 4, 140);
  UD_fat = UpDown(P_adr, 160, 2, 7, 64);
  P_dat = Label(P_adr, "", 4, 32, 140);
  UD_dat = UpDown(P_adr, 160, 30, 63, 255);
  P_adr->hide();
  auto* files = new QGroupBox(" Ввод из  файла", p);
  files->setGeometry(8, 240, 260, 56);
  B_set_setup = Button(files, "установки", 8, 22, 116);
  Hint(B_set_setup, " установки из файла unit_setup (название станции остается)");
  B_kal_setup = Button(files, " календарь", 132, 22, 116);
  Hint(B_kal_setup, " только календарь из файла unit_setup");
}

void TForm1::BuildCalendarPage() {
  SG_kal = new QTableWidget(TS_calen);
  SG_kal->setGeometry(6, 6, 360, 290);
  SG_kal->setColumnCount(4);
  SG_kal->setRowCount(kCalendarEntries);
  SG_kal->setHorizontalHeaderLabels({"N", "время вкл-я", "длина", "через:"});
  SG_kal->verticalHeader()->hide();
  SG_kal->verticalHeader()->setDefaultSectionSize(20);
  const int widths[4] = {36, 150, 60, 90};
  for (int c = 0; c < 4; ++c) SG_kal->setColumnWidth(c, widths[c]);
  Hint(SG_kal, " DblClick - ввод времени вкл-я; длина в минутах (0 - убрать)");
  P_time = Panel(TS_calen, 372, 6, 210, 100);
  DateTimePd = new QDateEdit(P_time);
  DateTimePd->setGeometry(6, 6, 120, 24);
  DateTimePd->setDisplayFormat("dd.MM.yyyy");
  DateTimePd->setTimeSpec(Qt::UTC);
  DateTimePt = new QTimeEdit(P_time);
  DateTimePt->setGeometry(6, 36, 120, 24);
  DateTimePt->setDisplayFormat("HH:mm:ss");
  DateTimePt->setTimeSpec(Qt::UTC);
  B_oK_Time = Button(P_time, "O'K", 134, 20, 66);
  P_time->hide();
  B_kal = Button(TS_calen, "календарь", 372, 200, 120);
  Hint(B_kal, " календарь из файла unit_kalend");
  B_prow = Button(TS_calen, "проверить", 372, 230, 120);
  Hint(B_prow, " проверить календарь по времени Unit'а");
  L_3AH = Label(TS_calen, "", 372, 116, 210);
  L_pg_flash = Label(TS_calen, "", 372, 140, 210);
  L_mem = Label(TS_calen, "", 372, 164, 210);
}

void TForm1::BuildAcpPage() {
  QWidget* p = TS_acp;
  SB_Ka = new QToolButton(p);
  SB_Ka->setText("калибровка нуля");
  SB_Ka->setCheckable(true);
  SB_Ka->setGeometry(8, 8, 150, 27);
  Hint(SB_Ka, " измерение смещения нуля (входы в покое); повторное нажатие - стоп");
  BB_Cbpoc = Button(p, "Сохр. калибровку", 8, 42, 150);
  LB_read = new QListWidget(p);
  LB_read->setGeometry(170, 8, 410, 190);
  LB_read->hide();
  Label2 = Label(p, "координаты из GPS:", 8, 210, 200);
  E_Lat = new QLineEdit(p);
  E_Lat->setGeometry(8, 236, 110, 24);
  Hint(E_Lat, " широта, градусы");
  E_Lon = new QLineEdit(p);
  E_Lon->setGeometry(126, 236, 110, 24);
  Hint(E_Lon, " долгота, градусы");
  BB_Savekoor = Button(p, "Взять координаты", 244, 234, 150);
  BB_Savekoor->setEnabled(false);
  L_Latt = Label(p, "", 8, 266, 110);
  L_Long = Label(p, "", 126, 266, 110);
}

void TForm1::BuildFilterPage() {
  PB = new platform::ui::PaintBox(TS_filtr);
  PB->setGeometry(6, 30, 576, 270);
  Label3 = Label(TS_filtr, "", 8, 6, 500);
}

}  // namespace recorder
