#pragma once
// Trecorder, the recorder-control program's main window: the status panel and grid, the commands, the
// start-up with the recorder (choose, open, first status, setup block, start of the work), the
// one-second timer and the end of the work. It also holds what the other windows and the worker
// threads share; they reach it through MainForm.
#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "recorder/download_progress.h"
#include "recorder/fat_table.h"
#include "recorder/file_entry.h"
#include "recorder/page_boxes.h"
#include "recorder/setup_block.h"
#include "recorder/shutdown_path.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QStatusBar;
class QTableWidget;
class QTimer;
class QToolButton;

namespace acquisition {
class TrdBce;
}

namespace recorder {

class UnitLink;

class Trecorder : public QMainWindow {
  Q_OBJECT

 public:
  // Builds the window and the link, and lists the attached recorders; ends the program (exit status 1)
  // when there is none. `startDir` is the directory the data directory goes under (default: the
  // current directory).
  explicit Trecorder(QWidget* parent = nullptr, std::string startDir = {});
  ~Trecorder() override;

  // ---- shared with the other windows and the worker threads ----
  std::unique_ptr<YSTANOV> Setup;  // the setup block; present from the start of the work
  FatTable Fat;                    // FAT rows and synchronisation points of the last FAT reading
  std::array<FileEntry, kFatFileRows> SelFiles{};
  uint16_t SelCount = 0;
  std::string LogFileName;
  std::string DataDir;
  std::string DataDirRefusal;  // why no file may be written in DataDir, or ""
  // False (the user told why) when files may not be written in DataDir.
  bool DataDirUsable();
  uint32_t BegPage = 0;
  uint32_t EndPage = 0;
  uint16_t ReadPortion = 4096;
  uint32_t SampleClock = 0;
  int32_t TicksPerSecond = 1;
  std::atomic<double> ReadTotal{0};  // pages of the running download, 0 = none
  DownloadProgress Progress;
  std::atomic<uint32_t> CancelFlag{0};
  int64_t SyncBase = 0;  // seconds since 1899-12-30
  double DriftRate = 0;
  double DriftInterval = 0;
  uint8_t ChannelCount = 0;
  uint8_t ChannelNumbers[8] = {15, 15, 15, 15, 15, 15, 15, 15};

  // ---- components ----
  QStatusBar* StatusB;
  QTimer* Tmer2;
  QToolButton* SB_id;
  QPushButton* BB_status;
  QLabel* L_stat;
  QLabel* L_Fr;
  QLabel* L_yc;
  QLabel* L_kapt;
  QLabel* L_t_BK;
  QLabel* L_SIN;
  QLabel* L_cap;
  QLabel* L_time;
  QFrame* P_knopok;
  QPushButton* B_set;
  QPushButton* B_fat;
  QPushButton* B_run;
  QPushButton* B_stop;
  QPushButton* B_transl;
  QFrame* P_cmd;
  QPushButton* B_yct_time_PK;
  QToolButton* SB_dop;
  QFrame* P_par_Rd_FL;
  QPushButton* B_dl_read;
  QComboBox* CB_HF_U;
  QLabel* P_dl;
  QSpinBox* UD_dl;
  QToolButton* SB_korr;
  QFrame* P_car;
  QCheckBox* CB_fat;
  QPushButton* B_read;
  QPushButton* BB_close;
  QFrame* P_rd;
  QLabel* L_rd;
  QLabel* L_dt;
  QLabel* L_N;
  QProgressBar* PB;
  QTableWidget* SG_f;
  QScrollArea* SB;
  QListWidget* LB;
  QPushButton* Button1;
  QFrame* P_dop;
  QLabel* L_dl_fat;
  QLineEdit* E_Beg_adr;
  QLineEdit* E_Kon_adr;
  QToolButton* SB_podrobno;
  QToolButton* SB_5_6;
  QToolButton* SB_Set_Unita;
  QToolButton* SB_format;
  QPushButton* BB_rw;
  QPushButton* BitBtn1;
  QFrame* P_Wuz;

