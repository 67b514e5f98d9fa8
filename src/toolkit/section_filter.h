#pragma once
// A cascade of second-order sections (transposed direct form II, double precision), the running form
// of a designed IIR filter. Unlike the expanded polynomial, the cascade stays stable for narrow bands
// at high sampling rates.
#include <cstddef>
#include <vector>

namespace toolkit {

// H(z) = (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2); a first-order section has b2 = a2 = 0.
struct SosSection {
  double b0 = 1.0, b1 = 0.0, b2 = 0.0;
  double a1 = 0.0, a2 = 0.0;
};

class SectionFilter {
 public:
  SectionFilter() = default;
  explicit SectionFilter(std::vector<SosSection> sections);

  // Puts every section in the steady state of a constant input `level`, as if the input had been at
  // that level for ever: a high-pass or band-pass then starts from zero without a transient.
  void Prime(double level);
  // Response at 0 Hz of the whole cascade.
  double DcGain() const;

  double Step(double x) {
    for (size_t k = 0; k < sections_.size(); ++k) {
      const SosSection& s = sections_[k];
      double* z = &state_[2 * k];
      const double y = s.b0 * x + z[0];
      z[0] = s.b1 * x - s.a1 * y + z[1];
      z[1] = s.b2 * x - s.a2 * y;
      x = y;
    }
    return x;
  }
  void Run(float* data, size_t n);

  const std::vector<SosSection>& Sections() const { return sections_; }
  bool Empty() const { return sections_.empty(); }

 private:
  std::vector<SosSection> sections_;
  std::vector<double> state_;  // two terms a section
};

}  // namespace toolkit
