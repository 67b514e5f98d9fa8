#pragma once
// "фильтр ": the processing filter's type, Butterworth order, band and Potter half length, with both
// amplitude responses drawn on one plot and the fixed-point listing of short low-pass Potter filters.
#include <QString>
#include <vector>

#include "viewer/filter_design.h"
#include "viewer/ui/settings_page.h"

class QLabel;
class QPushButton;

namespace platform::ui {
class PaintBox;
}

namespace viewer {

class TSh_filt_yctPage : public SettingsPageBase {
  Q_OBJECT

 public:
  explicit TSh_filt_yctPage(TMainForm& form);

  void PageShow() override { TSh_filt_yctShow(); }
  void TSh_filt_yctShow() { DrawFilterResponse(); }
  void PB1DblClick() { DrawFilterResponse(); }
  void B_Mac_xClick();
  void B_Mac_yClick();
  void Rad_Gr_filClick(int index);
  void Rad_Gr_filExit();
  // 0 when the band is acceptable, 1 when not.
  int ReadFilterControls();
  void DrawFilterResponse();
  void DesignPotterFilter(int16_t n, int16_t type, double f1, double f2, double dt);

  // Where the listing goes (empty: the current directory).
  QString ListingDir;
  // The last equation text and the Potter kernel of the last drawing.
  std::string EquationText;
  std::vector<double> LastKernel;

  RadioGroup* Rad_Gr_fil;
  RadioGroup* RG_order;
  QLineEdit* E_srez_fil_1;
  QLineEdit* E_srez_fil_2;
  QLineEdit* Ed_filt_pot_0;
  QPushButton* SB_print;
  QPushButton* B_Mac_x;
  QPushButton* B_Mac_y;
  platform::ui::PaintBox* PB1;
  QLabel* L_batt;
  QLabel* L_Pott;
  QLabel* L_redraw;

 private:
  void FillControls();
  void ShowScaleCaptions();
  ResponseFrame Frame() const;
  void WriteListing(const std::vector<double>& h, double f1, double dt);
};

}  // namespace viewer
