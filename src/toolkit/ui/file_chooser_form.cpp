#include "toolkit/ui/file_chooser_form.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStorageInfo>
#include <QTableWidget>
#include <QVBoxLayout>

#include "platform/ui/message_box.h"
#include "toolkit/settings_state.h"
#include "toolkit/setup_file.h"
#include "toolkit/ui/read_file_header.h"

namespace toolkit {

namespace {

constexpr int kMinGridRows = 14;
constexpr int kMarkColumnWidth = 12;
const QString kMark = QStringLiteral("x");

std::string ToBytes(const QString& s) { return s.toStdString(); }

void Warn(const std::string& text) {
  platform::ui::MessageBox(text, "Внимание", platform::ui::MsgButtons::Ok, platform::ui::MsgIcon::Warning);
}

}  // namespace

TForm3::TForm3(SetupRecord& setup, QWidget* owner) : QDialog(owner), setup_(setup) {
  setObjectName("Form3");
  DriveComboBox1 = new QComboBox(this);
  DirectoryListBox1 = new QListWidget(this);
  SG_fil_name = new QTableWidget(this);
  ListBox2 = new QListWidget(this);
  ckoko_file = new QLabel(this);
  L_flm_0 = new QLabel("*  *  *", this);
  L_flm_1 = new QLabel(this);
  L_flm_2 = new QLabel(this);

  MainMenu1 = new QMenuBar(this);
  N_type = MainMenu1->addMenu("   Тип    ");
  N_XXz = N_type->addAction("XXz");
  N_all = N_type->addAction("Все");
  N_sort = MainMenu1->addMenu("  Сортировать");
  N_sort_time = N_sort->addAction("Сорт. по времени");
  N_sort_name = N_sort->addAction("Сорт. по имен");
  N_open = MainMenu1->addAction("  Открыть  ");
  N_exit_file = MainMenu1->addAction("  Выход  ");
  N_exit_program = MainMenu1->addAction("Выход из программы");

  SG_fil_name->setColumnCount(2);
  SG_fil_name->horizontalHeader()->hide();
  SG_fil_name->verticalHeader()->hide();
  SG_fil_name->setEditTriggers(QAbstractItemView::NoEditTriggers);
  SG_fil_name->setSelectionMode(QAbstractItemView::SingleSelection);
  SG_fil_name->setSelectionBehavior(QAbstractItemView::SelectRows);
  SG_fil_name->viewport()->installEventFilter(this);
  // The mark column keeps its width; the name column takes the rest of the grid.
  SG_fil_name->horizontalHeader()->setMinimumSectionSize(kMarkColumnWidth);
  SG_fil_name->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  SG_fil_name->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Fixed);
  SG_fil_name->setColumnWidth(1, kMarkColumnWidth + 4);
  SG_fil_name->verticalHeader()->setDefaultSectionSize(20);

  auto* lists = new QVBoxLayout;
  lists->addWidget(DriveComboBox1);
  lists->addWidget(DirectoryListBox1, 1);
  lists->addWidget(L_flm_0);
  lists->addWidget(L_flm_1);
  lists->addWidget(L_flm_2);
  lists->addWidget(ListBox2, 1);
  auto* body = new QHBoxLayout;
  body->addLayout(lists, 2);
  body->addWidget(SG_fil_name, 3);
  auto* layout = new QVBoxLayout(this);
  layout->setMenuBar(MainMenu1);
  layout->addWidget(ckoko_file);
  layout->addLayout(body, 1);
  resize(900, 600);

  for (QAction* a : {N_XXz, N_all, N_sort_time, N_sort_name})
    connect(a, &QAction::triggered, this, [this, a] { N_TimeClick(a); });
  connect(N_open, &QAction::triggered, this, &TForm3::N_openClick);
  for (QAction* a : {N_exit_file, N_exit_program})
    connect(a, &QAction::triggered, this, [this, a] { N_exit_fileClick(a); });
  connect(DirectoryListBox1, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    SetDirectory(QDir(directory_).absoluteFilePath(item->data(Qt::UserRole).toString()));
  });
  FormCreate();
  connect(DriveComboBox1, &QComboBox::currentIndexChanged, this, &TForm3::DriveComboBox1Change);
}

