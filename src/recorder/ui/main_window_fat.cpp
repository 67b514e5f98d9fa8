// The main window's FAT reading ("FAT"): the report list, the file grid with its download marks, and the
// report panel over the grid.
#include <QApplication>
#include <QBrush>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTableWidget>
#include <QToolButton>

#include "platform/ui/message_box.h"
#include "recorder/fat_grid_marks.h"
#include "recorder/fat_link.h"
#include "recorder/page_boxes.h"
#include "recorder/program_link.h"
#include "recorder/ui/event_hook.h"
#include "recorder/ui/main_window.h"
#include "recorder/ui/page_key_codes.h"
#include "recorder/unit_link.h"

namespace recorder {

using platform::ui::MessageBox;
using platform::ui::MsgAnswer;
using platform::ui::MsgButtons;
using platform::ui::MsgIcon;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

constexpr int kGridLineWidth = 1;
constexpr int kFatGridPointSize = 8;

// The width the grid's cells have, without its frame and the vertical scroll bar its rows need.
int GridClientWidth(const QTableWidget& grid) {
  const QRect inner = grid.contentsRect();
  int width = inner.width();
  const int rowsHeight = grid.rowCount() * grid.verticalHeader()->defaultSectionSize();
  if (grid.verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff && rowsHeight > inner.height())
    width -= grid.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &grid);
  return width;
}

void ShowFatGrid(QTableWidget& grid, const FatGrid& cells) {
  grid.clearContents();
  grid.setColumnCount(kFatGridColumns);
  grid.setRowCount(cells.RowCount());
  grid.horizontalHeader()->setStretchLastSection(false);
  grid.horizontalHeader()->setMinimumSectionSize(1);  // the mark columns are 12 pixels
  const auto widths = FatGridColumnWidths(GridClientWidth(grid), kGridLineWidth);
  for (int c = 0; c < kFatGridColumns; ++c) grid.setColumnWidth(c, widths[static_cast<size_t>(c)]);
  // The title row and the number column look like the fixed cells they are; the cells take the small
  // font the start times need to fit their column.
  const QBrush fixed = grid.palette().button();
  QFont small = grid.font();
  small.setPointSize(kFatGridPointSize);
  for (int r = 0; r < cells.RowCount(); ++r) {
    for (int c = 0; c < kFatGridColumns; ++c) {
      auto* item = new QTableWidgetItem(Q(cells.Cells[static_cast<size_t>(r)][static_cast<size_t>(c)]));
      item->setFont(small);
      if (r == 0 || c == 0) item->setBackground(fixed);
      grid.setItem(r, c, item);
    }
  }
  grid.scrollToTop();
}

std::string CellText(const QTableWidget& grid, int row, int column) {
  const QTableWidgetItem* item = grid.item(row, column);
  return item ? item->text().toStdString() : std::string();
}

void SetCellText(QTableWidget& grid, int row, int column, const std::string& text) {
  if (QTableWidgetItem* item = grid.item(row, column)) {
    item->setText(Q(text));
  } else {
    grid.setItem(row, column, new QTableWidgetItem(Q(text)));
  }
}

MsgIcon IconOf(FatReadingUi::Icon icon) {
  return icon == FatReadingUi::Icon::Error ? MsgIcon::Error : MsgIcon::None;
}

}  // namespace

void Trecorder::B_fatClick() {
  // The FAT's listing goes to the work log, which a refused data folder does not have.
  if (!link_ || !DataDirUsable()) return;
  FatReadingOptions options;
  options.LogFileName = LogFileName;
  options.SampleClock = SampleClock;
  options.Detailed = SB_podrobno->isChecked();
  options.WithCorrections = SB_5_6->isChecked();

  FatReadingUi ui;
  ui.Message = [](const std::string& text, const std::string& title, FatReadingUi::Icon icon) {
    MessageBox(text, title, MsgButtons::Ok, IconOf(icon));
  };
  ui.AskYesNo = [](const std::string& text, const std::string& title) {
    return MessageBox(text, title, MsgButtons::YesNo) == MsgAnswer::Yes;
  };
  // The list and the grid are on the screen before the advice boxes come up.
  ui.ShowResult = [this](const FatReadingResult& r) {
    if (P_dop->isVisible() || r.Listing.ShowList) SB->show();
    LB->clear();
    for (const std::string& line : r.Listing.Lines) LB->addItem(Q(line));
    ShowFatGrid(*SG_f, r.Grid);
  };

  UnitLinkFatOps ops(*link_);
  const FatReadingResult result = ReadFat(ops, Fat, GlobalStatus(), options, ui);
  if (!result.Read) return;
  AllowCommand(B_read, true);
  UpdateButtons();
}

void Trecorder::LBDblClick() { SB->hide(); }

void Trecorder::Button1Click() { SB->hide(); }

