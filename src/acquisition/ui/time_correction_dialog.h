#pragma once
// TF_corr: the modal time-correction check before a download. It shows the synchronisation points around
// the first chosen file, the drift between the two used, the corrected start and the verdict; "+" and
// "-" of both keyboards move the two points. "O'k" lets the download go on, "Cansel" or closing the
// window stops it.
#include <QDialog>

#include "acquisition/time_correction.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace acquisition {

class TF_corr : public QDialog {
  Q_OBJECT

 public:
  explicit TF_corr(TimeCorrectionInput input, QWidget* owner = nullptr);

  QListWidget* LB;
  QLineEdit* E_n;
  QLineEdit* E_k;
  QLineEdit* E_dt_n;
  QLineEdit* E_dt_k;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;
  QLabel* Label8;
  QLabel* Label9;
  QLabel* Label10;
  QPushButton* Button1;  // "O'k"
  QPushButton* Button2;  // "Cansel"

  void FormShow();
  // The form's key preview; true when the key moved a point.
  bool FormKeyDown(int keyCode);
  void Button1Click();
  void Button2Click();

  const TimeCorrection& Result() const { return c_; }
  // True unless "O'k" closed the window.
  bool Cancelled() const { return cancel_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ShowPoints();

  TimeCorrectionInput in_;
  TimeCorrection c_;
  bool cancel_ = true;
};

}  // namespace acquisition
