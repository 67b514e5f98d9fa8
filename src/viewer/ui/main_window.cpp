#include "viewer/ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <new>

#include "platform/cp1251.h"
#include "platform/ui/colors.h"
#include "platform/ui/message_box.h"
#include "platform/ui/modal_run.h"
#include "platform/ui/screen.h"
#include "platform/ui/terminator.h"
#include "toolkit/format_text.h"
#include "toolkit/header_info.h"
#include "toolkit/settings_state.h"
#include "toolkit/setup_file.h"
#include "viewer/channel_colors.h"
#include "viewer/channel_samples.h"
#include "viewer/cursor_readout.h"
#include "viewer/main_window_layout.h"
#include "viewer/plot_layout.h"
#include "viewer/plot_mouse.h"
#include "viewer/recording_loader.h"
#include "viewer/ui/overview_window.h"
#include "viewer/ui/processing_services.h"
#include "viewer/ui/settings_dialog.h"
#include "viewer/ui/view_key_codes.h"
#include "viewer/view_navigation.h"

namespace viewer {

using toolkit::SettingsResult;
using toolkit::Setup;

namespace {
constexpr uint32_t kScrollBoxColour = 0x2F0017;
constexpr uint32_t kYellow = 0x00FFFF;
}  // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
  setObjectName("Form1");
  auto* client = new QWidget(this);
  setCentralWidget(client);
  ScrollBox1 = new QScrollArea(client);
  PB1 = new platform::ui::PaintBox;
  ScrollBox1->setWidget(PB1);
  ScrollBox1->setWidgetResizable(false);
  PB3 = new platform::ui::PaintBox(client);
  LB_inf = new QListWidget(client);
  MainStatus0 = new QLabel;
  MainStatus1 = new QLabel;
  MainStatus1->setMinimumWidth(50);
  statusBar()->addWidget(MainStatus0);
  statusBar()->addWidget(MainStatus1, 1);
  P_PB = new QFrame(client);
  ProgressBar1 = new QProgressBar(P_PB);
  P_oper_c_kan = new QFrame(client);
  BuildChannelOperationPanel();
  BuildMenus();
  connect(PB1, &platform::ui::PaintBox::MousePressed, this, [this](QMouseEvent* e) {
    PB1MouseDown(e->button(), e->position().toPoint().x(), e->position().toPoint().y());
  });
  connect(PB1, &platform::ui::PaintBox::MouseMoved, this,
          [this](QMouseEvent* e) { PB1MouseMove(e->position().toPoint().x(), e->position().toPoint().y()); });
  connect(PB1, &platform::ui::PaintBox::MouseReleased, this, [this](QMouseEvent*) { PB1MouseUp(); });
  connect(PB1, &platform::ui::PaintBox::MouseDoubleClicked, this,
          [this](QMouseEvent* e) { PB1DblClick(e->position().toPoint().x()); });
  connect(PB3, &platform::ui::PaintBox::MousePressed, this, [this](QMouseEvent*) { PB3Click(); });
  connect(LB_inf, &QListWidget::itemDoubleClicked, this, &TForm1::LB_infDblClick);
  for (QWidget* w : {static_cast<QWidget*>(ScrollBox1), ScrollBox1->viewport(), static_cast<QWidget*>(PB1)})
    w->installEventFilter(this);
  FormCreate();
}

TForm1::~TForm1() {
  if (!closed_) GlobalChannelSamples().FreeAll();
  if (!closed_ && Setup != nullptr) {
    delete Setup;
    Setup = nullptr;
  }
}

