#pragma once
// State shared by the processing program's settings dialog, its file chooser and the main window while
// the dialog is open.
#include "toolkit/setup_record.h"

namespace toolkit {

// Result of the settings dialog, read by the main window when the dialog has closed. While the dialog
// is open the file chooser leaves here the header check of the picked file (0 good, 1 bad, -1 unreadable).
extern int SettingsResult;

constexpr int kSettingsOpenMode = -1;       // the dialog must obtain a readable file first
constexpr int kSettingsUnchanged = 100;     // nothing that needs a new read has changed
constexpr int kSettingsChanged = 101;       // the recording must be read again
constexpr int kSettingsLeaveProgram = 222;  // the user left the program from the file chooser

// The settings dialog's private copy of Setup while the dialog is open (null otherwise); the file chooser
// writes the chosen directory and files into it.
extern SetupRecord* SetupCopy;

}  // namespace toolkit
