#include "recorder/ui/device_chooser.h"

#include <QFontDatabase>
#include <QListWidget>
#include <QVBoxLayout>

namespace recorder {

TForm3* Form3 = nullptr;

TForm3::TForm3(QWidget* parent) : QDialog(parent) {
  setObjectName("Form3");
  setWindowTitle("     Список устройств.        Выбор   -   двойной щелчок");
  LB = new QListWidget(this);
  LB->setObjectName("LB");
  LB->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(LB);
  connect(LB, &QListWidget::itemDoubleClicked, this, &TForm3::LBDblClick);
}

void TForm3::Fill(const std::vector<std::string>& lines) {
  LB->clear();
  for (const std::string& line : lines) LB->addItem(QString::fromStdString(line));
  const int itemHeight = LB->sizeHintForRow(0) > 0 ? LB->sizeHintForRow(0) : LB->fontMetrics().height();
  const int devices = static_cast<int>(lines.size()) - 2;
  resize(std::max(width(), LB->sizeHintForColumn(0) + 8), (itemHeight + 2) * (devices + 2));
}

void TForm3::LBDblClick() {
  if (LB->currentRow() > 0) accept();
}

}  // namespace recorder
