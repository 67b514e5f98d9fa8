#include "viewer/ui/settings_page.h"

#include <QPalette>
#include <QRadioButton>
#include <QVBoxLayout>

#include "toolkit/parse_number.h"
#include "viewer/ui/settings_dialog.h"

namespace viewer {

SettingsPageBase::SettingsPageBase(TMainForm& form) : form_(form) {}

toolkit::SetupRecord& SettingsPageBase::Copy() { return form_.Copy(); }

RadioGroup::RadioGroup(const QString& title, const QStringList& items, QWidget* parent)
    : QGroupBox(title, parent), buttons_(new QButtonGroup(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 2, 6, 2);
  layout->setSpacing(0);
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i], this);
    buttons_->addButton(button, i);
    layout->addWidget(button);
  }
  connect(buttons_, &QButtonGroup::idClicked, this, &RadioGroup::Clicked);
}

int RadioGroup::ItemIndex() const { return buttons_->checkedId(); }

void RadioGroup::SetItemIndex(int index) {
  if (QAbstractButton* b = buttons_->button(index)) b->setChecked(true);
}

void SetRedText(QWidget* widget, bool red) {
  QPalette p = widget->palette();
  p.setColor(QPalette::Text, red ? QColor(255, 0, 0) : QColor(0, 0, 0));
  p.setColor(QPalette::WindowText, red ? QColor(255, 0, 0) : QColor(0, 0, 0));
  widget->setPalette(p);
}

void SetRedBackground(QWidget* widget, bool red) {
  QPalette p = widget->palette();
  p.setColor(QPalette::Base, red ? QColor(255, 0, 0) : QPalette().color(QPalette::Base));
  widget->setPalette(p);
}

bool IsRedText(const QWidget* widget) { return widget->palette().color(QPalette::Text) == QColor(255, 0, 0); }

std::string TextOf(const QLineEdit* edit) { return edit->text().toStdString(); }

double NumberOf(const QLineEdit* edit) { return toolkit::ParseNumber(TextOf(edit)); }

QLineEdit* MakeEdit(QWidget* parent, int maxLength) {
  auto* e = new QLineEdit(parent);
  if (maxLength > 0) e->setMaxLength(maxLength);
  return e;
}

}  // namespace viewer