TForm3::~TForm3() = default;

void TForm3::FormCreate() {
  QString dir = QString::fromStdString(FieldText(setup_.DataDir));
  if (dir.isEmpty() || !QFileInfo(dir).isDir()) {
    dir = QString::fromStdString(ProgramDir);
    if (dir.isEmpty()) dir = QDir::currentPath();
    SetFieldText(setup_.DataDir, ToBytes(dir).substr(0, sizeof setup_.DataDir - 1));
  }
  directory_ = QDir::cleanPath(QDir(dir).absolutePath());
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (volume.isValid() && volume.isReady()) DriveComboBox1->addItem(volume.rootPath());
  }
  if (DriveComboBox1->findText("/") < 0) DriveComboBox1->insertItem(0, "/");
  DriveComboBox1->setCurrentIndex(DriveComboBox1->findText("/"));
  setWindowTitle(directory_);
  FillDirectoryList();
  Scan();
  Sort();
  Fill();
}

void TForm3::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TForm3::FormShow() {
  if (files_.empty()) return;
  const std::string current = FieldText(setup_.FileName);
  int row = RowOfFile(0);
  for (size_t i = 0; i < files_.size(); ++i) {
    if (files_[i].name == current) row = RowOfFile(static_cast<int>(i));
  }
  SG_fil_name->setCurrentCell(row, 0);
  SG_fil_name->setFocus();
  SettingsResult = ReadFileHeader(*ListBox2, setup_);
}

void TForm3::SetDirectory(const QString& dir) {
  const QString clean = QDir::cleanPath(QDir(dir).absolutePath());
  if (!QFileInfo(clean).isDir()) return;
  directory_ = clean;
  FillDirectoryList();
  DirectoryListBox1Change();
}

void TForm3::FillDirectoryList() {
  DirectoryListBox1->clear();
  QDir dir(directory_);
  if (!dir.isRoot()) {
    auto* up = new QListWidgetItem("..", DirectoryListBox1);
    up->setData(Qt::UserRole, QStringLiteral(".."));
  }
  for (const QString& sub : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
    auto* item = new QListWidgetItem(sub, DirectoryListBox1);
    item->setData(Qt::UserRole, sub);
  }
}

void TForm3::DirectoryListBox1Change() {
  const std::string dir = ToBytes(directory_);
  if (FitsDataDirField(dir)) {
    SetFieldText(setup_.DataDir, dir);
  } else {
    Warn(DataDirTooLongText(dir));
  }
  setWindowTitle(directory_);
  Scan();
  Sort();
  Fill();
}

void TForm3::DriveComboBox1Change() {
  if (DriveComboBox1->currentIndex() >= 0) SetDirectory(DriveComboBox1->currentText());
}

void TForm3::Scan() { files_ = ScanRecordings(ToBytes(directory_), setup_); }

void TForm3::Sort() { SortRecordings(files_, setup_.ChooserSort); }

void TForm3::Fill() {
  const int rows = std::max<int>(static_cast<int>(files_.size()) + 1, kMinGridRows);
  SG_fil_name->clearContents();
  SG_fil_name->setRowCount(rows);
  SG_fil_name->setItem(0, 0, new QTableWidgetItem("файл"));
  SG_fil_name->setItem(0, 1, new QTableWidgetItem(""));
  for (size_t i = 0; i < files_.size(); ++i) {
    const int row = RowOfFile(static_cast<int>(i));
    SG_fil_name->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(files_[i].name)));
    SG_fil_name->setItem(row, 1, new QTableWidgetItem(IsSelectedFile(setup_, files_[i].name) ? kMark : ""));
  }
  if (files_.empty()) ListBox2->clear();
  ckoko_file->setText(QString::fromStdString(ChooserCountText(
      ToBytes(directory_), files_.size(), std::min<unsigned>(setup_.StationCount, kStationSlots))));
}

bool TForm3::IsMarked(int file) const {
  const QTableWidgetItem* item = SG_fil_name->item(RowOfFile(file), 1);
  return item != nullptr && item->text() == kMark;
}

