#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/ui/message_box.h"
#include "toolkit/format_text.h"
#include "viewer/filter_design.h"
#include "viewer/settings_pages.h"
#include "viewer/ui/settings_dialog.h"
#include "viewer/ui/settings_page_params.h"

namespace viewer {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

constexpr int kMinDerivativePoints = 20;
constexpr int kMaxDerivativePoints = 3000;  // the Potter filter's longest kernel

}  // namespace

TSh_operPage::TSh_operPage(TMainForm& form) : SettingsPageBase(form) {
  setObjectName("TSh_oper");
  P_opic_Bp_Oper = new QLabel(this);
  P_opic_Bp_Oper->setFrameShape(QFrame::Panel);
  Ed_filtr_2 = MakeEdit(this);
  Ed_filtr_3 = MakeEdit(this);
  Ed_filtr_3->setToolTip("показатель экспоненты");
  Ed_filtr_4 = MakeEdit(this);
  Ed_filtr_5 = MakeEdit(this);
  Ed_filtr_8 = MakeEdit(this);
  Ed_filtr_9 = MakeEdit(this);
  Ed_filtr_10 = MakeEdit(this);
  Ed_filtr_11 = MakeEdit(this);

  auto* time = new QGroupBox("временной метод", this);
  auto* tg = new QGridLayout(time);
  tg->addWidget(new QLabel("  фильтр для интегрирования :      ВЧ   (Гц)           ", time), 0, 0);
  tg->addWidget(Ed_filtr_2, 0, 1);
  tg->addWidget(new QLabel("  ;     НЧ : ", time), 0, 2);
  tg->addWidget(Ed_filtr_3, 0, 3);
  tg->addWidget(new QLabel(" НЧ фильтр для дифференцирования  (Гц) ", time), 1, 0);
  tg->addWidget(Ed_filtr_5, 1, 1);
  tg->addWidget(new QLabel(";   точек", time), 1, 2);
  tg->addWidget(Ed_filtr_4, 1, 3);
  auto* spectral = new QGroupBox("спектральный метод", this);
  auto* sg = new QGridLayout(spectral);
  sg->addWidget(new QLabel(" прямое и обратное  БПФ с исключением гармоник вне полосы", spectral), 0, 0, 1, 4);
  sg->addWidget(new QLabel(" фильтр для интегрирования  от  (Гц)    ", spectral), 1, 0);
  sg->addWidget(Ed_filtr_8, 1, 1);
  sg->addWidget(new QLabel("; до  (Гц)", spectral), 1, 2);
  sg->addWidget(Ed_filtr_9, 1, 3);
  sg->addWidget(new QLabel(" фильтр для дифференцирования  от  (Гц ) ", spectral), 2, 0);
  sg->addWidget(Ed_filtr_10, 2, 1);
  sg->addWidget(new QLabel("; до  (Гц)", spectral), 2, 2);
  sg->addWidget(Ed_filtr_11, 2, 3);
  auto* page = new QVBoxLayout(this);
  page->addWidget(P_opic_Bp_Oper);
  page->addWidget(time);
  page->addWidget(spectral);
  page->addStretch(1);

  connect(Ed_filtr_3, &QLineEdit::textEdited, this, &TSh_operPage::Ed_filtr_3Change);
  connect(Ed_filtr_4, &QLineEdit::textEdited, this, [this] {
    long long n = 0;
    SetRedText(Ed_filtr_4, !StrictInteger(TextOf(Ed_filtr_4), n) || n > kMaxDerivativePoints);
  });
  TSh_operShow();
}

void TSh_operPage::TSh_operShow() {
  const toolkit::SetupRecord& s = Copy();
  filling_ = true;
  auto show = [](QLineEdit* e, double v) { e->setText(Q(toolkit::FormatText("%.4f", v))); };
  show(Ed_filtr_2, s.IntegralCorner);
  show(Ed_filtr_3, s.IntegralDecay);
  Ed_filtr_4->setText(Q(toolkit::FormatText("%.0f", s.DerivativePotterPoints + 0.1)));
  show(Ed_filtr_5, s.DerivativeCutoff);
  show(Ed_filtr_8, s.FreqIntegrationLow);
  show(Ed_filtr_9, s.FreqIntegrationHigh);
  show(Ed_filtr_10, s.FreqDifferentiationLow);
  show(Ed_filtr_11, s.FreqDifferentiationHigh);
  P_opic_Bp_Oper->setText(Q(IntegralExponentText(s.IntegralDecay)));
  for (QLineEdit* e : {Ed_filtr_2, Ed_filtr_3, Ed_filtr_4, Ed_filtr_5, Ed_filtr_8, Ed_filtr_9, Ed_filtr_10, Ed_filtr_11})
    SetRedText(e, false);
  filling_ = false;
}

void TSh_operPage::Ed_filtr_3Change() {
  if (filling_) return;
  Copy().IntegralDecay = NumberOf(Ed_filtr_3);
  P_opic_Bp_Oper->setText(Q(IntegralExponentText(Copy().IntegralDecay)));
}

bool TSh_operPage::TSh_operExit() {
  toolkit::SetupRecord& s = Copy();
  // A number that is not finite or beyond what can be typed is refused: its edit turns red, the stored
  // value stays and the page is not left.
  std::string refused;
  const auto read = [&refused](QLineEdit* e, double& field) {
    std::string message;
    const bool ok = ReadIntegralNumber(TextOf(e), field, message);
    SetRedText(e, !ok);
    if (!ok && refused.empty()) refused = message;
  };
  read(Ed_filtr_2, s.IntegralCorner);
  read(Ed_filtr_3, s.IntegralDecay);
  long long n = 0;
  const bool pointsOk = StrictInteger(TextOf(Ed_filtr_4), n) && n <= kMaxDerivativePoints;
  if (pointsOk) s.DerivativePotterPoints = static_cast<double>(std::max<long long>(n, kMinDerivativePoints));
  SetRedText(Ed_filtr_4, !pointsOk);
  read(Ed_filtr_5, s.DerivativeCutoff);
  read(Ed_filtr_8, s.FreqIntegrationLow);
  read(Ed_filtr_9, s.FreqIntegrationHigh);
  read(Ed_filtr_10, s.FreqDifferentiationLow);
  read(Ed_filtr_11, s.FreqDifferentiationHigh);
  RaiseIntegralFloor(s);
  if (refused.empty()) return true;
  platform::ui::ShowMessage(refused);
  return false;
}

}  // namespace viewer
