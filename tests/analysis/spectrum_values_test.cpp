// The values list with its band energies and the spectrum file, against texts built by numpy.
#include "analysis/spectrum_values.h"

#include <gtest/gtest.h>

#include <fstream>
#include <limits>
#include <sstream>

#include "analysis/interval_spectrum.h"
#include "spectrum_reference.h"
#include "support/temp_dir.h"

namespace {

using analysis::SpectrumBuffers;

// The expected lines, built in Python from the spectrum written as float32: band bins clamped to the
// spectrum, percentages guarded against 0/0.
const char* kValuesProgram = R"(import numpy as np
import sys
wb = np.fromfile(sys.argv[1] if len(sys.argv) > 1 else 'wb.f32', dtype=np.float32)
n, dt, shift, count, cross = N_, DT_, SHIFT_, COUNT_, CROSS_
ul, uh, hl, hh = [float(np.float32(v)) for v in (UL_, UH_, HL_, HH_)]
half = n // 2
def b(f): return n * f * dt
def binof(v): return int(min(max(v, -1.0), half + 1.0))
def energy(lo, hi): return float(sum(float(wb[k])**2 for k in range(max(lo + 1, 0), min(hi, half))))
def shown(v): return min(max(v, 0), half - 1)
out = []
out.append(('взаимный спектр по  %5d точкам /%8.4f сеk.' if cross else 'спектр по  %5d точкам /%8.4f сеk.') % (n, n * dt))
out.append('смещение  %5d точек /%8.4f сеk.' % (shift, shift * dt))
out.append(NAME_)
if count != 1: out.append('сумма по %d интервалам' % count)
lo = binof(b(hl) + 0.5); hi = binof(b(hh) + 0.5)
E2 = energy(lo, hi)
c = binof(0.5 * b(ul + uh) + 0.5); h = binof(0.5 * b(uh - ul) + 0.5)
E1 = energy(c - h, c + h)
E3 = sum(energy(m * c - h, m * c + h) for m in range(2, 13)) if 2 * h < c else 0.0
out.append('В полосе %.3f - %.3f(%d +/- %d): %.3e/%.1f%%' % (ul, uh, shown(c), shown(h), E1, 100 * E1 / (E1 + E2 + 1e-11)))
out.append('В полосе %.3f(%d) - %.3f(%d): %.3e/%.1f%%' % (hl, shown(lo), hh, shown(hi), E2, 100 * E2 / (E1 + E2 + 1e-11)))
if 2 * h < c:
    out.append('в кратных полосах %d +/- %d , %d ...' % (shown(2 * c), shown(h), shown(3 * c)))
    out.append('   :  %.4e;  K = %.3f' % (E3, E3 / (E3 + E1 + 1e-11)))
out.append('смена полосы на вкладке <cпектр>')
out.append('       *   *   *')
for k in range(min(half, 4000)):
    out.append('Sp[%04d) = %15.5f  W =%11.7f Hz' % (k, float(wb[k]), k / (n * dt)))
for l in out: print(l)
)";

std::string Replace(std::string s, const std::string& key, const std::string& value) {
  for (size_t at; (at = s.find(key)) != std::string::npos;) s.replace(at, key.size(), value);
  return s;
}

std::vector<std::string> ExpectedValues(const std::string& file, const SpectrumBuffers& b,
                                        const toolkit::SetupRecord& s) {
  std::string p = kValuesProgram;
  p = Replace(p, "'wb.f32'", "'" + file + "'");
  p = Replace(p, "N_", std::to_string(b.N));
  p = Replace(p, "DT_", std::to_string(s.Dt));
  p = Replace(p, "SHIFT_", std::to_string(s.SpectrumShift));
  p = Replace(p, "COUNT_", std::to_string(b.IntervalCount));
  p = Replace(p, "CROSS_", std::to_string(b.CrossMode));
  p = Replace(p, "UL_", std::to_string(s.UsefulBandLow));
  p = Replace(p, "UH_", std::to_string(s.UsefulBandHigh));
  p = Replace(p, "HL_", std::to_string(s.HarmfulBandLow));
  p = Replace(p, "HH_", std::to_string(s.HarmfulBandHigh));
  p = Replace(p, "NAME_", "'" + analysis::WindowNameText(b.Window) + "'");
  return toolkit_test::RunPython("values", p);
}