void TForm1::BuildMenus() {
  N_read = menuBar()->addMenu("чтение");
  read_1_fil = N_read->addAction("файла");
  read_1_fil->setStatusTip("чтение данных из открытого файла");
  read_buf = N_read->addAction("всех файлов станции");
  read_buf->setStatusTip(
      "чтение данных из всех файлов данной станции, попадающих в данный интервал времени ");
  N_Bce_st = N_read->addAction("всех станций ");
  N_obzor = N_read->addAction("обзор ВКЛ");
  N_obzor->setStatusTip("открываем окно с общей картиной и указываем на ней место обрабатываемого участка");
  N_OB_edin_ = N_read->addAction("объединить");
  N_OB_edin_->setStatusTip("обединение двух файлов, пишем в директорию последнего.");
  connect(read_1_fil, &QAction::triggered, this, Guarded([this] { read_1_filClick(); }));
  connect(N_OB_edin_, &QAction::triggered, this, Guarded([this] { N_OB_edin_Click(); }));

  N_save = menuBar()->addMenu("сохранить");
  iz_file = N_save->addAction("из файла");
  c_ekrana = N_save->addAction("с экрана");
  iz_file_B_txt = N_save->addAction("из файла в текст");
  c_ekrana_B_txt = N_save->addAction("с экрана в текст");
  iz_file_B_txt_16 = N_save->addAction("из файла в текст_16");
  N_kazan = N_save->addAction("казань");
  N_miniseed1 = N_save->addAction("miniseed");
  connect(N_miniseed1, &QAction::triggered, this, Guarded([this] { N_miniseed1Click(); }));

  N_fft = menuBar()->addMenu("спектр.опер.");
  men_fft_oper = N_fft->addAction("фильтр");
  fft_integ = N_fft->addAction("интеграл");
  fft_diff = N_fft->addAction("производная");

  N_time = menuBar()->addMenu("врем.опер.");
  N_time_filter = N_time->addMenu("фильтр");
  N_Batter = N_time_filter->addAction("Баттерворта");
  N_Batter->setStatusTip("фильтр Баттерворта 2-го порядка. Частота среза в установках.");
  N_Potter = N_time_filter->addAction("Поттера");
  N_Potter->setStatusTip("фильтр Поттера. Частота среза в установках.");
  N10 = N_time->addAction("интеграл");
  N9 = N_time->addAction("производная");

  N_func = menuBar()->addMenu("функции");
  N_func_correl = N_func->addMenu("корреляционные");
  N_korrel = N_func_correl->addAction("авто: между курсорами");
  N_korrel->setStatusTip("Не реализовано");
  N15 = N_func_correl->addAction("авто: весь экран");
  N15->setStatusTip(
      "Автокорреляционная функция отмеченного канала. Участок - видимый на экране. Находится с помощью БПФ.");
  N26 = N_func_correl->addAction("кросс: от курсоров");
  N26->setStatusTip("Не реализовано");
  N28 = N_func_correl->addAction("кросс: весь экран");
  N28->setStatusTip(
      "Кросскорреляционная функция отмеченного канала и следующего за ним. Участок - видимый на экране. "
      "Находится с помощью БПФ.");
  N22 = N_func->addAction("поиск");
  N22->setStatusTip("пытаемся выделить слабые события по изменению частотного состава сигнала.");
  Gist_c = N_func->addAction("гистограмма ");
  Gist_c->setStatusTip("Гистограмма. Определениеколичества эффективных разрядов.");
  N_disp_dir = N_func->addAction("дисперсия (директория)");
  N38 = N_func->addAction("канал  { +  -  *  / }  ");
  N_ACH = N_func->addAction("испр-е  АЧХ");

  N_extra = menuBar()->addMenu("доп.функции");
  NN = N_extra->addAction("сравнить (1)");
  N23 = N_extra->addAction("сравнить (2)");
  N5 = N_extra->addAction("интерполяция");
  N_test_TIKOB = N_extra->addAction("тики (СШГ)");
  N_abs = N_extra->addAction("abs знач.");
  N7 = N_extra->addAction("сглаживание");
  N2 = N_extra->addAction("Вычитание разностных каналов");

  // The two cursor-range correlations stay disabled.
  for (QAction* a : {N_korrel, N26}) a->setEnabled(false);
  ConnectCommands();
  ConnectAnalysisCommands();
  ConnectRecordCommands();

  N20 = menuBar()->addAction("спектр");
  N20->setEnabled(false);
  connect(N20, &QAction::triggered, this, Guarded([this] { N20Click(); }));
  YCTAHOBKA = menuBar()->addAction("установки");
  open = menuBar()->addAction("open");
  connect(YCTAHOBKA, &QAction::triggered, this, Guarded([this] { YCTAHOBKAClick(); }));
  connect(open, &QAction::triggered, this, Guarded([this] { openClick(); }));

  PopupMenu1 = new QMenu(this);
  INFO = PopupMenu1->addAction("информация");
  Help2 = PopupMenu1->addAction("Help");
  Help2->setEnabled(false);
  connect(INFO, &QAction::triggered, this, Guarded([this] { INFOClick(); }));
}

