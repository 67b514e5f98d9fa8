#pragma once
// Tf_batt: digital Butterworth filters of four types by the bilinear transform.
//
// One designer serves both programs: the processing filters and the filter page of the processing
// program, the download's high-pass and the setup editor of the recorder-control program. The designer
// never shows anything itself: DesignButterworth returns a status and leaves the text to show in `text`,
// so a worker thread can hand it to the GUI thread.
#include <array>
#include <complex>
#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/section_filter.h"

namespace toolkit {

// Filter type codes of the designer (the settings page's codes 0..3 plus one).
enum ButterworthType : int32_t {
  kLowPass = 1,
  kBandPass = 2,
  kHighPass = 3,
  kBandStop = 4,
};

enum class ButterworthStatus : int32_t {
  Ok = 0,
  BadOrder = 1,  // order below 1 or above what the designer holds: nothing designed
  BadType = 2,   // type not 1..4: nothing designed
  BadBand = 3,   // a band edge outside 0 < f < rate / 2: designed anyway, but not fit to run over data
};

class Tf_batt {
 public:
  static constexpr int kMaxRoots = 50;              // zeros followed by poles
  static constexpr int kMaxDegree = kMaxRoots / 2;  // M, the number of zeros (= poles)
  static constexpr int kCoefficients = 50;          // room the caller gives for B and A

  Tf_batt();
  ~Tf_batt();

  // Highest order of the given type the designer holds (0 for an unknown type).
  static int32_t MaxOrder(int32_t type);

  // Designs the filter and, unless refused, writes B[k] := -den[M - k] and A[k] := num[M - k] / gain
  // for k = 0..M (oldest term first; A is the numerator without the gain). B and A may be null when
  // only the roots, sections or response are wanted; otherwise each needs kCoefficients entries.
  // For the band types f1 and f2 are the band edges in either order; the odd types ignore f2.
  // On any status but Ok `text` holds the message to show.
  ButterworthStatus DesignButterworth(int32_t order, int32_t type, double rate, double f1, double f2,
                                      double* B, double* A);

  // Response of the last design at f Hz in decibels; -999.99 where the magnitude is zero.
  double ResponseDb(double f) const;

  // The last design as cascaded second-order sections (gain included), fit to run over long records.
  std::vector<SosSection> Sections() const;

  // Results of the last design.
  int32_t Degree() const { return M; }  // number of zeros (= poles), 0 when nothing is designed
  double Gain() const { return gain; }
  int32_t Order() const { return order; }
  int32_t Type() const { return type; }
  double Rate() const { return rate; }
  double Lower() const { return lower; }
  double Upper() const { return upper; }
  std::complex<double> Zero(int k) const { return roots[k]; }
  std::complex<double> Pole(int k) const { return roots[M + k]; }
  // Polynomials of z^-1, den[0] = 1; num includes the gain. Index 0..Degree().
  double Numerator(int k) const { return num[k]; }
  double Denominator(int k) const { return den[k]; }

  std::string text;  // message of the last refused or doubtful design

 private:
  using Complex = std::complex<double>;

  Complex Divide(Complex a, Complex b) const;  // guarded: a zero divisor yields the big substitute
  void PlaceRoot(Complex z);
  void Clear();

  std::array<Complex, kMaxRoots> roots{};  // M zeros, then M poles
  double eps;
  double big1;
  double big2;
  std::array<double, kMaxRoots> den{};
  std::array<double, kMaxRoots> num{};
  double dbFactor = 0.0;
  double warped = 0.0;  // tan(pi * bandwidth / rate)
  double centre = 0.0;  // cos(pi (f1 + f2) / rate) / cos(pi (f1 - f2) / rate) of the band types
  double rate = 0.0;
  double lower = 0.0;
  double upper = 0.0;
  int32_t order = 0;
  int32_t pairs = 0;
  int32_t type = 0;
  double gain = 1.0;
  int32_t count = 0;
  int32_t M = 0;
};

// The processing program's designer, built at start and used by the filters and the filter page.
Tf_batt& GlobalButterworth();

}  // namespace toolkit
