// The setup editor's two grids: the channel grid with its gain list, and the calendar grid with the
// time pickers, the calendar check, the schedule import and the memory estimate.
#include <QDateEdit>
#include <QFrame>
#include <QHeaderView>
#include <QTimeZone>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimeEdit>
#include <QToolButton>
#include <algorithm>

#include "platform/clock.h"
#include "platform/ui/message_box.h"
#include "recorder/calendar_check.h"
#include "recorder/recorder_time.h"
#include "recorder/setup_files.h"
#include "recorder/status_block.h"
#include "recorder/ui/main_window.h"
#include "recorder/ui/setup_editor.h"
#include "recorder/unit_commands.h"
#include "recorder/unit_link.h"
#include "toolkit/format_text.h"

namespace recorder {

using platform::ui::MessageBox;
using platform::ui::MsgAnswer;
using platform::ui::MsgButtons;
using platform::ui::MsgIcon;
using toolkit::FormatText;

namespace {

constexpr int kNameColumn = 1;
constexpr int kCoefficientColumn = 2;
constexpr int kThresholdColumn = 3;
constexpr int kGainColumn = 4;
constexpr int kMarkColumn = 5;
constexpr int kStartColumn = 1;
constexpr int kLengthColumn = 2;
// Recorders of this series set the gain of their first three channels together.
constexpr uint8_t kTripleGainSeries = 136;
constexpr int64_t kPickerLead = 420;  // s after the recorder clock for a new period

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string Text(const QTableWidget* grid, int row, int column) {
  const QTableWidgetItem* item = grid->item(row, column);
  return item != nullptr ? item->text().toStdString() : std::string();
}

void SetCell(QTableWidget* grid, int row, int column, const std::string& text, bool editable) {
  auto* item = new QTableWidgetItem(Q(text));
  if (!editable) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
  grid->setItem(row, column, item);
}

}  // namespace

// ---- channel grid ----

void TForm1::FillChannelGrid() {
  const int rows = ::recorder::ChannelGridRows(GlobalStatus());
  shownChannels_ = ChannelGridFromSetup(setup_, rows);
  const bool blocked = SG1->blockSignals(true);
  SG1->setRowCount(rows);
  SG1->setFixedHeight(std::min(SG1->horizontalHeader()->height() + rows * 22 + 4, TSh_param->height() - 10));
  int marks = 0;
  for (int c = 0; c < rows; ++c) {
    const ChannelGridRow& r = shownChannels_[c];
    SetCell(SG1, c, 0, std::to_string(c), false);
    SetCell(SG1, c, kNameColumn, r.Name, true);
    SetCell(SG1, c, kCoefficientColumn, r.Coefficient, true);
    SetCell(SG1, c, kThresholdColumn, r.Threshold, true);
    SetCell(SG1, c, kGainColumn, std::to_string(setup_.K_yc[c]), false);
    SetCell(SG1, c, kMarkColumn, r.Marked ? "x" : "", false);
    if (r.Marked) ++marks;
  }
  SG1->blockSignals(blocked);
  channelCount_ = static_cast<uint8_t>(marks);
}

std::vector<ChannelGridRow> TForm1::ChannelGridRows() const {
  std::vector<ChannelGridRow> rows;
  for (int c = 0; c < SG1->rowCount(); ++c) {
    rows.push_back({Text(SG1, c, kNameColumn), Text(SG1, c, kCoefficientColumn), Text(SG1, c, kThresholdColumn),
                    Text(SG1, c, kMarkColumn) == "x"});
  }
  return rows;
}

bool TForm1::SG1Exit() {
  const std::vector<ChannelGridRow> rows = ChannelGridRows();
  bool same = rows.size() == shownChannels_.size();
  for (size_t i = 0; same && i < rows.size(); ++i) {
    const ChannelGridRow& a = rows[i];
    const ChannelGridRow& b = shownChannels_[i];
    same = a.Name == b.Name && a.Coefficient == b.Coefficient && a.Threshold == b.Threshold && a.Marked == b.Marked;
  }
  if (same) return true;
  int marks = 0;
  const GridRefusal refusal = StoreChannelGrid(setup_, rows, shownChannels_, marks);
  if (!refusal.Text.empty()) {
    MessageBox(refusal.Text, refusal.Caption, MsgButtons::Ok, MsgIcon::Error);
    PageControl1->setCurrentWidget(TSh_param);
    SG1->setCurrentCell(refusal.Row, 0);
    SG1->setFocus();
    return false;
  }
  channelCount_ = static_cast<uint8_t>(marks);
  SetupToControls();
  return true;
}

void TForm1::SG1MouseDown(Qt::MouseButton button, int row, int column) {
  if (SB_Ka->isChecked()) return;
  LB->hide();
  if (button == Qt::LeftButton) return;
  if (button != Qt::RightButton || row < 0 || row >= SG1->rowCount()) return;
  const StatusBlock& status = GlobalStatus();
  if (UnitSeries(status) == kTripleGainSeries) {
    for (int c = 0; c < std::min(3, SG1->rowCount()); ++c) SetCell(SG1, c, kMarkColumn, "x", false);
  }
  if (column == kGainColumn) {
    gainItems_ = NonZeroEntries(status.K_yc);
    LB->clear();
    for (int index : gainItems_) LB->addItem(QString::number(status.K_yc[index]));
    const QRect cell = SG1->visualRect(SG1->model()->index(row, column));
    LB->move(SG1->x() + cell.right() + 4, SG1->y() + cell.top());
    LB->show();
    LB->raise();
    const bool blocked = SG1->blockSignals(true);
    SetCell(SG1, row, kGainColumn, "?", false);
    SG1->blockSignals(blocked);
    gainRow_ = row;
  } else if (column == kMarkColumn) {
    SetCell(SG1, row, kMarkColumn, Text(SG1, row, kMarkColumn) == "x" ? "" : "x", false);
  }
}

void TForm1::SG1SetEditText(int row, int column) {
  if (column != kGainColumn || row < 0 || row >= 8) return;
  const bool blocked = SG1->blockSignals(true);
  SetCell(SG1, row, kGainColumn, std::to_string(setup_.K_yc[row]), false);
  SG1->blockSignals(blocked);
}

void TForm1::LBClick() {
  const int item = LB->currentRow();
  LB->hide();
  if (gainRow_ < 0 || gainRow_ >= 8 || item < 0 || item >= static_cast<int>(gainItems_.size())) return;
  // The "?" of the gain cell is no edit of the grid.
  SG1SetEditText(gainRow_, kGainColumn);
  if (!SG1Exit()) return;
  const StatusBlock& status = GlobalStatus();
  const uint16_t gain = status.K_yc[gainItems_[item]];
  if (UnitSeries(status) == kTripleGainSeries) {
    for (int c = 0; c < 3; ++c) setup_.K_yc[c] = gain;
  } else {
    setup_.K_yc[gainRow_] = gain;
  }
  gainRow_ = -1;
  SetupToControls();
}

// ---- calendar grid ----

void TForm1::FillCalendarGrid() {
  shownCalendar_ = CalendarGridFromSetup(setup_, GlobalStatus().T_Unit);
  const bool blocked = SG_kal->blockSignals(true);
  for (int r = 0; r < kCalendarEntries; ++r) {
    SetCell(SG_kal, r, 0, std::to_string(r + 1), false);
    SetCell(SG_kal, r, kStartColumn, shownCalendar_[r].Start, true);
    SetCell(SG_kal, r, kLengthColumn, shownCalendar_[r].Minutes, true);
    SetCell(SG_kal, r, 3, shownCalendar_[r].Ahead, false);
  }
  SG_kal->blockSignals(blocked);
}

std::vector<CalendarGridRow> TForm1::CalendarRows() const {
  std::vector<CalendarGridRow> rows(kCalendarEntries);
  for (int r = 0; r < kCalendarEntries; ++r) {
    rows[r].Start = Text(SG_kal, r, kStartColumn);
    rows[r].Minutes = Text(SG_kal, r, kLengthColumn);
    rows[r].Ahead = Text(SG_kal, r, 3);
  }
  return rows;
}

bool TForm1::SG_kalExit() {
  const std::vector<CalendarGridRow> rows = CalendarRows();
  bool same = true;
  for (int r = 0; same && r < kCalendarEntries; ++r)
    same = rows[r].Start == shownCalendar_[r].Start && rows[r].Minutes == shownCalendar_[r].Minutes;
  if (same) return true;
  const CalendarRefusal refusal = StoreCalendarGrid(setup_, rows, shownCalendar_, GlobalStatus().T_Unit);
  if (!refusal.Text.empty()) {
    MessageBox(refusal.Text, "ERROR", MsgButtons::Ok, MsgIcon::Error);
    PageControl1->setCurrentWidget(TS_calen);
    SG_kal->setCurrentCell(refusal.Row, kStartColumn);
    SG_kal->setFocus();
    return false;
  }
  SetupToControls();
  return true;
}

void TForm1::SG_kalSelectCell(int row, int column, int, int previousColumn) {
  if (row >= 0) calendarRow_ = row;
  if (previousColumn == kLengthColumn) ShowMemoryEstimate();
  calendarColumn_ = column;
}

void TForm1::SG_kalDblClick(int row) {
  if (row < 0 || row >= kCalendarEntries) return;
  calendarRow_ = row;
  const std::string text = Text(SG_kal, row, kStartColumn);
  int64_t start = 0;
  if (text.find_first_not_of(' ') == std::string::npos) {
    start = int64_t{GlobalStatus().T_Unit} + kPickerLead;
  } else if (const std::optional<uint32_t> on =
                 ParseStartText(text, StartReference(setup_.Calendar[row], GlobalStatus().T_Unit))) {
    start = *on;
  } else {
    return;
  }
  const platform::UtcTime now = platform::CurrentClock().NowUtc();
  const int64_t soon = UnitSecondsFromUtc(now) / 60 * 60 + kPickerLead;
  const QDateTime t = QDateTime::fromSecsSinceEpoch(std::max(start, soon) + kUnitEpochFromUnix, QTimeZone::utc());
  DateTimePd->setDate(t.date());
  DateTimePt->setTime(t.time());
  P_time->show();
  P_time->raise();
  P_adr->hide();
}

void TForm1::SG_kalMouseDown() { P_time->hide(); }

void TForm1::SG_kalMouseMove(int x) {
  QHeaderView* header = SG_kal->horizontalHeader();
  header->viewport()->setCursor(header->logicalIndexAt(x) > kLengthColumn ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void TForm1::B_oK_TimeClick() {
  const int row = calendarRow_;
  if (!SG_kalExit()) return;
  const QDateTime t(DateTimePd->date(), DateTimePt->time(), QTimeZone::utc());
  const int64_t on = t.toSecsSinceEpoch() - kUnitEpochFromUnix;
  P_time->hide();
  if (on < 0 || on >= int64_t{kFreeEntry}) return;
  CalendarGridRow gridRow = CalendarRows()[row];
  CalendarRefusal refusal;
  if (!SetRowStart(setup_, row, static_cast<uint32_t>(on), gridRow, refusal)) {
    MessageBox(refusal.Text, "ERROR", MsgButtons::Ok, MsgIcon::Error);
    return;
  }
  if (ParseMinutes(gridRow.Minutes).value_or(0) > 0) {
    SetupToControls();
  } else {
    // No length yet: the row is stored when the grid is left with one.
    const bool blocked = SG_kal->blockSignals(true);
    SetCell(SG_kal, row, kStartColumn, gridRow.Start, true);
    SG_kal->blockSignals(blocked);
  }
  SG_kal->setCurrentCell(row, kLengthColumn);
}

void TForm1::B_prowClick() {
  if (!SG_kalExit()) return;
  std::copy(std::begin(setup_.Calendar), std::end(setup_.Calendar), calendarBackup_);
  StatusBlock& status = GlobalStatus();
  ReadStatus(link_, status);
  uint32_t t = status.T_Unit;
  const int64_t system = UnitSecondsFromUtc(platform::CurrentClock().NowUtc());
  if (OfferSystemTime(t, system) &&
      MessageBox("проверить относительно системного времени?", SystemTimeQuestionTitle(t, system), MsgButtons::YesNo) ==
          MsgAnswer::Yes)
    t = static_cast<uint32_t>(system);
  const CalendarCheck check = CheckCalendar(setup_, t);
  if (MainForm != nullptr && MainForm->P_dop->isVisible() && !MainForm->P_Wuz->isVisible())
    platform::ui::ShowMessage(check.Report);
  SetupToControls();
  if (check.Changed && MessageBox("   О Т М Е Н И Т Ь ?", "В календарь внесены изменения.  П р о в е р ь т е !",
                                  MsgButtons::YesNo) == MsgAnswer::Yes)
    std::copy(std::begin(calendarBackup_), std::end(calendarBackup_), setup_.Calendar);
  SetupToControls();
}

void TForm1::B_kalClick() {
  if (MessageBox(kKalendFormatText, "продолжать?", MsgButtons::YesNo) != MsgAnswer::Yes) return;
  KalendFile k;
  std::string error;
  if (!ReadKalendFile(FilePath(kKalendFileName), k, error)) {
    platform::ui::ShowMessage(error);
    return;
  }
  if (!k.Warning.empty()) platform::ui::ShowMessage(k.Warning);
  if (MessageBox(k.ReplyText, "продолжать?", MsgButtons::YesNo) != MsgAnswer::Yes) return;
  // Into the calendar straight from the periods, not through the grid's two-digit years.
  CalendarFromRows(setup_, GenerateCalendarRows(k, UnitSecondsFromUtc(platform::CurrentClock().NowUtc())));
  SetupToControls();
  ShowMemoryEstimate();
}

void TForm1::ShowMemoryEstimate() {
  const StatusBlock& status = GlobalStatus();
  const uint64_t pages = CalendarPages(CalendarRows(), channelCount_, setup_.SampleRate);
  L_3AH->setText(Q(FormatText("календарь %lluMb", static_cast<unsigned long long>(pages / 2048))));
  const bool full = static_cast<int64_t>(pages / 2) > int64_t{status.FCmax} * 2048 - int64_t{status.Last_pg / 2};
  L_3AH->setStyleSheet(full ? "color: red;" : "");
  L_pg_flash->setText(Q(FormatText("записано %u Mb", status.Last_pg >> 11)));
}

}  // namespace recorder
