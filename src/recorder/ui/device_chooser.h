#pragma once
// TForm3, the device chooser: the list of attached recorders, one chosen by a double-click.
#include <QDialog>
#include <string>
#include <vector>

class QListWidget;

namespace recorder {

class TForm3 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm3(QWidget* parent = nullptr);

  QListWidget* LB;

  // Shows `lines` (title line, device lines, exit line) and sizes the form to them.
  void Fill(const std::vector<std::string>& lines);
  // A double-click on any line but the title line closes the chooser with that line chosen.
  void LBDblClick();
};

// The program's device chooser, or nullptr while there is none.
extern TForm3* Form3;

}  // namespace recorder
