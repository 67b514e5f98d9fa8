#include "viewer/ui/settings_page_filter.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <cerrno>
#include <cstdio>
#include <fstream>

#include "platform/output_file.h"
#include "platform/ui/colors.h"
#include "platform/ui/message_box.h"
#include "platform/ui/paint_box.h"
#include "toolkit/format_text.h"
#include "viewer/ui/settings_dialog.h"

namespace viewer {

using platform::ui::ColorFromBgr;

namespace {

constexpr uint32_t kGrey = 0x808080;
constexpr uint32_t kBlue = 0xFF0000;
constexpr uint32_t kGreen = 0x8000;
constexpr uint32_t kRed = 0x0000FF;
constexpr uint32_t kNavy = 0x800000;

QString Q(const std::string& s) { return QString::fromStdString(s); }

void DrawPolyline(QPainter& p, const std::vector<PlotPoint>& points) {
  for (size_t i = 1; i < points.size(); ++i) {
    p.drawLine(points[i - 1].X, points[i - 1].Y, points[i].X, points[i].Y);
  }
}

}  // namespace

TSh_filt_yctPage::TSh_filt_yctPage(TMainForm& form) : SettingsPageBase(form) {
  setObjectName("TSh_filt_yct");
  Rad_Gr_fil = new RadioGroup("", {"ФНЧ    ", "Пропускающий", "ФВЧ", "Заграждающий"}, this);
  Rad_Gr_fil->setToolTip("тип фильтра");
  RG_order = new RadioGroup(" порядок ", {"2", "3", "4"}, this);
  auto* band = new QGroupBox("  полоса  ( Гц)", this);
  E_srez_fil_1 = MakeEdit(band);
  E_srez_fil_1->setToolTip("левая граница полосы");
  E_srez_fil_2 = MakeEdit(band, 8);
  E_srez_fil_2->setToolTip("правая граница полосы");
  auto* bandLayout = new QHBoxLayout(band);
  bandLayout->addWidget(E_srez_fil_1);
  bandLayout->addWidget(E_srez_fil_2);
  auto* points = new QGroupBox(" точек в ф. Поттера", this);
  Ed_filt_pot_0 = MakeEdit(points, 8);
  (new QHBoxLayout(points))->addWidget(Ed_filt_pot_0);
  SB_print = new QPushButton("print", this);
  SB_print->setCheckable(true);
  SB_print->setToolTip("показать коэффициенты");
  B_Mac_x = new QPushButton(this);
  B_Mac_x->setToolTip("масштаб X");
  B_Mac_y = new QPushButton(this);
  B_Mac_y->setToolTip("масштаб Y");
  PB1 = new platform::ui::PaintBox(this);
  PB1->setMinimumSize(420, 250);
  PB1->SetBackground(palette().color(QPalette::Button));
  L_batt = new QLabel("Баттерворт", this);
  L_batt->setStyleSheet("color: #0000ff");
  L_Pott = new QLabel("Поттер", this);
  L_Pott->setStyleSheet("color: #ff0000");
  L_redraw = new QLabel("перерисовать - DblClick", this);

  auto* left = new QVBoxLayout;
  left->addWidget(Rad_Gr_fil);
  left->addWidget(RG_order);
  left->addWidget(band);
  left->addWidget(points);
  auto* scales = new QHBoxLayout;
  scales->addWidget(B_Mac_x);
  scales->addWidget(B_Mac_y);
  scales->addWidget(SB_print);
  left->addLayout(scales);
  left->addStretch(1);
  auto* legend = new QHBoxLayout;
  legend->addWidget(L_batt);
  legend->addWidget(L_Pott);
  legend->addStretch(1);
  legend->addWidget(L_redraw);
  auto* right = new QVBoxLayout;
  right->addLayout(legend);
  right->addWidget(PB1, 1);
  auto* page = new QHBoxLayout(this);
  page->addLayout(left);
  page->addLayout(right, 1);

  connect(Rad_Gr_fil, &RadioGroup::Clicked, this, &TSh_filt_yctPage::Rad_Gr_filClick);
  connect(B_Mac_x, &QPushButton::clicked, this, &TSh_filt_yctPage::B_Mac_xClick);
  connect(B_Mac_y, &QPushButton::clicked, this, &TSh_filt_yctPage::B_Mac_yClick);
  connect(SB_print, &QPushButton::toggled, this, [this](bool down) {
    if (down) DrawFilterResponse();
  });
  connect(PB1, &platform::ui::PaintBox::MouseDoubleClicked, this, [this] { PB1DblClick(); });
  connect(PB1, &platform::ui::PaintBox::Resized, this, [this] {
    if (isVisible()) DrawFilterResponse();
  });
  FillControls();
}

void TSh_filt_yctPage::FillControls() {
  const toolkit::SetupRecord& s = Copy();
  Rad_Gr_fil->SetItemIndex(std::min<int>(s.FilterType, 3));
  RG_order->SetItemIndex(std::clamp<int>(s.ButterworthOrder, 2, 4) - 2);
  E_srez_fil_1->setText(Q(toolkit::FormatText("%.3f", s.FilterLow)));
  E_srez_fil_2->setText(Q(toolkit::FormatText("%.3f", s.FilterHigh)));
  Ed_filt_pot_0->setText(QString::number(s.PotterHalfLength));
  Rad_Gr_filExit();
  ShowScaleCaptions();
}

void TSh_filt_yctPage::ShowScaleCaptions() {
  B_Mac_x->setText(QString("X: x%1").arg(form_.ResponseXScale + 1));
  B_Mac_y->setText(QString("Y: -.%1").arg(form_.ResponseYScale));
}

void TSh_filt_yctPage::B_Mac_xClick() {
  form_.ResponseXScale = form_.ResponseXScale >= 8 ? 0 : form_.ResponseXScale + 1;
  ShowScaleCaptions();
  DrawFilterResponse();
}

void TSh_filt_yctPage::B_Mac_yClick() {
  form_.ResponseYScale = form_.ResponseYScale >= 9 ? 0 : form_.ResponseYScale + 1;
  ShowScaleCaptions();
  DrawFilterResponse();
}

void TSh_filt_yctPage::Rad_Gr_filClick(int index) { E_srez_fil_2->setEnabled(index % 2 == 1); }

void TSh_filt_yctPage::Rad_Gr_filExit() { E_srez_fil_2->setEnabled(Copy().FilterType % 2 == 1); }

int TSh_filt_yctPage::ReadFilterControls() {
  FilterInputs in;
  in.Type = std::max(Rad_Gr_fil->ItemIndex(), 0);
  in.OrderIndex = std::max(RG_order->ItemIndex(), 0);
  in.F1 = TextOf(E_srez_fil_1);
  in.F2 = TextOf(E_srez_fil_2);
  in.Points = TextOf(Ed_filt_pot_0);
  const FilterReadResult r = ReadFilterValues(Copy(), in);
  if (r.PointsNotInteger) {
    platform::ui::MessageBox("'" + in.Points + "' is not a valid integer value", "Error", platform::ui::MsgButtons::Ok,
                             platform::ui::MsgIcon::Error);
    Ed_filt_pot_0->setText(QString::number(Copy().PotterHalfLength));
  }
  if (r.Status == FilterRead::NoRate) return 2;
  return r.Status == FilterRead::BadBand ? 1 : 0;
}

ResponseFrame TSh_filt_yctPage::Frame() const {
  ResponseFrame f;
  f.Width = PB1->width();
  f.Height = PB1->height();
  f.XScale = form_.ResponseXScale;
  f.YScale = form_.ResponseYScale;
  return f;
}

void TSh_filt_yctPage::DrawFilterResponse() {
  const int r = ReadFilterControls();
  if (r == 2) {
    platform::ui::MessageBox(kNoRateText, "фильтр", platform::ui::MsgButtons::Ok, platform::ui::MsgIcon::Error);
    return;
  }
  SetRedBackground(E_srez_fil_1, r == 1);
  SetRedBackground(E_srez_fil_2, r == 1);
  if (r == 1) return;
  const toolkit::SetupRecord& s = Copy();
  const double rate = s.Header.Rate;
  const double dt = 1.0 / rate;
  PB1->SetBackground(palette().color(QPalette::Button));
  PB1->Clear();
  toolkit::Tf_batt& designer = toolkit::GlobalButterworth();
  designer.DesignButterworth(s.ButterworthOrder, s.FilterType + 1, rate, s.FilterLow, s.FilterHigh, nullptr, nullptr);
  EquationText = ButterworthEquation(designer);
  if (SB_print->isChecked()) platform::ui::MessageBox(EquationText, "Баттерворт");
  const ResponseFrame f = Frame();
  {
    QPainter p(&PB1->Image());
    const std::vector<PlotPoint> curve = ButterworthCurve(designer, dt, f);
    p.setPen(ColorFromBgr(kGrey));
    p.drawLine(5, f.B(), curve.front().X, curve.front().Y);
    p.setPen(ColorFromBgr(kBlue));
    DrawPolyline(p, curve);
  }
  Rad_Gr_filExit();
  DesignPotterFilter(static_cast<int16_t>(s.PotterHalfLength), static_cast<int16_t>(s.FilterType), s.FilterLow,
                     s.FilterHigh, dt);
  PB1->update();
}

void TSh_filt_yctPage::DesignPotterFilter(int16_t n, int16_t type, double f1, double f2, double dt) {
  const int points = std::clamp<int>(n, 1, 3000);
  LastKernel = DesignPotterKernel(points, type, f1, f2, dt);
  const std::vector<double>& h = LastKernel;
  if (Copy().FilterType == 0 && points < kListingMaxHalfLength) WriteListing(h, f1, dt);

  const ResponseFrame f = Frame();
  const int W = f.W();
  const int B = f.B();
  QPainter p(&PB1->Image());
  p.setPen(ColorFromBgr(kGreen));
  p.drawLine(5, B, W, B);
  for (int i = 0; i <= 10; ++i) {
    const int x = static_cast<int>(W * 0.1 * i + 5);
    p.drawLine(x, 5, x, B);
  }
  p.setPen(ColorFromBgr(kRed));
  DrawPolyline(p, PotterCurve(h, f));
  // The 5 % line, the lower bound, the band edges and the right-end frequency.
  const int y95 = static_cast<int>(f.Y(0.95));
  QPen dash(ColorFromBgr(kNavy));
  dash.setStyle(Qt::DashDotLine);
  p.setPen(dash);
  p.drawLine(5, y95, W + 5, y95);
  p.setPen(ColorFromBgr(kNavy));
  p.drawText(W + 7, y95 + 4, "5%");
  p.drawText(W + 7, B, QString(".%1").arg(f.YScale));
  const double xs = f.XScale + 1;
  const double top = 0.5 / dt / xs;
  auto markAt = [&](double freq) {
    if (freq <= 0.0 || freq > top) return;
    const int x = static_cast<int>(W * freq / top + 5);
    p.drawLine(x, B - 12, x, B + 3);
  };
  markAt(f1);
  if (type % 2 == 1) markAt(f2);
  p.setPen(ColorFromBgr(kBlue));
  p.drawText(W - 40, B - 4, Q(toolkit::FormatText("%.1f", top)));
}

void TSh_filt_yctPage::WriteListing(const std::vector<double>& h, double f1, double dt) {
  const PotterListing listing = BuildPotterListing(h, f1, dt);
  const QString path = ListingDir.isEmpty() ? QString(kPotterListingFile) : QDir(ListingDir).filePath(kPotterListingFile);
  // Through a fresh temporary file: a link planted at the listing's name is refused, not rewritten.
  platform::ReplacingFile out;
  platform::OutputError why;
  if (!out.Open(path.toStdString(), &why)) {
    platform::ui::ShowMessage(why.code == ELOOP ? why.text : std::string("flt.txt"));
    return;
  }
  if (!listing.Correction.empty()) platform::ui::ShowMessage(listing.Correction);
  if (std::fwrite(listing.Text.data(), 1, listing.Text.size(), out.get()) != listing.Text.size() || !out.Commit())
    platform::ui::ShowMessage("flt.txt");
}

}  // namespace viewer
