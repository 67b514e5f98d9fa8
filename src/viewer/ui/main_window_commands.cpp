// The main window's processing commands: the menu items of "спектр.опер.", "врем.опер.", "функции" and
// "доп.функции" that change the channels in memory, and the channel-arithmetic panel. The work itself is
// done by viewer/processing_commands.h; every command ends the same way (FinishCommand): its messages,
// then, when the channels changed, the envelopes taken again and the plot redrawn.
#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <charconv>

#include "platform/ui/message_box.h"
#include "toolkit/funk.h"
#include "viewer/channel_samples.h"
#include "viewer/command_memory.h"
#include "viewer/processing_commands.h"
#include "viewer/ui/main_window.h"
#include "viewer/ui/plot_view_host.h"

namespace viewer {

using toolkit::Setup;

namespace {

// The shortest text that reads back as the same float.
QString FloatEditText(float v) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return QString::fromLatin1(buf, static_cast<int>(r.ptr - buf));
}

// Puts `v` into the edit unless its text already stands for that value, so that a number being typed
// ("0.", "-", "1e") is left as it is.
void ShowValue(QLineEdit* edit, float v) {
  const float typed = static_cast<float>(toolkit::TFunk::ParseNumber(edit->text().toStdString()));
  if (typed == v && !edit->text().isEmpty()) return;
  edit->setText(FloatEditText(v));
}

}  // namespace

void TForm1::ConnectCommands() {
  for (QAction* a : {men_fft_oper, fft_integ, fft_diff})
    connect(a, &QAction::triggered, this, Guarded([this, a] { men_fft_operClick(a); }));
  for (QAction* a : {N_Batter, N_Potter})
    connect(a, &QAction::triggered, this, Guarded([this, a] { N_BatterClick(a); }));
  connect(N10, &QAction::triggered, this, Guarded([this] { N10Click(); }));
  connect(N38, &QAction::triggered, this, Guarded([this] { oper_c_kan(); }));
  connect(NN, &QAction::triggered, this, Guarded([this] { NNClick(); }));
  connect(N23, &QAction::triggered, this, Guarded([this] { N23Click(); }));
  connect(N5, &QAction::triggered, this, Guarded([this] { N5Click(); }));
  connect(N_test_TIKOB, &QAction::triggered, this, Guarded([this] { N_test_TIKOBClick(); }));
  connect(N_abs, &QAction::triggered, this, Guarded([this] { N_absClick(); }));
  connect(N7, &QAction::triggered, this, Guarded([this] { N7Click(); }));
  connect(N2, &QAction::triggered, this, Guarded([this] { N2Click(); }));
}

void TForm1::BuildChannelOperationPanel() {
  P_oper_c_kan->setFrameShape(QFrame::Panel);
  P_oper_c_kan->setFrameShadow(QFrame::Raised);
  P_oper_c_kan->setAutoFillBackground(true);
  L_oper_c_k_podp = new QLabel(P_oper_c_kan);
  L_oper_c_kan = new QLabel(P_oper_c_kan);
  E_oper_c_kan1 = new QLineEdit(P_oper_c_kan);
  E_oper_c_kan2 = new QLineEdit(P_oper_c_kan);
  E_oper_c_kan3 = new QLineEdit(P_oper_c_kan);
  C_oper_c_kan = new QComboBox(P_oper_c_kan);
  C_oper_c_kan_sign = new QComboBox(P_oper_c_kan);
  C_oper_c_kan_sign->addItems({"+", "-", "*", "/"});
  B_oper_c_kan_yes = new QPushButton("O'key", P_oper_c_kan);
  B_oper_c_kan_no = new QPushButton("отмена", P_oper_c_kan);

  // ( K[d] + a ) op ( b * K[e] + c ), laid out in the order of the formula.
  auto* grid = new QGridLayout(P_oper_c_kan);
  grid->addWidget(L_oper_c_k_podp, 0, 0, 1, 7);
  grid->addWidget(new QLabel("a", P_oper_c_kan), 1, 0);
  grid->addWidget(E_oper_c_kan1, 1, 1);
  grid->addWidget(C_oper_c_kan_sign, 1, 2);
  grid->addWidget(new QLabel("b", P_oper_c_kan), 1, 3);
  grid->addWidget(E_oper_c_kan2, 1, 4);
  grid->addWidget(new QLabel("K[e]", P_oper_c_kan), 1, 5);
  grid->addWidget(C_oper_c_kan, 1, 6);
  grid->addWidget(new QLabel("c", P_oper_c_kan), 1, 7);
  grid->addWidget(E_oper_c_kan3, 1, 8);
  grid->addWidget(L_oper_c_kan, 2, 0, 1, 7);
  grid->addWidget(B_oper_c_kan_yes, 2, 7);
  grid->addWidget(B_oper_c_kan_no, 2, 8);
  P_oper_c_kan->setGeometry(300, 60, 720, 110);

  for (QLineEdit* e : {E_oper_c_kan1, E_oper_c_kan2, E_oper_c_kan3})
    connect(e, &QLineEdit::textChanged, this, [this] { C_oper_c_kanChange(); });
  for (QComboBox* c : {C_oper_c_kan, C_oper_c_kan_sign})
    connect(c, &QComboBox::currentIndexChanged, this, [this] { C_oper_c_kanChange(); });
  connect(B_oper_c_kan_yes, &QPushButton::clicked, this, Guarded([this] { B_oper_c_kan_yesClick(); }));
  connect(B_oper_c_kan_no, &QPushButton::clicked, this, &TForm1::B_oper_c_kan_noClick);
}

