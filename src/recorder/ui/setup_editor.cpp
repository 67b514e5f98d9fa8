// The setup editor's life (show, close, Escape), SetupToControls and the handlers of the general,
// transmission and file controls, "Сохранить", "Выход" and "Default".
#include "recorder/ui/setup_editor.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <numbers>

#include "platform/cp1251.h"
#include "platform/ui/message_box.h"
#include "platform/ui/push_buttons.h"
#include "recorder/read_ang.h"
#include "recorder/setup_files.h"
#include "recorder/status_block.h"
#include "recorder/ui/event_hook.h"
#include "recorder/unit_commands.h"
#include "recorder/unit_link.h"
#include "toolkit/format_text.h"
#include "toolkit/parse_number.h"

namespace recorder {

using platform::ui::MessageBox;
using platform::ui::MsgButtons;
using platform::ui::MsgIcon;
using toolkit::FormatText;

namespace {

constexpr uint16_t kGpsIntervals[4] = {2, 16, 128, 512};
// The parameter bytes whose change the save button shows.
constexpr size_t kComparedBytes = 310;

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A text colour; nullptr gives the normal one back (and with it the grey of a disabled control).
void SetColor(QWidget* w, const char* color) {
  w->setStyleSheet(color != nullptr ? QString("color: %1;").arg(color) : QString());
}

void SelectIndex(QComboBox* box, int index) { box->setCurrentIndex(index < box->count() ? index : -1); }

}  // namespace

TForm1::TForm1(YSTANOV& setup, UnitLink& link, uint8_t& channelCount, QWidget* parent)
    : QDialog(parent), setup_(setup), link_(link), channelCount_(channelCount) {
  BuildForm();
  platform::ui::NoDefaultButtons(*this);
  setWindowTitle(" T o v r e l - 9 X V");
  PageControl1->setCurrentWidget(TSGenral);
  Connect();
}

TForm1::~TForm1() { StopCalibration(); }

std::string TForm1::FilePath(const char* name) const {
  return FileDir.empty() ? std::string(name) : (std::filesystem::path(FileDir) / name).string();
}

void TForm1::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

bool TForm1::event(QEvent* event) {
  // The hints of the controls go to the status bar.
  if (event->type() == QEvent::StatusTip) {
    StatusBar1->showMessage(static_cast<QStatusTipEvent*>(event)->tip());
    return true;
  }
  return QDialog::event(event);
}

void TForm1::done(int result) {
  // Every way out (the buttons, Escape, the title bar, the write-error watch) ends the calibration
  // first: the main window uses the link again as soon as the editor has gone.
  StopCalibration();
  Timer1->stop();
  P_adr->hide();
  QDialog::done(result);
}

void TForm1::FormShow() {
  LB_read->hide();
  const StatusBlock& status = GlobalStatus();
  setWindowTitle(Q(FormatText(" T o v r e l - 9 X V   N %02X_%03u", UnitSeries(status), UnitNumber(status))));
  copy_ = setup_;
  recorderBook_ = BlockFromRecorder;
  PageControl1->setCurrentWidget(TS_calen);
  ReadStatus(link_, GlobalStatus());
  B_kal->move(B_prow->x(), B_prow->y() - B_kal->height() - 3);
  Timer1->start();
  P_Bar->hide();
  SetupToControls();
}

void TForm1::Connect() {
  connect(BitBtnOK, &QPushButton::clicked, this, &TForm1::BitBtnOKClick);
  connect(BitBtnCancel, &QPushButton::clicked, this, &TForm1::BitBtnCancelClick);
  connect(BitBtn1, &QPushButton::clicked, this, &TForm1::BitBtn1Click);
  connect(BB_w_file, &QPushButton::clicked, this, &TForm1::BB_w_fileClick);
  connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
  connect(PageControl1, &QTabWidget::currentChanged, this, &TForm1::PageControl1Change);
  connect(PageControl1->tabBar(), &QTabBar::tabBarClicked, this, [this](int) { PageControl1MouseDown(); });
  connect(CB_dec, &QComboBox::activated, this, &TForm1::CB_decClick);
  connect(CB_HF, &QComboBox::activated, this, &TForm1::CB_HFClick);
  connect(ComB_Low__FilterWrite, &QComboBox::activated, this, &TForm1::ComB_Low__FilterWriteClick);
  connect(CB_tip_gps, &QComboBox::activated, this, &TForm1::CB_gpsClick);
  connect(CB_gps, &QComboBox::activated, this, &TForm1::CB_gpsClick);
  connect(ComB_TEST, &QComboBox::activated, this, &TForm1::ComB_TESTChange);
  connect(CB_Ru, &QComboBox::activated, this, &TForm1::CB_RuClick);
  connect(CB_gener, &QCheckBox::clicked, this, &TForm1::CB_generClick);
  for (QRadioButton* r : {RG_Name_yes, RG_Name_no}) connect(r, &QRadioButton::clicked, this, &TForm1::RG_NameClick);
  for (QRadioButton* r : {RG_ACP_OFF_yes, RG_ACP_OFF_no})
    connect(r, &QRadioButton::clicked, this, &TForm1::RG_ACP_OFFClick);
  const std::pair<QSpinBox*, void (TForm1::*)()> upDowns[] = {
      {UD_dl, &TForm1::UD_dlClick},         {UD_fat, &TForm1::UD_fatClick},
      {UD_dat, &TForm1::UD_datClick},       {UD_GPS, &TForm1::UD_GPSClick},
      {UD_X_MAC, &TForm1::UD_X_MACClick},   {UD_filter_kr, &TForm1::UD_filter_krClick},
      {UD_ckkan, &TForm1::UD_ckkanClick},   {UD_Ok_kr, &TForm1::UD_Ok_krClick}};
  for (const auto& [box, handler] : upDowns) connect(box, &QSpinBox::valueChanged, this, handler);
  connect(B_adr, &QPushButton::clicked, this, &TForm1::B_adrClick);
  connect(B_set_setup, &QPushButton::clicked, this, [this] { B_set_setupClick(true); });
  connect(B_kal_setup, &QPushButton::clicked, this, [this] { B_set_setupClick(false); });
  connect(E_name, &QLineEdit::returnPressed, this, &TForm1::E_nameKeyDown);
  for (QLineEdit* e : {E_Lat, E_Lon}) {
    connect(e, &QLineEdit::returnPressed, this, [this, e] { E_LatExit(e); });
    connect(e, &QLineEdit::editingFinished, this, [this, e] {
      if (!e->hasFocus()) E_LatExit(e);
    });
  }
  connect(BB_Savekoor, &QPushButton::clicked, this, &TForm1::BB_SavekoorClick);
  // The grids.
  connect(LB, &QListWidget::itemClicked, this, [this] { LBClick(); });
  connect(SG1, &QTableWidget::cellChanged, this, &TForm1::SG1SetEditText);
  SG1->viewport()->installEventFilter(new EventHook(this, [this](QObject*, QEvent* e) {
    if (e->type() == QEvent::MouseButtonPress) {
      auto* m = static_cast<QMouseEvent*>(e);
      const QPoint p = m->position().toPoint();
      SG1MouseDown(m->button(), SG1->rowAt(p.y()), SG1->columnAt(p.x()));
      return m->button() != Qt::LeftButton;
    }
    if (e->type() == QEvent::MouseMove && !LB_read->isVisible()) {
      static const char* const hints[] = {"", " ввод названия канала", " ввод коэфф. преобразования ( ... / вольт )",
                                          " ввод превышения для определения событий ( в ед. АЦП )",
                                          " ввод коэфф. усиления (правая кнопка)", ""};
      const int column = SG1->columnAt(static_cast<QMouseEvent*>(e)->position().toPoint().x());
      SG1->viewport()->setCursor(column >= 4 ? Qt::DragMoveCursor : Qt::ArrowCursor);
      if (column >= 0 && column < 6) StatusBar1->showMessage(QString::fromUtf8(hints[column]));
    }
    return false;
  }));
  connect(SG_kal, &QTableWidget::currentCellChanged, this, &TForm1::SG_kalSelectCell);
  connect(SG_kal, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { SG_kalDblClick(row); });
  SG_kal->viewport()->installEventFilter(new EventHook(this, [this](QObject*, QEvent* e) {
    if (e->type() == QEvent::MouseButtonPress) SG_kalMouseDown();
    return false;
  }));
  QHeaderView* calendarHeader = SG_kal->horizontalHeader();
  calendarHeader->viewport()->setMouseTracking(true);
  calendarHeader->viewport()->installEventFilter(new EventHook(this, [this](QObject*, QEvent* e) {
    if (e->type() == QEvent::MouseMove) SG_kalMouseMove(static_cast<QMouseEvent*>(e)->position().toPoint().x());
    return false;
  }));
  connect(B_oK_Time, &QPushButton::clicked, this, &TForm1::B_oK_TimeClick);
  connect(B_prow, &QPushButton::clicked, this, &TForm1::B_prowClick);
  connect(B_kal, &QPushButton::clicked, this, &TForm1::B_kalClick);
  // Leaving a grid stores it.
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
    const auto inside = [](QWidget* w, QWidget* grid) { return w != nullptr && (w == grid || grid->isAncestorOf(w)); };
    if (inside(old, SG1) && !inside(now, SG1) && !inside(now, LB)) SG1Exit();
    if (inside(old, SG_kal) && !inside(now, SG_kal) && !inside(now, P_time)) SG_kalExit();
  });
  connect(SB_Ka, &QToolButton::clicked, this, &TForm1::SB_KaClick);
  connect(BB_Cbpoc, &QPushButton::clicked, this, &TForm1::BB_CbpocClick);
}

