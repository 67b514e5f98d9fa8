#include "toolkit/ui/merge_form.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QVBoxLayout>
#include <filesystem>

#include "platform/output_file.h"
#include "platform/ui/message_box.h"
#include "platform/ui/modal_run.h"
#include "toolkit/recording_chooser.h"

namespace toolkit {

namespace {

void Fill(QListWidget& list, const std::vector<std::string>& lines) {
  list.clear();
  for (const std::string& line : lines) list.addItem(QString::fromStdString(line));
}

// Asks for a name in an input box; empty when the user cancels.
std::string AskName(QWidget* owner, const std::string& offered) {
  QInputDialog box(owner);
  box.setObjectName("InputBox");
  box.setWindowTitle("Ввод имени нового файла");
  box.setLabelText("Ввод имени нового файла");
  box.setInputMode(QInputDialog::TextInput);
  box.setTextValue(QString::fromStdString(offered));
  if (platform::ui::RunModal(box) != QDialog::Accepted) return {};
  return box.textValue().trimmed().toStdString();
}

}  // namespace

TForm4::TForm4(const SetupRecord& setup, QWidget* owner)
    : QDialog(owner),
      A_(std::make_unique<SetupRecord>(setup)),
      B_(std::make_unique<SetupRecord>(setup)),
      Out_(std::make_unique<SetupRecord>(setup)) {
  setObjectName("Form4");
  setWindowTitle("Объединение двух файлов");
  ListBox1 = new QListWidget(this);
  ListBox2 = new QListWidget(this);
  Label3 = new QLabel("Данные файла N1", this);
  Label4 = new QLabel("Данные файла N2", this);
  MainMenu1 = new QMenuBar(this);
  N_name2 = MainMenu1->addAction("Повторить выбор  второго файла ");
  N_po_BPEM = MainMenu1->addAction("объединить по времени");
  N_po_begin = MainMenu1->addAction("Объединить по началу");
  N7 = MainMenu1->addAction("отменить");

  auto* left = new QVBoxLayout;
  left->addWidget(Label3);
  left->addWidget(ListBox1, 1);
  auto* right = new QVBoxLayout;
  right->addWidget(Label4);
  right->addWidget(ListBox2, 1);
  auto* body = new QHBoxLayout;
  body->addLayout(left, 1);
  body->addLayout(right, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setMenuBar(MainMenu1);
  layout->addLayout(body, 1);
  resize(760, 420);

  connect(N_name2, &QAction::triggered, this, &TForm4::N_name2Click);
  connect(N_po_BPEM, &QAction::triggered, this, [this] { N_po_beginClick(N_po_BPEM); });
  connect(N_po_begin, &QAction::triggered, this, [this] { N_po_beginClick(N_po_begin); });
  connect(N7, &QAction::triggered, this, &TForm4::N7Click);
  FormCreate();
}

TForm4::~TForm4() = default;

int TForm4::ReadSide(const std::string& path, const std::string& name, int side) {
  SetupRecord& rec = side == 0 ? *A_ : *B_;
  SideReading read = toolkit::ReadSide(path, name, rec, side == 0 ? uint16_t{0} : A_->Header.Rate);
  if (side == 0) {
    samplesA_ = read.samples;
    Fill(*ListBox1, read.lines);
    return read.usable;
  }
  samplesB_ = read.samples;
  if (read.usable != 0) read.usable = CheckPair(*A_, samplesA_, *B_, samplesB_, read.lines);
  Fill(*ListBox2, read.lines);
  return read.usable;
}

void TForm4::FormCreate() {
  N_po_BPEM->setEnabled(false);
  N_po_begin->setEnabled(false);
  nameA_ = FieldText(A_->FileName);
  pathA_ = CurrentFilePath(*A_);
  if (ReadSide(pathA_, nameA_, 0) == 0) {
    platform::ui::ShowMessage("error");
    return;
  }
  N_name2Click();
}

void TForm4::N_name2Click() {
  QFileDialog dialog(this, "Выбор второго файла", QString::fromStdString(FieldText(B_->DataDir)));
  dialog.setObjectName("OpenDialog1");
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (platform::ui::RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QFileInfo chosen(dialog.selectedFiles().first());
  dirB_ = chosen.absolutePath().toStdString();
  nameB_ = chosen.fileName().toStdString();
  pathB_ = JoinPath(dirB_, nameB_);
  SetFieldText(B_->DataDir, dirB_);
  SetFieldText(B_->FileName, nameB_);
  const bool usable = ReadSide(pathB_, nameB_, 1) != 0;
  N_po_BPEM->setEnabled(usable);
  N_po_begin->setEnabled(usable);
  QPalette p = ListBox2->palette();
  p.setColor(QPalette::Text, usable ? Qt::black : Qt::red);
  ListBox2->setPalette(p);
}

void TForm4::N_po_beginClick(QAction* sender) {
  if (!N_po_BPEM->isEnabled()) return;
  MergeJob job;
  job.byStart = sender == N_po_begin;
  setWindowTitle(QString::fromStdString("Объединяем:  " + nameA_ + " & " + nameB_));

  std::string name = DefaultMergeName(dirB_, nameA_);
  for (;;) {
    name = AskName(this, name);
    if (name.empty()) return;  // cancelled: nothing is written
    if (!platform::NameTaken(JoinPath(dirB_, name))) break;
    platform::ui::ShowMessage("Файл с таким именем существует");
  }
  job.pathA = pathA_;
  job.pathB = pathB_;
  job.outPath = JoinPath(dirB_, name);
  job.samplesA = samplesA_;
  job.samplesB = samplesB_;
  job.span = PairSpan(A_->Header, samplesA_, B_->Header, samplesB_);
  job.header = MergedHeader(A_->Header, B_->Header);
  job.channelsA.assign(A_->FileChannels, A_->FileChannels + A_->Header.Channels);
  job.channelsB.assign(B_->FileChannels, B_->FileChannels + B_->Header.Channels);
  *Out_ = job.header.StartTicks == A_->Header.StartTicks ? *A_ : *B_;
  Out_->Header = job.header;
  SetFieldText(Out_->FileName, name);

  const MergeOutcome outcome = MergeRecordings(job);
  if (!outcome.ok) {
    platform::ui::MessageBox(outcome.message, outcome.caption, platform::ui::MsgButtons::Ok,
                             platform::ui::MsgIcon::Error);
    return;
  }
  platform::ui::ShowMessage(outcome.message);
  accept();
}

void TForm4::N7Click() { reject(); }

}  // namespace toolkit
