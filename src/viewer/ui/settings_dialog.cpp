#include "viewer/ui/settings_dialog.h"

#include <QCheckBox>
#include <algorithm>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "platform/ui/message_box.h"
#include "platform/ui/modal_run.h"
#include "platform/ui/push_buttons.h"
#include "platform/ui/terminator.h"
#include "toolkit/recording_chooser.h"
#include "toolkit/settings_state.h"
#include "toolkit/ui/file_chooser_form.h"
#include "toolkit/ui/read_file_header.h"
#include "viewer/settings_logic.h"
#include "viewer/ui/settings_page_filter.h"
#include "viewer/ui/settings_page_header.h"
#include "viewer/ui/settings_page_params.h"

namespace viewer {

using toolkit::SettingsResult;
using toolkit::SetupRecord;

namespace {
constexpr int kGridRowHeight = 16;
constexpr int kGridLineWidth = 4;
constexpr int kGridMaxHeight = 240;
}  // namespace

TMainForm::TMainForm(SetupRecord& live, QWidget* owner) : QDialog(owner), live_(live) {
  setObjectName("MainForm");
  // 1. The private copy.
  HeaderChanged = 0;
  copy_ = std::make_unique<SetupRecord>(live_);
  toolkit::SetupCopy = copy_.get();
  ReadFileHeaders(toolkit::CurrentFilePath(*copy_), headers_);

  PageControl1 = new QTabWidget(this);
  TShOpen = new QWidget;
  TSh_search = new TSh_FindPage(*this);
  TSh_test = new TSh_TestPage(*this);
  TSh_integral = new TSh_operPage(*this);
  TSh_station = new TS_bufPage(*this);
  TSh_spectrum = new TS_cpektrPage(*this);
  TSh_header = new TSh_ZagPage(*this);
  TSh_filter = new TSh_filt_yctPage(*this);
  PageControl1->addTab(TShOpen, "Файл");
  PageControl1->addTab(TSh_search, "Поиск");
  PageControl1->addTab(TSh_test, "Тест");
  PageControl1->addTab(TSh_integral, "интеграл");
  PageControl1->addTab(TSh_station, "с/станция");
  PageControl1->addTab(TSh_spectrum, "спектр");
  PageControl1->addTab(TSh_header, "Заголовок");
  PageControl1->addTab(TSh_filter, "фильтр ");

  P_chan = new QLabel(TShOpen);
  UD_nn = new QSpinBox(TShOpen);
  UD_nn->setRange(1, toolkit::kMaxChannels);
  UD_nn->setToolTip("изменение числа графиков");
  SG_chan = new QTableWidget(TShOpen);
  SG_chan->setColumnCount(2);
  SG_chan->horizontalHeader()->hide();
  SG_chan->verticalHeader()->hide();
  Button1 = new QPushButton("каналы по порядку", TShOpen);
  BitBtnOpen = new QPushButton("Сменить файл", TShOpen);
  CB_coef = new QCheckBox("учитывать коэффициенты", TShOpen);
  LB_fileinfo = new QListWidget(TShOpen);

  auto* left = new QVBoxLayout;
  auto* count = new QHBoxLayout;
  count->addWidget(P_chan);
  count->addWidget(UD_nn);
  left->addLayout(count);
  left->addWidget(SG_chan);
  left->addWidget(Button1);
  left->addStretch(1);
  auto* right = new QVBoxLayout;
  right->addWidget(BitBtnOpen);
  right->addWidget(CB_coef);
  right->addWidget(LB_fileinfo, 1);
  auto* page = new QHBoxLayout(TShOpen);
  page->addLayout(left, 1);
  page->addLayout(right, 2);

  BitBtnOk = new QPushButton("Сохранить", this);
  BitBtnOk->setToolTip("выход с сохранением внесенных изменений");
  BitBtnCancel = new QPushButton("Отменить", this);
  BitBtnCancel->setToolTip("выход без сохранения внесенных изменений");
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(BitBtnOk);
  buttons->addWidget(BitBtnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PageControl1, 1);
  layout->addLayout(buttons);
  PageControl1->setMinimumSize(640, 420);

  // 2. Caption: the data directory.
  setWindowTitle(QString::fromStdString(toolkit::FieldText(copy_->DataDir)));
  // 3. Open mode.
  if (SettingsResult == toolkit::kSettingsOpenMode) {
    BitBtnOk->setText("Открыть");
    BitBtnCancel->setEnabled(false);
  }
  // 4. Start page.
  currentPage_ = StartPage(copy_->SettingsPage);
  PageControl1->setCurrentIndex(currentPage_);
  // 5. The response scales of the filter page start unscaled.
  ResponseXScale = 0;
  ResponseYScale = 0;

  CB_coef->setChecked(copy_->UseCoefficients != 0);
  connect(CB_coef, &QCheckBox::toggled, this, [this](bool on) { copy_->UseCoefficients = on ? 1 : 0; });
  connect(BitBtnOk, &QPushButton::clicked, this, &TMainForm::BitBtnOkClick);
  connect(BitBtnCancel, &QPushButton::clicked, this, &TMainForm::BitBtnCancelClick);
  connect(Button1, &QPushButton::clicked, this, &TMainForm::Button1Click);
  connect(BitBtnOpen, &QPushButton::clicked, this, &TMainForm::BitBtnOpenClick);
  connect(UD_nn, &QSpinBox::valueChanged, this, [this] {
    if (!filling_) UD_nnClick();
  });
  connect(PageControl1, &QTabWidget::currentChanged, this, &TMainForm::PageChanged);
  // Enter in an edit of any page does what that edit does, never "Сохранить" or another button.
  platform::ui::NoDefaultButtons(*this);
}

TMainForm::~TMainForm() {
  if (toolkit::SetupCopy == copy_.get()) toolkit::SetupCopy = nullptr;
}

void TMainForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
  if (PageControl1->currentIndex() == kPageFile) TShOpenShow();
  if (auto* page = dynamic_cast<SettingsPageBase*>(PageControl1->currentWidget())) page->PageShow();
}

