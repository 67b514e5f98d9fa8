#include "viewer/command_memory.h"

#include <new>

namespace viewer {

CommandResult RunWithinMemory(toolkit::SetupRecord& setup, const std::function<CommandResult()>& command) {
  const toolkit::SetupRecord before = setup;
  try {
    return command();
  } catch (const std::bad_alloc&) {
    setup = before;
    CommandResult refused;
    refused.messages.push_back(kCommandOutOfMemoryText);
    return refused;
  }
}

std::string RunCatchingOutOfMemory(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::bad_alloc&) {
    return kOutOfMemoryStoppedText;
  }
  return {};
}

}  // namespace viewer
