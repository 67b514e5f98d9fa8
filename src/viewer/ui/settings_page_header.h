#pragma once
// "Заголовок": edits the current recording's main and channel headers in the dialog's copy of the setup
// record; the file itself is rewritten when the dialog is confirmed.
#include <QDate>
#include <QTime>

#include "viewer/header_editor.h"
#include "viewer/ui/settings_page.h"

class QDateEdit;
class QLabel;
class QPushButton;
class QTableWidget;
class QTimeEdit;

namespace viewer {

class TSh_ZagPage : public SettingsPageBase {
  Q_OBJECT

 public:
  explicit TSh_ZagPage(TMainForm& form);

  void PageShow() override { TSh_ZagShow(); }
  void TSh_ZagShow();
  void BB_zagClick();

  QLabel* L_title;
  QLabel* L_warning;
  QDateEdit* DaTmP_d;
  QTimeEdit* DaTmP_t;
  QLineEdit* E_msec;
  QLineEdit* E_Freq;
  QLineEdit* Ed33;
  QLineEdit* Ed44;
  QLineEdit* Ed_stat;
  QTableWidget* SG1;
  QLabel* Label1;
  QPushButton* BB_zag;

 private:
  HeaderTexts Edited() const;
  HeaderTexts shown_;
  // What the pickers took when the page was filled: a start they cannot show (before 1980) comes back
  // exactly as stored while the user does not touch them.
  QDate pickedDate_;
  QTime pickedTime_;
};

}  // namespace viewer
