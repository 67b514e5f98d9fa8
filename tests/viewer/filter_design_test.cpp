#include "viewer/filter_design.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <sstream>

#include "toolkit/format_text.h"
#include "toolkit/python_reference.h"

namespace viewer {
namespace {

using toolkit::FormatText;
using toolkit::SetupRecord;

std::string Floats(const std::vector<double>& v) {
  std::string s = "[";
  for (double x : v) s += FormatText("%.17g,", x);
  return s + "]";
}

TEST(FilterDesign, ReadBoundsEdgesAndPoints) {
  SetupRecord s;
  std::memset(&s, 0, sizeof s);
  s.Header.Rate = 100;
  s.PotterHalfLength = 50;
  FilterInputs in{0, 1, "0.001", "", "2201"};
  EXPECT_EQ(ReadFilterValues(s, in).Status, FilterRead::Ok);
  EXPECT_DOUBLE_EQ(s.FilterLow, 0.005);
  EXPECT_EQ(s.PotterHalfLength, 2200);
  EXPECT_EQ(s.ButterworthOrder, 3);
  in = {1, 0, "80", "90", "1"};
  EXPECT_EQ(ReadFilterValues(s, in).Status, FilterRead::BadBand);  // both held at 45 Hz
  EXPECT_NEAR(s.FilterLow, 45.0, 1e-9);
  EXPECT_EQ(s.PotterHalfLength, 2200);  // below 2: kept
  in = {3, 2, "5", "10", "x12"};
  const FilterReadResult r = ReadFilterValues(s, in);
  EXPECT_EQ(r.Status, FilterRead::Ok);
  EXPECT_TRUE(r.PointsNotInteger);
  EXPECT_NEAR(s.FilterHigh, 10.0, 1e-9);
  s.Header.Rate = 0;
  EXPECT_EQ(ReadFilterValues(s, in).Status, FilterRead::NoRate);
}

TEST(FilterDesign, PotterResponseMatchesNumpy) {
  for (int type = 0; type < 4; ++type) {
    const std::vector<double> h = DesignPotterKernel(40, type, 5.0, 15.0, 0.01);
    std::string program = "import numpy as np\nh=np.array(" + Floats(h) + ")\n" +
                          "t=np.concatenate([h[:0:-1],h])\nL=4096\nX=np.fft.rfft(t,L)\n"
                          "for j in (0,50,100,300,700,1500):\n"
                          "  w=2*np.pi*j/L\n  print('%.12f' % (X[j]*np.exp(1j*w*(len(h)-1))).real)\n";
    const auto py = toolkit_test::RunPython("potter_rfft", program);
    ASSERT_EQ(py.size(), 6u);
    const int bins[] = {0, 50, 100, 300, 700, 1500};
    for (int i = 0; i < 6; ++i) {
      EXPECT_NEAR(KernelResponse(h, 2 * M_PI * bins[i] / 4096), std::stod(py[i]), 1e-9) << type << " " << bins[i];
    }
  }
}

TEST(FilterDesign, ButterworthCurveMatchesScipy) {
  toolkit::Tf_batt d;
  ASSERT_EQ(d.DesignButterworth(4, toolkit::kLowPass, 100.0, 10.0, 0.0, nullptr, nullptr), toolkit::ButterworthStatus::Ok);
  const auto py = toolkit_test::RunPython("butter_zpk", R"(
from scipy import signal
import numpy as np
z,p,k = signal.butter(4, 10.0, 'low', output='zpk', fs=100.0)
f = np.array([0.5, 5.0, 10.0, 20.0, 40.0])
w, H = signal.freqz_zpk(z, p, k, worN=f, fs=100.0)
for v in np.abs(H): print('%.12f' % v)
)");
  ASSERT_EQ(py.size(), 5u);
  const double f[] = {0.5, 5.0, 10.0, 20.0, 40.0};
  for (int i = 0; i < 5; ++i) EXPECT_NEAR(std::pow(10.0, d.ResponseDb(f[i]) / 20.0), std::stod(py[i]), 1e-6) << f[i];
  // On the plot: the pass band at the top (y = 5), the stop band at the baseline.
  ResponseFrame frame{430, 250, 0, 0};
  const std::vector<PlotPoint> curve = ButterworthCurve(d, 0.01, frame);
  ASSERT_EQ(curve.size(), 256u);
  EXPECT_NEAR(curve[5].Y, 5, 1);
  EXPECT_NEAR(curve[250].Y, frame.B(), 1);
  EXPECT_EQ(curve[0].X, 5);
}

// The listing's integer coefficients and words, read back from its text.
struct ParsedListing {
  std::vector<long long> K;
  std::vector<unsigned> R;
  std::vector<unsigned> words1;
  std::vector<unsigned> words2;
};

ParsedListing Parse(const std::string& text) {
  ParsedListing p;
  std::istringstream in(text);
  std::string line;
  int section = 0;
  while (std::getline(in, line)) {
    if (line.find("W u z  1") != std::string::npos) section = 1;
    if (line.find("W u z  2") != std::string::npos) section = 2;
    if (line.find("форма") != std::string::npos) section = 3;
    unsigned a = 0, w = 0;
    double h = 0, hm = 0;
    long long k = 0;
    unsigned mag = 0, r = 0;
    int idx = 0;
    if (section == 0 && std::sscanf(line.c_str(), "%d; %lf; %lf %lld %x %x", &idx, &h, &hm, &k, &mag, &r) == 6) {
      p.K.push_back(k);
      p.R.push_back(r);
    } else if (section == 1 && std::sscanf(line.c_str(), "%x : %x;", &a, &w) == 2) {
      p.words1.push_back(w);
    } else if (section == 2 && std::sscanf(line.c_str(), "%x : %x;", &a, &w) == 2) {
      p.words2.push_back(w);
    }
  }
  return p;
}

TEST(FilterDesign, ListingSumsExactlyWithSignsOfTheIntegers) {
  for (double fc : {3.0, 7.3, 20.0, 41.0}) {
    const std::vector<double> h = DesignPotterKernel(111, 0, fc, 0, 0.01);
    const PotterListing listing = BuildPotterListing(h, fc, 0.01);
    const ParsedListing p = Parse(listing.Text);
    ASSERT_EQ(p.K.size(), 112u);
    long long sum = p.K[0];
    for (size_t k = 1; k < p.K.size(); ++k) sum += 2 * p.K[k];
    EXPECT_EQ(sum, 0x40000000LL) << fc;
    EXPECT_EQ(p.K[0] % 2, 0);
    for (size_t k = 0; k < p.K.size(); ++k) {
      EXPECT_EQ((p.R[k] & 0x80000000u) != 0, p.K[k] < 0) << k;
      EXPECT_EQ(static_cast<long long>(p.R[k] & 0x7FFFFFFFu), std::llabs(p.K[k]));
    }
    ASSERT_EQ(p.words1.size(), 2u * 111 + 2);
    ASSERT_EQ(p.words2.size(), 2 * p.words1.size());
    EXPECT_EQ(p.words1[0], p.R[111]);
    EXPECT_EQ(p.words1[1], 0u);
    EXPECT_EQ(p.words1[113], p.R[0]);
    for (size_t a = 0; a < p.words1.size(); ++a) {
      EXPECT_EQ(p.words2[2 * a], p.words1[a] & 0xFFFF);
      EXPECT_EQ(p.words2[2 * a + 1], p.words1[a] >> 16);
    }
  }
}

TEST(FilterDesign, ListingFilterShapeAgreesWithNumpy) {
  const std::vector<double> h = DesignPotterKernel(64, 0, 12.5, 0, 0.01);
  const PotterListing listing = BuildPotterListing(h, 12.5, 0.01);
  const size_t shape = listing.Text.find("форма фильтра");
  ASSERT_NE(shape, std::string::npos);
  std::istringstream in(listing.Text.substr(shape));
  std::string line;
  std::vector<double> exact, approx;
  while (std::getline(in, line)) {
    double f = 0, e = 0, a = 0;
    if (std::sscanf(line.c_str(), "%lf %lf - ( %lf )", &f, &e, &a) == 3) {
      exact.push_back(e);
      approx.push_back(a);
    }
  }
  ASSERT_EQ(exact.size(), 100u);
  std::string k = "[";
  for (long long v : listing.K) k += std::to_string(v) + ",";
  const std::string program = std::string("import numpy as np\nh=np.array(") + Floats(h) + ")\nK=np.array(" + k +
                              "],dtype=float)\n";
  const auto py = toolkit_test::RunPython("listing_shape", program + R"(
n=np.arange(len(h))
for i in range(100):
  w=i*0.0314159265
  c=np.cos(n*w); c[1:]*=2
  print('%.10f %.10f' % (np.dot(h,c), np.dot(K,c)/2**30))
)");
  ASSERT_EQ(py.size(), 100u);
  for (size_t i = 0; i < 100; ++i) {
    double e = 0, a = 0;
    ASSERT_EQ(std::sscanf(py[i].c_str(), "%lf %lf", &e, &a), 2);
    EXPECT_NEAR(exact[i], e, 1e-8) << i;
    EXPECT_NEAR(approx[i], a, 1e-8) << i;
  }
}

TEST(FilterDesign, EquationListsEveryCoefficient) {
  toolkit::Tf_batt d;
  d.DesignButterworth(2, toolkit::kHighPass, 100.0, 1.0, 0.0, nullptr, nullptr);
  const std::string text = ButterworthEquation(d);
  EXPECT_EQ(text.rfind("gain = ", 0), 0u);
  EXPECT_NE(text.find(FormatText("Y[%d] = X[%d]", d.Degree(), d.Degree())), std::string::npos);
  EXPECT_NE(text.find("+ X[0] * ("), std::string::npos);
  EXPECT_NE(text.find(FormatText("y_new = Y[%d];", d.Degree())), std::string::npos);
}

}  // namespace
}  // namespace viewer
