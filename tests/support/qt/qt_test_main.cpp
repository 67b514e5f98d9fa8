// Entry of the window tests: one QApplication on the offscreen platform, the GUI services under a
// test script, then GoogleTest.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "platform/ui/numeric_locale.h"
#include "support/qt/ui_test_script.h"
#include "support/temp_room.h"

namespace {
// Without XDG_RUNTIME_DIR Qt makes "runtime-<user>" in the temporary folder and leaves it there: the tests
// give it a folder of their own, removed when they end.
class RuntimeFolder {
 public:
  RuntimeFolder() {
    if (std::getenv("XDG_RUNTIME_DIR") != nullptr) return;
    std::error_code ec;
    std::string pattern = (std::filesystem::temp_directory_path(ec) / "suite_runtime_XXXXXX").string();
    if (!ec && ::mkdtemp(pattern.data()) != nullptr) {
      path_ = pattern;
      setenv("XDG_RUNTIME_DIR", path_.c_str(), 1);
    }
  }
  ~RuntimeFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  RuntimeFolder(const RuntimeFolder&) = delete;
  RuntimeFolder& operator=(const RuntimeFolder&) = delete;

 private:
  std::string path_;
};
}  // namespace

int main(int argc, char** argv) {
  // A temporary folder without room ends the program before the first test (with a message that names
  // it); nothing is made in it, not even by Qt, which then does not start.
  const bool room = support::TemporaryFolderProblem().empty();
  std::optional<RuntimeFolder> runtimeFolder;
  if (room) runtimeFolder.emplace();
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Pictures are checked pixel by pixel: the scaling a desktop session may ask for does not apply.
  for (const char* scaling : {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_FONT_DPI", "QT_USE_PHYSICAL_DPI",
                              "QT_ENABLE_HIGHDPI_SCALING", "QT_SCALE_FACTOR_ROUNDING_POLICY"})
    unsetenv(scaling);
  platform::ui::UseCNumericLocale();
  ::testing::InitGoogleTest(&argc, argv);
  std::optional<QApplication> app;
  if (room) app.emplace(argc, argv);
  support::InstallUiScriptListener();
  return RUN_ALL_TESTS();
}