void TMainForm::FormShow() {
  PageControl1->move(10, PageControl1->y());
  resize(PageControl1->width() + 20, PageControl1->height() + 100);
}

void TMainForm::PageChanged(int index) {
  if (currentPage_ == kPageFile && index != kPageFile) TSh_SelchanExit();
  if (auto* left = dynamic_cast<SettingsPageBase*>(PageControl1->widget(currentPage_));
      left != nullptr && index != currentPage_ && !left->PageExit()) {
    const QSignalBlocker block(PageControl1);
    PageControl1->setCurrentIndex(currentPage_);
    return;
  }
  currentPage_ = index;
  if (auto* page = dynamic_cast<SettingsPageBase*>(PageControl1->widget(index))) page->PageShow();
  if (index == kPageFile && isVisible()) TShOpenShow();
}

void TMainForm::TShOpenShow() {
  // Open mode: a readable file comes first.
  if (SettingsResult < 0) BitBtnOpenClick();
  {
    // The list describes the file; the record keeps the header it was loaded with (a station record
    // keeps the start of its interval).
    const auto scratch = std::make_unique<SetupRecord>(*copy_);
    toolkit::ReadFileHeader(*LB_fileinfo, *scratch);
  }
  copy_->LoadChannels = ClampPlotChannels(copy_->LoadChannels);
  filling_ = true;
  UD_nn->setValue(copy_->LoadChannels);
  filling_ = false;
  P_chan->setText(QString(" Каналов на графике %1").arg(copy_->LoadChannels));
  CB_coef->setChecked(copy_->UseCoefficients != 0);
  FillChannelGrid();
}

void TMainForm::FillChannelGrid() {
  const int rows = copy_->LoadChannels + 1;
  SG_chan->clearContents();
  SG_chan->setRowCount(rows);
  SG_chan->verticalHeader()->setDefaultSectionSize(kGridRowHeight);
  SG_chan->setFixedHeight(std::min((kGridRowHeight + kGridLineWidth + 1) * rows, kGridMaxHeight));
  auto fixedItem = [](const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
  };
  SG_chan->setItem(0, 0, fixedItem("Ном. граф."));
  SG_chan->setItem(0, 1, fixedItem("Ном. кан."));
  ClampChannelMap(*copy_);
  for (int i = 0; i < copy_->LoadChannels; ++i) {
    SG_chan->setItem(i + 1, 0, fixedItem(QString::number(i)));
    SG_chan->setItem(i + 1, 1, new QTableWidgetItem(QString::number(copy_->ChannelMap[i])));
  }
}

void TMainForm::ReadChannelOrder() {
  const uint16_t last = LastFileChannel(*copy_);
  const int rows = std::min<int>(copy_->LoadChannels, SG_chan->rowCount() - 1);
  for (int i = 0; i < rows; ++i) {
    const QTableWidgetItem* cell = SG_chan->item(i + 1, 1);
    const std::string text = cell != nullptr ? cell->text().toStdString() : std::string();
    const ChannelEntry entry = ParseChannelEntry(text, last);
    if (entry.aboveLast) {
      platform::ui::MessageBox(ChannelTooHighText(last), kChannelTooHighCaption);
      SG_chan->setFocus();
    }
    copy_->ChannelMap[i] = entry.channel;
  }
}

void TMainForm::UD_nnClick() {
  ReadChannelOrder();
  copy_->LoadChannels = ClampPlotChannels(UD_nn->value());
  TShOpenShow();
}

