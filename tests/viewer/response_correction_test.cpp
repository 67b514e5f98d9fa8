// Correction for the instrument response against numpy: table parsing, interpolation, the band and the
// division by the response in the frequency domain.
#include "viewer/response_correction.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numbers>
#include <random>
#include <sstream>

#include "platform/memory_budget.h"
#include "support/planted_fifo.h"
#include "support/temp_dir.h"
#include "toolkit/python_reference.h"

namespace {

using viewer::CorrectResponse;
using viewer::ParseResponseTable;

std::string Table(int rows, double f0, double f1) {
  std::ostringstream t;
  t.precision(17);
  for (int r = 0; r < rows; ++r) {
    const double f = f0 + (f1 - f0) * std::pow(r / double(rows - 1), 1.3);
    t << f;
    for (int c = 0; c < 6; ++c) t << " " << 1.0 + 0.5 * std::sin(f / 7.0 + c) << " " << 0.3 * std::cos(f / 5.0 + c);
    t << "\n";
  }
  return t.str();
}

// Unevenly spaced rows; 1025 samples take a transform of 2048 (the smallest power of two holding n).
class ResponseCorrectionNumpy : public ::testing::TestWithParam<uint32_t> {};
INSTANTIATE_TEST_SUITE_P(Lengths, ResponseCorrectionNumpy, ::testing::Values(3000u, 1025u));

TEST_P(ResponseCorrectionNumpy, MatchesNumpyForASmoothTwentyRowTable) {
  const uint32_t n = GetParam();
  std::vector<float> x(n);
  std::mt19937 gen(11);
  std::normal_distribution<float> d(0, 300);
  for (float& v : x) v = d(gen);
  const std::string table = Table(20, 0.7, 40.0);
  const auto read = ParseResponseTable(table);
  ASSERT_TRUE(read.ok);
  std::vector<float> y = x;
  toolkit::TFunk funk;
  ASSERT_EQ(CorrectResponse(y.data(), n, 0.01, read.table, 2, funk), "");

  std::ostringstream py;
  py.precision(9);
  py << "import numpy as np\nx = np.array([";
  for (uint32_t i = 0; i < n; ++i) py << (i ? "," : "") << x[i];
  py << "], dtype=np.float64)\ntab = np.array([[float(v) for v in l.split()] for l in '''" << table
     << "'''.strip().split('\\n')])\n" << R"(
n = len(x); dt = 0.01; pair = 2
N = 1
while N < n: N *= 2
xs = tab[:, 0]; amp = tab[:, 1 + 2 * pair]; ph = tab[:, 2 + 2 * pair]
def interp(v, ys):
    # The nearest row (the lower one half-way between two) and its neighbours, held inside the table.
    k = min(max(int(np.argmin(np.abs(xs - v))), 1), len(xs) - 2)
    idx = [k - 1, k, k + 1]
    r = 0.0
    for a in idx:
        term = ys[a]
        for b in idx:
            if b != a: term *= (v - xs[b]) / (xs[a] - xs[b])
        r += term
    return r
X = np.fft.fft(np.concatenate([x[:n - 1], np.zeros(N - (n - 1))]))
Y = np.zeros(N, dtype=complex)
low = max(1, int(np.floor(N * xs[0] * dt))); high = min(N // 2 - 2, int(np.floor(N * xs[-1] * dt)))
for i in range(low, high):
    f = i / (N * dt)
    t = abs(X[i]) / interp(f, amp)
    F = np.arctan2(X[i].imag, X[i].real) - interp(f, ph)
    Y[i] = t * np.exp(1j * F); Y[N - i] = np.conj(Y[i])
out = x.copy(); out[:n - 1] = np.fft.ifft(Y).real[:n - 1]
print("\n".join(repr(float(v)) for v in out))
)";
  const auto lines = toolkit_test::RunPython("response", py.str());
  ASSERT_EQ(lines.size(), n);
  double lo = 1e30, hi = -1e30;
  for (float v : x) lo = std::min<double>(lo, v), hi = std::max<double>(hi, v);
  for (uint32_t i = 0; i < n; ++i) ASSERT_NEAR(y[i], std::stod(lines[i]), 1e-4 * (hi - lo)) << i;
  EXPECT_EQ(y[n - 1], x[n - 1]);
}

// A unit table over the whole band passes sines inside it; near-imaginary bins (a sine has Re ~ 0 and
// Im < 0, a negated sine Im > 0) keep their sign.
TEST(ResponseCorrection, UnitTableLeavesInBandSignalsAndKeepsTheSignOfImaginaryBins) {
  std::ostringstream unit;
  for (double f : {0.0, 10.0, 30.0, 60.0}) {
    unit << f;
    for (int c = 0; c < 6; ++c) unit << " 1 0";
    unit << "\n";
  }
  const auto read = ParseResponseTable(unit.str());
  ASSERT_TRUE(read.ok);
  const uint32_t N = 1024, n = N + 1;
  for (double sign : {1.0, -1.0}) {
    std::vector<float> x(n);
    for (uint32_t k = 0; k < n; ++k)
      x[k] = static_cast<float>(sign * 100 * std::sin(2 * std::numbers::pi * 37 * k / N) +
                                40 * std::cos(2 * std::numbers::pi * 200 * k / N));
    x[n - 1] = 12345.0f;
    std::vector<float> y = x;
    toolkit::TFunk funk;
    ASSERT_EQ(CorrectResponse(y.data(), n, 0.01, read.table, 0, funk), "");
    // The 1024 samples fill half of the 2048-point transform: the bins removed at 0 and next to half the
    // rate cost the padded signal a few hundredths; a turned sign would cost 200.
    for (uint32_t k = 0; k + 1 < n; ++k) ASSERT_NEAR(y[k], x[k], 0.1) << sign << " " << k;
    EXPECT_EQ(y[n - 1], 12345.0f);
  }
}

TEST(ResponseCorrection, BinsOutsideTheTableAreRemoved) {
  const auto read = ParseResponseTable(Table(5, 5.0, 20.0));
  ASSERT_TRUE(read.ok);
  const uint32_t N = 1024, n = N + 1;
  std::vector<float> y(n);
  // 1 Hz and 40 Hz at 100 Hz: both outside 5 ... 20 Hz.
  for (uint32_t k = 0; k < n; ++k)
    y[k] = static_cast<float>(50 + 100 * std::sin(2 * std::numbers::pi * 1.0 * k / 100) +
                              100 * std::sin(2 * std::numbers::pi * 40.0 * k / 100));
  toolkit::TFunk funk;
  ASSERT_EQ(CorrectResponse(y.data(), n, 0.01, read.table, 1, funk), "");
  double rms = 0;
  for (uint32_t k = 0; k + 1 < n; ++k) rms += double{y[k]} * y[k];
  EXPECT_LT(std::sqrt(rms / N), 8.0);  // leakage only, against 100 / sqrt(2) per sine
}

TEST(ResponseCorrection, LengthJustAboveAPowerOfTwoStaysInsideItsArrays) {
  const auto read = ParseResponseTable(Table(8, 0.5, 45.0));
  const uint32_t n = (1u << 16) + 12;
  std::vector<float> y(n);
  for (uint32_t k = 0; k < n; ++k) y[k] = static_cast<float>(std::sin(k * 0.01) * 1000);
  toolkit::TFunk funk;
  ASSERT_EQ(CorrectResponse(y.data(), n, 0.01, read.table, 5, funk), "");
  for (float v : y) ASSERT_TRUE(std::isfinite(v));
}

TEST(ResponseCorrection, RefusedTablesAndAmplitudesChangeNothing) {
  struct Case {
    const char* text;
    bool ok;
    size_t rows;
    const char* message;
  } cases[] = {
      {"1 1 0\n2 1 0\n3 1 0\n\n  \n", true, 3, ""},
      {"1 1 0\n2 1 0\n", false, 0, "не меньше 3 строк"},
      {"1 1 0\n3 1 0\n3 1 0\n", false, 0, "по возрастанию"},
      {"1 1 0 1 0 1 0 1 0 1 0 1 0 99 98\n2\n3\n", true, 3, "BOOK: Что с длиной строки  13"},
  };
  for (const Case& c : cases) {
    const auto r = ParseResponseTable(c.text);
    EXPECT_EQ(r.ok, c.ok) << c.text;
    EXPECT_EQ(r.table.rows.size(), c.rows) << c.text;
    if (*c.message != 0) {
      ASSERT_FALSE(r.messages.empty()) << c.text;
      EXPECT_NE(r.messages.front().find(c.message), std::string::npos) << r.messages.front();
    }
  }
  std::string many;
  for (int i = 1; i <= 230; ++i) many += std::to_string(i) + " 1 0\n";
  const auto r = ParseResponseTable(many);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.table.rows.size(), 200u);
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0], "BOOK: Больше 200 строк");
  EXPECT_EQ(ParseResponseTable("1 abc\n2 x\n3 1.5e1z\n").table.rows[2][1], 15.0);

  // The file itself: read whole; missing or a FIFO (never waited on), "Open error!" alone.
  support::TempDir dir;
  const std::string book = dir.File("book.abc");
  std::ofstream(book) << many;
  EXPECT_EQ(viewer::ReadResponseTable(book).table.rows, r.table.rows);
  std::filesystem::remove(book);
  for (bool fifo : {false, true}) {
    viewer::ResponseTableRead missing;
    if (fifo) {
      EXPECT_TRUE(support::FifoLeftUnread(book, [&] { missing = viewer::ReadResponseTable(book); }));
    } else {
      missing = viewer::ReadResponseTable(book);
    }
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.messages, std::vector<std::string>{"Open error!"});
  }

  // Channel 1's amplitude is 0 in one row (or missing, which reads as 0), or so small that the corrected
  // bins leave the float range: refused naming the channel, samples unchanged.
  for (const char* text : {"1 1 0 1 0\n2 1 0 0 0\n3 1 0 1 0\n", "1 1 0 1 0\n2 1 0\n3 1 0 1 0\n",
                           "1 1 0 1e-300 0\n2 1 0 1e-300 0\n3 1 0 1e-300 0\n",
                           "1 1 0 1e-40 0\n2 1 0 1e-40 0\n3 1 0 1e-40 0\n"}) {
    const auto zero = ParseResponseTable(text);
    ASSERT_TRUE(zero.ok);
    std::vector<float> y(100);
    for (size_t i = 0; i < y.size(); ++i) y[i] = static_cast<float>(i % 7) * 1000.0f;
    const std::vector<float> before = y;
    toolkit::TFunk funk;
    const std::string refusal = CorrectResponse(y.data(), 100, 0.01, zero.table, 1, funk);
    EXPECT_NE(refusal.find("канала 1"), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("канал не исправлен"), std::string::npos) << refusal;
    EXPECT_EQ(y, before) << text;
  }

  // Too few samples and more than the longest transform are refused each with its own reason, before
  // any sample is read.
  const viewer::ResponseTable unit = ParseResponseTable("1 1 0\n2 1 0\n3 1 0\n").table;
  struct Length {
    uint32_t n;
    const char* message;
  };
  for (const Length& l : {Length{8, "мало точек для БПФ"},
                          Length{(uint32_t{1} << 30) + 1,
                                 "запись длиннее 1073741824 точек - наибольшего БПФ; канал не исправлен"}}) {
    std::vector<float> y(16, 3.0f);
    toolkit::TFunk funk;
    EXPECT_EQ(CorrectResponse(y.data(), l.n, 0.01, unit, 0, funk), l.message) << l.n;
    for (float v : y) ASSERT_EQ(v, 3.0f);
  }
  // The transform's arrays beyond the memory budget: refused as a failed allocation, before any sample is
  // read.
  const platform::ScopedMemoryForNewData budget(0);
  std::vector<float> y(100, 3.0f);
  toolkit::TFunk funk;
  EXPECT_THROW(CorrectResponse(y.data(), 100, 0.01, unit, 0, funk), std::bad_alloc);
  for (float v : y) ASSERT_EQ(v, 3.0f);
}

