#include "toolkit/section_filter.h"

#include <utility>

namespace toolkit {

SectionFilter::SectionFilter(std::vector<SosSection> sections)
    : sections_(std::move(sections)), state_(2 * sections_.size(), 0.0) {}

static double SectionDcGain(const SosSection& s) {
  const double den = 1.0 + s.a1 + s.a2;
  return den == 0.0 ? 0.0 : (s.b0 + s.b1 + s.b2) / den;
}

double SectionFilter::DcGain() const {
  double g = 1.0;
  for (const SosSection& s : sections_) g *= SectionDcGain(s);
  return g;
}

void SectionFilter::Prime(double level) {
  double x = level;
  for (size_t k = 0; k < sections_.size(); ++k) {
    const SosSection& s = sections_[k];
    const double y = SectionDcGain(s) * x;
    // Fixed point of the recursion for constant x and y.
    state_[2 * k + 1] = s.b2 * x - s.a2 * y;
    state_[2 * k] = s.b1 * x - s.a1 * y + state_[2 * k + 1];
    x = y;
  }
}

void SectionFilter::Run(float* data, size_t n) {
  for (size_t i = 0; i < n; ++i) data[i] = static_cast<float>(Step(data[i]));
}

}  // namespace toolkit
