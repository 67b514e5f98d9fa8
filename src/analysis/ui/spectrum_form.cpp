#include "analysis/ui/spectrum_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <new>

#include "analysis/finite_cells.h"
#include "analysis/spectrum_menus.h"
#include "analysis/spectrum_values.h"
#include "platform/ui/colors.h"
#include "platform/ui/message_box.h"
#include "platform/ui/modal_run.h"
#include "platform/ui/push_buttons.h"
#include "platform/ui/screen.h"
#include "platform/ui/terminator.h"
#include "toolkit/funk.h"
#include "toolkit/parse_number.h"
#include "toolkit/recording_chooser.h"
#include "viewer/channel_colors.h"
#include "viewer/channel_samples.h"

namespace analysis {

// The spectrum buffers are allocated with the window, once for the whole run; without them the program
// cannot go on.
TForm_spek::TForm_spek(QWidget* parent) try : QDialog(parent) {
  setObjectName("Form_spek");
  setWindowTitle("С П Е К Т Р");
  MainMenu1 = new QMenuBar(this);
  client_ = new QWidget(this);
  BuildMenu();
  BuildPlotArea(client_);
  BuildParameterPanel();
  CursorLineIndex = 15;
  TransferMode = 0;
  Buffers.CrossMode = 0;
  Background = 0x000000;
  CB_spektr_plotn->setChecked(false);
  Manual = ManualLevels{};
  LayOut();
  platform::ui::NoDefaultButtons(*this);
  for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
} catch (const std::bad_alloc&) {
  platform::ui::ShowMessage("Нет памяти для массивов");
  platform::ui::ExitProgram(1);
}

TForm_spek::~TForm_spek() = default;

void TForm_spek::BuildMenu() {
  spektr = MainMenu1->addAction("спектр;");
  N_XYZ = MainMenu1->addAction("АЧХ_WZ;");
  B3_Bcex = MainMenu1->addAction("вз-й всех;");
  B3_Bcex->setToolTip("относительно верхнего");
  Bza_sp = MainMenu1->addAction("вз-й спектр");
  CBAH1 = MainMenu1->addAction("CBAH;");
  Fft1 = MainMenu1->addAction("F ( f , t );");
  summ = MainMenu1->addAction("cумма;");
  cur = MainMenu1->addAction("курсор;");
  LB_s = MainMenu1->addAction("значения;");
  cmena = MainMenu1->addAction("параметры;");
  ToFile = MainMenu1->addAction("В файл; ");
  N_forma = MainMenu1->addAction(" В ФАЙЛ выше курсора; ");
  N_forma->setEnabled(false);
  forACH = MainMenu1->addAction("АЧХ;");
  connect(spektr, &QAction::triggered, this, &TForm_spek::spektrClick);
  connect(N_XYZ, &QAction::triggered, this, &TForm_spek::N_XYZClick);
  connect(B3_Bcex, &QAction::triggered, this, [this] { Bza_spClick(B3_Bcex); });
  connect(Bza_sp, &QAction::triggered, this, [this] { Bza_spClick(Bza_sp); });
  connect(CBAH1, &QAction::triggered, this, &TForm_spek::CBAH1Click);
  connect(Fft1, &QAction::triggered, this, &TForm_spek::Fft1Click);
  connect(summ, &QAction::triggered, this, &TForm_spek::summClick);
  connect(cur, &QAction::triggered, this, &TForm_spek::curClick);
  connect(LB_s, &QAction::triggered, this, &TForm_spek::LB_sClick);
  connect(cmena, &QAction::triggered, this, &TForm_spek::cmenaClick);
  connect(ToFile, &QAction::triggered, this, &TForm_spek::ToFileClick);
  connect(N_forma, &QAction::triggered, this, &TForm_spek::N_formaClick);
  connect(forACH, &QAction::triggered, this, &TForm_spek::forACHClick);
}

void TForm_spek::BuildPlotArea(QWidget* client) {
  Panel_PBs = new QFrame(client);
  Panel_PBs->setAutoFillBackground(true);
  Panel_PBs->setStyleSheet("QFrame#Panel_PBs { background-color: black; }");
  Panel_PBs->setObjectName("Panel_PBs");
  PBs = new platform::ui::PaintBox(Panel_PBs);
  PBs->SetBackground(platform::ui::ColorFromBgr(Background));
  CB_am_sp = new QCheckBox("авто", Panel_PBs);
  CB_am_sp->setChecked(true);
  CB_am_sp->setToolTip("запрет/разрешение ручного масштабирования");
  CB_am_sp->setStyleSheet("color: white;");
  E_ma = new QLineEdit("12", Panel_PBs);
  E_ma->setToolTip("ввод максимума");
  E_mi = new QLineEdit("11", Panel_PBs);
  LB_spek = new QListWidget(Panel_PBs);
  LB_spek->setFont(QFont("Courier"));
  ProgressBar1 = new QProgressBar(client);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->hide();
  Bevel1 = new QFrame(client);
  Bevel1->setFrameShape(QFrame::HLine);
  connect(CB_am_sp, &QCheckBox::clicked, this, &TForm_spek::CB_am_spClick);
  connect(E_ma, &QLineEdit::textChanged, this, &TForm_spek::E_maChange);
  connect(E_mi, &QLineEdit::textChanged, this, &TForm_spek::E_maChange);
  connect(LB_spek, &QListWidget::itemDoubleClicked, this, &TForm_spek::LB_sClick);
  connect(PBs, &platform::ui::PaintBox::Resized, this, &TForm_spek::FormPaint);
}

void TForm_spek::LayOut() {
  LB_spek->hide();
  const QSize screen = platform::ui::ScreenSize();
  move(0, 0);
  const int width = std::min(screen.width() - 10, 1400);
  const int height = screen.height() - 15;
  resize(width, height);
  const int menuHeight = MainMenu1->sizeHint().height();
  MainMenu1->setGeometry(0, 0, width, menuHeight);
  const int cw = width;
  const int ch = height - menuHeight;
  client_->setGeometry(0, menuHeight, cw, ch);

  Panel_PBs->setGeometry(5, 5, cw - 25, ch - 35);
  PBs->setGeometry(0, 0, Panel_PBs->width(), Panel_PBs->height());
  ProgressBar1->setGeometry(5, ch - 25, PBs->width(), 18);
  Bevel1->setGeometry(5, 2, PBs->width(), 2);
  P_yct_sp->move(5, 5);
  LB_spek->setGeometry(5, 5, 450, 300);
  CB_am_sp->adjustSize();
  CB_am_sp->move(cw - Panel_PBs->x() - CB_am_sp->width() - 35, 5);

  Plot.PlotWidth = (PBs->width() - 80) / 16 * 16;
  L_garm->setText("Гармоник (" + QString::number(Plot.PlotWidth) + ")");
  if (toolkit::Setup != nullptr && S().SpectrumLastBin == 2) S().SpectrumLastBin = static_cast<uint16_t>(Plot.PlotWidth);
  Plot.PlotHeight = PBs->height() - 50;
  if (ch > 490) Plot.PlotHeight -= 50;
  Plot.Bottom = Plot.PlotHeight + 30;
  if (ch > 530) {
    for (QWidget* w : {static_cast<QWidget*>(PBs), static_cast<QWidget*>(E_ma), static_cast<QWidget*>(E_mi)}) {
      QFont f = w->font();
      f.setPointSize(12);
      w->setFont(f);
    }
  }
  // The cross-hair: one vertical and one horizontal line image in the main window's colour of line 15.
  const QColor colour = platform::ui::ColorFromBgr(viewer::ChannelColors[viewer::ChannelColourIndex(CursorLineIndex)]);
  CursorBitmaps[CursorLineIndex] = viewer::VerticalLineBitmap(std::max(1, Plot.Bottom - 2), colour);
  LineBitmaps[CursorLineIndex] = viewer::HorizontalLineBitmap(Plot.PlotWidth + 10, colour);
  PBs->Clear();
  // The level edits for 0 .. 1 over the plot's height: the upper one at its top, the lower at its bottom.
  DrawScaleLabels(Plot.PlotHeight, 0.0, 1.0);
}

void TForm_spek::ShowModalFromMain() {
  FormShow();
  platform::ui::RunModal(*this);
}

void TForm_spek::FormShow() {
  P_yct_sp->hide();
  if (CursorMode != 0) LeaveCursorMode();  // the window was closed in cursor mode
  CB_am_spClick();
  EnableSpectrumMenus(0);
  if (S().FftLength < 512) CBAH1->setEnabled(false);
  setWindowTitle(QString("СПЕКТР. выделено: %1 точек;").arg(static_cast<qint64>(S().Nk) - S().Nn));
  LB_spek->hide();
  if (S().Channel >= S().ChannelCount) {
    S().Channel = 0;
    platform::ui::ShowMessage("работаем с 0-м каналом");
  }
}

void TForm_spek::EnableSpectrumMenus(int state) {
  if (state == 0) CursorMode = 0;
  const SpectrumMenuStates m =
      SpectrumMenus(state, CursorMode != 0, HasSpectrum(), Buffers.IntervalCount, S().FftLength);
  spektr->setEnabled(m.spektr);
  N_XYZ->setEnabled(m.N_XYZ);
  B3_Bcex->setEnabled(m.B3_Bcex);
  Bza_sp->setEnabled(m.Bza_sp);
  CBAH1->setEnabled(m.CBAH1);
  Fft1->setEnabled(m.Fft1);
  summ->setEnabled(m.summ);
  cur->setEnabled(m.cur);
  LB_s->setEnabled(m.LB_s);
  cmena->setEnabled(m.cmena);
  ToFile->setEnabled(m.ToFile);
  N_forma->setEnabled(m.N_forma);
  forACH->setEnabled(m.forACH);
}

double TForm_spek::ApplySpectrumWindow(float* w, int32_t n) {
  return analysis::ApplySpectrumWindow(S().WindowType, w, n, Buffers.Window);
}

void TForm_spek::CB_am_spClick() {
  const bool automatic = CB_am_sp->isChecked();
  for (QLineEdit* e : {E_ma, E_mi}) {
    e->setFrame(!automatic);
    e->setReadOnly(automatic || CursorMode != 0);
  }
}

void TForm_spek::E_maChange() {
  Manual.ManualMin = static_cast<float>(toolkit::ParseNumber(E_mi->text().toStdString()));
  Manual.ManualMax = static_cast<float>(toolkit::ParseNumber(E_ma->text().toStdString()));
  const QString colour = Manual.ManualMin <= Manual.ManualMax ? "yellow" : "red";
  for (QLineEdit* e : {E_ma, E_mi}) e->setStyleSheet("background-color: " + colour + ";");
}

void TForm_spek::curClick() {
  if (CursorMode != 0) {
    LeaveCursorMode();
    EnableSpectrumMenus(1);
    return;
  }
  if (!HasSpectrum()) return;  // no curve to read
  CursorMode = 1;
  CB_am_sp->setEnabled(false);
  E_ma->setReadOnly(true);
  E_mi->setReadOnly(true);
  Cursor.CursorX = 5;
  Cursor.CursorY = Plot.Bottom;
  EnableSpectrumMenus(1);
  // The strip at the top holds the readout; the lines are XORed after it is cleared (on) and before (off),
  // so that no part of them is left behind in it.
  DrawCursorReadout();
  DrawCursorLines();
  PBs->update();
}

void TForm_spek::LeaveCursorMode() {
  CursorMode = 0;
  CB_am_sp->setEnabled(true);
  CB_am_spClick();
  DrawCursorLines();
  QPainter p(&PBs->Image());
  p.fillRect(QRect(0, 0, PBs->Image().width(), 26), platform::ui::ColorFromBgr(Background));
  p.end();
  PBs->update();
}

void TForm_spek::DrawCursorLines() {
  viewer::XorHorizontalLine(LineBitmaps, CursorLineIndex, Cursor.CursorY, *PBs);
  viewer::XorVerticalCursor(CursorBitmaps, CursorLineIndex, Cursor.CursorX, *PBs);
}

void TForm_spek::DrawCursorReadout() {
  const std::string text = CursorReadout(Cursor, Plot, S().SpectrumLastBin, Buffers.N, S().Dt, ScaleLog, ScaleMin,
                                         ScaleMax, ScaleHeight);
  {
    QPainter p(&PBs->Image());
    p.fillRect(QRect(0, 0, PBs->Image().width(), 26), platform::ui::ColorFromBgr(Background));
  }
  ReadoutText = QString::fromStdString(text);
  DrawText(2, 6, ReadoutText, 0x00FF00);
}

void TForm_spek::FormKeyDown(int key, bool ctrl) {
  if (CursorMode == 0) return;
  MoveSpectrumCursor(key, ctrl, 5);
}

void TForm_spek::MoveSpectrumCursor(int key, bool ctrl, int left) {
  (void)left;  // the plot starts at x = 5, which MoveCursor keeps to
  SpectrumCursor moved = Cursor;
  if (!MoveCursor(moved, key, ctrl, Plot)) return;
  DrawCursorLines();
  Cursor = moved;
  DrawCursorReadout();
  DrawCursorLines();
  PBs->update();
}

namespace {
int WindowsKey(int qtKey) {
  switch (qtKey) {
    case Qt::Key_Left:
      return 37;
    case Qt::Key_Up:
      return 38;
    case Qt::Key_Right:
      return 39;
    case Qt::Key_Down:
      return 40;
    default:
      return 0;
  }
}
}  // namespace

// Key preview, wherever the focus is: Escape in the open parameter panel closes the panel as its "Esc"
// does (not the window); in cursor mode the arrows move the cross-hair.
bool TForm_spek::PreviewKey(const QKeyEvent& k) {
  if (k.key() == Qt::Key_Escape && !P_yct_sp->isHidden()) {
    Button1Click();
    return true;
  }
  const int key = WindowsKey(k.key());
  if (key == 0 || CursorMode == 0) return false;
  FormKeyDown(key, k.modifiers().testFlag(Qt::ControlModifier));
  return true;
}

bool TForm_spek::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && PreviewKey(*static_cast<QKeyEvent*>(event))) return true;
  return QDialog::eventFilter(watched, event);
}

