#pragma once
// TForm1, the recorder-control program's modal setup editor: the live setup block on six pages
// (channels, transmission, general, calendar, converter with the zero calibration, filter), its write
// to the recorder, the files "unit_setup" and "unit_kalend", the calendar check and the drawing of the
// download high-pass filter.
#include <QDialog>
#include <QDateTime>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "recorder/calendar_grid.h"
#include "recorder/setup_block.h"
#include "recorder/setup_channel_grid.h"
#include "recorder/shutdown_path.h"
#include "recorder/zero_calibration.h"
#include "toolkit/fil_batt.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStatusBar;
class QTabWidget;
class QTableWidget;
class QTimeEdit;
class QTimer;
class QToolButton;

namespace platform::ui {
class PaintBox;
}

namespace recorder {

class UnitLink;
class read_ang;

class TForm1 : public QDialog {
  Q_OBJECT

 public:
  // Edits `setup` (the live block) over `link`; `channelCount` is the main window's count of recorded
  // channels, which the editor keeps up to date.
  TForm1(YSTANOV& setup, UnitLink& link, uint8_t& channelCount, QWidget* parent = nullptr);
  ~TForm1() override;

  // ---- components ----
  QTabWidget* PageControl1;
  QWidget* TSh_param;
  QWidget* TabSh_Event;
  QWidget* TSGenral;
  QWidget* TS_calen;
  QWidget* TS_acp;
  QWidget* TS_filtr;
  QFrame* P_com;
  QPushButton* BitBtnOK;
  QPushButton* BitBtnCancel;
  QPushButton* BB_w_file;
  QPushButton* BitBtn1;
  QStatusBar* StatusBar1;
  QProgressBar* P_Bar;
  QTimer* Timer1;
  // Параметры
  QTableWidget* SG1;
  QLineEdit* E_name;
  QListWidget* LB;
  // Трансляция
  QLabel* P_filter;
  QSpinBox* UD_filter_kr;
  QLabel* P_X_MAC;
  QSpinBox* UD_X_MAC;
  QSpinBox* UD_ckkan;
  QLabel* L_ckkan;
  QSpinBox* UD_Ok_kr;
  QLabel* L_Ok_kr;
  // Главная
  QComboBox* CB_Ru;
  QComboBox* CB_tip_gps;
  QComboBox* CB_gps;
  QComboBox* ComB_TEST;
  QComboBox* CB_HF;
  QComboBox* CB_dec;
  QComboBox* ComB_Low__FilterWrite;
  QComboBox* CB_kan;
  QLabel* P_dl;
  QSpinBox* UD_dl;
  QPushButton* B_adr;
  QFrame* P_adr;
  QLabel* P_fat;
  QSpinBox* UD_fat;
  QLabel* P_dat;
  QSpinBox* UD_dat;
  QLabel* P_Gps;
  QSpinBox* UD_GPS;
  QCheckBox* CB_gener;
  QGroupBox* RG_Name;
  QRadioButton* RG_Name_yes;
  QRadioButton* RG_Name_no;
  QGroupBox* RG_ACP_OFF;
  QRadioButton* RG_ACP_OFF_yes;
  QRadioButton* RG_ACP_OFF_no;
  QPushButton* B_set_setup;
  QPushButton* B_kal_setup;
  // Календарь
  QTableWidget* SG_kal;
  QFrame* P_time;
  QDateEdit* DateTimePd;
  QTimeEdit* DateTimePt;
  QPushButton* B_oK_Time;
  QPushButton* B_prow;
  QPushButton* B_kal;
  QLabel* L_3AH;
  QLabel* L_pg_flash;
  QLabel* L_mem;
  // АЦП
  QToolButton* SB_Ka;
  QPushButton* BB_Cbpoc;
  QListWidget* LB_read;
  QLineEdit* E_Lat;
  QLineEdit* E_Lon;
  QPushButton* BB_Savekoor;
  QLabel* L_Latt;
  QLabel* L_Long;
  QLabel* Label2;
  // Фильтр
  platform::ui::PaintBox* PB;
  QLabel* Label3;

