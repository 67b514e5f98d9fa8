// The setup editor's converter page: the zero calibration (start and stop, the summing thread's end,
// the progress list, the store or reset of the offsets) and the filter page's drawing.
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <cstring>

#include "platform/clock.h"
#include "platform/ui/message_box.h"
#include "platform/ui/paint_box.h"
#include "platform/ui/synchronize.h"
#include "recorder/high_pass_curve.h"
#include "recorder/read_ang.h"
#include "recorder/status_block.h"
#include "recorder/ui/setup_editor.h"
#include "recorder/unit_commands.h"
#include "recorder/unit_link.h"
#include "toolkit/format_text.h"

namespace recorder {

using platform::ui::MessageBox;
using platform::ui::MsgAnswer;
using platform::ui::MsgButtons;
using platform::ui::MsgIcon;

namespace {

constexpr size_t kComparedBytes = 310;
constexpr int kMostWriteErrors = 5;
constexpr const char* kResetCaption = "Сброс калибровки";
constexpr const char* kStoreCaption = "Сохр. калибровку";

}  // namespace

void TForm1::SB_KaClick() {
  const bool down = SB_Ka->isChecked();
  if (!down) {
    // Released: the thread ends and its end handler gives the page back.
    cal_.End(kCalStopped);
    return;
  }
  if (calThread_) return;  // still ending
  const StatusBlock& status = GlobalStatus();
  if (copy_.ChannelCode != status.Channels) {
    MessageBox(toolkit::FormatText("   О Т М Е Н Я Е М !\n%u  %u  ", unsigned{status.Channels},
                                   unsigned{copy_.ChannelCode}),
               "только при всех включенных каналах!");
    SB_Ka->setChecked(false);
    return;
  }
  if (std::memcmp(setup_.K_yc, copy_.K_yc, sizeof setup_.K_yc) != 0 || setup_.SampleRate != copy_.SampleRate) {
    MessageBox("   О Т М Е Н Я Е М !", "Сохраните измененные K_yc!");
    SB_Ka->setChecked(false);
    return;
  }
  cal_.Reset();
  B_prow->setEnabled(false);
  LB_read->clear();
  LB_read->show();
  BB_Cbpoc->setText(HasCalibration(copy_, status, CalibratedChannels(copy_)) ? kResetCaption : kStoreCaption);
  BB_Cbpoc->setStyleSheet("color: red;");
  P_com->hide();
  LB_read->setStyleSheet(QString());
  platform::Sleep(10);
  if (SetTransmission(link_, kModeTransmission) != kDone) {
    MessageBox("   О Ш И Б К А !", "", MsgButtons::Ok, MsgIcon::Information);
    SB_Ka->setChecked(false);
    B_prow->setEnabled(true);
    P_com->show();
    return;
  }
  platform::Sleep(10);
  calThread_ = std::make_unique<read_ang>(link_, cal_, status.Channels);
  calHook_ = Shutdown().Add("read_ang", [this] { StopCalibration(); });
  QPointer<TForm1> self(this);
  calThread_->Start([self] {
    platform::ui::PostToGui([self] {
      if (self) self->CalibrationDone();
    });
  });
}

void TForm1::StopCalibration() {
  if (!calThread_) return;
  cal_.End(kCalStopped);
  calThread_->Thread().request_stop();
  stopping_ = true;
  platform::ui::JoinServing(calThread_->Thread());
  stopping_ = false;
  FinishCalibration();
}

void TForm1::CalibrationDone() {
  // After a stop by the window the stop itself has finished.
  if (!calThread_ || stopping_) return;
  platform::ui::JoinServing(calThread_->Thread());
  FinishCalibration();
}

void TForm1::FinishCalibration() {
  calThread_.reset();
  calHook_.Release();
  B_prow->setEnabled(true);
  BB_Cbpoc->setEnabled(true);
  BB_Cbpoc->setStyleSheet(QString());
  P_com->show();
  SB_Ka->setChecked(false);
  const int state = cal_.State();
  if (state == kCalNoData) platform::ui::ShowMessage("НЕТ Данных!");
  if (state == kCalEnough) platform::ui::ShowMessage("на пока хватит!");
}

void TForm1::Timer1Timer() {
  if (link_.WriteErrors > kMostWriteErrors) {
    done(QDialog::Rejected);
    return;
  }
  if (LB_read->isHidden()) return;
  const CalSnapshot sums = cal_.Snapshot();
  const CalProgress p = CalibrationProgress(sums, copy_, GlobalStatus());
  LB_read->clear();
  for (size_t i = 0; i < p.Lines.size(); ++i) {
    LB_read->addItem(QString::fromStdString(p.Lines[i]));
    if (i == 1 && !p.ChannelsMatch) LB_read->item(1)->setForeground(Qt::red);
  }
  blink_ = !blink_;
  LB_read->setStyleSheet(blink_ ? "background-color: #cfcfff;" : "background-color: #ffffff;");
  if (p.StoreAllowed) BB_Cbpoc->setEnabled(true);
}

void TForm1::BB_CbpocClick() {
  if (SB_Ka->isChecked()) {
    MessageBox("   выключите АЦП", "");
    return;
  }
  if (std::memcmp(SetupBytes(setup_), SetupBytes(copy_), kComparedBytes) != 0 &&
      MessageBox("   О Т М Е Н И Т Ь ?", "Внесенные в SETUP изменения (кроме календаря) будут сохранены!",
                 MsgButtons::YesNo) == MsgAnswer::Yes)
    return;
  platform::Sleep(100);
  link_.DrainMessages();
  const StatusBlock& status = GlobalStatus();
  if (BB_Cbpoc->text() == QString::fromUtf8(kResetCaption)) {
    ResetOffsets(setup_, status, CalibratedChannels(setup_));
  } else {
    StoreOffsets(setup_, status, cal_.Snapshot(), CalibratedChannels(setup_));
  }
  // Page 0 alone, so calendar edits not saved stay off the recorder, as long as page 0 still describes
  // the recorder's calendar pages. After "Default", a loaded "unit_setup" or a block that could not be
  // read from the recorder it no longer does: then every page the block needs, calendar included, so
  // the next read of the setup finds them consistent.
  SetupMessage message;
  bool written = false;
  if (recorderBook_ && SameCalendarBook(setup_, copy_)) {
    written = WriteSetupPageZero(link_, setup_, message);
  } else {
    written = WriteSetup(link_, setup_, message);
    recorderBook_ = written;
  }
  if (!written) platform::ui::ShowMessage(message.Text.empty() ? "ошибка на стр. 0" : message.Text);
  copy_ = setup_;
  SetupToControls();
}

void TForm1::TS_filtrShow() {
  const HighPassCurve curve = HighPassResponse(designer_, setup_.HighPassIndex, setup_.SampleRate);
  Label3->setText(QString::fromStdString(curve.Caption));
  QImage& image = PB->Image();
  image.fill(palette().button().color());
  if (curve.Drawn) {
    const int w = image.width();
    const int h = image.height();
    QPainter painter(&image);
    QPoint last(5, 5);
    painter.setPen(Qt::blue);
    for (int i = 0; i < kHighPassCurvePoints; ++i) {
      const QPoint p(static_cast<int>(i * (w - 30) * 0.0025 + 5), static_cast<int>(h - 5 - (h - 10) * curve.Amplitude[i]));
      painter.drawLine(last, p);
      last = p;
    }
    painter.setPen(Qt::black);
    painter.drawLine(5, 2, 5, h - 5);
    painter.drawLine(5, h - 5, w - 22, h - 5);
    for (int k = 0; k <= 10; ++k) {
      const int x = k * (w - 30) / 10 + 5;
      painter.drawLine(x, h - 5, x, h - 10);
    }
    painter.setPen(Qt::blue);
    painter.drawText(w - 52, h - 20 + painter.fontMetrics().ascent(),
                     QString::fromStdString(toolkit::FormatText("%.0f Гц", setup_.SampleRate * 0.005)));
  }
  PB->update();
}

}  // namespace recorder
