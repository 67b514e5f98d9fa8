#include "platform/ui/sound.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/planted_fifo.h"
#include "support/qt/ui_test_script.h"
#include "support/temp_dir.h"

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

// The real service: a missing file, a link or a FIFO plays nothing and says so once, at once.
TEST(SoundTest, AMissingFileIsToldAtOnce) {
  support::TempDir dir;
  std::ofstream(dir.File("real.wav")) << "RIFF";
  std::filesystem::create_symlink("real.wav", dir.File("link.wav"));
  InstallScript(nullptr);
  std::vector<std::string> told;
  auto tell = [&](const std::string& why) { told.push_back(why); };
  PlaySoundAsync("/no/such/dir/SIGNAL.WAV", tell);
  PlaySoundAsync(dir.File("link.wav"), tell);
  EXPECT_TRUE(support::FifoLeftUnread(dir.File("fifo.wav"), [&] { PlaySoundAsync(dir.File("fifo.wav"), tell); }));
  InstallScript(&Ui());
  EXPECT_EQ(told, (std::vector<std::string>{"нет файла /no/such/dir/SIGNAL.WAV",
                                            "не обычный файл " + dir.File("link.wav"),
                                            "не обычный файл " + dir.File("fifo.wav")}));
}

}  // namespace
}  // namespace platform::ui