void TForm1::SetupToControls() {
  filling_ = true;
  YSTANOV& s = setup_;
  const StatusBlock& status = GlobalStatus();
  (s.AdcOff == 0 ? RG_ACP_OFF_yes : RG_ACP_OFF_no)->setChecked(true);
  (s.FullNames == 0 ? RG_Name_yes : RG_Name_no)->setChecked(true);
  SelectIndex(CB_Ru, s.Language);
  CB_gener->setChecked(s.AutoAdjustOff == 1);
  UD_dat->setValue(s.DataStart);
  UD_fat->setValue(s.FatStart);
  P_fat->setText(Q(FormatText(" FAT с %02X00", s.FatStart)));
  P_dat->setText(Q(FormatText("Данные с %02X00", s.DataStart)));

  if (s.GpsIntervalIndex > 2) s.GpsIntervalIndex = 3;
  UD_GPS->setValue(s.GpsIntervalIndex);
  s.GpsInterval = static_cast<uint16_t>(kGpsIntervals[s.GpsIntervalIndex] * 64);
  P_Gps->setText(Q(FormatText(" Вкл. GPS через ~%d  мин.", s.GpsInterval / 60)));

  FillChannelGrid();
  CB_kan->clear();
  CB_kan->addItem(Q(FormatText(" каналов: %d", channelCount_)));
  CB_kan->setCurrentIndex(0);
  E_name->setText(Q(platform::FieldToUtf8(s.Station)));

  SelectIndex(ComB_TEST, (s.RecordFlags >> 3) & 0x1F);
  SelectIndex(CB_tip_gps, s.GpsMode >> 4);
  SelectIndex(CB_gps, s.GpsMode & 15);
  CB_dec->clear();
  rateItems_ = NonZeroEntries(status.Freq);
  for (int index : rateItems_) {
    CB_dec->addItem(QString::number(status.Freq[index]));
    if (status.Freq[index] == s.SampleRate) CB_dec->setCurrentIndex(CB_dec->count() - 1);
  }
  ComB_Low__FilterWrite->setCurrentIndex(0);
  CB_HF->clear();
  for (int k = 0; k <= 10; ++k) CB_HF->addItem(Q(FormatText(" %.2f Гц", 0.05 * k)));
  SelectIndex(CB_HF, s.HighPassIndex);

  UD_dl->setValue(s.FileMinutes);
  P_dl->setText(s.FileMinutes == 0 ? QString(" Весь файл")
                                   : Q(FormatText(" Длина файла (минут):    %u", unsigned{s.FileMinutes})));

  FillCalendarGrid();
  ShowMemoryEstimate();
  UD_X_MAC->setValue(s.ChartCompression);
  P_X_MAC->setText(Q(FormatText(" Сжатие графика при трансляции     1 : %u", unsigned{s.ChartCompression})));

  const int n = s.SmoothPoints;
  UD_filter_kr->setValue(n);
  P_filter->setStatusTip(Q(FormatText(" фильтр Y(t) = X(t)/%d + Y(t-dt)*%d/%d ", n, n - 1, n)));
  P_filter->setText(Q(FormatText("  Сглаживающий фильтр из %d точек", n)));

  UD_ckkan->setMaximum(channelCount_ + 1);
  UD_ckkan->setValue(s.EventChannels);
  L_ckkan->setText(Q(FormatText(" в %u каналах", unsigned{s.EventChannels})));
  SetColor(L_ckkan, s.EventChannels > channelCount_ ? "red" : nullptr);
  UD_Ok_kr->setValue(s.EventWindow);
  L_Ok_kr->setText(Q(FormatText("в окне  из %02d точек (%.3f сек)", int{s.EventWindow},
                                s.SampleRate ? static_cast<double>(s.EventWindow) / s.SampleRate : 0.0)));

  L_mem->setText(Q(FormatText("память %u Мb", unsigned{status.FCmax} * 2)));
  const double toDegrees = 180.0 / std::numbers::pi;
  E_Lat->setText(Q(FormatText("%3.5f", status.LAT * toDegrees)));
  E_Lon->setText(Q(FormatText("%3.5f", status.LON * toDegrees)));
  L_Latt->setText(Q(FormatText("%3.5f", s.Latitude)));
  L_Long->setText(Q(FormatText("%3.5f", s.Longitude)));
  ShowBlockChanged();

  SetColor(BB_Cbpoc, SB_Ka->isChecked() ? "red" : nullptr);
  const bool calibrated = HasCalibration(copy_, status, CalibratedChannels(copy_));
  BB_Cbpoc->setEnabled(calibrated);
  BB_Cbpoc->setText(calibrated ? "Сброс калибровки" : "Сохр. калибровку");
  filling_ = false;
}

