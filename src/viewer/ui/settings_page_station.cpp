#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>

#include <QVBoxLayout>

#include "platform/ui/colors.h"
#include "platform/ui/message_box.h"
#include "toolkit/start_ticks.h"
#include "toolkit/time_texts.h"
#include "viewer/settings_pages.h"
#include "viewer/ui/settings_dialog.h"
#include "viewer/ui/settings_page_params.h"

namespace viewer {

namespace {

constexpr uint32_t kLightRed = 0xA0A0FF;
const QDate kDayZero(1899, 12, 30);

}  // namespace

TS_bufPage::TS_bufPage(TMainForm& form) : SettingsPageBase(form) {
  setObjectName("TS_buf");
  CB_COB_KAH = new QCheckBox("пров. совпадение коэффициентов", this);
  CB_fon = new QComboBox(this);
  CB_fon->addItems({"черный фон ", "белый фон"});
  CB_filt = new QCheckBox("фильтр ВЧ (вычитание среднего)", this);
  CB_filt->setToolTip("без ненго не будет автоопределения вступлений");
  RG_interp = new RadioGroup("  аппроксимация  графика полиномом  ", {"1-й степени", "3-й степени"}, this);
  RG_interp->setToolTip("а как рисовать, если график растянут");
  P_do_V_cursor = new QWidget(this);
  P_do_V_cursor->setAutoFillBackground(true);
  P_do_V_cursor->setToolTip("изменить?");
  L_cursor = new QLabel(P_do_V_cursor);
  UD_cursor = new QSpinBox(P_do_V_cursor);
  UD_cursor->setRange(1, toolkit::kMaxVerticalCursors);
  auto* cursorRow = new QHBoxLayout(P_do_V_cursor);
  cursorRow->addWidget(L_cursor);
  cursorRow->addWidget(UD_cursor);
  CB_name = new QComboBox(this);
  CB_name->addItems({"короткие имена ", "длинные имена"});
  L_ekran = new QLabel(this);
  UpD_ekran = new QSpinBox(this);
  UpD_ekran->setRange(100, 300);
  UpD_ekran->setSingleStep(10);
  UpD_ekran->setToolTip("изменение размера экрана");
  // Plain calendar values of the station-read start (seconds since 1899-12-30, no zone).
  DTP_day = new QDateEdit(this);
  DTP_day->setTimeSpec(Qt::UTC);
  DTP_day->setDisplayFormat("dd.MM.yyyy");
  DTP_day->setDateRange(kDayZero.addDays(kStationFirstDay), kDayZero.addDays(kStationLastDay));
  DTP_day->setEnabled(false);
  DTP_min = new QTimeEdit(this);
  DTP_min->setTimeSpec(Qt::UTC);
  DTP_min->setDisplayFormat("HH:mm");
  UpDownKolH = new QSpinBox(this);
  UpDownKolH->setRange(1, 24);
  UpDownKolH->setToolTip("изменение длины просматриваемого буфера");
  L_KolH = new QLabel(this);
  B_time_YCT = new QPushButton("начало по времени файла", this);

  auto* left = new QVBoxLayout;
  left->addWidget(CB_COB_KAH);
  left->addWidget(CB_fon);
  left->addWidget(CB_filt);
  left->addWidget(RG_interp);
  left->addWidget(P_do_V_cursor);
  left->addWidget(CB_name);
  auto* screen = new QHBoxLayout;
  screen->addWidget(L_ekran);
  screen->addWidget(UpD_ekran);
  left->addLayout(screen);
  left->addStretch(1);
  auto* right = new QVBoxLayout;
  auto* start = new QHBoxLayout;
  start->addWidget(DTP_day);
  start->addWidget(DTP_min);
  right->addLayout(start);
  right->addWidget(B_time_YCT);
  auto* hours = new QHBoxLayout;
  hours->addWidget(L_KolH);
  hours->addWidget(UpDownKolH);
  right->addLayout(hours);
  right->addStretch(1);
  auto* page = new QHBoxLayout(this);
  page->addLayout(left);
  page->addLayout(right);

  connect(UpDownKolH, &QSpinBox::valueChanged, this, [this] {
    if (!filling_) UpDown_KolHClick();
  });
  connect(UpD_ekran, &QSpinBox::valueChanged, this, [this] {
    if (!filling_) UpD_ekranClick();
  });
  connect(UD_cursor, &QSpinBox::valueChanged, this, [this] {
    if (!filling_) UD_cursorClick();
  });
  connect(CB_name, &QComboBox::currentIndexChanged, this, [this] {
    if (!filling_) CB_nameChange();
  });
  connect(DTP_day, &QDateEdit::editingFinished, this, &TS_bufPage::DTP_dayExit);
  connect(DTP_min, &QTimeEdit::editingFinished, this, &TS_bufPage::DTP_dayExit);
  connect(B_time_YCT, &QPushButton::clicked, this, &TS_bufPage::B_time_YCTClick);
  FillControls();
}

void TS_bufPage::TS_bufShow() {
  toolkit::SetupRecord& s = Copy();
  if (s.LoadChannels > 64) s.LoadChannels = 64;
  s.StationStart = ClampStationStart(s.StationStart);
  if (s.PlotHeightPercent < 100) s.PlotHeightPercent = 100;
  FillControls();
}

void TS_bufPage::FillControls() {
  const toolkit::SetupRecord& s = Copy();
  filling_ = true;
  CB_COB_KAH->setChecked(s.CoefficientCheck != 0);
  CB_fon->setCurrentIndex(s.WhiteBackground != 0 ? 1 : 0);
  CB_filt->setChecked(s.RemoveMean != 0);
  RG_interp->SetItemIndex(s.Cubic != 0 ? 1 : 0);
  UD_cursor->setValue(std::clamp<int>(s.VerticalCursorCount, 1, toolkit::kMaxVerticalCursors));
  L_cursor->setText(QString("число  вертикальных курсоров %1").arg(s.VerticalCursorCount));
  CB_name->setCurrentIndex(s.LongFileNames != 0 ? 1 : 0);
  const int percent = std::max<int>(s.PlotHeightPercent, 100);
  UpD_ekran->setValue(percent);
  L_ekran->setText(QString(" размер экрана  %1%.").arg(percent));
  const uint32_t days = ClampStationStart(s.StationStart) / 86400;
  DTP_day->setDate(kDayZero.addDays(days));
  DTP_min->setTime(QTime(0, 0).addSecs(static_cast<int>(ClampStationStart(s.StationStart) - days * 86400)));
  UpDownKolH->setValue(std::clamp<int>(s.StationHours, 1, 24));
  L_KolH->setText(QString(" участок (часов) %1").arg(s.StationHours));
  QPalette p = P_do_V_cursor->palette();
  p.setColor(QPalette::Window, s.VerticalCursorCount > s.LoadChannels ? platform::ui::ColorFromBgr(kLightRed)
                                                                      : QPalette().color(QPalette::Button));
  P_do_V_cursor->setPalette(p);
  filling_ = false;
}

bool TS_bufPage::TS_bufExit() {
  toolkit::SetupRecord& s = Copy();
  s.CoefficientCheck = CB_COB_KAH->isChecked() ? 1 : 0;
  s.WhiteBackground = static_cast<uint8_t>(CB_fon->currentIndex() == 1 ? 1 : 0);
  s.RemoveMean = CB_filt->isChecked() ? 1 : 0;
  s.Cubic = static_cast<uint8_t>(RG_interp->ItemIndex() == 1 ? 1 : 0);
  DTP_dayExit();
  return true;
}

void TS_bufPage::UpDown_KolHClick() {
  SetRedText(L_KolH, false);
  const int h = UpDownKolH->value();
  if (StationHoursFit(Copy().LoadChannels, h, Copy().Dt)) {
    Copy().StationHours = static_cast<uint16_t>(h);
    TS_bufShow();
  } else {
    filling_ = true;
    UpDownKolH->setValue(std::clamp<int>(Copy().StationHours, 1, 24));
    filling_ = false;
    SetRedText(L_KolH, true);
  }
}

void TS_bufPage::UpD_ekranClick() {
  Copy().PlotHeightPercent = static_cast<uint16_t>(std::max(UpD_ekran->value(), 100));
  TS_bufShow();
}

void TS_bufPage::UD_cursorClick() {
  Copy().VerticalCursorCount = static_cast<uint8_t>(UD_cursor->value());
  TS_bufShow();
}

void TS_bufPage::CB_nameChange() { Copy().LongFileNames = static_cast<uint8_t>(CB_name->currentIndex() == 1); }

void TS_bufPage::DTP_dayExit() {
  const int64_t day = kDayZero.daysTo(DTP_day->date());
  const QTime t = DTP_min->time();
  Copy().StationStart = ClampStationStart(day * 86400 + (t.hour() * 60 + t.minute()) * 60);
  TS_bufShow();
}

void TS_bufPage::B_time_YCTClick() {
  const int64_t ticks = Copy().Header.StartTicks;
  platform::ui::ShowMessage(toolkit::DateTimeText(ticks, 0.0));
  Copy().StationStart = ClampStationStart(toolkit::SplitStartTicks(ticks).WholeSeconds);
  TS_bufShow();
}

}  // namespace viewer
