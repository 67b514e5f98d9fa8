// The spectrum window: its menu states, the parameter panel's bounds, the rendered plot, the cursor and
// the faults of lengths, shifts and bins from an old setup file.
#include "analysis/ui/spectrum_form.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

#include "analysis/ui/radio_group.h"
#include "platform/ui/grab.h"
#include "spectrum_window_fixture.h"
#include "support/temp_dir.h"

namespace {

using analysis_test::SpectrumWindowFixture;
using platform::ui::MsgAnswer;

class SpectrumFormTest : public SpectrumWindowFixture {
 protected:
  std::vector<bool> MenuStates() {
    std::vector<bool> out;
    for (QAction* a : {form->spektr, form->N_XYZ, form->B3_Bcex, form->Bza_sp, form->CBAH1, form->Fft1, form->summ,
                       form->cur, form->LB_s, form->cmena, form->ToFile, form->N_forma, form->forACH})
      out.push_back(a->isEnabled());
    return out;
  }
  // Rows where column x has a pixel of `rgb`.
  std::vector<int> RowsOf(int x, QRgb rgb) {
    std::vector<int> rows;
    for (int y = 0; y < Image().height(); ++y)
      if ((Image().pixel(x, y) & 0xFFFFFF) == (rgb & 0xFFFFFF)) rows.push_back(y);
    return rows;
  }
  // Topmost row and its column among pixels of `rgb` within rows from..to.
  QPoint Topmost(QRgb rgb, int from, int to) {
    for (int y = from; y < to; ++y)
      for (int x = 0; x < Image().width(); ++x)
        if ((Image().pixel(x, y) & 0xFFFFFF) == (rgb & 0xFFFFFF)) return {x, y};
    return {-1, -1};
  }
};

TEST_F(SpectrumFormTest, MenusFollowTheThreeStates) {
  Fill(20000, Sine(1.0, 100, 4096), 0, 20000);
  Open();
  using V = std::vector<bool>;
  EXPECT_EQ(MenuStates(), (V{1, 1, 1, 1, 1, 0, 0, 0, 0, 1, 0, 0, 1}));
  form->spektr->trigger();
  EXPECT_EQ(form->Buffers.IntervalCount, (20000 - 4096) / 256 + 1);
  EXPECT_EQ(MenuStates(), (V{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 1}));
  form->cur->trigger();
  EXPECT_EQ(MenuStates(), (V{0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0}));
  EXPECT_FALSE(form->CB_am_sp->isEnabled());
  form->cur->trigger();
  EXPECT_TRUE(form->CB_am_sp->isEnabled());
  S().FftLength = 16384;
  form->EnableSpectrumMenus(1);
  EXPECT_FALSE(form->N_XYZ->isEnabled() || form->B3_Bcex->isEnabled() || form->Bza_sp->isEnabled());
  form->FormShow();
  EXPECT_FALSE(form->N_XYZ->isEnabled() || form->B3_Bcex->isEnabled() || form->Bza_sp->isEnabled());
}

void Press(QWidget* w, int key, const QString& text = {}) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(w, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(w, &release);
}

void Type(QLineEdit* e, const QString& text) {
  e->setFocus();
  e->selectAll();
  for (const QChar c : text) Press(e, c.unicode(), QString(c));
}

// Enter in any edit of the open parameter panel presses no button (the first one cycles the transfer
// mode) and leaves the panel open; Escape there closes the panel as "Esc" does, keeping the window and
// the settings; Escape with the panel closed closes the window.
TEST_F(SpectrumFormTest, EnterInThePanelPressesNoButtonAndEscapeClosesOnlyThePanel) {
  Fill(20000, Sine(1.0, 100, 4096), 0, 20000);
  Open();
  form->show();
  form->cmena->trigger();
  ASSERT_FALSE(form->P_yct_sp->isHidden());
  const QString caption = form->H_i_KOGER->text();
  for (QLineEdit* e : form->findChildren<QLineEdit*>()) {
    if (!e->isEnabled() || !e->isVisible()) continue;
    const QString before = e->text();
    e->setFocus();
    Press(e, Qt::Key_Return);
    EXPECT_EQ(form->TransferMode, 0) << e->objectName().toStdString() << " " << before.toStdString();
    EXPECT_EQ(form->H_i_KOGER->text(), caption);
    EXPECT_FALSE(form->P_yct_sp->isHidden());
  }
  Type(form->E_np, "1000");
  Press(form->E_np, Qt::Key_Return);
  EXPECT_EQ(form->E_np->text(), "1000");
  EXPECT_EQ(form->TransferMode, 0);
  ASSERT_FALSE(form->P_yct_sp->isHidden());
  const uint32_t fourier = S().FourierLength;
  Press(form->E_np, Qt::Key_Escape);
  EXPECT_TRUE(form->P_yct_sp->isHidden());
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(S().FourierLength, fourier);
  Press(form->PBs, Qt::Key_Escape);
  EXPECT_FALSE(form->isVisible());
}

// "Esc" (or Escape) before anything was computed: the redraw, the values list, the file and the cursor
// are not offered, and calling them anyway changes no setting and shows nothing.
TEST_F(SpectrumFormTest, WithNothingComputedTheCommandsOnTheSpectrumDoNothing) {
  Fill(20000, Sine(1.0, 100, 4096), 0, 20000);
  const support::TempDir dir;
  toolkit::SetFieldText(S().DataDir, dir.path());
  toolkit::SetFieldText(S().FileName, "rec.xx");
  Open();
  form->show();
  form->cmena->trigger();
  Press(form->Ed_f_N2, Qt::Key_Escape);
  ASSERT_TRUE(form->P_yct_sp->isHidden());
  EXPECT_EQ(MenuStates(), (std::vector<bool>{1, 1, 1, 1, 1, 0, 0, 0, 0, 1, 0, 0, 1}));
  const toolkit::SetupRecord before = S();
  const QImage picture = Image().copy();
  form->summClick();
  form->LB_sClick();
  EXPECT_TRUE(form->LB_spek->isHidden());
  form->LB_spek->show();  // a double click on a list shown some other way
  form->LB_sClick();
  form->ToFileClick();
  form->curClick();
  EXPECT_EQ(form->CursorMode, 0);
  EXPECT_EQ(std::memcmp(&before, &S(), sizeof before), 0);
  EXPECT_EQ(Image(), picture);
  EXPECT_FALSE(std::filesystem::exists(dir.File("rec.xx.s0")));
  // Once a spectrum is computed they are offered again.
  form->spektr->trigger();
  EXPECT_TRUE(form->summ->isEnabled() && form->LB_s->isEnabled() && form->cur->isEnabled());
}

// At the first show the upper level's edit stands at the top of the plot, above the lower one; a window
// closed in cursor mode shows again with "авто" usable and without the cross-hair.
TEST_F(SpectrumFormTest, LevelEditsAtFirstShowAndCursorModeEndsWithTheWindow) {
  Fill(40000, Sine(1.0, 300, 4096), 0, 40000);
  Open();
  form->show();
  EXPECT_EQ(form->E_ma->y(), form->Plot.Bottom + 5 - form->Plot.PlotHeight);
  EXPECT_LT(form->E_ma->y() + form->E_ma->height(), form->E_mi->y());
  EXPECT_EQ(form->E_ma->text(), "1.");
  EXPECT_EQ(form->E_mi->text(), "0.");
  ASSERT_TRUE(platform::ui::GrabToPng(*form, "spectrum_first_show.png"));
  form->spektr->trigger();
  form->summ->trigger();
  const QImage plain = Image().copy();
  form->cur->trigger();
  ASSERT_FALSE(form->CB_am_sp->isEnabled());
  Press(form->PBs, Qt::Key_Escape);
  ASSERT_FALSE(form->isVisible());
  form->FormShow();
  form->show();
  EXPECT_EQ(form->CursorMode, 0);
  EXPECT_TRUE(form->CB_am_sp->isEnabled());
  EXPECT_EQ(Image(), plain);
  form->CB_am_sp->click();
  EXPECT_FALSE(form->E_ma->isReadOnly());
}

TEST_F(SpectrumFormTest, ShowingWithAChannelOutOfRangeTakesChannelZero) {
  Fill(5000, Sine(1.0, 10, 1024), 0, 5000);
  S().Channel = 1;  // == ChannelCount: all channels
  support::Ui().ExpectMessage(MsgAnswer::Ok, "работаем с 0-м каналом");
  Open();
  EXPECT_EQ(S().Channel, 0);
  EXPECT_EQ(form->windowTitle(), "СПЕКТР. выделено: 5000 точек;");
}

TEST_F(SpectrumFormTest, ParameterPanelAppliesItsBounds) {
  Fill(300000, Sine(1.0, 10, 1024), 0, 300000);
  Open();
  form->cmena->trigger();
  ASSERT_FALSE(form->P_yct_sp->isHidden());
  EXPECT_EQ(form->UD_f_nf->value(), 12);
  EXPECT_EQ(form->RG_F->ItemText(0), "БПФ 4096");
  EXPECT_EQ(form->L_K_g->text(), "интервалов: 1156");
  ASSERT_TRUE(platform::ui::GrabToPng(*form, "spectrum_panel.png"));
  EXPECT_NE(form->L_K_g->styleSheet().indexOf("red"), -1);

  form->UD_f_nf->setValue(17);
  EXPECT_EQ(form->UD_f_nf->value(), 16);
  form->UD_f_nf->setValue(5);
  EXPECT_EQ(form->UD_f_nf->value(), 6);
  form->E_np->setText("70000");
  emit form->E_np->editingFinished();
  EXPECT_EQ(form->E_np->text(), "32768");
  form->Ed_f_cm->setText("100000");
  EXPECT_EQ(form->Ed_f_cm->text(), "65535");
  form->Ed_f_cm->setText("0");
  form->Ed_f_N2->setText("10");
  form->E_spek_min->setText("0");
  form->E_time_CBAH->setText("-5");
  form->RG_F->SetItemIndex(1);
  form->E_np->setText("1");
  form->Edit3->setText("80");  // above the Nyquist frequency of 100 samples a second
  support::Ui().ExpectMessage(MsgAnswer::Ok, "Частота верхняя 80.00000 Гц выше частоты Найквиста: взята 50.00000 Гц");
  form->B_O_key->click();
  EXPECT_EQ(S().SwanHigh, 50.0f);
  EXPECT_TRUE(form->P_yct_sp->isHidden());
  EXPECT_EQ(S().FftLength, 64u);
  EXPECT_EQ(S().SpectrumMode, 1);
  EXPECT_EQ(S().FourierLength, 4u);   // at least 4
  EXPECT_EQ(S().SpectrumShift, 2);    // at least 2
  EXPECT_EQ(S().SpectrumLastBin, 1);  // 10 -> 50 -> half - 1
  EXPECT_EQ(S().LogFloor, 1e-13);
  EXPECT_EQ(S().DrawDelay, 0);

  // A selection shorter than the transform: the label tells the zero padding.
  S().Nk = 1000;
  form->cmena->trigger();
  form->RG_F->SetItemIndex(0);
  form->UD_f_nf->setValue(12);
  EXPECT_EQ(form->L_K_g->text(), "Дополняем 3096 нулями");
  form->Button1->click();
  EXPECT_TRUE(form->P_yct_sp->isHidden());
  EXPECT_EQ(S().FftLength, 64u);  // Esc keeps the record
}

TEST_F(SpectrumFormTest, ComputedSpectrumPeaksWhereItsBinIsDrawn) {
  const int n = 4096, k = 300;
  Fill(40000, Sine(2.0, k, n), 0, 40000);
  S().SpectrumLastBin = 1000;
  S().SpectrumScale = 0;
  Open();
  form->spektr->trigger();
  ASSERT_EQ(form->Plot.PlotWidth, 1280);
  EXPECT_EQ(S().SpectrumCount, form->Buffers.IntervalCount);
  EXPECT_EQ(S().SpectrumEnd, static_cast<uint32_t>((form->Buffers.IntervalCount - 1) * 256 + n));
  EXPECT_EQ(S().SpectrumFirstBin, 0);
  EXPECT_NEAR(S().SpectrumMax, 2.0 * 0.8165, 1e-3);  // Hann reads 0.816 of a sine
  // The last interval stays drawn: its curve from y 140 down, the samples in the strip above.
  EXPECT_EQ(Topmost(qRgb(0, 0, 255), 0, Image().height()).y(), 25);
  ASSERT_TRUE(platform::ui::GrabToPng(*form, "spectrum_intervals.png"));
  // The last interval's curve: its peak in the computation's colour lies at bin k.
  form->summ->trigger();
  const QPoint top = Topmost(qRgb(0, 255, 0), 0, Image().height());
  EXPECT_NEAR(top.x(), k * 1280.0 / 1000 + 5, 1.0);
  EXPECT_EQ(top.y(), form->Plot.Bottom - form->Plot.PlotHeight);
  // No curve pixel above y 20 or below the bottom.
  for (int x = 5; x <= 1285; ++x)
    for (int y : RowsOf(x, qRgb(0, 255, 0))) {
      ASSERT_GE(y, 20);
      ASSERT_LE(y, form->Plot.Bottom);
    }
  ASSERT_TRUE(platform::ui::GrabToPng(*form, "spectrum_linear.png"));
}

TEST_F(SpectrumFormTest, DecibelLinesLieAtTheirLevels) {
  Fill(40000, Sine(100.0, 300, 4096), 0, 40000);
  S().SpectrumScale = 1;
  S().LogFloor = 1e-4;
  Open();
  form->spektr->trigger();
  form->summ->trigger();
  const double upper = form->ScaleMax, lower = form->ScaleMin;
  ASSERT_NEAR(lower, 1e-4, 1e-9);
  // ln(upper/lower) * 5/12 > 5.1: 40 dB lines, at upper / 100^i.
  const double span = std::log(upper / lower);
  const int x = 100;
  const auto rows = RowsOf(x, qRgb(0, 128, 0));
  for (int i = 1; i < 3; ++i) {
    const double level = upper / std::pow(100.0, i);
    const int y = form->Plot.Bottom - static_cast<int>(std::log(level / lower) * form->Plot.PlotHeight / span + 0.5);
    bool found = false;
    for (int dx = 0; dx < 12 && !found; ++dx)  // the line is dash-dotted: look along it
      found = (Image().pixel(x + dx, y) & 0xFFFFFF) == (qRgb(0, 128, 0) & 0xFFFFFF);
    EXPECT_TRUE(found) << "line " << i << " at " << y;
  }
  ASSERT_TRUE(platform::ui::GrabToPng(*form, "spectrum_log.png"));
}

TEST_F(SpectrumFormTest, CursorDrawnTwiceRestoresThePlotAndReadsTheComputedLength) {
  Fill(40000, Sine(1.0, 300, 4096), 0, 40000);
  S().SpectrumLastBin = 2000;
  Open();
  form->spektr->trigger();
  form->summ->trigger();
  const QImage before = Image().copy(0, 26, Image().width(), Image().height() - 26);
  form->cur->trigger();
  EXPECT_NE(Image().copy(0, 26, Image().width(), Image().height() - 26), before);
  const QImage on = Image().copy();
  ASSERT_TRUE(platform::ui::GrabToPng(*form, "spectrum_cursor.png"));
  QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::ControlModifier);
  QApplication::sendEvent(form->PBs, &right);
  EXPECT_EQ(form->Cursor.CursorX, 15);
  QKeyEvent left(QEvent::KeyPress, Qt::Key_Left, Qt::ControlModifier);
  QApplication::sendEvent(form->E_ma, &left);  // key preview: whatever has the focus
  EXPECT_EQ(form->Cursor.CursorX, 5);
  EXPECT_EQ(Image(), on);
  // 10 pixels right of the start at 2000 bins over 1280 pixels of a 4096-point transform at 100 Hz; a
  // mode changed without computing does not change the curve's length.
  S().SpectrumMode = 1;
  S().FourierLength = 1000;
  for (int i = 0; i < 2; ++i) form->FormKeyDown(39, true);
  EXPECT_TRUE(form->ReadoutText.startsWith(QString::asprintf("%.3fГц;", 20 * 2000.0 / (4096 * 1280 * 0.01))))
      << form->ReadoutText.toStdString();
  for (int i = 0; i < 2; ++i) form->FormKeyDown(37, true);
  form->cur->trigger();
  EXPECT_EQ(Image().copy(0, 26, Image().width(), Image().height() - 26), before);
}

