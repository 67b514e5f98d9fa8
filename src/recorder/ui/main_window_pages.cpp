// The main window's page boxes (begin and end card page): their edits, the keys that step them, the
// "адреса из FAT" switch that locks them, and the page check ("начало/конец") that tells in the status
// bar what the two pages hold.
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QToolButton>

#include "platform/ui/message_box.h"
#include "recorder/fat_link.h"
#include "recorder/page_boxes.h"
#include "recorder/page_range_check.h"
#include "recorder/program_link.h"
#include "recorder/ui/main_window.h"
#include "recorder/unit_link.h"
#include "toolkit/parse_number.h"

namespace recorder {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Writes `page` back into the box when its text differs, without calling the box's change handler
// again.
void WriteBack(QLineEdit& box, uint32_t page) {
  const QString text = Q(PageBoxText(page));
  if (box.text() == text) return;
  const int cursor = box.cursorPosition();
  const QSignalBlocker quiet(box);
  box.setText(text);
  box.setCursorPosition(cursor);
}

uint32_t BoxValue(const QLineEdit& box) { return PageBoxValue(box.text().toStdString()); }

}  // namespace

void Trecorder::L_dl_fatClick() {
  if (!link_) return;
  const StatusBlock& status = GlobalStatus();
  PageRangeInput in;
  in.TypedBegin = toolkit::ParseNumber(E_Beg_adr->text().toStdString());
  in.TypedEnd = toolkit::ParseNumber(E_Kon_adr->text().toStdString());
  in.FCmax = status.FCmax;
  in.StatusChannels = status.Channels;
  in.SampleClock = SampleClock;

  UnitLinkPageSource source(*link_);
  const PageRangeResult r = CheckPageRange(in, source);
  for (const PageCheckMessage& m : r.Messages) {
    if (m.Title.empty()) {
      platform::ui::ShowMessage(m.Text);
    } else {
      platform::ui::MessageBox(m.Text, m.Title, platform::ui::MsgButtons::Ok, platform::ui::MsgIcon::Error);
    }
  }
  if (r.BegPage) BegPage = *r.BegPage;
  if (r.EndPage) EndPage = *r.EndPage;
  if (!r.StatusText.empty()) StatusB->showMessage(Q(r.StatusText));
}

void Trecorder::CB_fatMouseUp() {
  const bool fromFat = CB_fat->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{L_dl_fat, E_Kon_adr, E_Beg_adr}) w->setEnabled(!fromFat);
}

void Trecorder::E_Beg_adrChange() { WriteBack(*E_Beg_adr, BeginBoxAfterChange(BoxValue(*E_Beg_adr))); }

void Trecorder::E_Beg_adrExit() { WriteBack(*E_Beg_adr, BoxValue(*E_Beg_adr)); }

void Trecorder::E_Kon_adrChange() { WriteBack(*E_Kon_adr, BoxValue(*E_Kon_adr)); }

void Trecorder::E_Kon_adrExit() {
  WriteBack(*E_Kon_adr, EndBoxAfterExit(BoxValue(*E_Kon_adr), GlobalStatus().FCmax));
}

bool Trecorder::FormKeyDown(int keyCode, bool ctrl, bool alt) {
  if (SB_id->isChecked()) return false;
  // Z, Z, Z on the wide window puts the picture panel away (the calendar check then shows its report
  // and the live window leaves out its decimal dump).
  if (zPresses_.Press(keyCode == kKeyZ, width() > 720)) P_Wuz->hide();
  if (CB_fat->isChecked()) return false;
  const PageKeyStep step = PageKeyStepOf(keyCode, ctrl, alt);
  QLineEdit* box = step.Box == PageBox::Begin ? E_Beg_adr : step.Box == PageBox::End ? E_Kon_adr : nullptr;
  if (!box) return false;
  // The change handler of the box runs as for any other change.
  box->setText(Q(PageBoxText(SteppedPage(BoxValue(*box), step.Delta))));
  L_dl_fatClick();
  return true;
}

}  // namespace recorder
