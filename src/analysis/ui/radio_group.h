#pragma once
// A titled group of radio buttons with an item index, as the parameter panel's choices use it.
#include <QButtonGroup>
#include <QGroupBox>
#include <QStringList>

namespace analysis {

class RadioGroup : public QGroupBox {
  Q_OBJECT

 public:
  RadioGroup(const QString& title, const QStringList& items, QWidget* parent = nullptr);
  int ItemIndex() const { return group_->checkedId(); }
  // An index outside the items checks none.
  void SetItemIndex(int index);
  void SetItemText(int index, const QString& text);
  QString ItemText(int index) const;
  QButtonGroup* Group() const { return group_; }

 private:
  QButtonGroup* group_;
};

}  // namespace analysis
