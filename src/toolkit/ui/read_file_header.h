#pragma once
// ReadFileHeader: reads the main header of the current file of a setup record and lists its description.
#include "toolkit/setup_record.h"

class QListWidget;

namespace toolkit {

// Clears `list`, reads the header of SetupRecord.FileName (in SetupRecord.DataDir) and lists the file
// name and the header's description (or the reason it fails the check). Good: SetupRecord.FileSamples
// and SetupRecord.Header are set. Returns -1 no file or unreadable, 0 good, 1 bad header.
int ReadFileHeader(QListWidget& list, SetupRecord& setup);

}  // namespace toolkit