void TForm1::ShowBlockChanged() {
  const bool changed = std::memcmp(SetupBytes(setup_), SetupBytes(copy_), kComparedBytes) != 0;
  SetColor(BitBtnOK, changed ? "green" : nullptr);
}

// ---- general and transmission pages ----

void TForm1::CB_decClick() {
  const int item = CB_dec->currentIndex();
  if (filling_ || item < 0 || item >= static_cast<int>(rateItems_.size())) return;
  setup_.SampleRate = GlobalStatus().Freq[rateItems_[item]];
  SetupToControls();
}

void TForm1::CB_HFClick() {
  if (filling_ || CB_HF->currentIndex() < 0) return;
  setup_.HighPassIndex = static_cast<uint8_t>(CB_HF->currentIndex());
  SetupToControls();
}

void TForm1::ComB_Low__FilterWriteClick() {}

void TForm1::CB_gpsClick() {
  if (filling_) return;
  setup_.GpsMode = static_cast<uint8_t>(std::max(0, CB_tip_gps->currentIndex()) * 16 + std::max(0, CB_gps->currentIndex()));
  SetupToControls();
}

void TForm1::ComB_TESTChange() {
  if (filling_) return;
  setup_.RecordFlags = static_cast<uint8_t>(std::max(0, ComB_TEST->currentIndex()) << 3);
  SetupToControls();
}

