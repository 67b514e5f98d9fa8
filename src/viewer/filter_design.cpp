#include "viewer/filter_design.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "toolkit/format_text.h"
#include "toolkit/funk.h"
#include "toolkit/parse_number.h"

namespace viewer {

using toolkit::FormatText;
using toolkit::SetupRecord;

namespace {

constexpr int kMaxKernel = 3000;
constexpr int64_t kListingScale = 0x40000000;

double BoundEdge(double f, double rate) {
  f = std::max(f, 0.005);
  return std::min(f, 0.45 * rate);
}

}  // namespace

bool StrictInteger(const std::string& text, long long& value) {
  size_t p = 0;
  while (p < text.size() && text[p] == ' ') ++p;
  size_t q = text.size();
  while (q > p && text[q - 1] == ' ') --q;
  const std::string core = text.substr(p, q - p);
  if (core.empty()) return false;
  size_t i = (core[0] == '-' || core[0] == '+') ? 1 : 0;
  if (i == core.size() || core.size() - i > 18) return false;
  for (size_t k = i; k < core.size(); ++k) {
    if (core[k] < '0' || core[k] > '9') return false;
  }
  value = std::strtoll(core.c_str(), nullptr, 10);
  return true;
}

FilterReadResult ReadFilterValues(SetupRecord& setup, const FilterInputs& in) {
  FilterReadResult r;
  const double rate = setup.Header.Rate;
  if (rate <= 0.0) {
    r.Status = FilterRead::NoRate;
    return r;
  }
  setup.FilterType = static_cast<uint16_t>(std::clamp(in.Type, 0, 3));
  setup.ButterworthOrder = static_cast<uint16_t>(std::clamp(in.OrderIndex, 0, 2) + 2);
  const double f1 = BoundEdge(toolkit::ParseNumber(in.F1), rate);
  setup.FilterLow = f1;
  long long n = 0;
  if (!StrictInteger(in.Points, n)) {
    r.PointsNotInteger = true;
  } else if (n >= 2) {
    setup.PotterHalfLength = static_cast<uint16_t>(std::min<long long>(n, kMaxPotterHalfLength));
  }
  if (setup.FilterType % 2 == 1) {
    const double f2 = BoundEdge(toolkit::ParseNumber(in.F2), rate);
    setup.FilterHigh = f2;
    if (1.01 * f1 > f2) r.Status = FilterRead::BadBand;
  }
  return r;
}

double ResponseFrame::Y(double v) const {
  const double ys = 0.1 * YScale;
  return B() - (B() - 5) * (v - ys) / (1.0 - ys);
}

std::vector<double> DesignPotterKernel(int n, int type, double f1, double f2, double dt) {
  n = std::clamp(n, 1, kMaxKernel);
  return toolkit::TFunk::PotterTaps(n, static_cast<uint16_t>(type), f1, f2, dt);
}

double KernelResponse(const std::vector<double>& h, double w) {
  double v = h.empty() ? 0.0 : h[0];
  for (size_t k = 1; k < h.size(); ++k) v += 2.0 * h[k] * std::cos(static_cast<double>(k) * w);
  return v;
}

std::vector<PlotPoint> ButterworthCurve(const toolkit::Tf_batt& designer, double dt, const ResponseFrame& f) {
  std::vector<PlotPoint> points;
  const double xs = f.XScale + 1;
  for (int k = 0; k < 256; ++k) {
    const double freq = k * 0.5 / (dt * 256) / xs;
    const double db = designer.ResponseDb(freq);
    const double v = db <= -999.0 ? 0.0 : std::pow(10.0, db / 20.0);
    points.push_back({f.W() * k / 256 + 5, static_cast<int>(std::lround(f.Y(v)))});
  }
  return points;
}

std::vector<PlotPoint> PotterCurve(const std::vector<double>& h, const ResponseFrame& f) {
  std::vector<PlotPoint> points;
  const double xs = f.XScale + 1;
  for (int i = 0; i < 255; ++i) {
    const double w = i * 6.28 / 512 / xs;
    const double y = std::clamp(f.Y(KernelResponse(h, w)), -1e6, 1e6);
    points.push_back({static_cast<int>(f.W() * i / 256.0 + 5), static_cast<int>(y)});
  }
  return points;
}

std::string ButterworthEquation(const toolkit::Tf_batt& d) {
  const int m = d.Degree();
  const double g = d.Gain();
  // B[k] = -den[m - k], A[k] = num[m - k] / gain (oldest term first).
  auto B = [&](int k) { return -d.Denominator(m - k); };
  auto A = [&](int k) { return d.Numerator(m - k) / g; };
  std::string s = FormatText("gain = %17.14f (%17.14f) \n X[%d] = x_new * gain;\n", g, g != 0.0 ? 1.0 / g : 0.0, m);
  s += FormatText("Y[%d] = X[%d] * (%+8.4f);\n", m, m, A(m));
  for (int k = m - 1; k >= 0; --k) {
    s += FormatText("         + X[%d] * (%+8.4f) + Y[%d] * (%+17.14f);\n", k, A(k), k, B(k));
  }
  s += FormatText("y_new = Y[%d];", m);
  return s;
}

PotterListing BuildPotterListing(const std::vector<double>& h, double f1, double dt) {
  PotterListing out;
  const int n = static_cast<int>(h.size()) - 1;
  const int64_t M = kListingScale;
  const int F = static_cast<int>(1.00001 / dt);
  std::string& s = out.Text;
  s += FormatText("\n\nНЧ-фильтр Поттера: точек = %d;  Fcpезa = %.2fГц;  F = %dГц; масштаб M=0x%x", n, f1, F,
                  static_cast<unsigned>(M));
  s += "\nKФ[0] делаем ВСЕГДА четным!";
  std::vector<int64_t>& K = out.K;
  K.assign(static_cast<size_t>(n) + 1, 0);
  auto sign = [&](int k) { return h[k] > 0 ? int64_t{1} : int64_t{-1}; };
  K[0] = sign(0) * static_cast<int64_t>(std::fabs(M * h[0]) + 1.0);
  K[0] = K[0] / 2 * 2;
  for (int k = 1; k < n; ++k) K[k] = sign(k) * static_cast<int64_t>(std::fabs(M * h[k]) + 0.5);
  int64_t S = K[0];
  for (int k = 1; k < n; ++k) S += 2 * K[k];
  s += FormatText("\n   сумма коэффициентов (без %d-го):    %lld", n, static_cast<long long>(S - M));
  K[n] = (M - S) / 2;
  int64_t T = K[0];
  for (int k = 1; k <= n; ++k) T += 2 * K[k];
  s += FormatText("\n   сумма всех коэффициентов %lld", static_cast<long long>(T - M));
  if (T != M) {
    int64_t k0 = M;
    for (int k = 1; k <= n; ++k) k0 -= 2 * K[k];
    out.Correction = FormatText("сумма всех коэффициентов %lld. Исправим! %lld - %lld", static_cast<long long>(T - M),
                                static_cast<long long>(K[0]), static_cast<long long>(k0));
    K[0] = k0;
  }
  // Sign and magnitude words; the sign is that of the integer coefficient itself.
  std::vector<uint32_t> R(K.size());
  for (size_t k = 0; k < K.size(); ++k) {
    R[k] = static_cast<uint32_t>(std::llabs(K[k]) & 0x7FFFFFFF) | (K[k] < 0 ? 0x80000000u : 0u);
  }
  s += "\n           KФ                KФ*M        целое(KФ*M)              KФWuz";
  int64_t check = 0;
  for (int k = 0; k <= n; ++k) {
    s += FormatText("\n%02d;   %+.10f;    %+13.2f   %+10lld    %08x  %08x", k, h[k], M * h[k],
                    static_cast<long long>(K[k]), static_cast<unsigned>(std::llabs(K[k])), R[k]);
    check += k == 0 ? K[0] : 2 * K[k];
  }
  s += FormatText("\n  контроль  коэфф:   %.10f / %lld", static_cast<double>(check) / M,
                  static_cast<long long>(M - check));
  // Listing 1: 32-bit words.
  std::vector<uint32_t> words;
  words.push_back(R[n]);
  words.push_back(0);
  for (int k = n; k >= 1; --k) words.push_back(R[k]);
  const size_t breakAt = words.size();
  for (int k = 0; k < n; ++k) words.push_back(R[k]);
  s += "\n\n          W u z  1  !  xxxxxxx !";
  for (size_t a = 0; a < words.size(); ++a) {
    if (a == breakAt) s += "\n";
    s += FormatText("\n%03X   :   %08x;", static_cast<unsigned>(a), words[a]);
  }
  // Listing 2: the same words as 16-bit halves, low half first.
  s += "\n\n          W u z  2  !  xxxxxxx !";
  for (size_t a = 0; a < words.size(); ++a) {
    if (a == breakAt) s += "\n";
    s += FormatText("\n%03X   :   %04x;", static_cast<unsigned>(2 * a), words[a] & 0xFFFFu);
    s += FormatText("\n%03X   :   %04x;", static_cast<unsigned>(2 * a + 1), words[a] >> 16);
  }
  s += "\n\n  форма фильтра";
  s += "\nчастота   точное         приближенное  ->  delta(относительное)";
  for (int i = 0; i < 100; ++i) {
    const double w = i * 0.0314159265;
    const double E = KernelResponse(h, w);
    double A = static_cast<double>(K[0]);
    for (int k = 1; k <= n; ++k) A += 2.0 * static_cast<double>(K[k]) * std::cos(k * w);
    A /= static_cast<double>(M);
    const double freq = 0.005 * F * i;
    if (std::fabs(E) <= 1e-5) {
      s += FormatText("\n%05.1f    %+.8f - ( %+.8f )", freq, E, A);
    } else {
      s += FormatText("\n%05.1f    %+.8f - ( %+.8f )   ->   %%(%+.8f);", freq, E, A, (E - A) / E);
    }
  }
  return out;
}

}  // namespace viewer