TEST(ResponseCorrection, InterpolationUsesTheRowsAroundX) {
  const double xs[] = {1, 2, 3, 4, 5};
  double ys[5];
  for (int i = 0; i < 5; ++i) ys[i] = xs[i] * xs[i] * xs[i];
  // Quadratic through rows 3, 4, 5 of x^3 at 4.6 errs by (x-3)(x-4)(x-5) = -0.384; through rows 2, 3, 4
  // at 3.5 by -0.375; through the first three at 0.5 by (0.5-1)(0.5-2)(0.5-3) = -1.875.
  EXPECT_NEAR(viewer::InterpolateTable(4.6, xs, ys, 5), 4.6 * 4.6 * 4.6 + 0.384, 1e-9);
  EXPECT_NEAR(viewer::InterpolateTable(3.5, xs, ys, 5), 3.5 * 3.5 * 3.5 + 0.375, 1e-9);
  EXPECT_NEAR(viewer::InterpolateTable(0.5, xs, ys, 5), 0.125 + 1.875, 1e-9);
  EXPECT_NEAR(viewer::InterpolateTable(2.0, xs, ys, 5), 8.0, 1e-9);
}

TEST(ResponseCorrection, InterpolationCentresOnTheNearestOfUnevenRows) {
  // Row k is nearest from half-way below to half-way above it: 1 over (0.5, 2.5], 2 over (2.5, 7],
  // 3 over (7, 10.5], 4 over (10.5, 15.5].
  const double xs[] = {0, 1, 4, 10, 11, 20};
  struct Row {
    double x;
    int first;  // the first of the three rows used
  };
  for (const Row r : {Row{-3, 0}, Row{0.7, 0}, Row{2.5, 0}, Row{2.6, 1}, Row{3, 1}, Row{7, 1}, Row{7.1, 2},
                      Row{10.5, 2}, Row{10.7, 3}, Row{12, 3}, Row{25, 3}}) {
    // With a one in row `hot` and zeros elsewhere the value is non-zero exactly when the row is used.
    for (int hot = 0; hot < 6; ++hot) {
      double ys[6] = {};
      ys[hot] = 1;
      const bool used = hot >= r.first && hot < r.first + 3;
      EXPECT_EQ(viewer::InterpolateTable(r.x, xs, ys, 6) != 0.0, used) << r.x << " row " << hot;
    }
  }
}

