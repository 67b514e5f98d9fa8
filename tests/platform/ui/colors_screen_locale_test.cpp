#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/ui/colors.h"
#include "platform/ui/numeric_locale.h"
#include "platform/ui/screen.h"
#include "support/qt/ui_test_script.h"

namespace platform::ui {
namespace {

TEST(ColorsTest, BgrValuesMapToTheirChannels) {
  EXPECT_EQ(ColorFromBgr(0x0000FF), QColor(255, 0, 0));
  EXPECT_EQ(ColorFromBgr(0xFF0000), QColor(0, 0, 255));
  EXPECT_EQ(ColorFromBgr(0x0000CC), QColor(204, 0, 0));
  EXPECT_EQ(ColorFromBgr(0x808000), QColor(0, 128, 128));
  EXPECT_EQ(ColorFromBgr(0x12345678), QColor(0x78, 0x56, 0x34));
}

TEST(ScreenTest, ScriptFixesTheSizeUntilReset) {
  support::Ui().SetScreenSize(QSize(1280, 1024));
  EXPECT_EQ(ScreenSize(), QSize(1280, 1024));
  support::Ui().Reset();
  EXPECT_EQ(ScreenSize(), QGuiApplication::primaryScreen()->size());
}

TEST(NumericLocaleTest, NumbersUseTheDecimalPoint) {
  // The test main calls UseCNumericLocale before building the application object.
  ASSERT_NE(std::getenv("LC_NUMERIC"), nullptr);
  EXPECT_STREQ(std::getenv("LC_NUMERIC"), "C");
  std::setlocale(LC_NUMERIC, "");
  UseCNumericLocale();
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", 1.5);
  EXPECT_STREQ(text, "1.50");
  EXPECT_STREQ(std::localeconv()->decimal_point, ".");
  EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
}

}  // namespace
}  // namespace platform::ui
