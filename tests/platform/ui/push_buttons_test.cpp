#include "platform/ui/push_buttons.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QApplication>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace platform::ui {
namespace {

// Enter in an edit of a dialog: Qt presses the first auto-default button; after NoDefaultButtons
// nothing is pressed and the dialog stays open.
TEST(PushButtonsTest, EnterInAnEditPressesNoButtonOnceDefaultsAreCleared) {
  for (const bool cleared : {false, true}) {
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* edit = new QLineEdit(&dialog);
    auto* first = new QPushButton("first", &dialog);
    auto* second = new QPushButton("second", &dialog);
    layout->addWidget(edit);
    layout->addWidget(first);
    layout->addWidget(second);
    int pressed = 0;
    QObject::connect(first, &QPushButton::clicked, [&] { ++pressed; });
    QObject::connect(second, &QPushButton::clicked, [&] { ++pressed; });
    if (cleared) NoDefaultButtons(dialog);
    dialog.show();
    edit->setFocus();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(edit, &press);
    EXPECT_EQ(pressed, cleared ? 0 : 1) << "cleared " << cleared;
    EXPECT_EQ(first->autoDefault(), !cleared);
    EXPECT_EQ(second->isDefault(), false);
  }
}

}  // namespace
}  // namespace platform::ui
