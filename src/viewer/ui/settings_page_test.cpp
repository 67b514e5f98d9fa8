#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>

#include "toolkit/format_text.h"
#include "viewer/filter_design.h"
#include "viewer/settings_pages.h"
#include "viewer/ui/settings_dialog.h"
#include "viewer/ui/settings_page_params.h"

namespace viewer {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QLabel* FormulaLabel(const char* text, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  l->adjustSize();
  return l;
}

QLineEdit* FormulaEdit(QWidget* parent) {
  auto* e = MakeEdit(parent);
  e->setFixedWidth(60);
  return e;
}

// Places the controls left to right, each 5 pixels after the previous one's right edge.
void PlaceInLine(QWidget* first, std::initializer_list<QWidget*> rest) {
  int right = first->geometry().right();
  for (QWidget* w : rest) {
    w->move(right + 1 + 5, first->y() + (first->height() - w->height()) / 2);
    right = w->geometry().right();
  }
}

}  // namespace

TSh_TestPage::TSh_TestPage(TMainForm& form) : SettingsPageBase(form) {
  setObjectName("TSh_Test");
  RadGr_Test = new RadioGroup(" Тип теста ", {"нет", "синус", "сплошной ", "для БПФ"}, this);
  RadGr_Test->setToolTip("выбор тестового сигнала, для проверки работы программы");
  CB_koeff = new QCheckBox("учитывать коэффициенты", this);
  CB_koeff->setToolTip("графики в единицах АЦП");
  E_points = MakeEdit(this);

  GB_tst_2sin = new QGroupBox(" Cумма 2-х синусов с шумом заданной амплитуды: ", this);
  GB_tst_2sin->setMinimumSize(600, 80);
  E_Amp1 = FormulaEdit(GB_tst_2sin);
  E_Amp1->move(8, 22);
  L_tst0 = FormulaLabel("   * SIN { 2 * Pi *   ", GB_tst_2sin);
  E_frq1 = FormulaEdit(GB_tst_2sin);
  L_tst1 = FormulaLabel("  *  ( 1 +   ", GB_tst_2sin);
  E_dfrq = FormulaEdit(GB_tst_2sin);
  L_tst2 = FormulaLabel("     * t ) * t } + ", GB_tst_2sin);
  E_Amp2 = FormulaEdit(GB_tst_2sin);
  E_Amp2->move(8, 50);
  L_tst3 = FormulaLabel("   * SIN { 2 * Pi *   ", GB_tst_2sin);
  E_frq2 = FormulaEdit(GB_tst_2sin);
  L_nois = FormulaLabel("  } + шум {    ", GB_tst_2sin);
  E_nois = FormulaEdit(GB_tst_2sin);
  L_tst4 = FormulaLabel("   }", GB_tst_2sin);

  GB_tst_sum_sin = new QGroupBox(this);
  E_tst_beg = MakeEdit(GB_tst_sum_sin);
  E_tst_end = MakeEdit(GB_tst_sum_sin);
  E_tst_step = MakeEdit(GB_tst_sum_sin);
  E_tst_fase = MakeEdit(GB_tst_sum_sin);
  auto* sum = new QVBoxLayout(GB_tst_sum_sin);
  sum->addWidget(new QLabel("   от                       до                          шаг", GB_tst_sum_sin));
  auto* harmonics = new QHBoxLayout;
  harmonics->addWidget(new QLabel("  f : ", GB_tst_sum_sin));
  harmonics->addWidget(E_tst_beg);
  harmonics->addWidget(E_tst_end);
  harmonics->addWidget(E_tst_step);
  sum->addLayout(harmonics);
  auto* phase = new QHBoxLayout;
  phase->addWidget(new QLabel("   шум  % Pi", GB_tst_sum_sin));
  phase->addWidget(E_tst_fase);
  sum->addLayout(phase);

  GB_tst_kan = new QGroupBox("тест в        каналах", this);
  UpDown_tst_kan = new QSpinBox(GB_tst_kan);
  UpDown_tst_kan->setRange(1, toolkit::kMaxChannels);
  (new QHBoxLayout(GB_tst_kan))->addWidget(UpDown_tst_kan);

  auto* top = new QHBoxLayout;
  top->addWidget(RadGr_Test);
  auto* side = new QVBoxLayout;
  side->addWidget(CB_koeff);
  auto* pts = new QHBoxLayout;
  pts->addWidget(E_points);
  pts->addWidget(new QLabel("   точек в тесте", this));
  side->addLayout(pts);
  side->addWidget(GB_tst_kan);
  top->addLayout(side);
  auto* page = new QVBoxLayout(this);
  page->addLayout(top);
  page->addWidget(GB_tst_2sin);
  page->addWidget(GB_tst_sum_sin);
  page->addStretch(1);

  connect(RadGr_Test, &RadioGroup::Clicked, this, &TSh_TestPage::RadGr_TestClick);
  connect(UpDown_tst_kan, &QSpinBox::valueChanged, this, [this] {
    if (!filling_) UpDown_tst_kanClick();
  });
  for (QLineEdit* e : {E_points, E_frq1, E_frq2}) {
    connect(e, &QLineEdit::textEdited, this, &TSh_TestPage::E_pointsChange);
  }
  for (QLineEdit* e : {E_points, E_nois, E_tst_beg, E_tst_end, E_tst_step, E_tst_fase}) {
    connect(e, &QLineEdit::textEdited, this, &TSh_TestPage::CheckBounds);
  }
  TSh_TestShow();
}