void TForm1::MakeLineBitmaps() {
  for (int i = 0; i < kLineBitmapCount; ++i) {
    const QColor colour = platform::ui::ColorFromBgr(ChannelColors[ChannelColourIndex(i)]);
    Plot.CursorBitmaps[i] = VerticalLineBitmap(Plot.PlotHeight - 4, colour);
    Lines[i] = HorizontalLineBitmap(Plot.PlotWidth, colour);
  }
}

void TForm1::FormCreate() {
  Loaded = 0;
  OverviewOn = 0;
  P_PB->hide();
  P_PB->setGeometry(40, 0, 450, 30);
  ProgressBar1->setGeometry(5, 5, 440, 20);
  const QSize screen = platform::ui::ScreenSize();
  LargeFont = screen.width() > 819;
  if (LargeFont) {
    QFont f = font();
    f.setPointSize(12);
    setFont(f);
  }
  SizeKeyHelpPanel();
  // The whole window, frame and status bar included, lies on the screen's free area.
  const QRect area = platform::ui::AvailableScreenArea();
  const QMargins frame = FrameMargins();
  const FormSize size = InitialFormSize(area.width(), area.height(), frame.top() + frame.bottom());
  setGeometry(area.left() + frame.left(), area.top() + frame.top(), size.width, size.height);
  setMaximumWidth(ResizedFormWidth(screen.width()));
  FormWidth = size.width;
  FormHeight = size.height;
  const int clientHeight = size.height - menuBar()->sizeHint().height() - statusBar()->sizeHint().height();
  Plot.PB1 = PB1;
  Plot.PB3 = PB3;
  LayOutPlot(size.width, clientHeight, false);
  ScrollPosition = ScrollBox1->verticalScrollBar()->value();
  ScrollBox1->setStyleSheet(
      QString("background-color: %1").arg(platform::ui::ColorFromBgr(kScrollBoxColour).name()));
  LB_inf->move(LB_inf->x(), 15);
  LB_inf->hide();
  MakeLineBitmaps();
  Plot.ChannelMarkBitmap = MakeChannelMarkBitmap();

  try {
    ViewEnvelope = std::make_unique<viewer::ViewEnvelope>();
    OverviewEnvelope = std::make_unique<viewer::ViewEnvelope>();
    Setup = new toolkit::SetupRecord{};
  } catch (const std::bad_alloc&) {
    platform::ui::ShowMessage("Нет памяти для массивов");
    platform::ui::ExitProgram(1);
  }
  if (toolkit::ProgramDir.empty())
    toolkit::ProgramDir = QCoreApplication::applicationDirPath().toStdString() + "/";
  ReadWriteSetupOrExit(Funk, 0);
  Dragging = 0;
  GlobalChannelSamples().FreeAll();
  Setup->CursorMode = 0;
  SavedHeightPercent = Setup->PlotHeightPercent;
  SetDefaultCursorColumns(*Setup, Plot.PlotWidth);

  MainWindowCalls calls;
  calls.enableDataMenus = [this](int on) { EnableDataMenus(on); };
  calls.setStatus = [this](const QString& text) { MainStatus0->setText(text); };
  calls.overviewShown = [this] { return OverviewOn != 0 && OB3OP != nullptr && OB3OP->isVisible(); };
  calls.redrawOverviewFrame = [this] { OB3OP->DrawOverview(); };
  calls.readStationAgain = [this] { ReadStationAgain(); };
  host_ = std::make_unique<PlotViewHost>(Plot, Lines, *Setup, GlobalChannelSamples(), *ViewEnvelope,
                                         toolkit::GlobalFunk(), calls, LargeFont);
  C_oper_c_kan_sign->setCurrentIndex(0);
  setWindowTitle(". . . . .");
  EnableDataMenus(1);
  LB_inf->resize(500, LB_inf->height());
  P_oper_c_kan->hide();
  openClick();
}

