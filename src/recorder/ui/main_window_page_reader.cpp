// The main window's "чт-е/зап. карты": the raw page reader and writer, shown modally.
#include <QLineEdit>
#include <QPushButton>

#include "platform/ui/modal_run.h"
#include "recorder/status_block.h"
#include "recorder/ui/main_window.h"
#include "recorder/ui/page_reader.h"
#include "recorder/unit_link.h"

namespace recorder {

void Trecorder::ConnectPageReader() {
  connect(BB_rw, &QPushButton::clicked, this, &Trecorder::BB_rwClick);
  MarkCommandReady(BB_rw);
  BB_rw->setEnabled(true);
}

void Trecorder::BB_rwClick() {
  if (!link_ || !DataDirUsable()) return;
  PageReaderContext context;
  context.BegPageText = E_Beg_adr->text().toStdString();
  context.ReadPortion = ReadPortion;
  context.DataDir = DataDir;
  context.SampleClock = SampleClock;
  {
    TForm2 reader(*link_, GlobalStatus(), std::move(context), this);
    platform::ui::RunModal(reader);
  }
  link_->DrainMessages();
}

}  // namespace recorder