TEST(SpectrumValues, ListMatchesNumpyForDefaultNegativeAndZeroCases) {
  support::TempDir dir;
  struct Case {
    const char* what;
    float ul, uh, hl, hh;
    bool zero;
    int n;
  };
  const Case cases[] = {
      {"default bands at 100 Hz: harmful band far above the spectrum", 0.3f, 0.5f, 10.3f, 1000.0f, false, 4096},
      {"negative band edges", -5.0f, 2.0f, -3.0f, 4.0f, false, 1024},
      {"useful band with harmonics", 1.0f, 1.2f, 30.0f, 40.0f, false, 4096},
      {"zero signal", 0.3f, 0.5f, 10.3f, 1000.0f, true, 1024},
  };
  for (const Case& c : cases) {
    toolkit::SetupRecord s;
    toolkit::SetSetupDefaults(s, "/x/");
    s.UsefulBandLow = c.ul;
    s.UsefulBandHigh = c.uh;
    s.HarmfulBandLow = c.hl;
    s.HarmfulBandHigh = c.hh;
    auto x = analysis_test::TestSignal(20000);
    if (c.zero) std::fill(x.begin(), x.end(), 0.0f);
    SpectrumBuffers b;
    analysis::IntervalSpectrumInput in{x.data(), 0, 20000, c.n, 256, 1};
    analysis::IntervalSpectrum run(b, in);
    while (run.More()) run.Next();
    run.Finish();
    const std::string file = dir.File("wb.f32");
    analysis_test::WriteFloats(file, std::vector<float>(b.WorkBuffer.begin(), b.WorkBuffer.begin() + c.n / 2));
    const auto expected = ExpectedValues(file, b, s);
    ASSERT_FALSE(expected.empty()) << c.what;
    const auto got = analysis::SpectrumValueLines(b, s);
    ASSERT_EQ(got.size(), expected.size()) << c.what;
    for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], expected[i]) << c.what << " line " << i;
    for (const auto& line : got) EXPECT_EQ(line.find("nan"), std::string::npos) << c.what;
  }
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(SpectrumFile, TextWithTheTimeFrequencyMatrixMatchesNumpy) {
  support::TempDir dir;
  toolkit::SetupRecord s;
  toolkit::SetSetupDefaults(s, dir.path());
  const auto x = analysis_test::TestSignal(30000);
  SpectrumBuffers b;
  s.Nn = 100;
  s.Nk = 30000;
  analysis::IntervalSpectrumInput in{x.data(), s.Nn, s.Nk, 2048, 2000, 1};
  analysis::IntervalSpectrum run(b, in);
  while (run.More()) run.Next();
  s.SpectrumEnd = static_cast<uint32_t>(run.Finish());
  s.SpectrumCount = b.IntervalCount;
  s.SpectrumShift = 2000;
  ASSERT_EQ(b.IntervalCount, 14);
  // Amplitudes far below the frequency step (data in m/s): the matrix still spans 0 .. 1000.
  for (auto& row : b.Spectra)
    for (float& v : row) v *= 1e-6f;
  const std::string wb = dir.File("wb.f32"), cells = dir.File("cells.f32");
  analysis_test::WriteFloats(wb, std::vector<float>(b.WorkBuffer.begin(), b.WorkBuffer.begin() + 1024));
  std::vector<float> flat;
  for (int t = 0; t < 14; ++t) flat.insert(flat.end(), b.Spectra[t].begin(), b.Spectra[t].begin() + 510);
  analysis_test::WriteFloats(cells, flat);

  const std::string text = analysis::SpectrumFileText(b, s, "rec.xx", true, s.Nn, "01.02.2020 03:04:05.00000");
  const std::string path = dir.File("out.s0");
  std::string error;
  ASSERT_TRUE(analysis::WriteTextFile(path, text, error)) << error;
  const auto expected = toolkit_test::RunPython(
      "sfile", "import numpy as np\n"
               "wb = np.fromfile('" + wb + "', dtype=np.float32)\n"
               "S = np.fromfile('" + cells + "', dtype=np.float32).reshape(14, 510)\n"
               "n, dt = 2048, 0.01\n"
               "t = ' спектp A[i] * exp { 2*3.14*i/%d }   из  <%s> \\n\\n' % (n, 'rec.xx')\n"
               "t += 'окно ханна    \\n'\n"
               "t += 'начало pеализации: %s;  длинa: %.3f (выделено %.3f)\\n' % ('01.02.2020 03:04:05.00000', (100 + 13 * 2000 + 2048 - 100) * dt, (30000 - 100) * dt)\n"
               "t += '%d интеpвалов длиной %.3f, смещение %.3f\\n' % (14, n * dt, 2000 * dt)\n"
               "t += 'f=i/%d/dt (Гц)          |A[f]|\\n' % n\n"
               "for i in range(n // 2 - 1): t += '%13.5f %20.5f \\n' % (i / (n * dt), float(wb[i]))\n"
               "M = S.max()\n"
               "t += '\\n\\n %d точек по времени\\n max - %.8f\\n' % (14, float(M))\n"
               "t += 'f / t' + ''.join('%5d' % j for j in range(14))\n"
               "for i in range(510):\n"
               "  t += '\\n%5d' % i + ''.join('%5d' % int(1000.0 * float(S[j, i]) / float(M)) for j in range(14))\n"
               "print(t)\n");
  std::string joined;
  for (const auto& l : expected) joined += l + "\n";
  ASSERT_FALSE(joined.empty());
  joined.pop_back();  // print's own line end
  EXPECT_EQ(ReadAll(path), joined);
  EXPECT_NE(ReadAll(path).find(" 1000"), std::string::npos);
}

