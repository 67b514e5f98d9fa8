#include "support/qt/ui_test_script.h"

#include <gtest/gtest.h>

namespace support {
namespace {

platform::ui::UiScript& Script() {
  static platform::ui::UiScript script;
  return script;
}

class UiScriptListener : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { Script().Reset(); }
  // Listeners hear OnTestEnd in reverse order of installation, so this runs before the result printer
  // and the failures show under the test they belong to.
  void OnTestEnd(const ::testing::TestInfo&) override { ReportUiScript(); }
};

}  // namespace

platform::ui::UiScript& Ui() { return Script(); }

void ReportUiScript() {
  for (const std::string& failure : Script().TakeFailures()) ADD_FAILURE() << failure;
  for (const std::string& step : Script().UnusedSteps())
    ADD_FAILURE() << "scripted step left unused: " << step;
  Script().Reset();
}

void InstallUiScriptListener() {
  platform::ui::InstallScript(&Script());
  ::testing::UnitTest::GetInstance()->listeners().Append(new UiScriptListener);
}

}  // namespace support
