// The cross-spectrum commands of the spectrum window: messages, the button's modes, the curves drawn,
// the ".kog" file of both layouts and the setup results.
#include <gtest/gtest.h>

#include <cstdlib>

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "../spectrum_reference.h"
#include "analysis/ui/spectrum_form.h"
#include "platform/ui/colors.h"
#include "platform/ui/grab.h"
#include "spectrum_window_fixture.h"
#include "support/child_process.h"
#include "viewer/channel_colors.h"

namespace {

using analysis_test::SpectrumWindowFixture;
using platform::ui::MsgAnswer;

class SpectrumCrossTest : public SpectrumWindowFixture {
 protected:
  // Channel 0 holds the test signal; channel c holds gains[c] times it (a gain of 0 leaves it silent).
  void FillChannels(const std::vector<float>& gains) {
    const std::vector<float> x = analysis_test::TestSignal(20000);
    Fill(20000, [&](int i) { return x[i]; }, 1000, 19000);
    auto& samples = viewer::GlobalChannelSamples();
    for (size_t c = 1; c < gains.size(); ++c) {
      ASSERT_TRUE(samples.Allocate(c, 20000 + viewer::ChannelSamples::kSpare));
      for (int i = 0; i < 20000; ++i) samples[c][i] = gains[c] * x[i];
    }
    S().ChannelCount = static_cast<uint16_t>(gains.size());
    S().SpectrumScale = 0;
    for (size_t c = 0; c < gains.size(); ++c) {
      S().ChannelMap[c] = static_cast<uint16_t>(c + 4);
      std::snprintf(S().MemChannels[c].Name, sizeof S().MemChannels[c].Name, "K%zu", c);
    }
    dir_ = std::filesystem::temp_directory_path() / ("cross_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    std::strcpy(S().DataDir, dir_.c_str());
    std::strcpy(S().FileName, "rec.xx");
  }
  void TearDown() override {
    std::filesystem::remove_all(dir_);
    SpectrumWindowFixture::TearDown();
  }
  std::vector<std::string> KogLines() {
    std::ifstream in(dir_ + "/rec.xx.kog");
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
  }
  static std::vector<double> Numbers(const std::string& line) {
    std::vector<double> v;
    std::istringstream in(line);
    for (std::string w; in >> w;)
      if (w != ";") v.push_back(std::stod(w));
    return v;
  }
  bool HasColour(uint32_t bgr) {
    const QRgb rgb = platform::ui::ColorFromBgr(bgr).rgb() & 0xFFFFFF;
    for (int y = 0; y < Image().height(); ++y)
      for (int x = 0; x < Image().width(); ++x)
        if ((Image().pixel(x, y) & 0xFFFFFF) == rgb) return true;
    return false;
  }
  std::string dir_;
};

TEST_F(SpectrumCrossTest, RefusalsComeWithTheirMessages) {
  FillChannels({1.0f});
  Open();
  S().SpectrumScale = 1;
  support::Ui().ExpectMessage(MsgAnswer::Ok, "только в линейном масштабе");
  form->Bza_sp->trigger();
  S().SpectrumScale = 0;
  for (QAction* a : {form->Bza_sp, form->B3_Bcex}) {
    support::Ui().ExpectMessage(MsgAnswer::Ok, "а чего с чем?");
    a->trigger();
  }
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/rec.xx.kog"));
  EXPECT_EQ(form->Buffers.CrossMode, 0);
}

TEST_F(SpectrumCrossTest, ButtonCyclesTheModesWithTheirCaptions) {
  FillChannels({1.0f});
  Open();
  EXPECT_EQ(form->H_i_KOGER->text(), "Только перед. функция");
  const char* captions[] = {"передаточная и когер.", "Во вз. спектре рисуем все", "передаточная функция"};
  for (int i = 0; i < 3; ++i) {
    form->H_i_KOGER->click();
    EXPECT_EQ(form->TransferMode, (i + 1) % 3);
    EXPECT_EQ(form->H_i_KOGER->text(), captions[i]);
  }
}

TEST_F(SpectrumCrossTest, PairOfChannelsTwoAndThreeDrawsAndWritesItsFile) {
  FillChannels({1.0f, 1.0f, 1.0f, 0.5f});
  S().Channel = 2;
  S().FftLength = 1024;
  Open();
  form->CB_am_sp->setChecked(false);
  form->H_i_KOGER->click();
  form->H_i_KOGER->click();  // mode 2: the spectra first
  form->CB_fase->setChecked(true);
  support::Ui().ExpectMessage(MsgAnswer::Ok, "масштаб  AUTO");
  for (int i = 0; i < 4; ++i) support::Ui().ExpectMessage(MsgAnswer::Ok, "Нажми любую клавишу");
  form->Bza_sp->trigger();
  EXPECT_TRUE(form->CB_am_sp->isChecked());
  EXPECT_EQ(form->Buffers.CrossMode, 1);
  EXPECT_TRUE(form->summ->isEnabled() && form->Bza_sp->isEnabled());
  ASSERT_TRUE(platform::ui::GrabToPng(*form, "spectrum_cross_pair.png"));
  for (int i : {9, 10, 11, 12, 13, 14}) EXPECT_TRUE(HasColour(viewer::ChannelColors[i])) << i;

  const auto lines = KogLines();
  const int last = S().SpectrumLastBin;
  ASSERT_EQ(lines.size(), static_cast<size_t>(4 + last - 2));
  EXPECT_EQ(lines[0], "Спектpы и взаимный спектp.");
  EXPECT_EQ(lines[1], " 2 -  6 (K2); ");
  EXPECT_EQ(lines[2], " 3 -  7 (K3); ");
  // Bin 40 holds the 0.5 cosine of the test signal: channel 3 is half of channel 2 there and everywhere.
  const auto row = Numbers(lines[3 + 40]);
  ASSERT_EQ(row.size(), 10u);
  EXPECT_NEAR(row[0], 40 / (1024 * 0.01), 5e-4);
  EXPECT_NEAR(row[1], form->Buffers.WorkBuffer[40], 1e-5 * row[1] + 1e-6);
  EXPECT_NEAR(row[2], 0.5 * row[1], 1e-5);
  EXPECT_NEAR(row[4], 0.5, 1e-5);    // H
  EXPECT_NEAR(row[5], 1.0, 1e-5);    // G
  EXPECT_NEAR(row[6], 0.0, 1e-5);    // phase / pi
  EXPECT_NEAR(row[7], 0.5, 1e-5);    // re(H)
  EXPECT_NEAR(row[8], 0.0, 1e-5);    // im(H)
  EXPECT_EQ(row[9], 40);
  EXPECT_EQ(S().SpectrumFirstBin, 0);
  EXPECT_GT(S().SpectrumCount, 4);
  EXPECT_EQ(S().SpectrumEnd, static_cast<uint32_t>(1000 + (form->Buffers.IntervalCount - 1) * 256 + 1024));
}

TEST_F(SpectrumCrossTest, LastChannelTakesTheFirstPair) {
  FillChannels({1.0f, -1.0f, 1.0f});
  std::strcpy(S().MemChannels[1].Name, "\xCA\xE0\xED\n\xC7");  // Windows-1251 "Кан", a line end, "З"
  S().Channel = 2;
  Open();
  support::Ui().ExpectMessage(MsgAnswer::Ok, "обрабатываем каналы 0 и 1");
  form->Bza_sp->trigger();
  EXPECT_EQ(S().Channel, 0);
  // Mode 0 without the phase: the transfer function alone, no pauses.
  EXPECT_TRUE(HasColour(viewer::ChannelColors[14]));
  EXPECT_FALSE(HasColour(viewer::ChannelColors[13]) || HasColour(viewer::ChannelColors[12]));
  const auto lines = KogLines();
  ASSERT_GT(lines.size(), 50u);
  EXPECT_EQ(lines[1], " 0 -  4 (K0); ");
  EXPECT_EQ(lines[2], " 1 -  5 (Кан З); ");  // UTF-8, one line
  EXPECT_TRUE(support::RunChild({"iconv", "-f", "utf-8", "-t", "utf-8", dir_ + "/rec.xx.kog"}).ok());
  EXPECT_NEAR(std::fabs(Numbers(lines[3 + 160])[6]), 1.0, 1e-5);  // opposite polarity: phase pi
}

TEST_F(SpectrumCrossTest, ChannelZeroAgainstAllWritesEveryChannel) {
  FillChannels({1.0f, 2.0f, -1.0f, 0.0f});
  S().FftLength = 2048;
  Open();
  S().WindowType = 3;
  support::Ui().ExpectMessage(MsgAnswer::Ok, "смени на окно");
  form->B3_Bcex->trigger();
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/rec.xx.kog"));
  S().WindowType = 1;
  form->H_i_KOGER->click();
  form->CB_fase->setChecked(true);
  form->B3_Bcex->trigger();
  ASSERT_TRUE(platform::ui::GrabToPng(*form, "spectrum_cross_all.png"));
  for (int i : {10, 11, 12}) EXPECT_TRUE(HasColour(viewer::ChannelColors[i])) << i;
  EXPECT_EQ(S().SpectrumCount, form->Buffers.IntervalCount);

  const auto lines = KogLines();
  const int last = S().SpectrumLastBin;
  ASSERT_EQ(lines.size(), static_cast<size_t>(1 + 4 + 1 + last - 2));
  EXPECT_EQ(lines[0], "передаточная функция, функция когерентности и фазовый спектp.");
  EXPECT_EQ(lines[4], " 3 -  7 (K3); ");
  EXPECT_EQ(lines[5].rfind("    f          H(00-01)         f(00-01)         g(00-01)", 0), 0u) << lines[5];
  EXPECT_NE(lines[5].find("g(00-03)       N"), std::string::npos);
  const auto row = Numbers(lines[6 + 160 - 1]);
  ASSERT_EQ(row.size(), 11u);
  const double expected[] = {2.0, 0.0, 1.0, 1.0, 1.0, 1.0, 0.0, 0.5, 1.1};  // H, phase, G per channel
  for (int i = 0; i < 9; ++i) {
    if (i == 4) continue;
    EXPECT_NEAR(row[1 + i], expected[i], 1e-5) << i;
  }
  EXPECT_NEAR(std::fabs(row[5]), 1.0, 1e-5);
  EXPECT_EQ(row[10], 160);
}

}  // namespace
