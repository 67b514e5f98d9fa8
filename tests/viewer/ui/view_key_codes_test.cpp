#include "viewer/ui/view_key_codes.h"

#include <gtest/gtest.h>

#include "viewer/view_keys.h"

namespace {

int Code(int key, Qt::KeyboardModifiers mods = Qt::NoModifier, quint32 scanCode = 0) {
  const QKeyEvent e(QEvent::KeyPress, key, mods, scanCode, 0, 0);
  return viewer::ViewKeyCode(e);
}

TEST(ViewKeyCodes, MainKeyboardAndKeypadGiveTheSameCodes) {
  EXPECT_EQ(Code(Qt::Key_Return), viewer::kKeyEnter);
  EXPECT_EQ(Code(Qt::Key_Enter, Qt::KeypadModifier), viewer::kKeyEnter);
  EXPECT_EQ(Code(Qt::Key_Space), viewer::kKeySpace);
  EXPECT_EQ(Code(Qt::Key_Left), viewer::kKeyLeft);
  EXPECT_EQ(Code(Qt::Key_Left, Qt::KeypadModifier), viewer::kKeyLeft);
  EXPECT_EQ(Code(Qt::Key_Up), viewer::kKeyUp);
  EXPECT_EQ(Code(Qt::Key_Right), viewer::kKeyRight);
  EXPECT_EQ(Code(Qt::Key_Down, Qt::KeypadModifier), viewer::kKeyDown);
  EXPECT_EQ(Code(Qt::Key_Insert, Qt::KeypadModifier), viewer::kKeyInsert);
  EXPECT_EQ(Code(Qt::Key_Equal), viewer::kKeyPlus);
  EXPECT_EQ(Code(Qt::Key_Plus, Qt::KeypadModifier), viewer::kKeyPlus);
  EXPECT_EQ(Code(Qt::Key_Minus), viewer::kKeyMinus);
  EXPECT_EQ(Code(Qt::Key_Minus, Qt::KeypadModifier), viewer::kKeyMinus);
}

TEST(ViewKeyCodes, KeysThePlotDoesNotUseStillHaveACode) {
  EXPECT_EQ(Code(Qt::Key_Q), 'Q');
  EXPECT_EQ(Code(Qt::Key_4, Qt::KeypadModifier), '4');
  EXPECT_EQ(Code(Qt::Key_Escape), 27);
  EXPECT_EQ(Code(Qt::Key_Control, Qt::ControlModifier), 17);
  EXPECT_EQ(Code(Qt::Key_F11), 122);
  EXPECT_EQ(Code(Qt::Key_Pause), viewer::kKeyOther);
  EXPECT_EQ(Code(0x0416), viewer::kKeyOther);  // Ж
}

TEST(ViewKeyCodes, TheLetterKeyIsFoundUnderEveryLayout) {
  EXPECT_EQ(Code(Qt::Key_V), viewer::kKeyV);
  EXPECT_EQ(Code(0x041C), viewer::kKeyV);  // М on the Russian layout
  // The physical V key while a layout gives it another letter.
  EXPECT_EQ(Code(Qt::Key_K, Qt::NoModifier, 55), viewer::kKeyV);
  EXPECT_EQ(Code(Qt::Key_K, Qt::NoModifier, 45), 'K');
}

TEST(ViewKeyCodes, CtrlFlag) {
  const QKeyEvent with(QEvent::KeyPress, Qt::Key_Right, Qt::ControlModifier | Qt::KeypadModifier);
  const QKeyEvent without(QEvent::KeyPress, Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(viewer::CtrlHeld(with), 1);
  EXPECT_EQ(viewer::CtrlHeld(without), 0);
}

}  // namespace