void TForm_spek::keyPressEvent(QKeyEvent* event) {
  if (PreviewKey(*event)) return;
  QDialog::keyPressEvent(event);
}

void TForm_spek::LB_sClick() {
  if (!LB_spek->isHidden()) {
    LB_spek->hide();
    summClick();
    return;
  }
  if (!HasSpectrum()) return;
  P_yct_sp->hide();
  LB_spek->clear();
  LB_spek->show();
  LB_spek->raise();
  for (const std::string& line : SpectrumValueLines(Buffers, S())) LB_spek->addItem(QString::fromStdString(line));
}

void TForm_spek::ToFileClick() {
  if (HasSpectrum()) WriteSpectrumFile(S().Channel);
}

void TForm_spek::WriteSpectrumFile(int channel) {
  const std::string path = SpectrumFileName(S(), channel);
  const std::string start = toolkit::GlobalFunk().DateTimeText(S().Header.StartTicks, lastStart_ * S().Dt);
  int64_t zeroed = 0;
  const std::string text =
      SpectrumFileText(Buffers, S(), toolkit::FieldText(S().FileName), lastMode_ == 0, lastStart_, start, &zeroed);
  std::string error;
  if (!WriteTextFile(path, text, error))
    platform::ui::ShowMessage(error);
  else if (zeroed > 0)
    platform::ui::ShowMessage(ZeroedCellsNote(path, zeroed));
}

}  // namespace analysis