void TSh_TestPage::TSh_TestShow() {
  PlaceInLine(E_Amp1, {L_tst0, E_frq1, L_tst1, E_dfrq, L_tst2});
  PlaceInLine(E_Amp2, {L_tst3, E_frq2, L_nois, E_nois, L_tst4});
  const toolkit::SetupRecord& s = Copy();
  filling_ = true;
  RadGr_Test->SetItemIndex(s.TestMode);
  CB_koeff->setChecked(s.UseCoefficients == 1);
  E_points->setText(QString::number(s.HarmonicPeriod));
  E_Amp1->setText(Q(toolkit::FormatText("%.2f", s.SweepAmplitude)));
  E_frq1->setText(Q(toolkit::FormatText("%.4f", s.SweepFrequency)));
  E_dfrq->setText(Q(toolkit::FormatText("%.4f", s.SweepRate)));
  E_Amp2->setText(Q(toolkit::FormatText("%.2f", s.SineAmplitude)));
  E_frq2->setText(Q(toolkit::FormatText("%.4f", s.SineFrequency)));
  E_nois->setText(Q(toolkit::FormatText("%d", s.NoiseLevel)));
  E_tst_beg->setText(QString::number(s.HarmonicFirst));
  E_tst_end->setText(QString::number(s.HarmonicEnd));
  E_tst_step->setText(QString::number(s.HarmonicStep));
  E_tst_fase->setText(QString::number(s.PhaseSpread));
  UpDown_tst_kan->setValue(std::max<int>(s.TestChannels, 1));
  filling_ = false;
  CheckBounds();
  ShowTestCaptions();
}

void TSh_TestPage::ShowTestCaptions() {
  const int mode = std::max(RadGr_Test->ItemIndex(), 0);
  const double n = std::trunc(NumberOf(E_points) + 0.001);
  GB_tst_sum_sin->setTitle(Q(SpectrumGroupCaption(Copy().Dt, static_cast<uint32_t>(std::clamp(n, 0.0, 4e9)))));
  GB_tst_kan->setTitle(Q(TestChannelsCaption(UpDown_tst_kan->value())));
  GB_tst_kan->setEnabled(mode != 0);
  GB_tst_2sin->setEnabled(mode == 1);
  GB_tst_sum_sin->setEnabled(mode == 2);
}