void TMainForm::TSh_SelchanExit() {
  copy_->LoadChannels = ClampPlotChannels(UD_nn->value());
  ReadChannelOrder();
}

void TMainForm::Button1Click() {
  for (int i = 0; i < toolkit::kMaxChannels; ++i) copy_->ChannelMap[i] = static_cast<uint16_t>(i);
  for (int i = 0; i < copy_->LoadChannels && i + 1 < SG_chan->rowCount(); ++i) {
    SG_chan->setItem(i + 1, 1, new QTableWidgetItem(QString::number(i)));
  }
}

void TMainForm::BitBtnOpenClick() {
  const std::string savedDir = toolkit::FieldText(copy_->DataDir);
  const std::string savedName = toolkit::FieldText(copy_->FileName);
  const std::string savedPath = toolkit::CurrentFilePath(*copy_);
  const toolkit::MAIN_HEADER savedHeader = copy_->Header;
  const uint32_t savedSamples = copy_->FileSamples;
  for (auto& slot : copy_->SelectedFiles) slot[0] = '\0';
  int r = -1;
  do {
    {
      toolkit::TForm3 chooser(*copy_, this);
      platform::ui::RunModal(chooser);
    }
    if (SettingsResult == toolkit::kSettingsLeaveProgram) platform::ui::ExitProgram(1);
    if (SettingsResult == toolkit::kSettingsUnchanged) {
      toolkit::SetFieldText(copy_->DataDir, savedDir);
      toolkit::SetFieldText(copy_->FileName, savedName);
    }
    r = toolkit::ReadFileHeader(*LB_fileinfo, *copy_);
    setWindowTitle(QString::fromStdString(toolkit::FieldText(copy_->DataDir)));
  } while (r != 0);
  if (toolkit::CurrentFilePath(*copy_) == savedPath) {
    // The same file again: the record keeps the header it was loaded with.
    copy_->Header = savedHeader;
    copy_->FileSamples = savedSamples;
  }
  FollowCurrentFile();
}

void TMainForm::FollowCurrentFile() {
  const std::string path = toolkit::CurrentFilePath(*copy_);
  if (headers_.read && headers_.path == path) return;
  // Edits saved on the header page belong to the file they were read from.
  if (headers_.path != path) HeaderChanged = 0;
  ReadFileHeaders(path, headers_);
  if (headers_.read) std::copy(headers_.channels.begin(), headers_.channels.end(), copy_->FileChannels);
}

void TMainForm::BitBtnOkClick() {
  if (PageControl1->currentIndex() == kPageFile) TSh_SelchanExit();
  if (auto* page = dynamic_cast<SettingsPageBase*>(PageControl1->currentWidget())) page->PageExit();
  static_cast<TSh_filt_yctPage*>(TSh_filter)->ReadFilterControls();
  if (HeaderChanged != 0) {
    const HeaderRewrite rewrite = RewriteFileHeaders(headers_);
    if (rewrite != HeaderRewrite::Ok) {
      // The dialog stays open with every edit: the user may try again or cancel.
      platform::ui::MessageBox(HeaderRewriteText(rewrite, headers_), "Error", platform::ui::MsgButtons::Ok,
                               platform::ui::MsgIcon::Error);
      return;
    }
    copy_->Header = headers_.main;
    if (std::string text; toolkit::CheckMainHeader(copy_->Header, text) != 0) copy_->Header = headers_.main;
    std::copy(headers_.channels.begin(), headers_.channels.end(), copy_->FileChannels);
  }
  SettingsResult = toolkit::kSettingsUnchanged;
  if (BitBtnOk->text() != "Сохранить") {
    BitBtnOk->setText("Сохранить");
    SettingsResult = toolkit::kSettingsChanged;
    BitBtnCancel->setEnabled(true);
  }
  if (HeaderChanged != 0) SettingsResult = toolkit::kSettingsChanged;
  if (NeedsReread(*copy_, live_)) SettingsResult = toolkit::kSettingsChanged;
  live_ = *copy_;
  confirmed_ = true;
  accept();
}

void TMainForm::BitBtnCancelClick() {
  SettingsResult = toolkit::kSettingsUnchanged;
  QDialog::reject();
}

void TMainForm::reject() {
  // In open mode "Отменить" is disabled: leaving the dialog then is leaving the program, as the
  // chooser's "Выход из программы" does.
  if (!confirmed_ && BitBtnOk->text() != "Сохранить") {
    SettingsResult = toolkit::kSettingsLeaveProgram;
    platform::ui::ExitProgram(1);
  }
  if (!confirmed_) SettingsResult = toolkit::kSettingsUnchanged;
  QDialog::reject();
}

}  // namespace viewer