QMargins TForm1::FrameMargins() const {
  const QRect frame = frameGeometry(), client = geometry();
  if (frame != client)
    return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
            frame.bottom() - client.bottom()};
  // Not known yet: the title bar and the borders the style draws.
  const int border = style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
  return {border, style()->pixelMetric(QStyle::PM_TitleBarHeight) + border, border, border};
}

void TForm1::FitFrameToScreen() {
  if (frameFitted_ || frameGeometry() == geometry()) return;  // the window manager has not told the frame yet
  frameFitted_ = true;
  const QRect area = platform::ui::AvailableScreenArea();
  const QMargins m = FrameMargins();
  const QRect frame = frameGeometry();
  if (frame.top() >= area.top() && frame.bottom() <= area.bottom()) return;
  const int height = std::min(this->height(), area.height() - m.top() - m.bottom());
  setGeometry(x(), area.top() + m.top(), width(), std::max(height, minimumSizeHint().height()));
}

void TForm1::SizeKeyHelpPanel() {
  // The widest of the plot's key texts shows whole.
  const QFontMetrics metrics(MainStatus0->font());
  int widest = 0;
  for (const char* text : {kPlotKeyHelp, kViewKeyHelp, kCursorKeyHelp})
    widest = std::max(widest, metrics.horizontalAdvance(QString::fromUtf8(text)));
  MainStatus0->setFixedWidth(widest + 2 * MainStatus0->margin() + 12);
}

void TForm1::LayOutPlot(int clientWidth, int clientHeight, bool resized) {
  Plot.PlotWidth = static_cast<uint16_t>(resized ? ResizedPlotWidth(clientWidth) : InitialPlotWidth(clientWidth));
  const int margin = resized ? 80 : 100;
  ScrollBox1->setGeometry(2, 55, Plot.PlotWidth + margin, std::max(clientHeight - 57, 20));
  PB3->setGeometry(2, 1, ScrollBox1->width() - 1, 54);
  PB1->resize(ScrollBox1->width() - 2 - 22, std::max(PB1->height(), 1));
  if (!resized) PB1->resize(PB1->width(), ScrollBox1->height() - 1);
  Plot.ScrollBoxHeight = ScrollBox1->height();
  Plot.PlotHeight = static_cast<uint16_t>(std::max(PB1->height() - 1, 1));
}

void TForm1::FormResize() {
  if (width() == FormWidth && height() == FormHeight) return;
  FormWidth = width();
  FormHeight = height();
  LayOutPlot(centralWidget()->width(), centralWidget()->height(), true);
  ScrollBox1->verticalScrollBar()->setValue(ScrollPosition);
  if (!Loaded) return;
  MakeLineBitmaps();
  // Cursors stay on the narrower plot; the rows and markers are laid out again for the new size.
  for (auto& set : Setup->CursorColumns)
    for (int32_t& column : set) column = std::min<int32_t>(column, Plot.PlotWidth);
  host_->for_curs();
  host_->DrawChannels(0);
  if (Setup->CursorMode == 1) host_->DrawTimeAxis(0, 0, 3);
}

void TForm1::resizeEvent(QResizeEvent* e) {
  QMainWindow::resizeEvent(e);
  if (Plot.PB1 != nullptr) FormResize();
}

void TForm1::showEvent(QShowEvent* e) {
  QMainWindow::showEvent(e);
  FitFrameToScreen();
}

void TForm1::moveEvent(QMoveEvent* e) {
  QMainWindow::moveEvent(e);
  if (isVisible()) FitFrameToScreen();
}

bool TForm1::event(QEvent* e) {
  if (e->type() == QEvent::StatusTip) {
    MainStatus1->setText(static_cast<QStatusTipEvent*>(e)->tip());
    return true;
  }
  return QMainWindow::event(e);
}

void TForm1::EnableDataMenus(int on) {
  for (QMenu* m : {N_read, N_fft, N_time, N_func, N_extra, N_save}) m->setEnabled(on != 0);
  YCTAHOBKA->setEnabled(on != 0);
  open->setEnabled(on != 0);
  N20->setEnabled(on != 0 && Loaded != 0);
  INFO->setEnabled(on != 0);
}

