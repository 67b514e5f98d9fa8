#include "acquisition/ui/time_correction_dialog.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "platform/ui/colors.h"
#include "platform/ui/push_buttons.h"
#include "recorder/ui/page_key_codes.h"
#include "recorder/work_log.h"

namespace acquisition {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

constexpr uint32_t kDoubtColour = 13544943;

QLineEdit* ReadOnlyEdit(QWidget* parent) {
  auto* e = new QLineEdit(parent);
  e->setReadOnly(true);
  e->setFocusPolicy(Qt::NoFocus);
  return e;
}

}  // namespace

TF_corr::TF_corr(TimeCorrectionInput input, QWidget* owner) : QDialog(owner), in_(std::move(input)) {
  setObjectName("F_corr");
  setWindowTitle("коррекция времени");
  auto* layout = new QVBoxLayout(this);
  Label3 = new QLabel(this);
  Label4 = new QLabel(this);
  Label9 = new QLabel(this);
  LB = new QListWidget(this);
  LB->setFocusPolicy(Qt::NoFocus);
  LB->setMinimumHeight(180);
  E_n = ReadOnlyEdit(this);
  E_k = ReadOnlyEdit(this);
  E_dt_n = ReadOnlyEdit(this);
  E_dt_k = ReadOnlyEdit(this);
  Label1 = new QLabel(this);
  Label2 = new QLabel(this);
  Label10 = new QLabel(this);
  Label8 = new QLabel(this);
  Button1 = new QPushButton("O'k", this);
  Button2 = new QPushButton("Cansel", this);
  for (QPushButton* b : {Button1, Button2}) b->setFocusPolicy(Qt::NoFocus);

  layout->addWidget(Label3);
  layout->addWidget(Label4);
  layout->addWidget(Label9);
  layout->addWidget(LB);
  auto* points = new QGridLayout;
  points->addWidget(E_n, 0, 0);
  points->addWidget(E_dt_n, 0, 1);
  points->addWidget(E_k, 1, 0);
  points->addWidget(E_dt_k, 1, 1);
  layout->addLayout(points);
  layout->addWidget(Label1);
  layout->addWidget(new QLabel("Управление:    +   и   -   ", this));
  layout->addWidget(new QLabel("           на основной и дополн-ой клавиатурах", this));
  layout->addWidget(new QLabel("Считаем, что:", this));
  layout->addWidget(Label2);
  layout->addWidget(Label10);
  layout->addWidget(Label8);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  layout->addLayout(buttons);
  setAutoFillBackground(true);
  setMinimumWidth(560);

  const std::pair<QObject*, const char*> names[] = {
      {LB, "LB"},         {E_n, "E_n"},         {E_k, "E_k"},         {E_dt_n, "E_dt_n"},
      {E_dt_k, "E_dt_k"}, {Label1, "Label1"},   {Label2, "Label2"},   {Label3, "Label3"},
      {Label4, "Label4"}, {Label8, "Label8"},   {Label9, "Label9"},   {Label10, "Label10"},
      {Button1, "Button1"}, {Button2, "Button2"}};
  for (const auto& [o, name] : names) o->setObjectName(name);

  connect(Button1, &QPushButton::clicked, this, &TF_corr::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TF_corr::Button2Click);
  platform::ui::NoDefaultButtons(*this);
}

void TF_corr::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TF_corr::FormShow() {
  // Only "O'k" lets the download go on; the window's close button cancels it.
  cancel_ = true;
  c_ = ComputeTimeCorrection(in_);
  Label3->setText(Q(c_.Label3));
  Label4->setText(Q(c_.Label4));
  Label9->setText(Q(c_.Label9));
  LB->clear();
  for (const std::string& line : c_.Lines) LB->addItem(Q(line));
  ShowPoints();
}

void TF_corr::ShowPoints() {
  E_n->setText(Q(c_.E_n));
  E_k->setText(Q(c_.E_k));
  E_dt_n->setText(Q(c_.E_dt_n));
  E_dt_k->setText(Q(c_.E_dt_k));
  Label1->setText(Q(c_.Label1));
  Label2->setText(Q(c_.Label2));
  Label10->setText(Q(c_.Label10));
  Label8->setText(Q(c_.Label8));
  QPalette p = palette();
  p.setColor(QPalette::Window, c_.Good ? p.color(QPalette::ToolTipBase) : platform::ui::ColorFromBgr(kDoubtColour));
  setPalette(p);
  setWindowTitle(c_.Good ? "    O' K" : "   п  л  о  х  о");
}

bool TF_corr::FormKeyDown(int keyCode) {
  if (!MoveSyncPoint(in_, c_, keyCode)) return false;
  ShowPoints();
  return true;
}

void TF_corr::keyPressEvent(QKeyEvent* event) {
  const int code = recorder::PageKeyCode(*event);
  if (code != 0) {
    FormKeyDown(code);
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TF_corr::Button1Click() {
  cancel_ = false;
  for (const std::string& line : TimeCorrectionLogLines(in_, c_)) recorder::WriteLog(line);
  accept();
}

void TF_corr::Button2Click() {
  cancel_ = true;
  reject();
}

}  // namespace acquisition
