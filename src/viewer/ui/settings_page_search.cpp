#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "platform/ui/message_box.h"
#include "toolkit/format_text.h"
#include "viewer/settings_pages.h"
#include "viewer/ui/settings_dialog.h"
#include "viewer/ui/settings_page_params.h"

namespace viewer {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

TSh_FindPage::TSh_FindPage(TMainForm& form) : SettingsPageBase(form) {
  setObjectName("TSh_Find");
  RadGr_Find = new RadioGroup("Тип поиска", {"STA / LTA", "отношение спектр. плоскостей"}, this);
  Edit_fil1 = MakeEdit(this);
  Edit_fil1->setToolTip("левая граница полосы");
  Edit_fil2 = MakeEdit(this);
  Edit_fil2->setToolTip("правая граница полосы");
  Edit_LTA = MakeEdit(this, 5);
  Edit_STA = MakeEdit(this, 5);
  Edit_LTA_K_STA = MakeEdit(this, 5);
  Edit_LTA_f = MakeEdit(this);
  Edit_LTA_f->setToolTip("длина привoдится к :  dt  x  2**n");
  E_okno_CP_KB = MakeEdit(this, 5);
  L_LTA_f = new QLabel(this);

  auto* band = new QHBoxLayout;
  band->addWidget(new QLabel(" Полоса от ( Гц)", this));
  band->addWidget(Edit_fil1);
  band->addWidget(new QLabel("до (Гц)", this));
  band->addWidget(Edit_fil2);
  auto* fields = new QFormLayout;
  fields->addRow(" Длина участка LTA сек.", Edit_LTA);
  fields->addRow(" Длина участка STA сек.", Edit_STA);
  fields->addRow(" масштаб LTA/STA", Edit_LTA_K_STA);
  fields->addRow("Длина участка (сек)", Edit_LTA_f);
  fields->addRow("", L_LTA_f);
  fields->addRow(" окно ср.кв.амплитуды (минут)", E_okno_CP_KB);
  auto* page = new QVBoxLayout(this);
  page->addWidget(RadGr_Find);
  page->addLayout(band);
  page->addLayout(fields);
  page->addStretch(1);

  connect(Edit_LTA_f, &QLineEdit::editingFinished, this, &TSh_FindPage::Edit_LTA_fExit);
  connect(Edit_fil1, &QLineEdit::textEdited, this, &TSh_FindPage::Edit_fil1Change);
  connect(Edit_fil2, &QLineEdit::textEdited, this, &TSh_FindPage::Edit_fil1Change);
  connect(Edit_LTA_K_STA, &QLineEdit::textEdited, this, &TSh_FindPage::Edit_LTA_K_STAChange);
  connect(E_okno_CP_KB, &QLineEdit::textEdited, this,
          [this] { SetRedText(E_okno_CP_KB, !RmsWindowValid(NumberOf(E_okno_CP_KB))); });
  TSh_FindShow();
}

void TSh_FindPage::TSh_FindShow() {
  const toolkit::SetupRecord& s = Copy();
  RadGr_Find->SetItemIndex(s.SearchMethod);
  Edit_fil1->setText(Q(toolkit::FormatText("%.4f", s.SearchBandLow)));
  Edit_fil2->setText(Q(toolkit::FormatText("%.4f", s.SearchBandHigh)));
  Edit_LTA->setText(Q(toolkit::FormatText("%.1f", s.LtaWindow)));
  Edit_STA->setText(Q(toolkit::FormatText("%.1f", s.StaWindow)));
  Edit_LTA_K_STA->setText(Q(toolkit::FormatText("%.1f", s.StaLtaScale)));
  Edit_LTA_f->setText(Q(toolkit::FormatText("%.4f", s.SpectralChangeWindow)));
  E_okno_CP_KB->setText(QString::number(s.HistogramRmsMinutes));
  SetRedText(E_okno_CP_KB, false);
  Edit_fil1Change();
  Edit_LTA_K_STAChange();
  L_LTA_f->setText(Q(SpectralWindowText(SpectralWindowFor(s.SpectralChangeWindow, s.Dt, s.SearchBandLow, s.SearchBandHigh))));
}

void TSh_FindPage::Edit_LTA_fExit() {
  toolkit::SetupRecord& s = Copy();
  const double w = NumberOf(Edit_LTA_f);
  const SpectralWindow window = SpectralWindowFor(w, s.Dt, NumberOf(Edit_fil1), NumberOf(Edit_fil2));
  s.SpectralChangeWindow = window.Valid ? window.Seconds : w;
  Edit_LTA_f->setText(Q(toolkit::FormatText("%.4f", s.SpectralChangeWindow)));
  L_LTA_f->setText(Q(SpectralWindowText(window)));
}

void TSh_FindPage::Edit_fil1Change() {
  const BandMarks m = SearchBandMarks(NumberOf(Edit_fil1), NumberOf(Edit_fil2), Copy().Dt);
  SetRedText(Edit_fil1, m.LowRed);
  SetRedText(Edit_fil2, m.HighRed);
}

void TSh_FindPage::Edit_LTA_K_STAChange() { SetRedText(Edit_LTA_K_STA, NumberOf(Edit_LTA_K_STA) < 0.01); }

bool TSh_FindPage::TSh_FindExit() {
  SearchValues v;
  v.Method = std::max(RadGr_Find->ItemIndex(), 0);
  v.Window = NumberOf(Edit_LTA_f);
  v.RmsMinutes = NumberOf(E_okno_CP_KB);
  v.Low = NumberOf(Edit_fil1);
  v.High = NumberOf(Edit_fil2);
  v.Lta = NumberOf(Edit_LTA);
  v.Sta = NumberOf(Edit_STA);
  v.Scale = NumberOf(Edit_LTA_K_STA);
  const std::string message = StoreSearchValues(Copy(), v);
  Edit_LTA_fExit();
  if (message.empty()) return true;
  platform::ui::MessageBox(message, kSearchCaption, platform::ui::MsgButtons::Ok, platform::ui::MsgIcon::Error);
  return false;
}

}  // namespace viewer