void TForm1::openClick() {
  Setup->SettingsPage = 0xFFFF;
  SettingsResult = toolkit::kSettingsOpenMode;
  YCTAHOBKAClick();
}

void TForm1::Reload(const toolkit::SetupRecord& before) {
  const ReloadOutcome outcome = ReloadRecording(*Setup, GlobalChannelSamples(), toolkit::GlobalFunk());
  if (!outcome.loaded) {
    // The record in memory stays, and the settings go on describing it.
    if (Loaded && &before != Setup) KeepLoadedRecord(*Setup, before);
    return;
  }
  Loaded = 1;
  setWindowTitle(QString::fromStdString(outcome.caption));
  LB_inf->clear();
  LB_inf->addItem(QString::fromStdString(toolkit::FieldText(Setup->FileName)));
}

bool TForm1::HaveSamples() {
  if (!Loaded) return false;
  if (Setup->Samples > 0) return true;
  platform::ui::ShowMessage(kCommandNeedsSamplesText);
  return false;
}

void TForm1::YCTAHOBKAClick() {
  const auto before = std::make_unique<toolkit::SetupRecord>(*Setup);
  {
    TMainForm dialog(*Setup, this);
    platform::ui::RunModal(dialog);
  }
  if (SettingsResult == toolkit::kSettingsLeaveProgram) {
    close();
    return;
  }
  if (SettingsResult != toolkit::kSettingsUnchanged) {
    Setup->NormaliseChannels = 0;
    Setup->ViewChanged = 1;
    Setup->StationMode = 0;
    Reload(*before);
    if (Loaded) host_->for_curs();
    EnableDataMenus(1);
    if (Setup->Channel >= Setup->ChannelCount) Setup->Channel = 0;
  }
  if (Loaded) host_->DrawChannels(0);
}

void TForm1::read_1_filClick() {
  Reload(*Setup);
  if (!Loaded) return;
  host_->for_curs();
  host_->DrawChannels(0);
  EnableDataMenus(1);
}

void TForm1::N20Click() {
  if (ShowSpectrumWindow) ShowSpectrumWindow();
}

void TForm1::INFOClick() {
  LB_inf->clear();
  for (const std::string& line : toolkit::HeaderInfoLines(Setup->Header))
    LB_inf->addItem(QString::fromStdString(line));
  LB_inf->addItem(QString::asprintf("длина записи  : %.5f сеk", Setup->Samples * Setup->Dt));
  if (Setup->RemoveMean != 0) LB_inf->addItem("c вычтенным средним");
  const int n = std::min<int>(Setup->ChannelCount, toolkit::kMaxChannels);
  for (int i = 0; i < n; ++i) {
    const toolkit::CHANNEL_HEADER& c = Setup->MemChannels[i];
    LB_inf->addItem(QString::fromStdString(toolkit::FormatText(
        "%02d (%02d)  *%10.7f  - %14s", i, int{c.Number}, c.Coef, platform::FieldToUtf8(c.Name).c_str())));
  }
  ShowInfoList();
}

void TForm1::ShowInfoList() {
  const int itemHeight = std::max(LB_inf->sizeHintForRow(0), 12);
  const int limit = centralWidget()->height() - LB_inf->y() - 50;
  LB_inf->resize(LB_inf->width(), std::max(20, std::min((LB_inf->count() + 1) * itemHeight + 5, limit)));
  LB_inf->show();
  LB_inf->raise();
}

void TForm1::LB_infDblClick() { LB_inf->hide(); }

