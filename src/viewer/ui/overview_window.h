#pragma once
// TOB3OP: the overview strip "ОБЗОР", a low window above the main window with the snapshot of the whole
// plot and two short lines marking the part the main plot shows now.
#include <QWidget>
#include <functional>

#include "platform/ui/paint_box.h"
#include "toolkit/setup_record.h"
#include "viewer/overview_strip.h"
#include "viewer/view_envelope.h"

namespace viewer {

class TOB3OP : public QWidget {
  Q_OBJECT

 public:
  // What the strip draws (owned by the main window) and what it tells the main window.
  struct Source {
    const toolkit::SetupRecord* setup = nullptr;
    const ViewEnvelope* envelope = nullptr;
    const OverviewSnapshot* snapshot = nullptr;
    const uint16_t* plotWidth = nullptr;  // the main plot's present width (TForm1.PlotWidth)
    std::function<void()> doubleClicked;  // PB_BCEDblClick's work in the main window
    std::function<void()> closed;         // FormClose's work in the main window
  };

  // Placed at top 3 over `mainWindow`, 100 pixels high, at most 1400 wide.
  TOB3OP(QWidget* mainWindow, Source source);

  platform::ui::PaintBox* PB_BCE;

  // Sizes the strip to `mainWindow` (at most 1400 wide) and its paint box to the present plot width, so a
  // snapshot taken after the main window was resized fits; the strip keeps its place.
  void FitTo(const QWidget& mainWindow);
  // Redraws the strip: the snapshot of every snapshot channel, then the frame lines of the present view.
  void DrawOverview();
  void PB_BCEDblClick();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  int PlotWidth() const { return source_.plotWidth != nullptr ? *source_.plotWidth : 0; }

  Source source_;
};

}  // namespace viewer