TEST_F(SpectrumFormTest, LengthsShiftsAndBinsFromAnOldSetupFileNeverBreakTheComputation) {
  Fill(30000, Sine(1.0, 30, 1000), 0, 30000);
  Open();
  // Fourier length 0 or 1: refused with a message.
  S().SpectrumMode = 1;
  for (uint32_t n : {0u, 1u}) {
    S().FourierLength = n;
    support::Ui().ExpectMessage(MsgAnswer::Ok, "длина преобразования");
    form->spektr->trigger();
  }
  // Shift 0, last bin 0: the shift becomes 2, the bins 0 < last.
  S().SpectrumMode = 0;
  S().FftLength = 1024;
  S().SpectrumShift = 0;
  S().SpectrumLastBin = 0;
  S().Nk = 2000;
  form->spektr->trigger();
  EXPECT_EQ(S().SpectrumShift, 2);
  EXPECT_GE(S().SpectrumLastBin, 1);
  EXPECT_EQ(form->Buffers.IntervalCount, (2000 - 1024) / 2 + 1);
  EXPECT_EQ(form->ProgressBar1->value(), 100);
  // A single spectrum with the last bin at half: the bin at half is never drawn.
  S().SpectrumMode = 1;
  S().FourierLength = 1000;
  S().SpectrumLastBin = 500;
  form->spektr->trigger();
  EXPECT_EQ(S().SpectrumLastBin, 499);
  EXPECT_EQ(form->Buffers.N, 1000);
  EXPECT_EQ(S().SpectrumCount, 1);
  // A stretched view: the start is the first cursor's sample.
  S().PixelsPerSample = 4;
  S().CursorSamples[0] = 1500;
  S().CursorColumns[0][0] = 400;
  form->spektr->trigger();
  EXPECT_EQ(S().SpectrumEnd, 1500u + 1000u);
  // No channel in memory.
  viewer::GlobalChannelSamples().FreeAll();
  support::Ui().ExpectMessage(MsgAnswer::Ok, "нет данных");
  form->spektr->trigger();
}

