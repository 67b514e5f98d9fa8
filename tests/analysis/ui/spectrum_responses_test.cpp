// The response and export commands of the spectrum window and its F(f,t) map, against numpy: the
// peaks appended to "for_ACF.txt", the three-component ratio file, and the colour of every drawn cell.
#include <gtest/gtest.h>

#include <cstdlib>

#include <QAction>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLineEdit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "analysis/spectrum_colors.h"
#include "analysis/ui/spectrum_form.h"
#include "platform/ui/grab.h"
#include "../scoped_work_dir.h"
#include "../spectrum_reference.h"
#include "spectrum_window_fixture.h"
#include "support/child_process.h"
#include "platform/ui/colors.h"
#include "toolkit/setup_file.h"

namespace {

using analysis_test::SpectrumWindowFixture;
using platform::ui::MsgAnswer;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Numbers of a text: every token that parses, separators ";", "-" between blanks and "*" skipped.
std::vector<double> NumbersOf(const std::string& text) {
  std::vector<double> out;
  std::istringstream in(text);
  for (std::string tok; in >> tok;) {
    if (!tok.empty() && tok.back() == ';') tok.pop_back();
    char* end = nullptr;
    const double v = std::strtod(tok.c_str(), &end);
    if (!tok.empty() && end == tok.c_str() + tok.size() && tok != "-") out.push_back(v);
  }
  return out;
}

class SpectrumResponsesTest : public SpectrumWindowFixture {
 protected:
  // Channels 0 .. channels-1 hold sums of sines (bin frequencies of a 1024-point transform, amplitudes).
  void FillChannels(int channels, int count, const std::vector<std::vector<std::pair<double, double>>>& sines) {
    Fill(count, [](int) { return 0.0f; }, 0, count);
    auto& samples = viewer::GlobalChannelSamples();
    x_.assign(channels, std::vector<float>(count));
    for (int c = 0; c < channels; ++c) {
      if (c > 0) {
        ASSERT_TRUE(samples.Allocate(c, count + viewer::ChannelSamples::kSpare));
      }
      const auto& list = sines[c % sines.size()];
      uint32_t state = 77u + c;
      for (int i = 0; i < count; ++i) {
        state = state * 1664525u + 1013904223u;
        double v = (static_cast<double>(state >> 8) / 16777216.0 - 0.5) * 0.01;
        for (const auto& [k, a] : list) v += a * std::sin(2 * M_PI * k * i / 1024.0 + c);
        samples[c][i] = x_[c][i] = static_cast<float>(v);
      }
      S().ChannelMin[c] = -3;
      S().ChannelMax[c] = 3;
      std::snprintf(S().MemChannels[c].Name, sizeof S().MemChannels[c].Name, "ch%d", c);
    }
    S().ChannelCount = static_cast<uint16_t>(channels);
    S().Header.Rate = 100;
    std::vector<float> all;
    for (const auto& v : x_) all.insert(all.end(), v.begin(), v.end());
    analysis_test::WriteFloats("channels.f32", all);
  }
  // Pictures go where the test started; its files into a fresh directory.
  QString Png(const std::string& name) const { return QString::fromStdString(startDir_ + "/" + name); }
  ~SpectrumResponsesTest() override { toolkit::ProgramDir = savedProgramDir_; }
  const std::string savedProgramDir_ = toolkit::ProgramDir;
  const std::string startDir_ = std::filesystem::current_path().string();
  analysis_test::ScopedWorkDir work_;
  std::vector<std::vector<float>> x_;
};

TEST_F(SpectrumResponsesTest, ResponsePeaksOfEveryChannelAgreeWithNumpyAndKeepEveryRow) {
  toolkit::ProgramDir = work_.dir().path() + "/";
  FillChannels(3, 4000, {{{50, 1.0}}, {{30.3, 1.0}, {61, 0.5}, {92.5, 0.3}}, {{20, 1.0}, {140, 0.7}}});
  std::strcpy(S().FileName, "rec.xx");
  S().ResponsePeriod = 10.24;
  S().WindowType = 0;
  Open();
  form->forACH->trigger();
  EXPECT_EQ(S().FourierLength, 1024u);
  const std::string text = ReadAll("for_ACF.txt");
  ASSERT_NE(text.find("\n\n      rec.xx:\n   0 - ch0;   1 - ch1;   2 - ch2;\n"), std::string::npos) << text;
  // numpy: the rule on 2|X|/L of the first 1024 samples of each channel; rows up to the longest list.
  const std::vector<double> ref = analysis_test::PythonNumbers("response_peaks", R"(
import numpy as np
x = np.fromfile('channels.f32', dtype=np.float32).astype(np.float64).reshape(3, 4000)
L, dt = 1024, 0.01
tables, largest = [], []
for c in range(3):
    S = np.abs(np.fft.fft(x[c, :L])) * 2 / L
    m = S[1:L//2].max()
    largest.append(m)
    tables.append([(k/(L*dt), S[k]/m) for k in range(1, L//2 - 1)
                   if S[k] > 0.05*m and S[k-1] < S[k] > S[k+1]])
rows = max(len(t) for t in tables)
print(rows)
for m in largest: print(m)
for r in range(rows):
    for t in tables:
        f, a = t[r] if r < len(t) else (0.0, 0.0)
        print(f); print(a)
)");
  ASSERT_GT(ref.size(), 4u);
  const int rows = static_cast<int>(ref[0]);
  EXPECT_GE(rows, 3);
  const std::vector<double> got = NumbersOf(text.substr(text.find("ch2;\n") + 5));
  ASSERT_EQ(got.size(), ref.size() - 1) << text;
  // Printed with 5 decimals (largest amplitudes), then 2 (frequency) and 4 (relative amplitude).
  for (size_t i = 0; i < got.size(); ++i) {
    const double printed = i < 3 ? 5e-6 : (i - 3) % 2 == 0 ? 5e-3 : 5e-5;
    EXPECT_NEAR(got[i], ref[i + 1], printed + 1e-5 * std::fabs(ref[i + 1])) << i;
  }

  // Nine channels: only the message; the file stays as it is.
  FillChannels(9, 4000, {{{50, 1.0}}});
  support::Ui().ExpectMessage(MsgAnswer::Ok, "больше 8 каналов");
  form->forACH->trigger();
  EXPECT_EQ(ReadAll("for_ACF.txt"), text);
  // A selection shorter than the period, and a period whose length has no room in the buffer.
  FillChannels(3, 4000, {{{50, 1.0}}});
  S().CursorSamples[1] = 900;
  support::Ui().ExpectMessage(MsgAnswer::Ok, "Желаемый период 10.2 сек больше!");
  form->forACH->trigger();
  S().CursorSamples[1] = 4000;
  S().ResponsePeriod = 0.02;
  support::Ui().ExpectMessage(MsgAnswer::Ok, "4..32768");
  form->forACH->trigger();
  EXPECT_EQ(ReadAll("for_ACF.txt"), text);
  // A program directory that cannot take the file: the message names it.
  S().ResponsePeriod = 10.24;
  toolkit::ProgramDir = work_.dir().path() + "/missing/";
  support::Ui().ExpectMessage(MsgAnswer::Ok, "/missing/for_ACF.txt");
  form->forACH->trigger();
}

TEST_F(SpectrumResponsesTest, ComponentRatioFileAgreesWithNumpyFromTheSegmentPowers) {
  FillChannels(3, 8192, {{{50, 1.0}, {100, 0.2}}, {{50, 0.5}}, {{50, 0.25}, {100, 1.0}}});
  // A name with a newline and Windows-1251 "а": the file is made at the name's own bytes, and the name
  // enters its text as one line of UTF-8.
  std::strcpy(S().FileName, (work_.dir().path() + "/re\nc\xE0.xx").c_str());
  S().FftLength = 1024;
  S().SpectrumShift = 512;
  S().SpectrumLastBin = 300;
  Open();
  support::Ui().ExpectMessage(MsgAnswer::Ok, "_АЧХ_WZ.txt");
  form->N_XYZ->trigger();
  EXPECT_EQ(form->Buffers.IntervalCount, 15);
  EXPECT_EQ(S().SpectrumEnd, 14u * 512 + 1024);
  EXPECT_TRUE(form->Fft1->isEnabled());
  ASSERT_TRUE(platform::ui::GrabToPng(*form, Png("spectrum_ratio_wz.png")));
  const std::string text = ReadAll(work_.dir().path() + "/re\nc\xE0.xx_АЧХ_WZ.txt");
  ASSERT_EQ(text.rfind("A[i] * exp { 2*3.14*i/1024 }   из  <" + work_.dir().path() + "/re cа.xx> \n", 0), 0u)
      << text.substr(0, 100);
  const std::vector<double> ref = analysis_test::PythonNumbers("ratio_wz", R"(
import numpy as np
x = np.fromfile('channels.f32', dtype=np.float32).astype(np.float64).reshape(3, 8192)
N, shift = 1024, 512
w = 0.5 - 0.5*np.cos(2*np.pi*np.arange(N)/N)
norm = 4.0 / (N*N*0.375)
A = np.zeros((3, N//2)); n = 0
for p in range(0, 8192 - N + 1, shift):
    n += 1
    for c in range(3): A[c] += np.abs(np.fft.fft(x[c, p:p+N]*w)[:N//2])**2 * norm
a = np.sqrt(A/n)
r = np.where(a[2] > 1e-10, 0.5*(a[0] + a[1])/np.maximum(a[2], 1e-300), 1.0)
for k in range(1, N//2//3):
    print(k); print(k/(N*0.01)); print(a[0,k]); print(a[1,k]); print(a[2,k]); print(r[k])
)");
  const std::vector<double> got = NumbersOf(text.substr(text.find("АЧХ_WZ \n") + 10));
  ASSERT_EQ(got.size(), ref.size());
  ASSERT_EQ(got.size(), 6u * 169);
  for (size_t i = 0; i < got.size(); ++i) {
    const double printed = i % 6 == 1 ? 5e-4 : 5e-6;  // "%13.3f" frequency, "%20.5f" the others
    const double tol = printed + 1e-4 * std::fabs(ref[i]);
    EXPECT_NEAR(got[i], ref[i], tol) << "row " << i / 6 << " column " << i % 6;
  }
  // Bins 0 and 1 hold this ratio too, never the spectrum before it.
  EXPECT_NEAR(form->Buffers.WorkBuffer[1], ref[5], 1e-4 * ref[5] + 1e-4);
  // Two channels: only the message.
  S().ChannelCount = 2;
  support::Ui().ExpectMessage(MsgAnswer::Ok, "для 3-х каналов только!");
  form->N_XYZ->trigger();
}

TEST_F(SpectrumResponsesTest, PeaksAboveTheCursorLevelFollowTheCrossingRule) {
  FillChannels(1, 20000, {{{30, 1.0}, {32, 0.6}, {80, 0.4}, {81.5, 0.3}, {200, 0.2}}});
  std::strcpy(S().FileName, "rec.xx");
  std::strcpy(S().MemChannels[0].Name, "Z\r\xCA\xE0\xED");  // Windows-1251 "Кан" after a control character
  S().FftLength = 1024;
  S().SpectrumLastBin = 400;
  Open();
  form->spektr->trigger();
  form->cur->trigger();
  ASSERT_TRUE(form->N_forma->isEnabled());
  form->Cursor.CursorValue = 0.05;
  form->Cursor.CursorX = 5 + 10 * form->Plot.PlotWidth / 400;  // from bin 10 on
  const int first = (form->Cursor.CursorX - 5) * 400 / form->Plot.PlotWidth;
  analysis_test::WriteFloats("spectrum.f32",
                             std::vector<float>(form->Buffers.WorkBuffer.begin(), form->Buffers.WorkBuffer.begin() + 512));
  support::Ui().ExpectMessage(MsgAnswer::Ok, "выше 0.050");
  form->N_forma->trigger();
  const std::string text = ReadAll("for_ACF.txt");
  ASSERT_EQ(text.rfind("\n\n   rec.xx:  канал 0 - Z Кан\n", 0), 0u) << text;
  EXPECT_TRUE(support::RunChild({"iconv", "-f", "utf-8", "-t", "utf-8", "for_ACF.txt"}).ok());
  const std::vector<double> ref = analysis_test::PythonNumbers("above_level", "first = " + std::to_string(first) + R"(
import numpy as np
S = np.fromfile('spectrum.f32', dtype=np.float32).astype(np.float64)
T = 0.05
peaks, cur = [], None
for k in range(first, 512 - 1):
    if S[k-1] < T < S[k]: cur = [k, S[k]]
    elif S[k-1] > T and S[k] > T:
        if cur is not None and S[k] > cur[1]: cur = [k, S[k]]
    elif S[k-1] > T > S[k]:
        peaks.append(cur); cur = None
m = max(p[1] for p in peaks)
for k, v in peaks: print(k/(1024*0.01)); print(v/m); print(v)
)");
  const std::vector<double> got = NumbersOf(text.substr(text.find("Кан\n") + std::string("Кан\n").size()));
  ASSERT_EQ(got.size(), ref.size()) << text;
  EXPECT_GE(got.size(), 9u);
  for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], ref[i], 1e-4) << i;
  ASSERT_TRUE(platform::ui::GrabToPng(*form, Png("spectrum_above_cursor.png")));
}

// Centre pixel of every drawn cell against the colour numpy computes from the stored interval spectra.
class SpectrogramMapTest : public SpectrumResponsesTest,
                           public ::testing::WithParamInterface<std::tuple<int, bool>> {};

TEST_P(SpectrogramMapTest, EveryCellHasTheColourOfItsLevel) {
  const auto [scale, density] = GetParam();
  FillChannels(1, 1024 + 599 * 64, {{{30, 1.0}, {90, 0.2}}});
  auto& samples = viewer::GlobalChannelSamples();
  for (int i = 0; i < 1024 + 599 * 64; ++i) samples[0][i] *= static_cast<float>(1.0 + 0.5 * std::sin(i * 1e-3));
  S().FftLength = 1024;
  S().SpectrumShift = 64;
  S().SpectrumLastBin = 300;
  S().SpectrumScale = static_cast<uint16_t>(scale);
  Open();
  form->spektr->trigger();
  ASSERT_EQ(form->Buffers.IntervalCount, 600);
  form->CB_spektr_plotn->setChecked(density);
  form->Fft1->trigger();
  ASSERT_TRUE(platform::ui::GrabToPng(*form, Png("spectrogram_" + std::to_string(scale) + (density ? "_d" : "") + ".png")));
  const int rows = std::min(500, form->Plot.PlotHeight);
  std::vector<float> cells;
  for (int t = 0; t < 500; ++t) cells.insert(cells.end(), form->Buffers.Spectra[t].begin(), form->Buffers.Spectra[t].begin() + 512);
  analysis_test::WriteFloats("cells.f32", cells);
  const std::vector<double> ref = analysis_test::PythonNumbers("map_colours", R"(
import numpy as np
s = np.fromfile('cells.f32', dtype=np.float32).astype(np.float64).reshape(500, 512)[:)" + std::to_string(rows) +
                                                                         R"(]
F2 = 301
f = np.ones(s.shape[0])
if )" + (density ? "True" : "False") + R"(:
    sums = s[:, :510].sum(axis=1)
    f = np.where(sums >= 1e-7, 1.0/np.where(sums > 0, sums, 1), 1.0)
f = f.astype(np.float32).astype(np.float64)
v = s[:, :F2] * f[:, None]
U = v.max()
if )" + (scale == 0 ? "True" : "False") + R"(:
    x = v*11/U + 1.5
else:
    R = 100.0
    with np.errstate(divide='ignore'):
        x = np.where(R*v > U, np.log(R*np.maximum(v, 1e-300)/U)*11/np.log(R) + 1.5, 1.0)
i = np.clip(np.floor(x), 1, 12).astype(int)
for c in i.ravel(): print(c)
)");
  ASSERT_EQ(ref.size(), static_cast<size_t>(rows) * 301);
  const int dx = std::clamp((form->Plot.PlotWidth - 50) / 301, 1, 4);
  const int dy = std::clamp(form->Plot.PlotHeight / rows, 1, 4);
  // The legend's level texts stand over the right end of the map.
  const int textX = form->E_ma->x() - 13 - QFontMetrics(form->PBs->font()).horizontalAdvance("0123456789");
  int wrong = 0;
  for (int t = 0; t < rows; ++t)
    for (int c = 0; c < 301 && c * dx + dx / 2 < textX; ++c) {
      const QRgb want = platform::ui::ColorFromBgr(analysis::SpectrumColors[static_cast<int>(ref[t * 301 + c])]).rgb();
      if ((Image().pixel(c * dx + dx / 2, t * dy + dy / 2) & 0xFFFFFF) != (want & 0xFFFFFF) && ++wrong < 5)
        ADD_FAILURE() << "cell " << c << " row " << t << " colour index " << ref[t * 301 + c];
    }
  EXPECT_EQ(wrong, 0);
  // The legend: twelve bars in the twelve colours along the bottom.
  for (int i = 1; i <= 12; ++i)
    EXPECT_EQ(Image().pixel(31 * i + 20, Image().height() - 20) & 0xFFFFFF,
              platform::ui::ColorFromBgr(analysis::SpectrumColors[i]).rgb() & 0xFFFFFF);
}

INSTANTIATE_TEST_SUITE_P(ScalesAndDensity, SpectrogramMapTest,
                         ::testing::Values(std::tuple{0, false}, std::tuple{1, false}, std::tuple{0, true},
                                           std::tuple{1, true}));

}  // namespace