TEST(SpectrumFile, NoMatrixForFewIntervalsOrDirectTransformsAndZerosForASilentRecord) {
  toolkit::SetupRecord s;
  toolkit::SetSetupDefaults(s, "/x/");
  SpectrumBuffers b;
  b.N = 64;
  b.IntervalCount = 5;
  EXPECT_EQ(analysis::SpectrumFileText(b, s, "r", true, 0, "t").find("точек по времени"), std::string::npos);
  b.IntervalCount = 6;
  EXPECT_EQ(analysis::SpectrumFileText(b, s, "r", false, 0, "t").find("точек по времени"), std::string::npos);
  const std::string zero = analysis::SpectrumFileText(b, s, "r", true, 0, "t");
  EXPECT_NE(zero.find(" max - 0.00000000\n"), std::string::npos);
  EXPECT_NE(zero.find("\n    0    0    0    0    0    0    0"), std::string::npos);
  // The recording's name makes one line of UTF-8: a newline blanked, Windows-1251 "а" converted.
  const std::string named = analysis::SpectrumFileText(b, s, "re\nc\xE0.xx", true, 0, "t");
  EXPECT_EQ(named.substr(0, named.find('\n')), " спектp A[i] * exp { 2*3.14*i/64 }   из  <re cа.xx> ");
}

TEST(SpectrumFile, CellsThatAreNotNumbersAreWrittenAsZerosAndCounted) {
  toolkit::SetupRecord s;
  toolkit::SetSetupDefaults(s, "/x/");
  constexpr float inf = std::numeric_limits<float>::infinity();
  constexpr float nan = std::numeric_limits<float>::quiet_NaN();
  SpectrumBuffers b;
  b.N = 64;
  b.IntervalCount = 6;
  for (int t = 0; t < 6; ++t)
    for (int i = 0; i < 32; ++i) b.Spectra[t][i] = 1.0f + t;
  struct Cell {
    float* at;
    float v;
  };
  const Cell damaged[] = {{&b.WorkBuffer[3], inf}, {&b.WorkBuffer[4], nan}, {&b.WorkBuffer[5], -inf},
                          {&b.Spectra[5][7], inf}, {&b.Spectra[0][0], nan}};
  for (const Cell& c : damaged) *c.at = c.v;
  int64_t zeroed = -1;
  const std::string text = analysis::SpectrumFileText(b, s, "r", true, 0, "t", &zeroed);
  EXPECT_EQ(zeroed, 5);
  for (const char* word : {"inf", "nan", "-2147483648"}) EXPECT_EQ(text.find(word), std::string::npos) << word;
  EXPECT_NE(text.find("      4.68750              0.00000 \n"), std::string::npos);  // bin 3
  EXPECT_NE(text.find(" max - 6.00000000\n"), std::string::npos);                      // the finite maximum
  EXPECT_NE(text.find("\n    0    0  333  500  666  833 1000"), std::string::npos);
  EXPECT_NE(text.find("\n    7  166  333  500  666  833    0"), std::string::npos);
}

TEST(SpectrumFile, UnwritablePlaceIsReportedWithTheFileName) {
  support::TempDir dir;
  std::string error;
  ASSERT_TRUE(analysis::WriteTextFile(dir.File("plain"), "x", error));
  const std::string path = dir.File("plain") + "/rec.s0";  // a file where a directory should be
  EXPECT_FALSE(analysis::WriteTextFile(path, "text", error));
  EXPECT_NE(error.find(path), std::string::npos);
  toolkit::SetupRecord s;
  toolkit::SetSetupDefaults(s, "/data/");
  std::strcpy(s.FileName, "rec.xx");
  EXPECT_EQ(analysis::SpectrumFileName(s, 3), "/data/rec.xx.s3");
}

}  // namespace