  // ---- handlers and shared routines ----
  void FormShow();
  void StartSession();
  void Tmer2Timer();
  void BB_closeClick();
  void FormResize();
  void BB_statusClick();
  void SB_idClick();
  void SB_dopClick();
  // ReadStatus into the global status; the exchange log in a message box when it fails, else ShowStatus.
  void RefreshStatus();
  void UpdateButtons();
  void ShowStatus();
  void ShowStatusGrid();

  // A command whose handler is connected: UpdateButtons enables it where the status allows. Commands
  // without a handler stay disabled.
  void MarkCommandReady(QWidget* command);

  // True while a download runs (the download button reads "Cancel").
  bool DownloadRunning() const;

  // ---- the FAT reading, the file grid's marks and the page boxes (main_window_fat.cpp,
  //      main_window_pages.cpp) ----
  void B_fatClick();
  void LBDblClick();
  void Button1Click();
  void SG_f0MouseDown(Qt::MouseButton button, int x, int y);
  void SG_fMouseMove(int x, int y);
  void SG_fDblClick();
  void L_dl_fatClick();
  void CB_fatMouseUp();
  void E_Beg_adrChange();
  void E_Beg_adrExit();
  void E_Kon_adrChange();
  void E_Kon_adrExit();
  // The window's key preview for the page boxes; true when the key was used.
  bool FormKeyDown(int keyCode, bool ctrl, bool alt);
  // Connects the handlers above; called once by the constructor.
  void ConnectFatCommands();

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildForm();
  void BuildStatusPanel(QWidget* area);
  void BuildCommandPanels(QWidget* area);
  void BuildExtraPanel(QWidget* area);
  void AllowCommand(QWidget* command, bool statusAllows);
  // Ends the start-up: the main window closes and with it the program.
  void EndStartup();

  std::unique_ptr<UnitLink> link_;
  std::string startDir_;
  QSet<QWidget*> readyCommands_;
  ZPresses zPresses_;
  // The key press the preview saw last and where, so its trip up to the parents counts once.
  const QEvent* lastKey_ = nullptr;
  QPointer<QWidget> lastKeyWidget_;
  bool shown_ = false;
  uint32_t downloadStartTick_ = 0;
  uint32_t pagesAtLastTick_ = 0;

  // ---- the download (main_window_download.cpp) ----
 public:
  void B_readClick();
  // The end of a download, on the GUI thread: joins the thread and gives the commands back.
  void DownloadDone();
  void B_dl_readClick();
  void UD_dlClick();
  // The running download, from its start until DownloadDone has run; nullptr otherwise.
  std::unique_ptr<acquisition::TrdBce> ReadThread;

 private:
  void ConnectDownload();
  ShutdownPath::Hook downloadHook_;  // hooked while ReadThread runs

  // ---- the setup editor (main_window_setup.cpp) ----
 public:
  void B_setClick();

 private:
  void ConnectSetupEditor();
  // The setup block from the recorder; on failure the messages and the defaults. True when read.
  bool ReadSetupForEditor();

 public:
  // Reads the setup block from the recorder into Setup; on failure shows why (the page that could not
  // be read, or the page whose check failed) and returns false, the block unchanged.
  bool ReadSetupBlock();

 private:

  // ---- the page reader (main_window_page_reader.cpp) ----
 public:
  void BB_rwClick();

 private:
  void ConnectPageReader();

  // ---- the recording commands, the PC clock, the RAM dump and the time correction
  //      (main_window_commands.cpp) ----
 public:
  // True when the start is refused; the reason has been shown.
  bool CheckStartAllowed();
  void B_runClick();
  void B_stopClick();
  void B_translClick();
  void B_yct_time_PKClick();
  void BitBtn1Click();
  void SB_Set_UnitaClick();
  // The time-correction check before a download; false when it cancels the download.
  bool CheckTimeCorrection();

 private:
  void ConnectRecordingCommands();
  // The mode change and what follows it: the line drained, the status read and the buttons set.
  uint8_t ChangeMode(uint8_t mode);
  void SettleAfterModeChange();
};

// The program's main window, or nullptr while there is none.
extern Trecorder* MainForm;

// The download button's caption while no download runs.
inline constexpr const char* kReadCaption = "чтение Unit'а";

}  // namespace recorder
