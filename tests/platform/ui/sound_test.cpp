#include "platform/ui/sound.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/qt/ui_test_script.h"

namespace platform::ui {
namespace {

using support::Ui;

// Under a script sounds are recorded, never played; a failure the script names is told once.
TEST(SoundTest, ScriptedSoundsAreRecordedAndFailAsTheScriptSays) {
  std::vector<std::string> told;
  auto tell = [&](const std::string& why) { told.push_back(why); };
  PlaySoundAsync("/prog/SIGNAL.WAV", tell);
  Ui().SetSoundFailure("нет звукового устройства");
  PlaySoundAsync("/prog/SIGNAL.WAV", tell);
  PlaySoundAsync("/prog/other.wav");  // nobody to tell
  EXPECT_EQ(Ui().Sounds(), (std::vector<std::string>{"/prog/SIGNAL.WAV", "/prog/SIGNAL.WAV", "/prog/other.wav"}));
  EXPECT_EQ(told, std::vector<std::string>{"нет звукового устройства"});
  Ui().Reset();
  EXPECT_TRUE(Ui().Sounds().empty());
}

// The real service: a missing file plays nothing and says so once, at once.
TEST(SoundTest, AMissingFileIsToldAtOnce) {
  InstallScript(nullptr);
  std::vector<std::string> told;
  PlaySoundAsync("/no/such/dir/SIGNAL.WAV", [&](const std::string& why) { told.push_back(why); });
  InstallScript(&Ui());
  EXPECT_EQ(told, std::vector<std::string>{"нет файла /no/such/dir/SIGNAL.WAV"});
}

}  // namespace
}  // namespace platform::ui
