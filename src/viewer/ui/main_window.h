#pragma once
// TForm1: the processing program's main window: menus, the channel plot with the strip above it, the
// information list and the status bar. It owns the setup record and opens the settings dialog at start.
#include <QMainWindow>
#include <memory>
#include <string>

#include "platform/ui/paint_box.h"
#include "toolkit/funk.h"
#include "viewer/ui/channel_plot.h"
#include "viewer/ui/plot_view_host.h"
#include "viewer/ui/xor_lines.h"
#include "viewer/view_envelope.h"

class QAction;
class QFrame;
class QLabel;
class QListWidget;
class QMenu;
class QProgressBar;
class QScrollArea;

namespace viewer {

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
  QMenu* N_fft;
  QMenu* N_time;
  QMenu* N_func;
  QMenu* N_extra;
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
  QFrame* P_oper_c_kan;

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
  bool LargeFont = false;
  ChannelPlotView Plot;  // PlotWidth, PlotHeight, RowHeight and the label rows live here
  LineBitmaps Lines;
  std::unique_ptr<viewer::ViewEnvelope> ViewEnvelope;
  std::unique_ptr<viewer::ViewEnvelope> OverviewEnvelope;

  // Handlers.
  void FormCreate();
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

  ViewHost& Host() { return *host_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void BuildMenus();
  void MakeLineBitmaps();
  void Reload();

  std::unique_ptr<PlotViewHost> host_;
  uint8_t lastViewKey_ = 0;
  bool closed_ = false;
};

}  // namespace viewer
