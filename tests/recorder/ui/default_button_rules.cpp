// The questions of the recorder program whose Enter must give a named button: every window test of
// the program checks each box with these texts, whatever the test is about.
#include <gtest/gtest.h>

#include "support/qt/ui_test_script.h"

namespace recorder {
namespace {

using platform::ui::MsgAnswer;

class DefaultButtonRules : public ::testing::Environment {
 public:
  void SetUp() override {
    // "пуск": Enter must not erase the card's file table.
    support::Ui().RequireDefault("Включение режима регистрации:", MsgAnswer::Cancel);
    // The page reader's DataFlash write: Enter must not write.
    support::Ui().RequireDefault("Запись страниц FLASH", MsgAnswer::No);
  }
};

[[maybe_unused]] const ::testing::Environment* const kRules =
    ::testing::AddGlobalTestEnvironment(new DefaultButtonRules);

}  // namespace
}  // namespace recorder
