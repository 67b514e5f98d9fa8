#include "toolkit/fil_batt.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
#include <utility>

namespace toolkit {

namespace {

constexpr double kPi = std::numbers::pi;

bool IsBandType(int32_t type) { return type == kBandPass || type == kBandStop; }

// e^(i 2 pi f / rate), exact where the angle is a multiple of pi (0 Hz and the Nyquist frequency),
// so that the zeros the design puts there are hit exactly.
std::complex<double> UnitCirclePoint(double f, double rate) {
  const double halfTurns = 2.0 * f / rate;
  if (std::isfinite(halfTurns) && halfTurns == std::floor(halfTurns)) {
    return {std::fmod(std::fabs(halfTurns), 2.0) == 0.0 ? 1.0 : -1.0, 0.0};
  }
  const double w = kPi * halfTurns;
  return {std::cos(w), std::sin(w)};
}

// Coefficients of prod (1 - r_k z^-1), index 0..n.
void ExpandPolynomial(const std::complex<double>* r, int n, double* out) {
  std::complex<double> c[Tf_batt::kMaxRoots + 1] = {};
  c[0] = 1.0;
  for (int k = 0; k < n; ++k) {
    for (int j = k + 1; j > 0; --j) c[j] -= r[k] * c[j - 1];
  }
  for (int j = 0; j <= n; ++j) out[j] = c[j].real();
}

}  // namespace

Tf_batt::Tf_batt()
    : eps(std::ldexp(1.0, -53)),
      big1(std::numeric_limits<double>::max()),
      big2(std::numeric_limits<double>::max()) {}

Tf_batt::~Tf_batt() = default;

int32_t Tf_batt::MaxOrder(int32_t type) {
  switch (type) {
    case kLowPass:
    case kHighPass:
      return kMaxDegree;
    case kBandPass:
    case kBandStop:
      return kMaxDegree / 2;
    default:
      return 0;
  }
}

Tf_batt::Complex Tf_batt::Divide(Complex a, Complex b) const {
  if (b.real() == 0.0 && b.imag() == 0.0) return {big1, 0.0};
  return a / b;
}

void Tf_batt::PlaceRoot(Complex z) { roots[count++] = z; }

void Tf_batt::Clear() {
  roots.fill(Complex{});
  den.fill(0.0);
  num.fill(0.0);
  den[0] = num[0] = 1.0;
  gain = 1.0;
  count = 0;
  M = 0;
}

ButterworthStatus Tf_batt::DesignButterworth(int32_t n, int32_t filterType, double sampleRate, double f1,
                                             double f2, double* B, double* A) {
  dbFactor = 10.0 / std::log(10.0);
  text.clear();
  if (MaxOrder(filterType) == 0) {
    Clear();
    order = type = 0;
    char msg[64];
    std::snprintf(msg, sizeof msg, "error type %d", static_cast<int>(filterType));
    text = msg;
    return ButterworthStatus::BadType;
  }
  if (n < 1 || n > MaxOrder(filterType)) {
    Clear();
    order = type = 0;
    text = "error order";
    return ButterworthStatus::BadOrder;
  }
  order = n;
  type = filterType;
  rate = sampleRate;
  const double nyquist = rate / 2.0;

  ButterworthStatus status = ButterworthStatus::Ok;
  char msg[160];
  std::snprintf(msg, sizeof msg, "error  задания частоты: %.2f -:- %.2f;   %.2f Гц", f2, f1, rate);
  if (!(0.0 < f1 && f1 < nyquist)) status = ButterworthStatus::BadBand;
  const bool band = IsBandType(type);
  if (!band) {
    f2 = 0.0;
  } else if (!(0.0 < f2 && f2 < nyquist)) {
    status = ButterworthStatus::BadBand;
  }
  if (status != ButterworthStatus::Ok) text = msg;
  if (f1 < f2) std::swap(f1, f2);
  upper = f1;
  lower = f2;

  warped = std::tan(kPi * (f1 - f2) / rate);
  centre = band ? std::cos(kPi * (f1 + f2) / rate) / std::cos(kPi * (f1 - f2) / rate) : 0.0;
  const double T = warped;
  const double c = centre;

  Clear();
  M = band ? 2 * n : n;
  pairs = (n + 1) / 2;

  // Maps a root s of the analogue prototype into the z-plane. A root off the real axis also stands
  // for its conjugate.
  auto transform = [&](Complex s) {
    const bool complexRoot = s.imag() != 0.0;
    if (!band) {
      const Complex z = Divide(1.0 + T * s, 1.0 - T * s);
      PlaceRoot(z);
      if (complexRoot) PlaceRoot(std::conj(z));
      return;
    }
    // (1 - T s) z^2 - 2 c z + (1 + T s) = 0
    const Complex root = std::sqrt(Complex(c * c - 1.0) + T * T * s * s);
    const Complex za = Divide(c + root, 1.0 - T * s);
    const Complex zb = Divide(c - root, 1.0 - T * s);
    PlaceRoot(za);
    if (complexRoot) PlaceRoot(std::conj(za));
    PlaceRoot(zb);
    if (complexRoot) PlaceRoot(std::conj(zb));
  };

  // Zeros first.
  if (type == kHighPass || type == kBandStop) {
    const int prototypeZeros = pairs + (type == kBandStop ? n / 2 : 0);
    for (int k = 0; k < prototypeZeros; ++k) transform(Complex(0.0, 0.0));
  }
  int pairsOfBand = 0;
  while (count < M) {
    if (type == kLowPass) {
      PlaceRoot(-1.0);
    } else if (type == kHighPass) {
      PlaceRoot(1.0);
    } else {  // band-pass: alternately +1 and -1
      PlaceRoot((pairsOfBand++ % 2 == 0) ? 1.0 : -1.0);
    }
  }
  count = M;

  // Poles of the prototype on the left half of the unit circle, the upper half plane only.
  double theta = (n % 2 == 1) ? 0.0 : kPi / (2.0 * n);
  for (int k = 0; k < pairs; ++k, theta += kPi / n) {
    Complex p(-std::cos(theta), k == 0 && n % 2 == 1 ? 0.0 : std::sin(theta));
    if (type == kHighPass || type == kBandStop) p = Divide(p, std::norm(p));
    transform(p);
  }

  // Reference point where the pass band has unit gain.
  Complex ref = 1.0;
  if (type == kHighPass) ref = -1.0;
  if (type == kBandPass) ref = std::polar(1.0, std::acos(std::fmax(-1.0, std::fmin(1.0, c))));
  Complex zeroTerm = 1.0, poleTerm = 1.0;
  for (int k = 0; k < M; ++k) {
    zeroTerm *= ref - roots[k];
    poleTerm *= ref - roots[M + k];
  }
  const double zeroAbs = std::abs(zeroTerm);
  gain = zeroAbs == 0.0 ? 1.0 : std::abs(poleTerm) / zeroAbs;

  ExpandPolynomial(&roots[0], M, num.data());
  ExpandPolynomial(&roots[M], M, den.data());
  for (int k = 0; k <= M; ++k) num[k] *= gain;

  if (B && A) {
    for (int k = 0; k <= M; ++k) {
      B[k] = -den[M - k];
      A[k] = num[M - k] / gain;
    }
  }
  return status;
}

double Tf_batt::ResponseDb(double f) const {
  const Complex z = UnitCirclePoint(f, rate);
  Complex top = gain, bottom = 1.0;
  for (int k = 0; k < M; ++k) {
    top *= z - roots[k];
    bottom *= z - roots[M + k];
  }
  const double m = std::abs(Divide(top, bottom));
  if (!(m > 0.0)) return -999.99;
  return 2.0 * dbFactor * std::log(m);
}

std::vector<SosSection> Tf_batt::Sections() const {
  // Split roots into conjugate pairs (upper member kept) and real roots.
  struct Split {
    std::vector<Complex> pairs;
    std::vector<double> reals;
  };
  auto split = [](const Complex* r, int n) {
    Split s;
    for (int k = 0; k < n; ++k) {
      if (r[k].imag() > 0.0) {
        s.pairs.push_back(r[k]);
      } else if (r[k].imag() == 0.0) {
        s.reals.push_back(r[k].real());
      }
    }
    return s;
  };
  Split zeros = split(&roots[0], M);
  Split poles = split(&roots[M], M);

  // One factor of a section: second order from a pair or two reals, first order from one real.
  struct Factor {
    double c1 = 0.0, c2 = 0.0;  // 1 + c1 z^-1 + c2 z^-2
  };
  size_t zp = 0, zr = 0;
  auto nextZeros = [&](bool secondOrder) {
    Factor f;
    if (secondOrder && zp < zeros.pairs.size()) {
      const Complex z = zeros.pairs[zp++];
      f.c1 = -2.0 * z.real();
      f.c2 = std::norm(z);
    } else if (secondOrder && zr + 1 < zeros.reals.size()) {
      const double a = zeros.reals[zr++], b = zeros.reals[zr++];
      f.c1 = -(a + b);
      f.c2 = a * b;
    } else if (zr < zeros.reals.size()) {
      f.c1 = -zeros.reals[zr++];
    }
    return f;
  };

  const Complex ref = type == kHighPass ? Complex(-1.0)
                      : type == kBandPass
                          ? std::polar(1.0, std::acos(std::fmax(-1.0, std::fmin(1.0, centre))))
                          : Complex(1.0);
  std::vector<SosSection> out;
  auto add = [&](Factor p, bool secondOrder) {
    const Factor z = nextZeros(secondOrder);
    SosSection s{1.0, z.c1, z.c2, p.c1, p.c2};
    // Unit gain of the section at the reference point keeps the signal in range between sections.
    const Complex zi = 1.0 / ref;
    const Complex h = Divide(s.b0 + zi * (s.b1 + zi * s.b2), 1.0 + zi * (s.a1 + zi * s.a2));
    const double g = std::abs(h);
    if (g > 0.0 && std::isfinite(g)) {
      s.b0 /= g;
      s.b1 /= g;
      s.b2 /= g;
    }
    out.push_back(s);
  };
  for (const Complex& p : poles.pairs) add({-2.0 * p.real(), std::norm(p)}, true);
  size_t k = 0;
  for (; k + 1 < poles.reals.size(); k += 2) {
    const double a = poles.reals[k], b = poles.reals[k + 1];
    add({-(a + b), a * b}, true);
  }
  if (k < poles.reals.size()) add({-poles.reals[k], 0.0}, false);

  // The sections have unit gain at the reference point; the cascade takes the design's gain there.
  if (!out.empty()) {
    Complex h = 1.0;
    const Complex zi = 1.0 / ref;
    for (const SosSection& s : out) {
      h *= Divide(s.b0 + zi * (s.b1 + zi * s.b2), 1.0 + zi * (s.a1 + zi * s.a2));
    }
    Complex top = gain, bottom = 1.0;
    for (int j = 0; j < M; ++j) {
      top *= ref - roots[j];
      bottom *= ref - roots[M + j];
    }
    const double want = std::abs(Divide(top, bottom));
    const double have = std::abs(h);
    if (have > 0.0 && std::isfinite(want / have)) {
      const double r = want / have;
      out[0].b0 *= r;
      out[0].b1 *= r;
      out[0].b2 *= r;
    }
  }
  return out;
}

Tf_batt& GlobalButterworth() {
  static Tf_batt designer;
  return designer;
}

}  // namespace toolkit
