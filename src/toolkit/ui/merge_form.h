#pragma once
// TForm4: the modal window that merges two recordings of the same rate into a new one whose channels
// are those of the first recording followed by those of the second. The first recording is the current
// file of the setup record; the second is chosen in a file dialog. The output goes to the second
// recording's directory.
#include <QDialog>
#include <memory>
#include <string>

#include "toolkit/merge_recordings.h"
#include "toolkit/setup_record.h"

class QAction;
class QLabel;
class QListWidget;
class QMenuBar;

namespace toolkit {

class TForm4 : public QDialog {
  Q_OBJECT

 public:
  // Copies `setup` three times (first file, second file, output) and runs FormCreate, which reads the
  // first file and asks for the second.
  explicit TForm4(const SetupRecord& setup, QWidget* owner = nullptr);
  ~TForm4() override;

  // Components.
  QListWidget* ListBox1;
  QListWidget* ListBox2;
  QLabel* Label3;
  QLabel* Label4;
  QMenuBar* MainMenu1;
  QAction* N_name2;
  QAction* N_po_BPEM;
  QAction* N_po_begin;
  QAction* N7;

  // Handlers.
  void FormCreate();
  void N_name2Click();
  void N_po_beginClick(QAction* sender);
  void N7Click();

  // Reads side 0 (first file) or 1 (second file) into its list; 1 usable, 0 not.
  int ReadSide(const std::string& path, const std::string& name, int side);
  // The second file's directory: where the output goes.
  const std::string& OutputDir() const { return dirB_; }

 private:
  std::unique_ptr<SetupRecord> A_, B_, Out_;
  std::string pathA_, pathB_, nameA_, nameB_, dirB_;
  uint64_t samplesA_ = 0, samplesB_ = 0;
};

}  // namespace toolkit
