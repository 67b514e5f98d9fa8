#pragma once
// The live registration window: sweep graphs of the transmitted channels, drawn column by column by
// the drawing thread from the ring the reception thread fills, with the controls of the horizontal
// scale, raw or smoothed curves, smoothing length, per-channel scale and offset, and panels for the
// times, the current live file and the event count. Showing it starts both threads; closing it (or
// the reception's end) stops and joins them and closes the live file.
#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QSpinBox>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "acquisition/live_counters.h"
#include "acquisition/live_reception.h"
#include "acquisition/live_shared.h"
#include "acquisition/ui/live_drawing.h"
#include "recorder/setup_block.h"
#include "recorder/shutdown_path.h"
#include "recorder/status_block.h"
#include "recorder/unit_link.h"

class QButtonGroup;
class QFrame;
class QGroupBox;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTimer;

namespace platform::ui {
class PaintBox;
}

namespace acquisition {

// A channel's up-down: the two arrows only, as the scale of a row needs no number.
class LiveUpDown : public QSpinBox {
  Q_OBJECT
 public:
  explicit LiveUpDown(QWidget* parent = nullptr);
};

// A panel that reports clicks and double clicks.
class LivePanel : public QLabel {
  Q_OBJECT
 public:
  explicit LivePanel(QWidget* parent = nullptr);
 signals:
  void clicked();
  void doubleClicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// What the window works with, from the main window.
struct LiveWindowSetup {
  recorder::UnitLink* Link = nullptr;
  recorder::YSTANOV* Setup = nullptr;       // the program's setup block (a file length of 0 becomes 20)
  recorder::StatusBlock* Status = nullptr;  // the program's status copy; kept up to date while live
  std::string DataDir;
  bool OldFormat = false;    // the older-format switch of the main window is down
  bool ExtraPanel = false;   // the main window shows its extra panel (header bytes, block dump)
  bool DecimalDump = false;  // the dump shows sample values instead of bytes
  // The work log of the window, the reception and its file writer; empty: the program's (WriteLog).
  std::function<void(const std::string&)> Log;
  // Told the recorded channels when the window is created.
  std::function<void(const recorder::ChannelList&)> ChannelsChosen;
};

inline constexpr const char* kLiveCaption = "     Р е г и с т р а ц и я ";
inline constexpr const char* kLiveRefused = "Трансляция невозможна: ";
// Channel colours (0x00BBGGRR) of the scale strip and the curves.
inline constexpr uint32_t kLiveColors[8] = {0xFF8000, 0x0000FF, 0x00FFFF, 0xFF00FF,
                                            0xFFFF00, 0x00FF00, 0xFF0000, 0xFFFF00};

class TFormRis : public QDialog {
  Q_OBJECT

 public:
  explicit TFormRis(LiveWindowSetup setup, QWidget* owner = nullptr);
  ~TFormRis() override;

  // Components.
  platform::ui::PaintBox* PB = nullptr;
  platform::ui::PaintBox* PBs = nullptr;
  QFrame* P_uprawlenij = nullptr;
  QFrame* P_bottom = nullptr;
  QSpinBox* UD_jszdraw = nullptr;
  QGroupBox* RadGr_Whatdraw = nullptr;
  QButtonGroup* RadGr_WhatdrawItems = nullptr;
  QFrame* P_filter_ris = nullptr;
  QSpinBox* UpD_filter_ris_new = nullptr;
  QPushButton* BB_on = nullptr;
  QPushButton* BB_off = nullptr;
  QPushButton* B_Auto_Y = nullptr;
  QPushButton* BB_Exit = nullptr;
  QLabel* L_zag1 = nullptr;
  QLabel* L_zag2 = nullptr;
  QLabel* L_size = nullptr;
  LivePanel* P_Time = nullptr;
  LivePanel* P_name_size = nullptr;
  LivePanel* P_cnt_crit = nullptr;
  LivePanel* P_minmax = nullptr;
  QListWidget* LB_print = nullptr;
  QTimer* Timer1 = nullptr;
  std::array<LiveUpDown*, 8> UD{};
  std::array<QLabel*, 8> L_scale{};
  std::array<QLabel*, 8> L_name{};
  std::array<QLabel*, 8> L_crit{};

  // State.
  std::array<int32_t, 8> Base{};
  int32_t Top = 0;
  int32_t Bottom = 0;
  std::array<int32_t, 8> Scale{};
  std::array<int32_t, 8> Offset{};
  std::array<int32_t, 8> Middle{};
  int32_t Selected = 0;
  int32_t RowHeight = 1;
  double Dt = 0.01;
  int32_t TimeMode = 0;
  uint16_t X = 0;

  const recorder::ChannelList& Channels() const { return channels_; }
  LiveShared* Shared() { return shared_.get(); }
  LiveCounters& Counters() { return counters_; }
  th_work* Work() { return work_.get(); }
  TRis* Drawing() { return ris_.get(); }
  // False when the setup gives nothing to show (no channels, rate 0): the window closes at once.
  bool Usable() const { return refusal_.empty(); }
  // True while the program's shutdown path would stop this window's threads.
  bool HookedToShutdown() const { return hook_.Active(); }

  // Handlers.
  void FormShow();
  void FormDestroy();
  void WorkTerminated();
  void BB_ExitClick();
  void FormResize();
  void PBsPaint();
  void UD_jszdrawClick();
  void RadGr_WhatdrawClick();
  void UpD_filter_ris_newClick();
  void UDClick(int channel, bool up);
  void PBMouseDown(Qt::MouseButton button, int y);
  void BB_onClick();
  void BB_offClick();
  void B_Auto_YClick();
  void P_TimeClick();
  void P_name_sizeClick();
  void P_cnt_critDblClick();
  void Timer1Timer();
  // Draws `columns` ring columns from index `old` (the drawing thread's batch, on the GUI thread).
  void DrawColumns(int32_t old, int32_t columns);

  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void FormCreate();
  void Layout();
  void UpdateCaption(bool withPoints = false);
  void SelectCaptions();
  void Log(const std::string& text) const;
  LiveView MakeView();

  LiveWindowSetup setup_;
  recorder::ChannelList channels_;
  std::string refusal_;
  LiveCounters counters_;
  std::unique_ptr<LiveShared> shared_;
  std::unique_ptr<th_work> work_;
  std::unique_ptr<TRis> ris_;
  recorder::ShutdownPath::Hook hook_;
  QPointer<TFormRis> self_;
  std::array<int, 8> udPosition_{};
  std::atomic<bool> dumpRequested_{false};
  std::atomic<bool> headerShown_{false};
  uint32_t lastEventCount_ = 0;
  bool shown_ = false;
  bool created_ = false;
  bool stopped_ = false;
};

}  // namespace acquisition
