// The main window's "установки": the setup editor over the block read from the recorder.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>

#include "platform/clock.h"
#include "platform/ui/message_box.h"
#include "platform/ui/modal_run.h"
#include "recorder/session_texts.h"
#include "recorder/status_block.h"
#include "recorder/ui/main_window.h"
#include "recorder/ui/setup_editor.h"
#include "recorder/unit_commands.h"
#include "recorder/unit_link.h"

namespace recorder {

using platform::ui::MessageBox;
using platform::ui::MsgButtons;
using platform::ui::MsgIcon;

void Trecorder::ConnectSetupEditor() {
  connect(B_set, &QPushButton::clicked, this, &Trecorder::B_setClick);
  MarkCommandReady(B_set);
}

bool Trecorder::ReadSetupBlock() {
  SetupMessage message;
  if (ReadSetup(*link_, *Setup, message)) return true;
  if (!message.Text.empty())
    MessageBox(message.Text, message.Caption, MsgButtons::Ok, message.ErrorIcon ? MsgIcon::Error : MsgIcon::None);
  return false;
}

bool Trecorder::ReadSetupForEditor() {
  if (ReadSetupBlock()) return true;
  MessageBox("Ошибка открытия файла установок\nБудет создан по умолчанию", "Error", MsgButtons::Ok,
             MsgIcon::Information);
  DefaultSetup(*Setup, GlobalStatus(), ChannelCount);
  return false;
}

void Trecorder::B_setClick() {
  if (!link_ || !Setup) return;
  UnitLink& link = *link_;
  ReadStatus(link, GlobalStatus());
  if ((GlobalStatus().sysRG & (kRgAdcOn | kRgWaiting)) == (kRgAdcOn | kRgWaiting)) {
    MessageBox("включена регистрация", "н е л ь з я !", MsgButtons::Ok, MsgIcon::Information);
    return;
  }
  B_read->setEnabled(false);
  const bool fromRecorder = ReadSetupForEditor();
  {
    TForm1 editor(*Setup, link, ChannelCount, this);
    editor.BlockFromRecorder = fromRecorder;
    platform::ui::RunModal(editor);
  }
  link.DrainMessages();
  ReadSetupForEditor();
  CB_HF_U->setCurrentIndex(std::min<int>(Setup->HighPassIndex, CB_HF_U->count() - 1));
  UD_dl->setValue(Setup->FileMinutes);
  P_dl->setText(QString::fromStdString(FileLengthCaption(Setup->FileMinutes)));
  platform::Sleep(5);
  RefreshStatus();
  UpdateButtons();
}

}  // namespace recorder
