#pragma once
// TMainForm: the modal processing-settings dialog. It edits a private copy of the setup record
// (SetupCopy), copies it back whole on "Сохранить" and reports through SettingsResult.
#include <QDialog>
#include <memory>
#include <string>

#include "toolkit/setup_record.h"
#include "viewer/settings_logic.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;
class QWidget;

namespace viewer {

class TMainForm : public QDialog {
  Q_OBJECT

 public:
  // Copies `live` (the program's Setup) into SetupCopy; OK copies it back into `live`.
  explicit TMainForm(toolkit::SetupRecord& live, QWidget* owner = nullptr);
  ~TMainForm() override;

  // Frame.
  QTabWidget* PageControl1;
  QWidget* TShOpen;
  QWidget* TSh_search;
  QWidget* TSh_test;
  QWidget* TSh_integral;
  QWidget* TSh_station;
  QWidget* TSh_spectrum;
  QWidget* TSh_header;
  QWidget* TSh_filter;
  QPushButton* BitBtnOk;
  QPushButton* BitBtnCancel;
  // File page.
  QLabel* P_chan;
  QSpinBox* UD_nn;
  QTableWidget* SG_chan;
  QPushButton* Button1;
  QPushButton* BitBtnOpen;
  QCheckBox* CB_coef;
  QListWidget* LB_fileinfo;

  // Set by the header editor page when the header must be written back to the file.
  int HeaderChanged = 0;
  int ResponseXScale = 0;
  int ResponseYScale = 0;

  // Handlers.
  void FormShow();
  void BitBtnOkClick();
  void BitBtnCancelClick();
  void TShOpenShow();
  void UD_nnClick();
  void TSh_SelchanExit();
  void Button1Click();
  void BitBtnOpenClick();
  void ReadChannelOrder();

  toolkit::SetupRecord& Copy() { return *copy_; }
  // The headers of the dialog's current file as stored in it: the header page edits them, and OK writes
  // them back into that file when the page saved a change.
  FileHeaders& Headers() { return headers_; }

 protected:
  void showEvent(QShowEvent* event) override;

 public slots:
  // Escape and the window's close button act as "Отменить"; in open mode, where "Отменить" is
  // disabled, as the chooser's "Выход из программы" (result 222, the program ends).
  void reject() override;

 private:
  void PageChanged(int index);
  void FillChannelGrid();
  // Reads the headers of the current file when it is not the one they were read from; a change of file
  // drops edits saved for the other file.
  void FollowCurrentFile();

  toolkit::SetupRecord& live_;
  std::unique_ptr<toolkit::SetupRecord> copy_;
  FileHeaders headers_;
  int currentPage_ = 0;
  bool filling_ = false;
  bool confirmed_ = false;
};

}  // namespace viewer