void TSh_TestPage::E_pointsChange() {
  const double n = std::trunc(NumberOf(E_points));
  GB_tst_sum_sin->setTitle(Q(toolkit::FormatText(" Сплошной спектр.  Частоты  Wi  = 2 * Pi * f * %.2f / %u",
                                                 Copy().Dt > 0 ? 0.5 / Copy().Dt : 0.0,
                                                 static_cast<unsigned>(std::clamp(n, 0.0, 4e9)))));
  SetRedBackground(E_points, n == 0.0);
}

void TSh_TestPage::RadGr_TestClick(int index) {
  ShowTestCaptions();
  if (index != 3) return;
  E_Amp1->setText("300");
  E_Amp2->setText("100");
  E_dfrq->setText("0");
  E_nois->setText("8");
  E_frq1->setText(QString::number(0.390625));
  E_frq2->setText(QString::number(1.5625));
}

void TSh_TestPage::UpDown_tst_kanClick() {
  const int channels = std::max<int>(Copy().LoadChannels, 1);
  const int value = std::min(UpDown_tst_kan->value(), channels);
  Copy().TestChannels = static_cast<uint16_t>(value);
  if (value != UpDown_tst_kan->value()) {
    filling_ = true;
    UpDown_tst_kan->setValue(value);
    filling_ = false;
  }
  ShowTestCaptions();
}

void TSh_TestPage::CheckBounds() {
  long long first = 0, end = 0, step = 0;
  const bool firstOk = StrictInteger(TextOf(E_tst_beg), first) && HarmonicFirstValid(first);
  const bool endOk = StrictInteger(TextOf(E_tst_end), end) && firstOk && HarmonicEndValid(first, end);
  const bool stepOk = StrictInteger(TextOf(E_tst_step), step) && HarmonicStepValid(step);
  SetRedText(E_tst_beg, !firstOk);
  SetRedText(E_tst_end, !endOk);
  SetRedText(E_tst_step, !stepOk);
  SetRedText(E_points, !TestLengthValid(std::max(NumberOf(E_points), 2.0)));
  SetRedText(E_nois, !NoiseValid(NumberOf(E_nois)));
}

bool TSh_TestPage::TSh_TestExit() {
  toolkit::SetupRecord& s = Copy();
  CheckBounds();
  s.TestMode = static_cast<uint16_t>(std::max(RadGr_Test->ItemIndex(), 0));
  s.UseCoefficients = CB_koeff->isChecked() ? 1 : 0;
  const double points = std::max(NumberOf(E_points), 2.0);
  if (TestLengthValid(points)) s.HarmonicPeriod = static_cast<uint32_t>(points);
  s.SweepAmplitude = NumberOf(E_Amp1);
  s.SweepFrequency = NumberOf(E_frq1);
  s.SweepRate = NumberOf(E_dfrq);
  s.SineAmplitude = NumberOf(E_Amp2);
  s.SineFrequency = NumberOf(E_frq2);
  const double noise = NumberOf(E_nois);
  if (NoiseValid(noise)) s.NoiseLevel = static_cast<int32_t>(noise + 0.1);
  long long first = 0, end = 0, step = 0;
  if (!IsRedText(E_tst_beg) && StrictInteger(TextOf(E_tst_beg), first)) s.HarmonicFirst = static_cast<int16_t>(first);
  if (!IsRedText(E_tst_end) && StrictInteger(TextOf(E_tst_end), end)) s.HarmonicEnd = static_cast<int16_t>(end);
  if (!IsRedText(E_tst_step) && StrictInteger(TextOf(E_tst_step), step)) s.HarmonicStep = static_cast<int16_t>(step);
  s.PhaseSpread = static_cast<int16_t>(std::clamp(NumberOf(E_tst_fase), -100.0, 100.0));
  s.TestChannels = static_cast<uint16_t>(std::min(UpDown_tst_kan->value(), std::max<int>(s.LoadChannels, 1)));
  return true;
}

}  // namespace viewer