void TForm1::PB1MouseDown(Qt::MouseButton button, int x, int y) {
  MouseX = x;
  MouseY = y;
  if (button == Qt::RightButton || button == Qt::MiddleButton) {
    if (x <= Plot.PlotWidth) {
      const QPoint at = x <= Plot.PlotWidth - 200 ? QPoint(x + 100, y) : QPoint(x - 250, y);
      PopupMenu1->popup(PB1->mapToGlobal(at));
      return;
    }
    if (Setup->CursorMode != 0) return;
    for (int k = 0; k < toolkit::kMaxChannels && k < Setup->ChannelCount; ++k) {
      if (!MarginRowHit(y, Plot.LabelY[k], Plot.RowHeight)) continue;
      const int markX = PB1->width() - Plot.ChannelMarkBitmap.width() - 2;
      const int oldY = (Setup->Channel < toolkit::kMaxChannels ? Plot.LabelY[Setup->Channel] : 0) + 2;
      {
        platform::ui::XorPainter p(PB1->Image());
        p.drawImage(markX, oldY, Plot.ChannelMarkBitmap);
        p.drawImage(markX, Plot.LabelY[k] + 2, Plot.ChannelMarkBitmap);
      }
      Setup->Channel = static_cast<uint16_t>(k);
      QPainter strip(&PB3->Image());
      const QRect box(Plot.PlotWidth + 24, 10, 40, 20);
      strip.fillRect(box, Plot.PlotBackground);
      strip.setPen(platform::ui::ColorFromBgr(kYellow));
      strip.drawText(box, Qt::AlignLeft | Qt::AlignTop, QString::asprintf("%02d", k));
      PB1->update();
      PB3->update();
    }
    return;
  }
  if (button == Qt::LeftButton && Setup->CursorMode == 1) {
    const CursorPick pick = PickCursor(*Setup, x, y);
    if (pick.kind == CursorPick::None) return;
    StartDrag(*Setup, pick);
    Dragging = 1;
    DragKind = pick.kind;
  }
}

void TForm1::PB1MouseMove(int x, int y) {
  if (Dragging == 0) return;
  const DragStep step = DragOffsets(*Setup, x, y);
  host_->DrawTimeAxis(step.dx, step.dy, DragKind);
}

void TForm1::PB1MouseUp() {
  Dragging = 0;
  DragKind = 0;
}

void TForm1::PB1DblClick(int x) {
  if (!Loaded) return;
  if (x <= Plot.PlotWidth) {
    HandleViewKey(*Setup, *host_, lastViewKey_, 13, 0);
    return;
  }
  if (Setup->CursorMode == 1) return;
  if (!ToggleSingleChannel(*Setup, SavedHeightPercent)) return;
  host_->for_curs();
  host_->DrawChannels(0);
}

void TForm1::PB3Click() {
  if (!Loaded) return;
  ShowAllChannels(*Setup, SavedHeightPercent);
  host_->for_curs();
  host_->DrawChannels(0);
}

void TForm1::FormKeyDown(int key, int ctrl) {
  if (Loaded && key != 0) RunGuarded([&] { HandleViewKey(*Setup, *host_, lastViewKey_, key, ctrl); });
}

// Keys no child took (no widget of the window has the focus) reach the form itself.
void TForm1::keyPressEvent(QKeyEvent* e) {
  if (!KeyPreview) {
    QMainWindow::keyPressEvent(e);
    return;
  }
  FormKeyDown(ViewKeyCode(*e), CtrlHeld(*e));
}

bool TForm1::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::KeyPress && KeyPreview) {
    const auto* key = static_cast<QKeyEvent*>(e);
    FormKeyDown(ViewKeyCode(*key), CtrlHeld(*key));
    return true;
  }
  if (watched == ScrollBox1 && e->type() == QEvent::Resize)
    ScrollBox1->verticalScrollBar()->setValue(ScrollPosition);
  // A press on the scroll box beside or below the plot is handled as one on the plot, at the place it
  // has in the scroll box.
  if (watched == ScrollBox1->viewport() && e->type() == QEvent::MouseButtonPress) {
    const auto* m = static_cast<QMouseEvent*>(e);
    const QPoint at = ScrollBox1->viewport()->mapTo(ScrollBox1, m->position().toPoint());
    PB1MouseDown(m->button(), at.x(), at.y());
    return true;
  }
  return QMainWindow::eventFilter(watched, e);
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (!closed_) {
    closed_ = true;
    if (SettingsResult < toolkit::kSettingsLeaveProgram && Setup != nullptr) ReadWriteSetupOrExit(Funk, 1);
    GlobalChannelSamples().FreeAll();
    delete Setup;
    Setup = nullptr;
  }
  event->accept();
}

}  // namespace viewer
