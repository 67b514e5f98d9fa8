#include "toolkit/ui/read_file_header.h"

#include <QListWidget>

#include "platform/ui/message_box.h"
#include "toolkit/recording_chooser.h"

namespace toolkit {

int ReadFileHeader(QListWidget& list, SetupRecord& setup) {
  list.clear();
  const FileHeaderResult read = ReadCurrentFileHeader(setup);
  if (read.readFailed) {
    platform::ui::MessageBox("Error read file RFI2 " + FieldText(setup.FileName), "Error",
                             platform::ui::MsgButtons::Ok, platform::ui::MsgIcon::Error);
  }
  for (const std::string& line : read.lines) list.addItem(QString::fromStdString(line));
  return read.result;
}

}  // namespace toolkit
