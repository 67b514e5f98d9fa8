#include "analysis/ui/radio_group.h"

#include <QAbstractButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace analysis {

RadioGroup::RadioGroup(const QString& title, const QStringList& items, QWidget* parent)
    : QGroupBox(title, parent), group_(new QButtonGroup(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 2, 6, 2);
  layout->setSpacing(0);
  for (int i = 0; i < items.size(); ++i) {
    auto* b = new QRadioButton(items[i], this);
    group_->addButton(b, i);
    layout->addWidget(b);
  }
}

void RadioGroup::SetItemIndex(int index) {
  if (QAbstractButton* b = group_->button(index)) {
    b->setChecked(true);
    return;
  }
  group_->setExclusive(false);
  for (QAbstractButton* b : group_->buttons()) b->setChecked(false);
  group_->setExclusive(true);
}

void RadioGroup::SetItemText(int index, const QString& text) {
  if (QAbstractButton* b = group_->button(index)) b->setText(text);
}

QString RadioGroup::ItemText(int index) const {
  QAbstractButton* b = group_->button(index);
  return b != nullptr ? b->text() : QString();
}

}  // namespace analysis
