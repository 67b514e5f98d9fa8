// The processing commands run from the main window's menus on a loaded recording: which channels and
// samples each changes, the messages of refused cases, and the redraw that ends a command.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "platform/ui/grab.h"
#include "support/address_space_limit.h"
#include "viewer/channel_samples.h"
#include "viewer/ui/main_window.h"
#include "viewer/ui/main_window_fixture.h"

namespace viewer {
namespace {

using platform::ui::MsgAnswer;
using support::Ui;
toolkit::SetupRecord& S() { return *toolkit::Setup; }

constexpr double kPi = std::numbers::pi;
constexpr double kRate = 100.0;  // the sample recording's rate

float* K(int c) { return GlobalChannelSamples()[static_cast<size_t>(c)]; }

std::vector<float> Copy(int c) { return std::vector<float>(K(c), K(c) + S().Samples); }

// Amplitude of the f Hz component of samples [from, to) of channel c (a whole number of periods).
double Amplitude(int c, int from, int to, double f) {
  double re = 0, im = 0;
  for (int n = from; n < to; ++n) {
    re += K(c)[n] * std::cos(2 * kPi * f * n / kRate);
    im += K(c)[n] * std::sin(2 * kPi * f * n / kRate);
  }
  return 2 * std::hypot(re, im) / (to - from);
}

class CommandWindowTest : public viewer_test::MainWindowFixture {
 protected:
  void Open(uint16_t channels) {
    toolkit::SampleRecordingPlan plan;
    plan.channels = channels;
    OpenForm(plan, channels);
    ASSERT_EQ(form->Loaded, 1);
    ASSERT_EQ(S().ChannelCount, channels);
    ASSERT_EQ(S().Samples, 6000u);
  }

  // Replaces channel c by f(n); Redraw brings the view up to date, as a read of such a file would.
  template <class F>
  void Fill(int c, F f) {
    for (uint32_t n = 0; n < S().Samples; ++n) K(c)[n] = static_cast<float>(f(static_cast<int>(n)));
  }
  void Redraw() { RedrawView(form->Host(), S().CursorMode == 1); }