void Trecorder::SG_f0MouseDown(Qt::MouseButton button, int x, int y) {
  FatGridPress press;
  press.LeftButton = button == Qt::LeftButton;
  press.ColumnCount = SG_f->columnCount();
  press.Y = y;
  press.RowPitch = SG_f->verticalHeader()->defaultSectionSize();
  press.Row = SG_f->rowAt(y);
  press.Column = SG_f->columnAt(x);
  switch (FatGridPressAction(press, Fat)) {
    case FatGridAction::None:
      return;
    case FatGridAction::ToggleFile: {
      SetCellText(*SG_f, press.Row, kFatGridMarkColumn,
                  ToggledMark(CellText(*SG_f, press.Row, kFatGridMarkColumn)));
      const FileEntry& e = Fat.FatFiles[static_cast<size_t>(press.Row - 1)];
      E_Beg_adr->setText(Q(PageBoxText(e.BeginPage)));
      E_Kon_adr->setText(Q(PageBoxText(e.EndPage)));
      return;
    }
    case FatGridAction::MarkAll: {
      const int rows = std::min(int{Fat.FatCount}, SG_f->rowCount() - 1);
      std::vector<std::string> marks(static_cast<size_t>(rows) + 1);
      for (int g = 1; g <= rows; ++g) marks[static_cast<size_t>(g)] = CellText(*SG_f, g, kFatGridMarkColumn);
      MarkAllFiles(Fat, marks);
      for (int g = 1; g <= rows; ++g) {
        if (marks[static_cast<size_t>(g)] != CellText(*SG_f, g, kFatGridMarkColumn))
          SetCellText(*SG_f, g, kFatGridMarkColumn, marks[static_cast<size_t>(g)]);
      }
      return;
    }
  }
}

void Trecorder::SG_fMouseMove(int x, int y) {
  const FatGridHover hover = FatGridHoverAt(SG_f->columnWidth(0), SG_f->rowAt(y), SG_f->columnAt(x));
  if (hover.MultiDragCursor) {
    SG_f->viewport()->setCursor(Qt::DragCopyCursor);
  } else {
    SG_f->viewport()->unsetCursor();
  }
  if (hover.Hint && SG_f->statusTip() != Q(*hover.Hint)) {
    // A changed hint shows in the status bar, as every hint of the window does.
    SG_f->setStatusTip(Q(*hover.Hint));
    StatusB->showMessage(SG_f->statusTip());
  }
}

void Trecorder::SG_fDblClick() {}

void Trecorder::ConnectFatCommands() {
  connect(B_fat, &QPushButton::clicked, this, &Trecorder::B_fatClick);
  MarkCommandReady(B_fat);
  connect(Button1, &QPushButton::clicked, this, &Trecorder::Button1Click);
  connect(LB, &QListWidget::itemDoubleClicked, this, &Trecorder::LBDblClick);
  for (QWidget* w : std::initializer_list<QWidget*>{Button1, SB_podrobno, SB_5_6, CB_fat})
    w->setEnabled(true);

  QWidget* cells = SG_f->viewport();
  cells->setMouseTracking(true);
  cells->installEventFilter(new EventHook(this, [this](QObject*, QEvent* event) {
    switch (event->type()) {
      case QEvent::MouseButtonPress: {
        const auto* m = static_cast<QMouseEvent*>(event);
        SG_f0MouseDown(m->button(), m->position().toPoint().x(), m->position().toPoint().y());
        return false;
      }
      case QEvent::MouseMove: {
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        SG_fMouseMove(at.x(), at.y());
        return false;
      }
      case QEvent::MouseButtonDblClick:
        SG_fDblClick();
        return false;
      default:
        return false;
    }
  }));

  connect(CB_fat, &QCheckBox::clicked, this, &Trecorder::CB_fatMouseUp);
  connect(E_Beg_adr, &QLineEdit::textChanged, this, &Trecorder::E_Beg_adrChange);
  connect(E_Beg_adr, &QLineEdit::editingFinished, this, &Trecorder::E_Beg_adrExit);
  connect(E_Kon_adr, &QLineEdit::textChanged, this, &Trecorder::E_Kon_adrChange);
  connect(E_Kon_adr, &QLineEdit::editingFinished, this, &Trecorder::E_Kon_adrExit);
  L_dl_fat->installEventFilter(new EventHook(this, [this](QObject*, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease && L_dl_fat->isEnabled() &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        L_dl_fat->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
      L_dl_fatClick();
    }
    return false;
  }));
  // The window sees its keys before the control that has the focus.
  qApp->installEventFilter(new EventHook(this, [this](QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != this) return false;
    // A key the control did not take goes on to its parents: the window has seen it already.
    const bool passedUp = event == lastKey_ && lastKeyWidget_ && widget->isAncestorOf(lastKeyWidget_);
    lastKey_ = event;
    lastKeyWidget_ = widget;
    if (passedUp) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    return FormKeyDown(PageKeyCode(*key), key->modifiers().testFlag(Qt::ControlModifier),
                       key->modifiers().testFlag(Qt::AltModifier));
  }));
}

}  // namespace recorder
