#pragma once
// The numbers of the analysis text files: a value that is not a finite number (an overflowed spectrum,
// a channel holding inf) is written as 0 and counted, so that no file shows "inf" or "nan" and the user
// is told once how many values were replaced.
#include <cmath>
#include <cstdint>
#include <string>

#include "viewer/channel_coefficients.h"

namespace analysis {

class FiniteCells {
 public:
  // `v` itself when finite, otherwise 0 (counted).
  double operator()(double v) {
    if (std::isfinite(v)) return v;
    ++count_;
    return 0.0;
  }
  // A channel's conversion coefficient by the loaders' rule (viewer::UsableCoefficient): one they would
  // not scale by is written as 0 too (counted), not as hundreds of digits.
  double Coefficient(double c) {
    if (viewer::UsableCoefficient(c)) return c;
    ++count_;
    return 0.0;
  }
  int64_t Count() const { return count_; }
  // Stores the count in `*zeroed` when it is given.
  void Report(int64_t* zeroed) const {
    if (zeroed != nullptr) *zeroed = count_;
  }

 private:
  int64_t count_ = 0;
};

// The message shown after writing `path` when `count` of its values were written as 0; "" when none.
std::string ZeroedCellsNote(const std::string& path, int64_t count);

}  // namespace analysis
