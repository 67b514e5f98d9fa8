#include "viewer/ui/settings_page_header.h"

#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimeEdit>

#include <QVBoxLayout>
#include <span>

#include "platform/ui/message_box.h"
#include "toolkit/time_texts.h"
#include "viewer/ui/settings_dialog.h"

namespace viewer {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string CellText(const QTableWidget* grid, int row, int column) {
  const QTableWidgetItem* item = grid->item(row, column);
  return item != nullptr ? item->text().toStdString() : std::string();
}

}  // namespace

TSh_ZagPage::TSh_ZagPage(TMainForm& form) : SettingsPageBase(form) {
  setObjectName("TSh_Zag");
  L_title = new QLabel("Р е д а к т и р о в а н и е   з а г о л о в к а", this);
  L_warning = new QLabel("Не вводи коэф-ы в эксп. виде!!", this);
  SetRedText(L_warning, true);
  // Plain calendar values: the pickers work in UTC, so no zone shifts or refuses a start.
  DaTmP_d = new QDateEdit(this);
  DaTmP_d->setTimeSpec(Qt::UTC);
  DaTmP_d->setDisplayFormat("dd.MM.yyyy");
  DaTmP_d->setMinimumDate(QDate(1980, 1, 1));
  DaTmP_d->setMaximumDate(QDate(9999, 12, 31));
  DaTmP_t = new QTimeEdit(this);
  DaTmP_t->setTimeSpec(Qt::UTC);
  DaTmP_t->setDisplayFormat("HH:mm:ss");
  E_msec = MakeEdit(this, 7);
  E_Freq = MakeEdit(this, 6);
  Ed33 = MakeEdit(this);
  Ed44 = MakeEdit(this);
  Ed_stat = MakeEdit(this);
  SG1 = new QTableWidget(this);
  SG1->setColumnCount(3);
  SG1->horizontalHeader()->hide();
  SG1->verticalHeader()->hide();
  SG1->verticalHeader()->setDefaultSectionSize(18);
  SG1->setColumnWidth(0, 70);
  SG1->setColumnWidth(1, 170);
  SG1->setColumnWidth(2, 170);
  Label1 = new QLabel(this);
  BB_zag = new QPushButton("Сохранить", this);
  BB_zag->setToolTip("сохранение внесенных изменений");

  auto* fields = new QFormLayout;
  fields->addRow("  дата", DaTmP_d);
  fields->addRow("  время", DaTmP_t);
  fields->addRow("  микросекунды:", E_msec);
  fields->addRow("  частота", E_Freq);
  fields->addRow("  широта :", Ed33);
  fields->addRow("  долгота :", Ed44);
  fields->addRow("  станция", Ed_stat);
  auto* left = new QVBoxLayout;
  left->addLayout(fields);
  left->addWidget(Label1);
  left->addStretch(1);
  left->addWidget(BB_zag);
  auto* body = new QHBoxLayout;
  body->addLayout(left);
  body->addWidget(SG1, 1);
  auto* page = new QVBoxLayout(this);
  page->addWidget(L_title, 0, Qt::AlignHCenter);
  page->addWidget(L_warning, 0, Qt::AlignHCenter);
  page->addLayout(body, 1);

  connect(BB_zag, &QPushButton::clicked, this, &TSh_ZagPage::BB_zagClick);
  TSh_ZagShow();
}