  QImage Plot() const { return form->PB1->Image().copy(); }
};

double LowAndHigh(int n) { return 1000 * std::sin(2 * kPi * 0.5 * n / kRate) + 300 * std::sin(2 * kPi * 10 * n / kRate); }

TEST_F(CommandWindowTest, FrequencyDomainFilterChangesOnlyTheProcessedChannelOverTheWholeRecord) {
  Open(3);
  for (int c = 0; c < 3; ++c) Fill(c, LowAndHigh);
  S().Channel = 1;
  S().FilterType = 0;  // low-pass
  S().FilterLow = 2.0;
  Key(Qt::Key_Equal);  // zoom in: the command still works on every sample
  ASSERT_LT(S().Nk, 5000);
  Redraw();
  const std::vector<float> k0 = Copy(0), k2 = Copy(2);
  const float maxBefore = S().ChannelMax[1];
  const QImage before = Plot();
  form->men_fft_oper->trigger();
  EXPECT_EQ(Copy(0), k0);
  EXPECT_EQ(Copy(2), k2);
  EXPECT_LT(Amplitude(1, 1000, 5000, 10), 3.0);
  EXPECT_NEAR(Amplitude(1, 1000, 5000, 0.5), 1000, 10);
  EXPECT_NEAR(K(1)[5500], 1000 * std::sin(2 * kPi * 0.5 * 5500 / kRate), 20);  // beyond the view
  // The envelope was taken again and the plot redrawn.
  EXPECT_LT(S().ChannelMax[1], maxBefore - 150);
  EXPECT_NE(Plot(), before);
}

TEST_F(CommandWindowTest, FrequencyDomainIntegralAndDerivativeOfAllChannels) {
  Open(3);
  for (int c = 0; c < 3; ++c) Fill(c, [](int n) { return 1000 * std::sin(2 * kPi * 1.0 * n / kRate); });
  S().Channel = S().ChannelCount;  // all channels
  S().FreqDifferentiationLow = 0.1;
  S().FreqDifferentiationHigh = 20;
  form->fft_diff->trigger();
  // d/dt 1000 sin(2 pi t) = 2000 pi cos(2 pi t)
  for (int c = 0; c < 3; ++c) {
    EXPECT_NEAR(Amplitude(c, 1000, 5000, 1.0), 2000 * kPi, 0.02 * 2000 * kPi) << c;
    EXPECT_NEAR(K(c)[3000], 2000 * kPi * std::cos(2 * kPi * 30.0), 0.03 * 2000 * kPi) << c;
  }
  S().FreqIntegrationLow = 0.1;
  S().FreqIntegrationHigh = 20;
  form->fft_integ->trigger();
  // Integrating the derivative gives the sine back (without its mean).
  for (int c = 0; c < 3; ++c) {
    EXPECT_NEAR(Amplitude(c, 1000, 5000, 1.0), 1000, 30) << c;
    EXPECT_NEAR(K(c)[3025], 1000 * std::sin(2 * kPi * 30.25), 50) << c;
  }
}

TEST_F(CommandWindowTest, TimeDomainFiltersDrawOverWaitAndRedraw) {
  Open(3);
  for (int c = 0; c < 3; ++c) Fill(c, LowAndHigh);
  Redraw();
  S().FilterType = 0;  // low-pass
  S().FilterLow = 2.0;
  S().ButterworthOrder = 4;
  S().PotterHalfLength = 200;
  S().Channel = 0;
  const std::vector<float> k1 = Copy(1), k2 = Copy(2);
  const QImage before = Plot();
  Ui().ExpectMessage(MsgAnswer::Ok, "жми");
  form->N_Batter->trigger();
  EXPECT_LT(Amplitude(0, 1000, 5000, 10), 3.0);
  EXPECT_NEAR(Amplitude(0, 1000, 5000, 0.5), 1000, 20);
  EXPECT_EQ(Copy(1), k1);
  EXPECT_NE(Plot(), before);

  S().Channel = 2;
  Ui().ExpectMessage(MsgAnswer::Ok, "жми");
  form->N_Potter->trigger();
  EXPECT_LT(Amplitude(2, 1000, 5000, 10), 3.0);
  EXPECT_NEAR(Amplitude(2, 1000, 5000, 0.5), 1000, 20);
  // The windowed-sinc filter keeps the phase.
  EXPECT_NEAR(K(2)[3050], 1000 * std::sin(2 * kPi * 0.5 * 30.5), 20);
  EXPECT_EQ(Copy(1), k1);
  ASSERT_EQ(Ui().Messages().size(), 2u);
}

TEST_F(CommandWindowTest, TimeDomainIntegralOfTheProcessedChannel) {
  Open(3);
  for (int c = 0; c < 3; ++c) Fill(c, [](int n) { return 1000 * std::sin(2 * kPi * 2.0 * n / kRate); });
  S().Channel = 1;
  S().IntegralCorner = 0.1;
  S().IntegralDecay = 1.0;
  const std::vector<float> k0 = Copy(0);
  form->N10->trigger();
  EXPECT_NEAR(Amplitude(1, 1000, 5000, 2.0), 1000 / (2 * kPi * 2.0), 0.03 * 1000 / (2 * kPi * 2.0));
  EXPECT_EQ(Copy(0), k0);
}

TEST_F(CommandWindowTest, ChannelArithmeticPanelWritesTheProcessedChannelOverEverySample) {
  Open(3);
  for (int c = 0; c < 3; ++c) Fill(c, [c](int n) { return (n % 97) - 40 + c; });
  S().Channel = 1;
  Key(Qt::Key_Equal);
  const int32_t nn = S().Nn, nk = S().Nk;
  const std::vector<float> k0 = Copy(0), k1 = Copy(1), k2 = Copy(2);

  form->N38->trigger();
  EXPECT_FALSE(form->P_oper_c_kan->isHidden());
  EXPECT_FALSE(form->KeyPreview);
  EXPECT_EQ(form->L_oper_c_k_podp->text(), "Пишем в канал 1. Сменить - выбор обрабат. канала.");
  EXPECT_EQ(form->C_oper_c_kan->count(), 3);
  // The plot keys are off while the panel takes the typing.
  Key(Qt::Key_Equal);
  EXPECT_EQ(S().Nn, nn);
  EXPECT_EQ(S().Nk, nk);

  // A number being typed stays as typed.
  form->E_oper_c_kan1->setText("0.");
  EXPECT_EQ(form->E_oper_c_kan1->text(), "0.");
  form->E_oper_c_kan1->setText("1.5");
  form->E_oper_c_kan2->setText("2");
  form->E_oper_c_kan3->setText("-3");
  form->C_oper_c_kan->setCurrentIndex(2);
  form->C_oper_c_kan_sign->setCurrentIndex(2);
  EXPECT_EQ(form->L_oper_c_kan->text(), " K[1] = ( K[1]  +  1.5000 ) * ( 2.0000 * K[2]  +  -3.0000 )");
  form->show();
  EXPECT_TRUE(platform::ui::GrabToPng(
      *form, QString::fromStdString((workDir_ / "main_window_channel_arithmetic.png").string())));
  const QImage before = Plot();
  form->B_oper_c_kan_yes->click();
  EXPECT_TRUE(form->P_oper_c_kan->isHidden());
  EXPECT_TRUE(form->KeyPreview);
  for (uint32_t n = 0; n < S().Samples; n += 7)
    ASSERT_FLOAT_EQ(K(1)[n], (k1[n] + 1.5f) * (2.0f * k2[n] - 3.0f)) << n;
  EXPECT_FLOAT_EQ(K(1)[5999], (k1[5999] + 1.5f) * (2.0f * k2[5999] - 3.0f));
  EXPECT_EQ(Copy(0), k0);
  EXPECT_EQ(Copy(2), k2);
  EXPECT_NE(Plot(), before);
  // Keys work again.
  Key(Qt::Key_Minus);
  EXPECT_NE(S().Nk - S().Nn, nk - nn);
}

TEST_F(CommandWindowTest, ChannelArithmeticRefusalsAndCancelLeaveTheChannel) {
  Open(3);
  for (int c = 0; c < 3; ++c) Fill(c, [c](int n) { return n % 50 + c; });
  S().Channel = 0;
  const std::vector<float> k0 = Copy(0);

  form->N38->trigger();
  form->E_oper_c_kan1->setText("1");
  form->E_oper_c_kan2->setText("0");
  form->E_oper_c_kan3->setText("0");
  form->C_oper_c_kan_sign->setCurrentIndex(3);  // division by 0 * K[e] + 0
  Ui().ExpectMessage(MsgAnswer::Ok, "деление на 0: канал 0 не изменён");
  form->B_oper_c_kan_yes->click();
  EXPECT_EQ(Copy(0), k0);

  form->N38->trigger();
  form->C_oper_c_kan_sign->setCurrentIndex(0);
  form->E_oper_c_kan2->setText("5");
  form->B_oper_c_kan_no->click();
  EXPECT_TRUE(form->P_oper_c_kan->isHidden());
  EXPECT_TRUE(form->KeyPreview);
  EXPECT_EQ(Copy(0), k0);

  // With all channels selected the panel writes channel 0.
  form->PB3Click();
  ASSERT_EQ(S().Channel, S().ChannelCount);
  form->N38->trigger();
  EXPECT_EQ(S().Channel, 0);
  EXPECT_EQ(form->L_oper_c_k_podp->text(), "Пишем в канал 0. Сменить - выбор обрабат. канала.");
  form->B_oper_c_kan_no->click();
}

TEST_F(CommandWindowTest, ComparisonsWriteChannelsOneAndTwoOverTheVisibleRangeOnly) {
  Open(3);
  auto k0 = [](int n) { return std::round(1000 * std::sin(2 * kPi * 0.5 * n / kRate)) + (n % 13); };
  Fill(0, k0);
  Fill(1, [&](int n) { return (k0(n) - 5) / 2; });  // channel 0 = 2 K1 + 5
  Fill(2, [](int n) { return n % 7; });
  Key(Qt::Key_Equal);  // the command works on the view only
  const int32_t nn = S().Nn, nk = S().Nk;
  ASSERT_GT(nk, 1000);
  ASSERT_LT(nk, 5000);
  Redraw();
  const std::vector<float> k1 = Copy(1), k2 = Copy(2);

  Ui().ExpectMessage(MsgAnswer::Ok, "K усиления = 2.00000; смещение 5.00000 ");
  const QImage before = Plot();
  form->N23->trigger();
  EXPECT_NE(Plot(), before);
  for (int n = nn; n < nk; ++n) {
    ASSERT_NEAR(K(1)[n], k0(n), 1e-3) << n;
    ASSERT_NEAR(K(2)[n], 0, 1e-3) << n;
  }
  for (int n = nk; n < 6000; ++n) {
    ASSERT_EQ(K(1)[n], k1[n]) << n;
    ASSERT_EQ(K(2)[n], k2[n]) << n;
  }

  // "сравнить (1)": channel 1 mapped onto channel 0 by the extremes of the view.
  Fill(1, [&](int n) { return (k0(n) - 5) / 2; });
  Redraw();
  form->NN->trigger();
  for (int n = nn; n < nk; ++n) ASSERT_NEAR(K(1)[n], k0(n), 1e-2) << n;
  EXPECT_EQ(K(1)[nk + 10], k1[nk + 10]);

  // "Вычитание разностных каналов": the sum of channels 1 and 2 fitted onto channel 0.
  Fill(1, [&](int n) { return (k0(n) - 5) / 4; });
  Fill(2, [&](int n) { return (k0(n) - 5) / 4; });
  Redraw();
  Ui().ExpectMessage(MsgAnswer::Ok, "K усиления = 2.00000; смещение 5.00000 ");
  form->N2->trigger();
  for (int n = nn; n < nk; ++n) {
    ASSERT_NEAR(K(1)[n], k0(n), 1e-3) << n;
    ASSERT_NEAR(K(2)[n], 0, 1e-3) << n;
  }
  EXPECT_EQ(K(2)[nk + 10], static_cast<float>((k0(nk + 10) - 5) / 4));
  {
    const QImage im = form->PB1->Image();
    for (int y = 0; y < im.height(); y += 1) {
      int n = 0;
      for (int x = 0; x < form->Plot.PlotWidth; ++x) n += im.pixel(x, y) != form->Plot.PlotBackground.rgb();
      if (n) printf("TMP y=%d n=%d\n", y, n);
    }
    printf("TMP min2 %g max2 %g ch %d shown %d %d\n", S().ChannelMin[2], S().ChannelMax[2], S().Channel, S().FirstChannel, S().ShownEnd);
  }
  form->show();
  EXPECT_TRUE(platform::ui::GrabToPng(
      *form, QString::fromStdString((workDir_ / "main_window_after_comparison.png").string())));
}

TEST_F(CommandWindowTest, ComparisonsAndInterpolationNeedTheirChannels) {
  Open(2);
  const std::vector<float> k0 = Copy(0), k1 = Copy(1);
  for (QAction* a : {form->NN, form->N23, form->N2}) {
    Ui().ExpectMessage(MsgAnswer::Ok, "мало каналов!!");
    a->trigger();
  }
  Ui().ExpectMessage(MsgAnswer::Ok, "интерполяция Sin ( 1601 Гц )  к  100 Гц\n надо не менее 6 каналов");
  form->N5->trigger();
  EXPECT_EQ(Copy(0), k0);
  EXPECT_EQ(Copy(1), k1);
  EXPECT_EQ(Ui().Messages().size(), 4u);
}

TEST_F(CommandWindowTest, InterpolationTestFillsSixChannelsWithoutARedraw) {
  Open(6);
  S().SweepFrequency = 5;
  S().SineFrequency = 5;
  S().SineAmplitude = 1000;
  const QImage before = Plot();
  Ui().ExpectMessage(MsgAnswer::Ok, "интерполяция Sin ( 1601 Гц )  к  100 Гц");
  form->N5->trigger();
  EXPECT_EQ(Plot(), before);
  static constexpr double kOffsets[3] = {0.0, 0.00026625, 0.0006425};
  for (int p = 0; p < 3; ++p) {
    for (int n = 10; n < 6000; n += 37) {
      const double t = n * 0.00125 + kOffsets[p];
      // Four-point interpolation of a 5 Hz sine sampled at 1601 Hz: close to the sine itself.
      ASSERT_NEAR(K(2 * p)[n], 1000 * std::sin(2 * kPi * 5 * t), 1.0) << p << " " << n;
      ASSERT_NEAR(K(2 * p + 1)[n], 0, 1.0) << p << " " << n;
    }
  }
}

TEST_F(CommandWindowTest, AbsoluteValueAndSmoothingOnOneOrAllChannels) {
  Open(3);
  auto sine = [](int n) { return 1000 * std::sin(2 * kPi * 0.5 * n / kRate); };
  for (int c = 0; c < 3; ++c) Fill(c, sine);
  Key(Qt::Key_Equal);
  S().Channel = 2;
  const std::vector<float> k0 = Copy(0), k2 = Copy(2);
  form->N_abs->trigger();
  for (uint32_t n = 0; n < S().Samples; ++n) ASSERT_EQ(K(2)[n], std::fabs(k2[n])) << n;
  EXPECT_EQ(Copy(0), k0);
  EXPECT_GE(S().ChannelMin[2], 0.0f);

  // Smoothing joins the extremes of |K| by straight lines: a sine becomes its amplitude between the
  // first and the last extreme.
  S().Channel = 1;
  form->N7->trigger();
  for (int n = 50; n <= 5950; ++n) ASSERT_NEAR(K(1)[n], 1000, 1.0) << n;
  EXPECT_EQ(Copy(0), k0);

  // All channels: each of them.
  form->PB3Click();
  form->N_abs->trigger();
  for (int c = 0; c < 3; ++c) EXPECT_GE(*std::min_element(K(c), K(c) + 6000), 0.0f) << c;
  Fill(0, sine);
  form->N7->trigger();
  for (int n = 50; n <= 5950; n += 10) ASSERT_NEAR(K(0)[n], 1000, 1.0) << n;
}

TEST_F(CommandWindowTest, CursorModeDisablesTheMenusAndAbsoluteValue) {
  Open(3);
  S().Channel = 0;
  Fill(0, [](int n) { return n % 10 - 5; });
  Key(Qt::Key_Return);
  ASSERT_EQ(S().CursorMode, 1);
  for (QMenu* m : {form->N_fft, form->N_time, form->N_func, form->N_extra, form->N_read, form->N_save})
    EXPECT_FALSE(m->isEnabled()) << m->title().toStdString();
  const std::vector<float> k0 = Copy(0);
  form->N_absClick();
  EXPECT_EQ(Copy(0), k0);
  Key(Qt::Key_Return);
  EXPECT_TRUE(form->N_extra->isEnabled());
  form->N_abs->trigger();
  EXPECT_EQ(K(0)[0], 5.0f);
}

TEST_F(CommandWindowTest, TickCheckOfASawAndItsRefusals) {
  Open(3);
  Fill(1, [](int n) { return 5 * (n % 100); });  // step 5, wrapping by -495 once a second
  S().Channel = 1;
  Ui().ExpectMessage(MsgAnswer::Ok, "пила c шагом  5  до  500\n\n   порядок");
  form->N_test_TIKOB->trigger();

  K(1)[300] += 17;  // two broken steps
  Ui().ExpectMessage(MsgAnswer::Ok, "проблемы !!!");
  form->N_test_TIKOB->trigger();
  const std::string text = Ui().Messages().back().text;
  EXPECT_NE(text.find("точка графика"), std::string::npos);

  form->PB3Click();
  Ui().ExpectMessage(MsgAnswer::Ok, "тики: выберите один канал");
  form->N_test_TIKOB->trigger();
  S().Channel = 1;
  S().RemoveMean = 1;
  Ui().ExpectMessage(MsgAnswer::Ok, "убери НЧ фильтр в установках");
  form->N_test_TIKOB->trigger();
}

TEST_F(CommandWindowTest, CommandsOfPartsNotBuiltStayDisabledAndTheOthersAreEnabled) {
  Open(3);
  for (QAction* a : {form->N_korrel, form->N26})
    EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
  for (QAction* a : {form->men_fft_oper, form->fft_integ, form->fft_diff, form->N_Batter, form->N_Potter,
                     form->N10, form->N38, form->NN, form->N23, form->N5, form->N_test_TIKOB, form->N_abs,
                     form->N7, form->N2, form->read_buf, form->N_Bce_st, form->N_obzor, form->N_disp_dir,
                     form->N_ACH, form->N_miniseed1, form->N_OB_edin_, form->N20})
    EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
}

// The transform of a long channel needs more memory than the process may take: the window says so,
// the channel and the settings are as they were, and the window goes on taking commands.
TEST_F(CommandWindowTest, CommandThatRunsOutOfMemoryLeavesTheRecordAndTheProgramGoesOn) {
  if (!support::kAddressSpaceLimitWorks) GTEST_SKIP() << "the sanitizers reserve the address space";
  toolkit::SampleRecordingPlan plan;
  plan.channels = 1;
  // Its transform needs 64 MiB, more than the memory earlier tests may have left free in the heap
  // (which the limit does not count).
  plan.frames = uint32_t{1} << 23;
  OpenForm(plan, 1);
  ASSERT_EQ(S().Samples, plan.frames);
  const std::vector<float> k0 = Copy(0);
  const auto before = std::make_unique<toolkit::SetupRecord>(S());
  support::ExpectWithinAddressSpace(size_t{4} << 20, [&] {
    Ui().ExpectMessage(MsgAnswer::Ok, "Не хватает памяти");
    form->men_fft_oper->trigger();
    Ui().ExpectMessage(MsgAnswer::Ok, "мало каналов");  // the next command runs
    form->N23->trigger();
    return Ui().UnusedSteps().empty() && Ui().TakeFailures().empty() &&
           std::equal(k0.begin(), k0.end(), K(0)) &&
           std::memcmp(&S(), before.get(), sizeof(toolkit::SetupRecord)) == 0;
  });
}

}  // namespace
}  // namespace viewer