void TForm1::RunCommand(const std::function<CommandResult(float* const*)>& command) {
  if (!HaveSamples()) return;
  auto k = ChannelPointers(GlobalChannelSamples());
  const CommandResult result = RunWithinMemory(*Setup, [&] { return command(k.data()); });
  ShowProgress(-1);
  FinishCommand(*host_, result, *Setup);
}

void TForm1::RunGuarded(const std::function<void()>& command) {
  const std::string stopped = RunCatchingOutOfMemory(command);
  if (stopped.empty()) return;
  ShowProgress(-1);
  platform::ui::ShowMessage(stopped);
}

// ---- "спектр.опер." and "врем.опер." ----

void TForm1::men_fft_operClick(QAction* sender) {
  const int mode = sender == fft_integ ? 1 : sender == fft_diff ? 2 : 0;
  RunCommand([this, mode](float* const* k) { return FrequencyDomainCommand(*Setup, k, Funk, mode); });
}

void TForm1::N10Click() {
  RunCommand([this](float* const* k) { return IntegrateCommand(*Setup, k, Funk); });
}

void TForm1::N_BatterClick(QAction* sender) {
  if (!HaveSamples()) return;
  auto k = ChannelPointers(GlobalChannelSamples());
  RunTimeDomainFilter(*Setup, k.data(), Funk, sender == N_Batter, *host_);
}

// ---- Channel arithmetic ----

void TForm1::oper_c_kan() {
  if (!HaveSamples()) return;
  KeyPreview = false;
  PrepareChannelOperation(*Setup);
  ShowChannelOperation();
  P_oper_c_kan->show();
  P_oper_c_kan->raise();
  E_oper_c_kan1->setFocus();
}

void TForm1::ShowChannelOperation() {
  operFilling_ = true;
  toolkit::SetupRecord& s = *Setup;
  L_oper_c_k_podp->setText(QString::fromStdString(ChannelOperationCaption(s)));
  const int count = std::min<int>(s.ChannelCount, toolkit::kMaxChannels);
  C_oper_c_kan->clear();
  for (int i = 0; i < count; ++i) C_oper_c_kan->addItem(QString::number(i));
  ShowValue(E_oper_c_kan1, s.ArithmeticA);
  ShowValue(E_oper_c_kan2, s.ArithmeticB);
  ShowValue(E_oper_c_kan3, s.ArithmeticC);
  s.ArithmeticChannel2 = static_cast<int16_t>(std::clamp<int>(s.ArithmeticChannel2, 0, std::max(count - 1, 0)));
  C_oper_c_kan->setCurrentIndex(count > 0 ? s.ArithmeticChannel2 : -1);
  s.ArithmeticSign = SignOfItem(C_oper_c_kan_sign->currentIndex(), s.ArithmeticSign);
  L_oper_c_kan->setText(QString::fromStdString(ChannelOperationFormula(s)));
  operFilling_ = false;
}

void TForm1::C_oper_c_kanChange() {
  if (operFilling_ || P_oper_c_kan->isHidden()) return;
  toolkit::SetupRecord& s = *Setup;
  s.ArithmeticA = static_cast<float>(toolkit::TFunk::ParseNumber(E_oper_c_kan1->text().toStdString()));
  s.ArithmeticB = static_cast<float>(toolkit::TFunk::ParseNumber(E_oper_c_kan2->text().toStdString()));
  s.ArithmeticC = static_cast<float>(toolkit::TFunk::ParseNumber(E_oper_c_kan3->text().toStdString()));
  if (C_oper_c_kan->currentIndex() >= 0) s.ArithmeticChannel2 = static_cast<int16_t>(C_oper_c_kan->currentIndex());
  ShowChannelOperation();
}

void TForm1::B_oper_c_kan_yesClick() {
  P_oper_c_kan->hide();
  KeyPreview = true;
  RunCommand([this](float* const* k) { return ChannelArithmetic(*Setup, k); });
}

void TForm1::B_oper_c_kan_noClick() {
  P_oper_c_kan->hide();
  KeyPreview = true;
}

// ---- "доп.функции" ----

void TForm1::NNClick() {
  RunCommand([this](float* const* k) { return CompareByRange(*Setup, k); });
}

void TForm1::N23Click() {
  RunCommand([this](float* const* k) { return CompareByFit(*Setup, k); });
}

void TForm1::N2Click() {
  RunCommand([this](float* const* k) { return SubtractDifferenceChannels(*Setup, k); });
}

void TForm1::N5Click() {
  RunCommand([this](float* const* k) { return InterpolationTest(*Setup, k); });
}

void TForm1::N_test_TIKOBClick() {
  RunCommand([this](float* const* k) { return CheckTicks(*Setup, k, Plot.PlotWidth); });
}

void TForm1::N_absClick() {
  RunCommand([this](float* const* k) { return AbsoluteValue(*Setup, k); });
}

void TForm1::N7Click() {
  RunCommand([this](float* const* k) { return SmoothBySegments(*Setup, k); });
}

}  // namespace viewer
