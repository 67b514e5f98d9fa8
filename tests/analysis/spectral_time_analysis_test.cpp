// The spectral-temporal map against a numpy transcription of the whole algorithm, its colour levels,
// the "cwan" table and the settings and signals that used to break it.
#include "analysis/spectral_time_analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "../toolkit/python_reference.h"
#include "platform/memory_budget.h"
#include "scoped_work_dir.h"
#include "toolkit/format_text.h"
#include "toolkit/setup_record.h"

namespace {

using analysis::SwanSettings;

std::vector<float> Chirp(int n, double dt) {
  std::vector<float> x(n);
  for (int i = 0; i < n; ++i) {
    const double t = i * dt;
    x[i] = static_cast<float>(1000.0 * std::sin(2 * M_PI * (0.3 * t + 0.07 * t * t)) + 20.0);
  }
  return x;
}

// The map as numpy computes it, one row of 512 values per line.
std::vector<std::vector<double>> ReferenceMap(const std::vector<float>& x, int start, double dt, const SwanSettings& s) {
  {
    std::ofstream out("swan_signal.txt");
    out.precision(9);
    for (float v : x) out << v << "\n";
  }
  std::ostringstream py;
  py << "import numpy as np\n"
     << "x=np.loadtxt('swan_signal.txt')\nN=" << s.N << "\nstart=" << start << "\ndt=" << dt << "\nflo=" << s.fLo
     << "\nfhi=" << s.fHi << "\ng=" << s.g << "\nshape=" << s.shape << "\nnorm=" << (s.normalise ? 1 : 0)
     << "\npasses=" << s.passes << "\n"
     << R"(sig=np.zeros(N)
seg=x[start:start+N]; sig[:len(seg)]=seg
i=np.arange(N//10); w=1-np.cos(5*np.pi*i/N)**2
sig[i]*=w; sig[N-1-i]*=w
X=np.fft.fft(sig)
f=np.arange(N//2+1)/(N*dt)
M=N//512
def envelope(y):
    y=list(y); out=np.abs(np.array(y)); tp=[0]
    d=0; k=0
    for j in range(1,len(y)):
        if d==0:
            if y[j]!=y[k]: d=1 if y[j]>y[k] else -1; k=j
        elif (y[j]-y[k])*d>=0: k=j
        else: tp.append(k); d=-d; k=j
    if tp[-1]!=len(y)-1: tp.append(len(y)-1)
    e=np.zeros(len(y))
    for a,b in zip(tp[:-1],tp[1:]):
        e[a:b+1]=np.linspace(out[a],out[b],b-a+1)
    return e
def smooth(y,p):
    y=y.copy()
    for _ in range(p): y[1:-1]=(y[:-2]+y[1:-1]+y[2:])/3
    return y
rows=[]
for r in range(101):
    W=flo*np.exp(0.01*r*np.log(fhi/flo))
    if shape==0: H=np.exp(-g*((W-f)/W)**2)+0j
    elif shape==1: H=np.exp(-g*(W-f)**2/W)+0j
    else: H=f*f/((W-f)**2+1j*f/g)
    hm=np.abs(H).max() if norm else 1.0
    if not hm>0: hm=1.0
    Y=np.zeros(N,complex); Y[:N//2+1]=X[:N//2+1]*H
    Y[0]=Y[0].real; Y[N//2]=Y[N//2].real
    Y[N//2+1:]=np.conj(Y[1:N//2][::-1])
    y=np.fft.ifft(Y).real
    e=envelope(y)
    if passes>1: e=smooth(e,passes)
    rows.append(e.reshape(512,M).mean(axis=1)/hm)
m=np.array(rows)
if passes>1:
    for _ in range(passes): m[1:-1,:]=(m[:-2,:]+m[1:-1,:]+m[2:,:])/3
for r in m: print(' '.join('%.9g'%v for v in r))
)";
  const auto lines = toolkit_test::RunPython("swan_reference", py.str());
  std::vector<std::vector<double>> out;
  for (const auto& l : lines) {
    std::istringstream in(l);
    std::vector<double> row;
    for (double v; in >> v;) row.push_back(v);
    out.push_back(row);
  }
  return out;
}

struct Case {
  int shape;
  bool normalise;
  int passes;
};

TEST(SpectralTimeAnalysis, MapAgreesWithNumpyOnAChirp) {
  analysis_test::ScopedWorkDir dir;
  const double dt = 0.01;
  const std::vector<float> x = Chirp(5000, dt);
  for (const Case& c : {Case{0, true, 4}, Case{1, false, 1}, Case{2, true, 3}}) {
    SCOPED_TRACE(c.shape);
    SwanSettings s;
    s.N = 4096;
    s.shape = c.shape;
    s.normalise = c.normalise;
    s.passes = c.passes;
    const analysis::SwanMap map = analysis::ComputeSwanMap(x.data(), 5000, 300, dt, s);
    const auto ref = ReferenceMap(x, 300, dt, s);
    ASSERT_EQ(ref.size(), 101u);
    double refMax = 0.0;
    for (const auto& row : ref) {
      ASSERT_EQ(row.size(), 512u);
      for (double v : row) refMax = std::max(refMax, v);
    }
    ASSERT_GT(refMax, 1.0);
    double worst = 0.0;
    for (int r = 0; r < 101; ++r)
      for (int k = 0; k < 512; ++k) worst = std::max(worst, std::fabs(map.at(r, k) - ref[r][k]));
    int wr = 0, wk = 0;
    for (int r = 0; r < 101; ++r)
      for (int k = 0; k < 512; ++k)
        if (std::fabs(map.at(r, k) - ref[r][k]) >= worst) { wr = r; wk = k; }
    EXPECT_LT(worst, 1e-4 * refMax) << wr << " " << wk << " " << map.at(wr, wk) << " " << ref[wr][wk] << " " << map.maxRow << " " << map.maxColumn;
    // The largest value is taken before the rows are smoothed into each other, which only lowers it.
    if (c.passes > 1)
      EXPECT_GE(map.maxValue, refMax * (1 - 1e-4));
    else
      EXPECT_NEAR(map.maxValue, refMax, 1e-4 * refMax);
    EXPECT_FALSE(map.imaginaryResidue);
  }
}

TEST(SpectralTimeAnalysis, CentresAndASineAtARowsCentre) {
  SwanSettings s;
  EXPECT_DOUBLE_EQ(analysis::SwanCentre(s, 0), 0.2);
  EXPECT_NEAR(analysis::SwanCentre(s, 50), 1.2649, 1e-4);
  EXPECT_NEAR(analysis::SwanCentre(s, 100), 8.0, 1e-9);
  s.passes = 1;
  s.g = 40.0;
  for (int row : {30, 70}) {
    const double f = analysis::SwanCentre(s, row);
    std::vector<float> x(4096);
    for (size_t i = 0; i < x.size(); ++i) x[i] = static_cast<float>(std::sin(2 * M_PI * f * i * 0.01));
    const analysis::SwanMap map = analysis::ComputeSwanMap(x.data(), 4096, 0, 0.01, s);
    EXPECT_EQ(map.maxRow, row);
  }
}

TEST(SpectralTimeAnalysis, LargeCountsAndSilenceAndFarFilters) {
  SwanSettings s;
  s.passes = 1;
  // 24-bit counts: the envelope of a sine of amplitude 4e6 is 4e6 away from the taper.
  std::vector<float> x(4096);
  for (size_t i = 0; i < x.size(); ++i) x[i] = static_cast<float>(4e6 * std::sin(2 * M_PI * 1.0 * i * 0.01));
  std::vector<float> env(x);
  analysis::SwanEnvelope(env.data(), 4096);
  for (int i = 500; i < 3500; ++i) ASSERT_NEAR(env[i], 4e6, 4e6 * 0.01) << i;
  // Silence: a map of zeros, nothing NaN, no residue.
  std::vector<float> zero(4096, 0.0f);
  s.shape = 0;
  s.normalise = true;
  s.fLo = 100.0;  // every filter far above the Nyquist frequency and sharp: |H| is 0 on every bin
  s.fHi = 200.0;
  s.g = 2000.0;
  for (const auto* sig : {&zero, &x}) {
    const analysis::SwanMap map = analysis::ComputeSwanMap(sig->data(), 4096, 0, 0.01, s);
    for (float v : map.cells) ASSERT_TRUE(std::isfinite(v));
    EXPECT_EQ(map.maxValue, 0.0f);
  }
  // Working space beyond the memory budget is refused before it is taken.
  const platform::ScopedMemoryForNewData budget(0);
  EXPECT_THROW(analysis::ComputeSwanMap(x.data(), 4096, 0, 0.01, s), std::bad_alloc);
}

TEST(SpectralTimeAnalysis, SettingsAreBoundedAtUse) {
  toolkit::SetupRecord r{};
  toolkit::SetSetupDefaults(r, "/tmp/");
  std::string error;
  r.SwanLow = 0.0f;
  r.SwanHigh = -1.0f;
  r.SwanDamping = 0.0f;
  r.SwanFilter = -3;
  const SwanSettings s = analysis::SwanSettingsOf(r, error);
  EXPECT_TRUE(error.empty());
  EXPECT_EQ(s.fLo, 1e-5);
  EXPECT_NEAR(s.fHi, 1.1e-5, 1e-12);
  EXPECT_EQ(s.g, 1.0);
  EXPECT_EQ(s.shape, 0);
  for (uint32_t bad : {0u, 256u, 1000u, 131072u}) {
    r.FftLength = bad;
    analysis::SwanSettingsOf(r, error);
    EXPECT_FALSE(error.empty()) << bad;
  }
}

TEST(SpectralTimeAnalysis, ColourLevels) {
  struct Row {
    double max;
    bool log, automatic;
    double typedMax, typedMin, v;
    int level;
  };
  const Row rows[] = {
      {10, false, true, 0, 0, 0.0, 1},       {10, false, true, 0, 0, 10.0, 12},   {10, false, true, 0, 0, 5.0, 7},
      {10, false, false, 4, 2, 3.0, 7},      {10, false, false, 2, 4, 10.0, 12},  // typed min above max: automatic
      {0, false, true, 0, 0, 0.0, 1},        // silent map: lo == hi
      {10, true, true, 0, 0, 0.1, 1},        {10, true, true, 0, 0, 10.0, 12},    {10, true, true, 0, 0, 1.0, 7},
      {10, true, false, 100, 1, 10.0, 7},    {10, true, false, 10, 10, 10.0, 12},  // ratio 1: 100 instead
      {10, true, false, 10, 0, 0.1, 1},      {10, false, true, 0, 0, NAN, 1},
  };
  for (const Row& r : rows) {
    const analysis::SwanScale sc = analysis::SwanScaleOf(r.max, r.log, r.automatic, r.typedMax, r.typedMin);
    EXPECT_EQ(analysis::SwanLevel(sc, r.v), r.level) << r.max << " " << r.log << " " << r.typedMax << " " << r.v;
  }
}

TEST(SpectralTimeAnalysis, CwanTable) {
  analysis_test::ScopedWorkDir dir;
  const std::vector<float> x = Chirp(4096, 0.01);
  SwanSettings s;
  const analysis::SwanMap map = analysis::ComputeSwanMap(x.data(), 4096, 0, 0.01, s);
  std::string error;
  ASSERT_TRUE(analysis::WriteSwanFile("cwan", map, error)) << error;
  std::ifstream in("cwan");
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 6u + 512u);
  EXPECT_EQ(lines[0], "веpхняя стpока - частота, умноженная на 100;    вниз идет вpемя c dt = 0.08000");
  EXPECT_EQ(lines[1], "числа надо умножить на max/10000 = " + toolkit::FormatText("%.5f", 1e-4 * map.maxValue) + " ");
  EXPECT_EQ(lines[3].size(), 5u + 99 * 5);
  EXPECT_EQ(lines[3].substr(0, 10), "         1");
  EXPECT_EQ(lines[5].substr(0, 10), " t/w    20");  // row 1: 0.2 * 40^0.01 Hz = 0.2075
  EXPECT_EQ(lines[5].substr(lines[5].size() - 5), "  771");  // row 99: 7.7103 Hz
  for (int c : {0, 255, 511}) {
    const std::string& l = lines[6 + c];
    ASSERT_EQ(l.size(), 5u + 99 * 5);
    EXPECT_EQ(l.substr(0, 5), toolkit::FormatText("%4d:", c));
    for (int r = 1; r < 100; ++r)
      EXPECT_EQ(std::stoi(l.substr(5 + (r - 1) * 5, 5)), static_cast<int>(map.at(r, c) * 10000.0 / map.maxValue));
  }
  // A directory of that name: the failure names the path.
  std::filesystem::create_directory("taken");
  EXPECT_FALSE(analysis::WriteSwanFile("taken", map, error));
  EXPECT_NE(error.find("taken"), std::string::npos);
}

}  // namespace
