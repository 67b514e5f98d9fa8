#include "platform/ui/terminator.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "platform/ui/synchronize.h"
#include "support/qt/ui_test_script.h"

namespace platform::ui {
namespace {

using support::Ui;
using ::testing::HasSubstr;

TEST(TerminatorTest, ScriptedEndUnwindsWithItsStatus) {
  Ui().ExpectExit(1);
  int caught = -1;
  try {
    ExitProgram(1);
  } catch (const ProgramTerminated& end) {
    caught = end.status();
  }
  EXPECT_EQ(caught, 1);
  EXPECT_EQ(Ui().Exits(), std::vector<int>{1});
  EXPECT_TRUE(Ui().Failures().empty());

  // On a worker thread the end unwinds that thread.
  Ui().ExpectExit(2);
  std::jthread worker([&] {
    try {
      ExitProgram(2);
    } catch (const ProgramTerminated& end) {
      caught = end.status();
    }
  });
  worker.join();
  EXPECT_EQ(caught, 2);
  EXPECT_TRUE(Ui().Failures().empty());
}

TEST(TerminatorTest, UnexpectedEndOrStatusFails) {
  EXPECT_THROW(ExitProgram(1), ProgramTerminated);
  Ui().ExpectExit(0);
  EXPECT_THROW(ExitProgram(1), ProgramTerminated);
  const auto failures = Ui().TakeFailures();
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_THAT(failures[0], HasSubstr("unexpected program end with exit status 1"));
  EXPECT_EQ(Ui().UnusedSteps(), std::vector<std::string>{"program end with status 0"});
  Ui().Reset();
}

TEST(TerminatorDeathTest, WithoutScriptTheProgramEndsWithTheStatus) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        InstallScript(nullptr);
        ExitProgram(3);
      },
      ::testing::ExitedWithCode(3), "");
  // From a worker, the end is carried out on the GUI thread, which waits for something else.
  EXPECT_EXIT(
      {
        InstallScript(nullptr);
        std::jthread worker([] { ExitProgram(4); });
        WaitServing([] { return false; });
      },
      ::testing::ExitedWithCode(4), "");
}

}  // namespace
}  // namespace platform::ui
