#pragma once
// TForm1: the processing program's main window: menus, the channel plot with the strip above it, the
// information list and the status bar. It owns the setup record and opens the settings dialog at start.
#include <QMainWindow>
#include <QMargins>
#include <functional>
#include <memory>
#include <string>

#include "platform/ui/paint_box.h"
#include "toolkit/funk.h"
#include "viewer/overview_strip.h"
#include "viewer/ui/channel_plot.h"
#include "viewer/ui/plot_view_host.h"
#include "viewer/ui/xor_lines.h"
#include "viewer/view_envelope.h"

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QScrollArea;

namespace viewer {

struct CommandResult;
struct StationReadOutcome;
class TOB3OP;

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  // Runs FormCreate, which ends by opening the settings dialog in open mode.
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // Menus and their items; items whose commands are not part of this program yet stay disabled.
  QMenu* N_read;
  QAction* read_1_fil;
  QAction* read_buf;
  QAction* N_Bce_st;
  QAction* N_obzor;
  QAction* N_OB_edin_;
  QMenu* N_save;
  QAction* iz_file;
  QAction* c_ekrana;
  QAction* iz_file_B_txt;
  QAction* c_ekrana_B_txt;
  QAction* iz_file_B_txt_16;
  QAction* N_kazan;
  QAction* N_miniseed1;
  QMenu* N_fft;
  QAction* men_fft_oper;
  QAction* fft_integ;
  QAction* fft_diff;
  QMenu* N_time;
  QMenu* N_time_filter;
  QAction* N_Batter;
  QAction* N_Potter;
  QAction* N10;
  QAction* N9;
  QMenu* N_func;
  QMenu* N_func_correl;
  QAction* N_korrel;
  QAction* N15;
  QAction* N26;
  QAction* N28;
  QAction* N22;
  QAction* Gist_c;
  QAction* N_disp_dir;
  QAction* N38;
  QAction* N_ACH;
  QMenu* N_extra;
  QAction* NN;
  QAction* N23;
  QAction* N5;
  QAction* N_test_TIKOB;
  QAction* N_abs;
  QAction* N7;
  QAction* N2;
  QAction* N20;
  QAction* YCTAHOBKA;
  QAction* open;
  QMenu* PopupMenu1;
  QAction* INFO;
  QAction* Help2;
  // Components.
  QScrollArea* ScrollBox1;
  platform::ui::PaintBox* PB1;
  platform::ui::PaintBox* PB3;
  QListWidget* LB_inf;
  QLabel* MainStatus0;
  QLabel* MainStatus1;
  QFrame* P_PB;
  QProgressBar* ProgressBar1;
  // Channel-arithmetic panel.
  QFrame* P_oper_c_kan;
  QLabel* L_oper_c_k_podp;
  QLabel* L_oper_c_kan;
  QLineEdit* E_oper_c_kan1;
  QLineEdit* E_oper_c_kan2;
  QLineEdit* E_oper_c_kan3;
  QComboBox* C_oper_c_kan;
  QComboBox* C_oper_c_kan_sign;
  QPushButton* B_oper_c_kan_yes;
  QPushButton* B_oper_c_kan_no;

  int FormHeight = 0;
  int FormWidth = 0;
  int ScrollPosition = 0;
  int MouseX = 0;
  int MouseY = 0;
  toolkit::TFunk Funk;
  uint8_t Dragging = 0;
  uint8_t DragKind = 0;
  uint8_t Loaded = 0;
  uint8_t OverviewOn = 0;
  uint16_t SavedHeightPercent = 100;
  // Keys reach FormKeyDown first (off while the channel-arithmetic panel takes the typing).
  bool KeyPreview = true;
  bool LargeFont = false;
  ChannelPlotView Plot;  // PlotWidth, PlotHeight, RowHeight and the label rows live here
  LineBitmaps Lines;
  std::unique_ptr<viewer::ViewEnvelope> ViewEnvelope;
  std::unique_ptr<viewer::ViewEnvelope> OverviewEnvelope;
  OverviewSnapshot Overview;     // column counts and channel range of the strip's snapshot
  std::unique_ptr<TOB3OP> OB3OP;  // the overview strip, made when first switched on

