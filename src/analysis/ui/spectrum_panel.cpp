// The parameter panel of the spectrum window: building it, filling it from the setup record and storing
// it back with the bounds of each field.
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>
#include <cmath>

#include "analysis/spectrum_limits.h"
#include "analysis/spectrum_parameters.h"
#include "analysis/ui/radio_group.h"
#include "analysis/ui/spectrum_form.h"
#include "platform/ui/message_box.h"
#include "toolkit/format_text.h"
#include "toolkit/parse_number.h"

namespace analysis {

namespace {
double Number(const QLineEdit* e) { return toolkit::ParseNumber(e->text().toStdString()); }
QString Fixed(const char* format, double v) { return QString::fromStdString(toolkit::FormatText(format, v)); }
}  // namespace

void TForm_spek::BuildParameterPanel() {
  P_yct_sp = new QFrame(Panel_PBs);
  P_yct_sp->setObjectName("P_yct_sp");
  P_yct_sp->setFrameShape(QFrame::Panel);
  P_yct_sp->setAutoFillBackground(true);
  P_yct_sp->setStyleSheet("QFrame#P_yct_sp { background-color: palette(window); }");
  auto* grid = new QGridLayout(P_yct_sp);

  auto label = [this](const char* text) { return new QLabel(text, P_yct_sp); };
  E_time_CBAH = new QLineEdit(P_yct_sp);
  RG_F = new RadioGroup("длина преобразования в точках", {"БПФ", "Фурье", "меж курсоров"}, P_yct_sp);
  UD_f_nf = new QSpinBox(P_yct_sp);
  UD_f_nf->setRange(5, 17);  // forced into 6 .. 16 when read
  E_np = new QLineEdit(P_yct_sp);
  Rad_Gr_sk = new RadioGroup(" ш к а л а ", {"линейная", "Log", "Log 16р", "Log 20р", "Log 24р"}, P_yct_sp);
  Rad_Gr_ok = new RadioGroup(" Т и п   о к н а ", {"пр-угольное", "Ханна", "Хемминга", "Блэкмана"}, P_yct_sp);
  CB_spektr_plotn = new QCheckBox("B F(f,t)   спектр. плотн.", P_yct_sp);
  H_i_KOGER = new QPushButton("Только перед. функция", P_yct_sp);
  CB_fase = new QCheckBox("фазовый спектр", P_yct_sp);
  Ed_f_cm = new QLineEdit(P_yct_sp);
  Ed_f_N1 = new QLineEdit(P_yct_sp);
  Ed_f_N1->setEnabled(false);
  Ed_f_N2 = new QLineEdit(P_yct_sp);
  E_spek_min = new QLineEdit(P_yct_sp);
  L_K_g = new QLabel(P_yct_sp);
  L_garm = new QLabel("Гармоник", P_yct_sp);
  E_ACH = new QLineEdit(P_yct_sp);
  B_O_key = new QPushButton("O' k", P_yct_sp);
  Button1 = new QPushButton("Esc", P_yct_sp);

  GroupBox2 = new QGroupBox(" С В А Н ", P_yct_sp);
  GroupBox2->setAutoFillBackground(true);
  auto* swan = new QGridLayout(GroupBox2);
  RGSwan = new RadioGroup(" ф и л ь т р ",
                          {" exp { - g * [ ( w - W ) / w ] ^2 }", " exp { - g * [ ( w - W ) ^2 ] / w }",
                           " W * W / [ ( w - W) ^ 2 + i*Wg ]"},
                          GroupBox2);
  CB2 = new QCheckBox("подробно", GroupBox2);
  CB3 = new QCheckBox("нормировать", GroupBox2);
  Edit2 = new QLineEdit(GroupBox2);
  Edit3 = new QLineEdit(GroupBox2);
  E_g_CBAH = new QLineEdit(GroupBox2);
  Edit5 = new QLineEdit(GroupBox2);
  swan->addWidget(RGSwan, 0, 0, 1, 2);
  swan->addWidget(CB2, 1, 0);
  swan->addWidget(CB3, 1, 1);
  swan->addWidget(new QLabel("Частота нижняя (Hz):", GroupBox2), 2, 0);
  swan->addWidget(Edit2, 2, 1);
  swan->addWidget(new QLabel("Частота верхняя (Hz):", GroupBox2), 3, 0);
  swan->addWidget(Edit3, 3, 1);
  swan->addWidget(new QLabel("Затухание:            g =", GroupBox2), 4, 0);
  swan->addWidget(E_g_CBAH, 4, 1);
  swan->addWidget(new QLabel("Фильтр  (в  точкаx):", GroupBox2), 5, 0);
  swan->addWidget(Edit5, 5, 1);

  grid->addWidget(label("задержка рисунка (ms)"), 0, 0);
  grid->addWidget(E_time_CBAH, 0, 1);
  grid->addWidget(RG_F, 1, 0, 3, 1);
  grid->addWidget(UD_f_nf, 1, 1);
  grid->addWidget(E_np, 2, 1);
  grid->addWidget(L_K_g, 3, 1);
  grid->addWidget(Rad_Gr_sk, 4, 0, 2, 1);
  grid->addWidget(Rad_Gr_ok, 4, 1, 2, 1);
  grid->addWidget(CB_spektr_plotn, 6, 0);
  grid->addWidget(CB_fase, 6, 1);
  grid->addWidget(H_i_KOGER, 7, 0);
  grid->addWidget(label("Смещение (точек)"), 8, 0);
  grid->addWidget(Ed_f_cm, 8, 1);
  grid->addWidget(L_garm, 9, 0);
  grid->addWidget(Ed_f_N1, 9, 1);
  grid->addWidget(Ed_f_N2, 10, 1);
  grid->addWidget(label("минимум графика"), 11, 0);
  grid->addWidget(E_spek_min, 11, 1);
  grid->addWidget(label("Max. период для АЧХ "), 12, 0);
  grid->addWidget(E_ACH, 12, 1);
  grid->addWidget(GroupBox2, 0, 2, 12, 1);
  grid->addWidget(B_O_key, 13, 0);
  grid->addWidget(Button1, 13, 1);
  P_yct_sp->adjustSize();
  P_yct_sp->hide();

  connect(B_O_key, &QPushButton::clicked, this, &TForm_spek::cmenaClick);
  connect(Button1, &QPushButton::clicked, this, &TForm_spek::Button1Click);
  connect(H_i_KOGER, &QPushButton::clicked, this, &TForm_spek::H_i_KOGERClick);
  connect(RG_F->Group(), &QButtonGroup::idClicked, this, [this] { UpdateTransformLength(); });
  connect(Ed_f_cm, &QLineEdit::textChanged, this, [this] { UpdateTransformLength(); });
  connect(UD_f_nf, &QSpinBox::valueChanged, this, [this] { UpdateTransformLength(); });
  connect(E_np, &QLineEdit::editingFinished, this, [this] {
    if (Number(E_np) > kMaxFourierLength) E_np->setText("32768");
    UpdateTransformLength();
  });
}

void TForm_spek::cmenaClick() {
  LB_spek->hide();
  if (P_yct_sp->isHidden())
    ShowSpectrumParameters();
  else
    ApplySpectrumParameters();
  CBAH1->setEnabled(S().FftLength >= 512);
}

void TForm_spek::Button1Click() {
  P_yct_sp->hide();
  EnableSpectrumMenus(1);
}

void TForm_spek::ShowSpectrumParameters() {
  toolkit::SetupRecord& s = S();
  E_ACH->setText(Fixed("%.1f", s.ResponsePeriod));
  P_yct_sp->show();
  P_yct_sp->raise();
  s.CursorSpanLength = CursorSpan(s);
  int position = 0;
  for (uint32_t n = s.FftLength; n >= 2; n /= 2) ++position;
  position = std::clamp(position, 6, 16);
  {
    const QSignalBlocker block(UD_f_nf);
    UD_f_nf->setValue(position);
  }
  RG_F->SetItemText(0, "БПФ " + QString::number(1u << position));
  RG_F->SetItemText(1, "Фурье");
  RG_F->SetItemText(2, "от курсора " + QString::number(s.CursorSpanLength));
  E_np->setText(QString::number(s.FourierLength));
  RG_F->SetItemIndex(s.SpectrumMode);
  {
    const QSignalBlocker block(Ed_f_cm);
    Ed_f_cm->setText(QString::number(s.SpectrumShift));
  }
  UpdateTransformLength();
  CB_spektr_plotn->setChecked(s.SpectralDensity != 0);
  E_spek_min->setText(Fixed("%.8f", s.LogFloor));
  Rad_Gr_ok->SetItemIndex(s.WindowType);
  Rad_Gr_sk->SetItemIndex(s.SpectrumScale);
  Ed_f_N2->setText(QString::number(s.SpectrumLastBin));
  Ed_f_N1->setText(QString::number(s.SpectrumFirstBin));
  Edit2->setText(Fixed("%.5f", s.SwanLow));
  Edit3->setText(Fixed("%.5f", s.SwanHigh));
  E_g_CBAH->setText(Fixed("%.2f", s.SwanDamping));
  Edit5->setText(QString::number(s.SwanSmoothPoints));
  E_time_CBAH->setText(QString::number(s.DrawDelay));
  RGSwan->SetItemIndex(s.SwanFilter);
  CB3->setChecked(s.SwanNormalise != 0);
  CB2->setChecked(s.SwanDetailed != 0);
  if (s.SpectrumScale != 0 && Manual.ManualMin < 1e-13f) Manual.ManualMin = 1e-13f;
}

void TForm_spek::ApplySpectrumParameters() {
  toolkit::SetupRecord& s = S();
  P_yct_sp->hide();
  s.ResponsePeriod = Number(E_ACH) + 1e-12;
  if (RG_F->ItemIndex() >= 0) s.SpectrumMode = static_cast<uint16_t>(RG_F->ItemIndex());
  s.FftLength = 1u << std::clamp(UD_f_nf->value(), 6, 16);
  s.FourierLength = FourierLengthOnOk(Number(E_np));
  if (Rad_Gr_ok->ItemIndex() >= 0) s.WindowType = static_cast<uint16_t>(Rad_Gr_ok->ItemIndex());
  if (Rad_Gr_sk->ItemIndex() >= 0) s.SpectrumScale = static_cast<uint16_t>(Rad_Gr_sk->ItemIndex());
  s.SpectrumShift = ShiftOnOk(Number(Ed_f_cm));
  s.SpectrumLastBin = static_cast<uint16_t>(std::clamp(Number(Ed_f_N2), 0.0, 65535.0));
  s.SpectrumFirstBin = static_cast<uint16_t>(std::clamp(Number(Ed_f_N1), 0.0, 65535.0));
  s.LogFloor = std::max(Number(E_spek_min), 1e-13);
  s.SpectralDensity = CB_spektr_plotn->isChecked() ? 1 : 0;
  ApplyBinBoundsOnOk(s);
  if (RGSwan->ItemIndex() >= 0) s.SwanFilter = RGSwan->ItemIndex();
  s.SwanDetailed = CB2->isChecked() ? 1 : 0;
  s.SwanNormalise = CB3->isChecked() ? 1 : 0;
  const SwanBand band = SwanBandOnOk(Number(Edit2), Number(Edit3), s.Dt);
  s.SwanLow = band.low;
  s.SwanHigh = band.high;
  s.SwanDamping = static_cast<float>(std::max(Number(E_g_CBAH), 1.0));
  s.SwanSmoothPoints = static_cast<int16_t>(std::clamp(Number(Edit5), 1.0, 4.0));
  const double delay = Number(E_time_CBAH);
  s.DrawDelay = static_cast<int16_t>(delay < 1.0 ? 0.0 : std::min(delay, 32767.0));
  EnableSpectrumMenus(1);
  if (!band.message.empty()) platform::ui::ShowMessage(band.message);
}

void TForm_spek::UpdateTransformLength() {
  const int position = std::clamp(UD_f_nf->value(), 6, 16);
  if (position != UD_f_nf->value()) {
    const QSignalBlocker block(UD_f_nf);
    UD_f_nf->setValue(position);
  }
  const int n = 1 << position;
  RG_F->SetItemText(0, "БПФ " + QString::number(n));
  E_np->setText(QString::number(static_cast<qint64>(Number(E_np))));
  GroupBox2->setStyleSheet(n < 512 ? "QGroupBox { background-color: black; }" : "");
  // Only the upper bound is written back while typing; "O' k" and the computations apply the lower one.
  const uint16_t shift = ShiftOnOk(Number(Ed_f_cm));
  if (Number(Ed_f_cm) > 65535.0) {
    const QSignalBlocker block(Ed_f_cm);
    Ed_f_cm->setText(QString::number(shift));
  }
  const IntervalLabel label = IntervalCountLabel(RG_F->ItemIndex(), S().Nn, S().Nk, n, shift);
  L_K_g->setText(QString::fromStdString(label.text));
  L_K_g->setStyleSheet(label.red ? "color: red;" : "");
  E_time_CBAH->setStyleSheet(Number(E_time_CBAH) > 1.0 ? "color: red;" : "color: cyan;");
}

}  // namespace analysis
