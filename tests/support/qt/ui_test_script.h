#pragma once
// The script of the GUI services for window tests. The test main installs one script for the whole
// run; it is emptied before every test, and after every test each recorded failure (an unscripted
// message box or modal run, an unexpected program end) and each scripted step left unused fails the test.
#include "platform/ui/ui_script.h"

namespace support {

// The script of the running test.
platform::ui::UiScript& Ui();

// Turns the script's failures and unused steps into failures of the running test and empties the
// script. Called after every test; callable by a test that checks the reporting itself.
void ReportUiScript();

// Installs the script and the listener that resets and reports it around each test.
void InstallUiScriptListener();

}  // namespace support