void TForm1::CB_RuClick() {
  if (filling_) return;
  setup_.Language = static_cast<uint8_t>(std::max(0, CB_Ru->currentIndex()));
}

void TForm1::CB_generClick() {
  if (filling_) return;
  setup_.AutoAdjustOff = CB_gener->isChecked() ? 1 : 0;
  SetupToControls();
}

void TForm1::RG_NameClick() {
  if (filling_) return;
  setup_.FullNames = RG_Name_yes->isChecked() ? 0 : 1;
  SetupToControls();
}

void TForm1::RG_ACP_OFFClick() {
  if (filling_) return;
  setup_.AdcOff = RG_ACP_OFF_yes->isChecked() ? 0 : 1;
}

void TForm1::UD_dlClick() { StoreUpDown(UD_dl, setup_.FileMinutes, 0, 240); }

void TForm1::StoreUpDown(const QSpinBox* box, uint8_t& field, int lowest, int highest) {
  if (filling_) return;
  field = static_cast<uint8_t>(std::clamp(box->value(), lowest, highest));
  SetupToControls();
}

void TForm1::UD_fatClick() {
  if (filling_) return;
  int v = UD_fat->value();
  if (v < 8) v = 16;
  setup_.FatStart = static_cast<uint8_t>(std::min(v, 63));
  SetupToControls();
}

void TForm1::UD_datClick() { StoreUpDown(UD_dat, setup_.DataStart, 64, 254); }

void TForm1::UD_GPSClick() {
  if (filling_) return;
  const int v = UD_GPS->value();
  setup_.GpsIntervalIndex = static_cast<uint8_t>(v > 2 ? 3 : std::max(v, 0));
  setup_.GpsInterval = static_cast<uint16_t>(kGpsIntervals[setup_.GpsIntervalIndex] * 64);
  SetupToControls();
}