  // Handlers.
  void FormCreate();
  // Lays the plot, the strip and the scroll box out again for the window's new size and redraws.
  void FormResize();
  void openClick();
  void YCTAHOBKAClick();
  void read_1_filClick();
  void INFOClick();
  void LB_infDblClick();
  void PB1MouseDown(Qt::MouseButton button, int x, int y);
  void PB1MouseMove(int x, int y);
  void PB1MouseUp();
  void PB1DblClick(int x);
  void PB3Click();
  void FormKeyDown(int key, int ctrl);
  void EnableDataMenus(int on);
  // Processing commands (main_window_commands.cpp); each works on the record in memory.
  void men_fft_operClick(QAction* sender);
  void N10Click();
  void N_BatterClick(QAction* sender);
  void oper_c_kan();
  void ShowChannelOperation();
  void C_oper_c_kanChange();
  void B_oper_c_kan_yesClick();
  void B_oper_c_kan_noClick();
  void NNClick();
  void N23Click();
  void N5Click();
  void N_test_TIKOBClick();
  void N_absClick();
  void N7Click();
  void N2Click();
  // Analysis commands (main_window_analysis.cpp).
  void N9Click();
  void N_korrelClick(QAction* sender);
  void N22Click();
  void Gist_cClick();
  void iz_fileClick(QAction* sender);
  // Station reads, overview strip, response correction, directory variance (main_window_record_commands.cpp).
  void read_bufClick(QAction* sender);
  void ReadStationAgain();
  void N_obzorClick();
  void OverviewDblClick();
  void OverviewClose();
  void N_ACHClick();
  void N_disp_dirClick();
  // Merging two recordings and the MiniSEED export (main_window_export.cpp).
  void N_OB_edin_Click();
  void N_miniseed1Click();
  // "спектр": shows the spectrum window through ShowSpectrumWindow, which the program's entry sets (the
  // analysis windows are built on top of this window and cannot be reached from here).
  void N20Click();
  std::function<void()> ShowSpectrumWindow;

  ViewHost& Host() { return *host_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool event(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildMenus();
  void ConnectCommands();
  void ConnectAnalysisCommands();
  // Sizes LB_inf to its lines (at most down to 50 pixels above the client's bottom) and shows it.
  void ShowInfoList();
  // The progress panel: a position 0 ... 100 shows it, -1 hides it.
  void ShowProgress(int position);
  void ConnectRecordCommands();
  void ShowStationOutcome(const StationReadOutcome& outcome);
  void BuildChannelOperationPanel();
  // Runs a command on the channel arrays of a loaded record, shows its messages and brings the view up
  // to date when the channels changed.
  void RunCommand(const std::function<CommandResult(float* const*)>& command);
  // A slot that runs `command`; when memory runs out inside it, the user is told and the program goes on.
  template <class F>
  auto Guarded(F command) {
    return [this, command] { RunGuarded(command); };
  }
  void RunGuarded(const std::function<void()>& command);
  void MakeLineBitmaps();
  // Reads the current file; when that fails the record in memory stays and `before` (the settings as
  // they described it) gives back its description.
  void Reload(const toolkit::SetupRecord& before);
  // A command on the samples may run: a record is loaded and holds samples (else it says so).
  bool HaveSamples();
  // Plot columns, scroll box, strip and plot for a client area of the given size; `resized` takes the
  // rule of a resize (80-pixel margin) instead of the start's (100).
  void LayOutPlot(int clientWidth, int clientHeight, bool resized);
  // The window frame around the client area: as the window manager reports it, or the style's before
  // it does.
  QMargins FrameMargins() const;
  // Once the frame is known: moves and shortens the window so that the frame lies on the screen's free area.
  void FitFrameToScreen();
  // Makes the status-bar panel of the key help wide enough for the longest key text.
  void SizeKeyHelpPanel();

  std::unique_ptr<PlotViewHost> host_;
  uint8_t lastViewKey_ = 0;
  bool closed_ = false;
  bool frameFitted_ = false;
  bool operFilling_ = false;  // ShowChannelOperation is filling the panel's controls
};

}  // namespace viewer
