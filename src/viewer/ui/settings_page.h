#pragma once
// What the settings dialog's parameter pages share: the show and exit hooks the dialog calls when the
// page is entered and left (and exit on OK), and small helpers for their controls.
#include <QButtonGroup>
#include <QGroupBox>
#include <QLineEdit>
#include <QStringList>
#include <QWidget>
#include <string>

#include "toolkit/setup_record.h"

namespace viewer {

class TMainForm;

class SettingsPageBase : public QWidget {
  Q_OBJECT

 public:
  explicit SettingsPageBase(TMainForm& form);
  // Fills the controls from the dialog's copy of the setup record.
  virtual void PageShow() = 0;
  // Stores the controls; false keeps the user on the page.
  virtual bool PageExit() { return true; }

 protected:
  toolkit::SetupRecord& Copy();
  TMainForm& form_;
};

// A titled group of radio buttons, one per item; the buttons' ids are the item indices.
class RadioGroup : public QGroupBox {
  Q_OBJECT

 public:
  RadioGroup(const QString& title, const QStringList& items, QWidget* parent = nullptr);
  int ItemIndex() const;
  void SetItemIndex(int index);
  QButtonGroup* Buttons() const { return buttons_; }

 signals:
  void Clicked(int index);

 private:
  QButtonGroup* buttons_;
};

// Font colour red or black, and background red or the window colour.
void SetRedText(QWidget* widget, bool red);
void SetRedBackground(QWidget* widget, bool red);
bool IsRedText(const QWidget* widget);
// The control's text as UTF-8.
std::string TextOf(const QLineEdit* edit);
// The edit's value read by the edit-box parser.
double NumberOf(const QLineEdit* edit);
QLineEdit* MakeEdit(QWidget* parent, int maxLength = 0);

}  // namespace viewer