TEST_F(SpectrumFormTest, ValuesListTogglesWithThePlotAndTheFileIsWritten) {
  Fill(20000, Sine(1.0, 100, 4096), 0, 20000);
  const std::string dir = std::filesystem::temp_directory_path() / ("spek_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::strcpy(S().DataDir, dir.c_str());
  std::strcpy(S().FileName, "rec.xx");
  Open();
  form->spektr->trigger();
  form->LB_s->trigger();
  ASSERT_FALSE(form->LB_spek->isHidden());
  EXPECT_EQ(form->LB_spek->item(0)->text(), "спектр по   4096 точкам / 40.9600 сеk.");
  EXPECT_EQ(form->LB_spek->item(3)->text(), "сумма по 63 интервалам");
  ASSERT_TRUE(platform::ui::GrabToPng(*form, "spectrum_values.png"));
  form->LB_s->trigger();
  EXPECT_TRUE(form->LB_spek->isHidden());
  form->ToFile->trigger();
  EXPECT_TRUE(std::filesystem::exists(dir + "/rec.xx.s0"));
  // An overflowed bin is written as 0, and said once.
  form->Buffers.WorkBuffer[7] = std::numeric_limits<float>::infinity();
  support::Ui().ExpectMessage(MsgAnswer::Ok, "1 значений не числа");
  form->ToFile->trigger();
  form->Buffers.WorkBuffer[7] = 0.0f;
  // A single spectrum from the first cursor: the file's start and length are those of its samples.
  S().SpectrumMode = 1;
  S().FourierLength = 1000;
  S().CursorSamples[0] = 3000;
  form->spektr->trigger();
  form->ToFile->trigger();
  std::ifstream in(dir + "/rec.xx.s0");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("00:00:30.00000;  длинa: 10.000 (выделено 200.000)"), std::string::npos) << text.substr(0, 300);
  std::filesystem::remove_all(dir);
  support::Ui().ExpectMessage(MsgAnswer::Ok, "rec.xx.s0");
  form->ToFile->trigger();  // the directory is gone
}

}  // namespace