std::string TForm3::RowName(int row) const {
  if (row < 1 || row > static_cast<int>(files_.size())) return {};
  return files_[static_cast<size_t>(row - 1)].name;
}

void TForm3::N_TimeClick(QAction* sender) {
  if (sender == N_all) {
    setup_.ChooserFilter = 1;
    Scan();
  } else if (sender == N_XXz) {
    setup_.ChooserFilter = 0;
    Scan();
  }
  setup_.ChooserSort = sender == N_sort_time ? 0 : 1;
  Sort();
  Fill();
}

void TForm3::SG_fil_nameMouseDown(Qt::MouseButton button, int x, int y) {
  const int row = SG_fil_name->rowAt(y);
  if (SG_fil_name->columnAt(x) < 0) return;
  const std::string name = RowName(row);
  if (name.empty()) return;
  if (!FitsFileNameField(name)) {
    Warn(FileNameTooLongText(name));
    return;
  }
  const std::string dir = ToBytes(directory_);
  if (!FitsDataDirField(dir)) {
    Warn(DataDirTooLongText(dir));
    return;
  }
  SG_fil_name->setCurrentCell(row, 0);
  chosenName_ = name;
  SetFieldText(setup_.DataDir, dir);
  setWindowTitle(directory_);
  SetFieldText(setup_.FileName, name);
  ListBox2->clear();
  SettingsResult = ReadFileHeader(*ListBox2, setup_);
  if (SettingsResult == 0 && button != Qt::LeftButton) {
    QTableWidgetItem* mark = SG_fil_name->item(row, 1);
    if (mark == nullptr) SG_fil_name->setItem(row, 1, mark = new QTableWidgetItem);
    mark->setText(mark->text() == kMark ? "" : kMark);
  }
  ShowMarkedSummary();
}

void TForm3::ShowMarkedSummary() {
  int first = -1;
  for (size_t i = 0; i < files_.size() && first < 0; ++i) {
    if (IsMarked(static_cast<int>(i))) first = static_cast<int>(i);
  }
  if (first < 0) {
    L_flm_1->clear();
    L_flm_2->clear();
    return;
  }
  const std::string& name = files_[static_cast<size_t>(first)].name;
  const MarkedSummary summary = SummariseMarkedFile(JoinPath(ToBytes(directory_), name));
  switch (summary.status) {
    case MarkedSummary::OpenFailed:
      platform::ui::MessageBox("MD: Error open file: " + name, "Error");
      return;
    case MarkedSummary::ReadFailed:
      platform::ui::MessageBox("MD: Error read file " + name, "Error");
      return;
    case MarkedSummary::BadHeader:
      return;
    case MarkedSummary::Opened:
      break;
  }
  L_flm_0->setText(QString::fromStdString(name + ":"));
  L_flm_1->setText(QString::fromStdString(summary.from));
  L_flm_2->setText(QString::fromStdString(summary.to));
}

void TForm3::SG_fil_nameDblClick() {
  const std::string name = RowName(SG_fil_name->currentRow());
  if (name.empty() || !FitsFileNameField(name)) return;
  chosenName_ = name;
  setup_.ChosenCount = 0;
  accept();
}

void TForm3::N_openClick() {
  std::vector<std::string> marked;
  for (size_t i = 0; i < files_.size(); ++i) {
    if (IsMarked(static_cast<int>(i))) marked.push_back(files_[i].name);
  }
  StoreSelectedFiles(setup_, marked);
  accept();
}

void TForm3::N_exit_fileClick(QAction* sender) {
  SettingsResult = sender == N_exit_program ? kSettingsLeaveProgram : kSettingsUnchanged;
  reject();
}

bool TForm3::eventFilter(QObject* watched, QEvent* event) {
  if (watched == SG_fil_name->viewport()) {
    if (event->type() == QEvent::MouseButtonPress) {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      const QPoint p = mouse->position().toPoint();
      SG_fil_nameMouseDown(mouse->button(), p.x(), p.y());
      return true;
    }
    if (event->type() == QEvent::MouseButtonDblClick) {
      SG_fil_nameDblClick();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace toolkit
