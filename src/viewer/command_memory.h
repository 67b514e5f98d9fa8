#pragma once
// Running out of memory inside a command of the processing program: the command stops, the user is told,
// and the program goes on with the record as it was.
#include <functional>
#include <string>

#include "toolkit/setup_record.h"
#include "viewer/processing_commands.h"

namespace viewer {

inline constexpr const char* kCommandOutOfMemoryText =
    "Не хватает памяти: команда не выполнена, каналы и установки не изменены.";
inline constexpr const char* kOutOfMemoryStoppedText = "Не хватает памяти: команда прервана.";

// Runs `command`, which works on the record in memory. When an allocation inside it fails, the setup
// record is put back as it was before the command and the result carries only kCommandOutOfMemoryText.
// The commands take their working memory before they write a sample, so the channels are as they were.
CommandResult RunWithinMemory(toolkit::SetupRecord& setup, const std::function<CommandResult()>& command);

// Runs a command of the windows; when an allocation inside it fails, returns kOutOfMemoryStoppedText
// (empty when the command ran to its end).
std::string RunCatchingOutOfMemory(const std::function<void()>& command);

}  // namespace viewer
