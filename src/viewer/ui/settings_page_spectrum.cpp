#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "toolkit/format_text.h"
#include "viewer/settings_pages.h"
#include "viewer/ui/settings_dialog.h"
#include "viewer/ui/settings_page_params.h"

namespace viewer {

TS_cpektrPage::TS_cpektrPage(TMainForm& form) : SettingsPageBase(form) {
  setObjectName("TS_cpektr");
  E_BLow = MakeEdit(this);
  E_BHigh = MakeEdit(this);
  E_pLow = MakeEdit(this);
  E_pHigh = MakeEdit(this);
  Label19 = new QLabel(this);
  auto* harmful = new QGroupBox("  вредная полоса", this);
  auto* hl = new QHBoxLayout(harmful);
  hl->addWidget(E_BLow);
  hl->addWidget(E_BHigh);
  hl->addWidget(Label19);
  auto* useful = new QGroupBox("  полезная полоса", this);
  auto* ul = new QHBoxLayout(useful);
  ul->addWidget(E_pLow);
  ul->addWidget(E_pHigh);
  auto* page = new QVBoxLayout(this);
  page->addWidget(harmful);
  page->addWidget(useful);
  page->addStretch(1);
  for (QLineEdit* e : {E_BLow, E_BHigh, E_pLow, E_pHigh}) {
    connect(e, &QLineEdit::editingFinished, this, &TS_cpektrPage::E_BHighExit);
  }
  TS_cpektrShow();
}

void TS_cpektrPage::TS_cpektrShow() {
  const toolkit::SetupRecord& s = Copy();
  auto show = [](QLineEdit* e, float v) {
    e->setText(QString::fromStdString(toolkit::FormatText("%.5f", static_cast<double>(v))));
  };
  show(E_BLow, s.HarmfulBandLow);
  show(E_BHigh, s.HarmfulBandHigh);
  show(E_pLow, s.UsefulBandLow);
  show(E_pHigh, s.UsefulBandHigh);
  Label19->setText(QString::fromStdString(HarmfulBandText(s.HarmfulBandLow, s.HarmfulBandHigh)));
}

void TS_cpektrPage::E_BHighExit() {
  toolkit::SetupRecord& s = Copy();
  s.HarmfulBandLow = static_cast<float>(NumberOf(E_BLow));
  s.HarmfulBandHigh = static_cast<float>(NumberOf(E_BHigh));
  s.UsefulBandLow = static_cast<float>(NumberOf(E_pLow));
  s.UsefulBandHigh = static_cast<float>(NumberOf(E_pHigh));
  TS_cpektrShow();
}

}  // namespace viewer
