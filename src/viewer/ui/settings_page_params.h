#pragma once
// The settings dialog's parameter pages: "Поиск", "Тест", "интеграл", "с/станция" and "спектр". Each
// fills its controls from the dialog's copy of the setup record when shown and stores them when left.
#include <QString>

#include "viewer/ui/settings_page.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QSpinBox;
class QTimeEdit;

namespace viewer {

class TSh_FindPage : public SettingsPageBase {
 public:
  explicit TSh_FindPage(TMainForm& form);
  void PageShow() override { TSh_FindShow(); }
  bool PageExit() override { return TSh_FindExit(); }
  void TSh_FindShow();
  // Stores the page; false (after the "Поиск" message) when a check failed.
  bool TSh_FindExit();
  void Edit_LTA_fExit();
  void Edit_fil1Change();
  void Edit_LTA_K_STAChange();

  RadioGroup* RadGr_Find;
  QLineEdit* Edit_fil1;
  QLineEdit* Edit_fil2;
  QLineEdit* Edit_LTA;
  QLineEdit* Edit_STA;
  QLineEdit* Edit_LTA_K_STA;
  QLineEdit* Edit_LTA_f;
  QLineEdit* E_okno_CP_KB;
  QLabel* L_LTA_f;
};

class TSh_TestPage : public SettingsPageBase {
 public:
  explicit TSh_TestPage(TMainForm& form);
  void PageShow() override { TSh_TestShow(); }
  bool PageExit() override { return TSh_TestExit(); }
  void TSh_TestShow();
  // Stores every valid field; false when a field was refused (it stays red).
  bool TSh_TestExit();
  void ShowTestCaptions();
  void RadGr_TestClick(int index);
  void UpDown_tst_kanClick();
  void E_pointsChange();
  // Marks the bounded fields red while they hold a refused value.
  void CheckBounds();

  QGroupBox* GB_tst_2sin;
  QGroupBox* GB_tst_sum_sin;
  QGroupBox* GB_tst_kan;
  RadioGroup* RadGr_Test;
  QCheckBox* CB_koeff;
  QLineEdit* E_points;
  QLineEdit* E_Amp1;
  QLineEdit* E_frq1;
  QLineEdit* E_dfrq;
  QLineEdit* E_Amp2;
  QLineEdit* E_frq2;
  QLineEdit* E_nois;
  QLineEdit* E_tst_beg;
  QLineEdit* E_tst_end;
  QLineEdit* E_tst_step;
  QLineEdit* E_tst_fase;
  QSpinBox* UpDown_tst_kan;
  QLabel* L_tst0;
  QLabel* L_tst1;
  QLabel* L_tst2;
  QLabel* L_tst3;
  QLabel* L_nois;
  QLabel* L_tst4;

 private:
  bool filling_ = false;
};

class TSh_operPage : public SettingsPageBase {
 public:
  explicit TSh_operPage(TMainForm& form);
  void PageShow() override { TSh_operShow(); }
  bool PageExit() override { return TSh_operExit(); }
  void TSh_operShow();
  bool TSh_operExit();
  void Ed_filtr_3Change();

  QLabel* P_opic_Bp_Oper;
  QLineEdit* Ed_filtr_2;
  QLineEdit* Ed_filtr_3;
  QLineEdit* Ed_filtr_4;
  QLineEdit* Ed_filtr_5;
  QLineEdit* Ed_filtr_8;
  QLineEdit* Ed_filtr_9;
  QLineEdit* Ed_filtr_10;
  QLineEdit* Ed_filtr_11;

 private:
  bool filling_ = false;
};

class TS_bufPage : public SettingsPageBase {
 public:
  explicit TS_bufPage(TMainForm& form);
  void PageShow() override { TS_bufShow(); }
  bool PageExit() override { return TS_bufExit(); }
  void TS_bufShow();
  bool TS_bufExit();
  void UpDown_KolHClick();
  void UpD_ekranClick();
  void UD_cursorClick();
  void CB_nameChange();
  void DTP_dayExit();
  void B_time_YCTClick();

  QCheckBox* CB_COB_KAH;
  QComboBox* CB_fon;
  QCheckBox* CB_filt;
  RadioGroup* RG_interp;
  QWidget* P_do_V_cursor;
  QLabel* L_cursor;
  QSpinBox* UD_cursor;
  QComboBox* CB_name;
  QLabel* L_ekran;
  QSpinBox* UpD_ekran;
  QDateEdit* DTP_day;
  QTimeEdit* DTP_min;
  QSpinBox* UpDownKolH;
  QLabel* L_KolH;
  QPushButton* B_time_YCT;

 private:
  void FillControls();
  bool filling_ = false;
};

class TS_cpektrPage : public SettingsPageBase {
 public:
  explicit TS_cpektrPage(TMainForm& form);
  void PageShow() override { TS_cpektrShow(); }
  bool PageExit() override {
    E_BHighExit();
    return true;
  }
  void TS_cpektrShow();
  void E_BHighExit();

  QLineEdit* E_BLow;
  QLineEdit* E_BHigh;
  QLineEdit* E_pLow;
  QLineEdit* E_pHigh;
  QLabel* Label19;
};

}  // namespace viewer