void TForm1::UD_X_MACClick() { StoreUpDown(UD_X_MAC, setup_.ChartCompression, 1, 255); }

void TForm1::UD_filter_krClick() { StoreUpDown(UD_filter_kr, setup_.SmoothPoints, 2, 255); }

void TForm1::UD_ckkanClick() { StoreUpDown(UD_ckkan, setup_.EventChannels, 1, 255); }

void TForm1::UD_Ok_krClick() { StoreUpDown(UD_Ok_kr, setup_.EventWindow, 1, 255); }

void TForm1::B_adrClick() {
  if (P_adr->isHidden()) {
    if (MessageBox("адрес изменять только при испорченных секторах карты", "продолжать?", MsgButtons::OkCancel) !=
        platform::ui::MsgAnswer::Ok)
      return;
    P_adr->show();
    P_time->hide();
  } else {
    P_adr->hide();
  }
}

void TForm1::E_nameKeyDown() {
  std::memset(setup_.Station, 0, sizeof setup_.Station);
  platform::Utf8ToField(E_name->text().toStdString(), setup_.Station, 7);
  ShowBlockChanged();
}

bool TForm1::E_LatExit(QLineEdit* edit) {
  const bool latitude = edit == E_Lat;
  const double value = toolkit::ParseNumber(edit->text().toStdString());
  if (std::fabs(value) > (latitude ? 90 : 180)) {
    MessageBox(latitude ? "Широта превышает 90 градусов" : "Долгота превышает 180 градусов", "ERROR", MsgButtons::Ok,
               MsgIcon::Error);
    edit->setFocus();
    return false;
  }
  (latitude ? setup_.Latitude : setup_.Longitude) = value;
  SetupToControls();
  return true;
}

void TForm1::BB_SavekoorClick() {
  const double lat = toolkit::ParseNumber(E_Lat->text().toStdString());
  const double lon = toolkit::ParseNumber(E_Lon->text().toStdString());
  if (lat < 1 || lon < 1) {
    platform::ui::ShowMessage("a они есть?!");
    return;
  }
  setup_.Latitude = lat;
  setup_.Longitude = lon;
  SetupToControls();
}

void TForm1::PageControl1Change(int) {
  P_time->hide();
  if (PageControl1->currentWidget() == TS_filtr) TS_filtrShow();
}

void TForm1::PageControl1MouseDown() { LB->hide(); }

// ---- files ----

void TForm1::BB_w_fileClick() {
  LB->hide();
  if (!SG1Exit() || !SG_kalExit()) return;
  std::string error;
  if (!SaveSetupFile(setup_, FilePath(kSetupFileName), error)) MessageBox(error, "Error", MsgButtons::Ok, MsgIcon::Error);
}

void TForm1::B_set_setupClick(bool wholeBlock) {
  std::string error;
  if (!LoadSetupFile(setup_, FilePath(kSetupFileName), wholeBlock ? SetupFilePart::Whole : SetupFilePart::Calendar,
                     error)) {
    platform::ui::ShowMessage(error);
    return;
  }
  SetupToControls();
}

// ---- the commands ----

void TForm1::BitBtnOKClick() {
  if (!SG1Exit() || !SG_kalExit()) return;
  if (setup_.ChannelMask == 0) {
    MessageBox("не отмечен ни один канал!", "ERROR", MsgButtons::Ok, MsgIcon::Error);
    PageControl1->setCurrentWidget(TSh_param);
    return;
  }
  Timer1->stop();
  P_Bar->setValue(0);
  P_adr->hide();
  SetupMessage message;
  P_Bar->show();
  const bool written = WriteSetup(link_, setup_, message, [this](int position, int maximum) {
    P_Bar->setMaximum(maximum);
    P_Bar->setValue(position);
  });
  P_Bar->hide();
  if (!written) {
    if (!message.Text.empty()) platform::ui::ShowMessage(message.Text);
    MessageBox("Ошибка записи файла установок", "Error", MsgButtons::Ok, MsgIcon::Error);
  }
  BitBtnCancelClick();
}

void TForm1::BitBtnCancelClick() { reject(); }

void TForm1::BitBtn1Click() {
  referenceTime_ = DefaultSetup(setup_, GlobalStatus(), channelCount_);
  LB->hide();
  SetupToControls();
}

}  // namespace recorder