TEST(ResponseCorrection, TablePairIsTheChannelsPlaceInItsFile) {
  auto s = std::make_unique<toolkit::SetupRecord>();
  s->Header.Channels = 4;
  s->LoadChannels = 2;
  const uint16_t map[] = {3, 1, 0, 2, 9};
  std::copy(std::begin(map), std::end(map), s->ChannelMap);
  struct Row {
    uint16_t stationMode, severalStations;
    int channel, pair;
  };
  for (const Row r : {Row{0, 0, 0, 3}, Row{0, 0, 3, 2}, Row{0, 0, 4, 3},  // one file; 9 held at the last
                      Row{1, 0, 3, 2},                                  // one station's files
                      Row{1, 1, 0, 3}, Row{1, 1, 1, 1}, Row{1, 1, 2, 3}, Row{1, 1, 5, 1},  // several stations
                      Row{0, 1, 2, 0}}) {  // a file read after them
    s->StationMode = r.stationMode;
    s->SeveralStations = r.severalStations;
    EXPECT_EQ(viewer::ResponseTablePair(*s, r.channel), r.pair) << r.stationMode << r.severalStations << r.channel;
  }
}

TEST(ResponseCorrection, FileNameTakesThreeStationBytesAsUtf8) {
  toolkit::MAIN_HEADER h{};
  std::memcpy(h.Station, "\xCF\xE5\xF2\xF0", 4);  // "Петр" in Windows-1251
  EXPECT_EQ(viewer::ResponseFileName(h), "book.Пет");
  std::memcpy(h.Station, "ab\0\0", 4);
  EXPECT_EQ(viewer::ResponseFileName(h), "book.ab");
}

}  // namespace
