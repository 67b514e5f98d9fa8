#pragma once
// TForm3: the modal window in which the user picks the recording to process, or marks several
// recordings of one station to process together. It works on the settings dialog's copy of the setup
// record and leaves its verdict in SettingsResult.
#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "toolkit/recording_chooser.h"
#include "toolkit/setup_record.h"

class QAction;
class QComboBox;
class QLabel;
class QListWidget;
class QMenuBar;
class QMenu;
class QTableWidget;

namespace toolkit {

class TForm3 : public QDialog {
  Q_OBJECT

 public:
  // Works on `setup` (the settings dialog passes its copy). The constructor runs FormCreate.
  explicit TForm3(SetupRecord& setup, QWidget* owner = nullptr);
  ~TForm3() override;

  // Components.
  QComboBox* DriveComboBox1;
  QListWidget* DirectoryListBox1;
  QTableWidget* SG_fil_name;
  QListWidget* ListBox2;
  QLabel* ckoko_file;
  QLabel* L_flm_0;
  QLabel* L_flm_1;
  QLabel* L_flm_2;
  QMenuBar* MainMenu1;
  QMenu* N_type;
  QAction* N_XXz;
  QAction* N_all;
  QMenu* N_sort;
  QAction* N_sort_time;
  QAction* N_sort_name;
  QAction* N_open;
  QAction* N_exit_file;
  QAction* N_exit_program;

  // Handlers.
  void FormCreate();
  void FormShow();
  void DirectoryListBox1Change();
  void DriveComboBox1Change();
  void N_TimeClick(QAction* sender);
  void SG_fil_nameMouseDown(Qt::MouseButton button, int x, int y);
  void SG_fil_nameDblClick();
  void N_openClick();
  void N_exit_fileClick(QAction* sender);

  // The directory the lists show; changing it runs DirectoryListBox1Change.
  QString Directory() const { return directory_; }
  void SetDirectory(const QString& dir);
  // The listed files in their order, and the marks of their rows.
  const std::vector<ChooserFile>& Files() const { return files_; }
  bool IsMarked(int file) const;
  std::string ChosenName() const { return chosenName_; }
  // Grid row of listed file `file` (0-based) and back: row 0 is the header row.
  static int RowOfFile(int file) { return file + 1; }

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Scan();
  void Sort();
  void Fill();
  void FillDirectoryList();
  void ShowMarkedSummary();
  std::string RowName(int row) const;

  SetupRecord& setup_;
  QString directory_;
  std::vector<ChooserFile> files_;
  std::string chosenName_;
};

}  // namespace toolkit