void TSh_ZagPage::TSh_ZagShow() {
  const FileHeaders& file = form_.Headers();
  // Headers that could not be read from the file are shown as the record holds them; they are not saved.
  shown_ = file.read ? ShowHeader(file.main, file.channels)
                     : ShowHeader(Copy().Header, std::span(Copy().FileChannels, HeaderChannelCount(Copy())));
  const int channels = static_cast<int>(shown_.Names.size());
  SG1->clearContents();
  SG1->setRowCount(channels + 1);
  auto fixed = [](const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
  };
  SG1->setItem(0, 0, fixed("Ном. кан."));
  SG1->setItem(0, 1, fixed("Имя канала"));
  SG1->setItem(0, 2, fixed("Микр./дискр."));
  for (int i = 0; i < channels; ++i) {
    SG1->setItem(i + 1, 0, fixed(QString::number(i)));
    SG1->setItem(i + 1, 1, new QTableWidgetItem(Q(shown_.Names[i])));
    SG1->setItem(i + 1, 2, new QTableWidgetItem(Q(shown_.Coefficients[i])));
  }
  E_Freq->setText(Q(shown_.Rate));
  Ed33->setText(Q(shown_.Latitude));
  Ed44->setText(Q(shown_.Longitude));
  Ed_stat->setText(Q(shown_.Station));
  DaTmP_d->setDate(QDate(shown_.Date.Year, static_cast<int>(shown_.Date.Month), static_cast<int>(shown_.Date.Day)));
  DaTmP_t->setTime(QTime(static_cast<int>(shown_.Time.Hour), static_cast<int>(shown_.Time.Minute),
                         static_cast<int>(shown_.Time.Second)));
  pickedDate_ = DaTmP_d->date();
  pickedTime_ = DaTmP_t->time();
  Label1->setText(Q(shown_.StartText));
  E_msec->setText(Q(shown_.Microseconds));
  for (QWidget* w : {static_cast<QWidget*>(E_msec), static_cast<QWidget*>(E_Freq),
                     static_cast<QWidget*>(DaTmP_d), static_cast<QWidget*>(DaTmP_t)}) {
    SetRedText(w, false);
  }
}

HeaderTexts TSh_ZagPage::Edited() const {
  HeaderTexts t;
  const QDate d = DaTmP_d->date();
  const QTime tm = DaTmP_t->time();
  if (d == pickedDate_ && tm == pickedTime_) {
    t.Date = shown_.Date;
    t.Time = shown_.Time;
  } else {
    t.Date = toolkit::CivilDate{d.year(), static_cast<uint32_t>(d.month()), static_cast<uint32_t>(d.day())};
    t.Time = toolkit::TimeOfDay{static_cast<uint32_t>(tm.hour()), static_cast<uint32_t>(tm.minute()),
                                static_cast<uint32_t>(tm.second())};
  }
  t.Microseconds = TextOf(E_msec);
  t.Rate = TextOf(E_Freq);
  t.Latitude = TextOf(Ed33);
  t.Longitude = TextOf(Ed44);
  t.Station = TextOf(Ed_stat);
  for (int i = 0; i + 1 < SG1->rowCount(); ++i) {
    t.Names.push_back(CellText(SG1, i + 1, 1));
    t.Coefficients.push_back(CellText(SG1, i + 1, 2));
  }
  return t;
}

void TSh_ZagPage::BB_zagClick() {
  FileHeaders& file = form_.Headers();
  if (!file.read) {
    platform::ui::MessageBox(HeadersNotReadText(file), "Error", platform::ui::MsgButtons::Ok,
                             platform::ui::MsgIcon::Error);
    return;
  }
  const HeaderTexts edited = Edited();
  const HeaderFaults faults = SaveHeader(file.main, file.channels, shown_, edited);
  SetRedText(E_msec, faults.Microseconds);
  SetRedText(E_Freq, faults.Rate);
  SetRedText(DaTmP_d, faults.Date);
  SetRedText(DaTmP_t, faults.Date);
  for (int i = 0; i + 1 < SG1->rowCount(); ++i) {
    if (QTableWidgetItem* cell = SG1->item(i + 1, 2)) {
      const bool bad = std::find(faults.Coefficients.begin(), faults.Coefficients.end(), i) != faults.Coefficients.end();
      cell->setForeground(bad ? QColor(255, 0, 0) : QColor(0, 0, 0));
    }
  }
  if (faults.Any()) return;
  form_.HeaderChanged = 1;
  // What is now stored is what the page shows: a second save starts from it.
  TSh_ZagShow();
}

}  // namespace viewer