  // ---- handlers ----
  void FormShow();
  void SetupToControls();
  // The channel grid stored into the block; false (with the message shown) when refused.
  bool SG1Exit();
  void SG1MouseDown(Qt::MouseButton button, int row, int column);
  void SG1SetEditText(int row, int column);
  void LBClick();
  void E_nameKeyDown();
  bool E_LatExit(QLineEdit* edit);
  void BB_SavekoorClick();
  void CB_decClick();
  void CB_HFClick();
  void ComB_Low__FilterWriteClick();
  void CB_gpsClick();
  void ComB_TESTChange();
  void CB_RuClick();
  void CB_generClick();
  void RG_NameClick();
  void RG_ACP_OFFClick();
  void UD_dlClick();
  void UD_fatClick();
  void UD_datClick();
  void UD_GPSClick();
  void UD_X_MACClick();
  void UD_filter_krClick();
  void UD_ckkanClick();
  void UD_Ok_krClick();
  void B_adrClick();
  void B_set_setupClick(bool wholeBlock);
  void BB_w_fileClick();
  void B_kalClick();
  void B_prowClick();
  // The calendar grid stored into the block; false (with the message shown) when refused.
  bool SG_kalExit();
  void SG_kalSelectCell(int row, int column, int previousRow, int previousColumn);
  void SG_kalDblClick(int row);
  void SG_kalMouseDown();
  // Over the header: the hand right of the length column.
  void SG_kalMouseMove(int x);
  void B_oK_TimeClick();
  void TS_filtrShow();
  void PageControl1Change(int page);
  void PageControl1MouseDown();
  void SB_KaClick();
  void BB_CbpocClick();
  void Timer1Timer();
  void BitBtnOKClick();
  void BitBtnCancelClick();
  void BitBtn1Click();
  // The end of the calibration thread, on the GUI thread.
  void CalibrationDone();

  // The memory estimate from the calendar grid's lengths.
  void ShowMemoryEstimate();
  // True while the calibration thread runs.
  bool CalibrationRunning() const { return calThread_ != nullptr; }
  const YSTANOV& Copy() const { return copy_; }
  const CalShared& Calibration() const { return cal_; }

  // The directory of "unit_setup" and "unit_kalend" (default: the current directory).
  std::string FileDir;
  // True when the live block was read from the recorder and checked when the editor is shown, so its
  // page 0 describes the calendar pages the recorder holds (the calibration's store then writes page 0
  // alone).
  bool BlockFromRecorder = false;

 public slots:
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void BuildForm();
  void BuildParamPage();
  void BuildEventPage();
  void BuildGeneralPage();
  void BuildCalendarPage();
  void BuildAcpPage();
  void BuildFilterPage();
  void Connect();
  void FillChannelGrid();
  void FillCalendarGrid();
  std::vector<ChannelGridRow> ChannelGridRows() const;
  std::vector<CalendarGridRow> CalendarRows() const;
  std::string FilePath(const char* name) const;
  // Stops a running calibration and waits for the thread's end.
  void StopCalibration();
  // The thread has been joined: controls back, the end's message.
  void FinishCalibration();
  void ShowBlockChanged();
  // An up-down's position into its byte field, kept within its range, and the controls refilled.
  void StoreUpDown(const QSpinBox* box, uint8_t& field, int lowest, int highest);

  YSTANOV& setup_;
  UnitLink& link_;
  uint8_t& channelCount_;
  YSTANOV copy_{};
  CalendarEntry calendarBackup_[kCalendarEntries]{};
  std::vector<ChannelGridRow> shownChannels_;
  std::vector<CalendarGridRow> shownCalendar_;
  std::vector<int> gainItems_;  // LB item -> gain-table index
  std::vector<int> rateItems_;  // CB_dec item -> rate-table index
  int gainRow_ = -1;
  int calendarRow_ = 0;  // 0-based
  int calendarColumn_ = 0;
  platform::UtcTime referenceTime_{};
  toolkit::Tf_batt designer_;
  CalShared cal_;
  std::unique_ptr<read_ang> calThread_;
  ShutdownPath::Hook calHook_;
  // The private copy's page count and calendar check bytes are those of the recorder's pages.
  bool recorderBook_ = false;
  bool filling_ = false;
  bool stopping_ = false;
  bool blink_ = false;
};

}  // namespace recorder
